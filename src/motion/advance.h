#pragma once
// Dead reckoning of the current vehicle, one coordinate at a time, on a
// sphere of radius 6371 km: the panel's boxes are read, advanced by speed
// times the time since the vehicle's last step along the course, normalised
// and written back, and the sentence's field is composed.

#include <cstdint>
#include <string>

#include "model/form1.h"

namespace vadrel {

// The value of pi the motion model has always used.
inline constexpr double pi_rotta = 3.141592;

void leggi_lat(Form1& form);
void leggi_lon(Form1& form);

// The latitude or longitude field of $GPRMC: degrees padded to `degree_digits`,
// minutes padded to two, ".", and four decimals of the minutes, cut.
struct RmcField {
    std::string degrees;
    std::string minutes;
    std::string decimals;
    std::string text() const { return degrees + minutes + "." + decimals; }
};
RmcField compose_rmc_field(std::int16_t gradi, std::int16_t primi, double secondi,
                           int degree_digits, RegionalFormat format);

// Seconds of one step: the time since the vehicle's last step. A step that
// spans local midnight, where the clock starts again from 0, gets a day back.
double elapsed_seconds(float now, float last);

}  // namespace vadrel
