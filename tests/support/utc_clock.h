#pragma once
// A clock that reads the instant it is set to, local time being UTC: for
// tools that drive the transmitter through instants of their own choosing
// (the sky's feed for gpsd, the sky's benchmark).

#include <cstdint>
#include <string>

#include "model/civil_time.h"
#include "model/platform.h"

namespace vadrel::testing {

class UtcClock : public Clock {
public:
    std::int64_t utc_ms = 0;
    double steady = 0.0;
    double steady_seconds() override { return steady; }
    double utc_seconds() override { return static_cast<double>(utc_ms) / 1000.0; }
    std::string time_text() override { return {}; }
    std::string date_text() override { return {}; }
    WallTime wall_time() override {
        const CivilInstant c = civil_of(utc_ms);
        const CivilTime t{static_cast<int>(c.year), c.month, c.day, c.hour, c.minute, c.second};
        return {t, t};
    }
};

}  // namespace vadrel::testing
