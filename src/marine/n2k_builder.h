#pragma once
// The NMEA 2000 messages of one moment of the own ship, its instruments and
// the AIS targets, as lines of the plain text format (n2k_messages.h), all
// of one moment under one sequence id.
//
//   N2kBuilder builder;                     // one for the program: it counts the SIDs
//   N2kMoment m{utc_ms, fix, true, &readings, ais.reports_sent(), ais.statics_sent()};
//   for (const std::string& line : builder.lines(m)) bytes += line + "\r\n";
//
// Each fix: 129025 and 129026. The whole second besides: 129029, 127250
// (the instruments' heading, else the course over ground), and with the
// instruments 128259, 130306 (apparent, true relative to the bow, true
// from north), 128267 and 130316 for what they read; and the AIS messages
// the second sent, 129038 or 129039, 129794 or 129809 and 129810. Without a fix only 129029
// goes, saying so. No Qt.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ais/transmitter.h"
#include "marine/instrument_readings.h"

namespace vadrel {

// The own ship's fix as its NMEA 0183 sentences tell it.
struct OwnShipFix {
    bool valid = true;        // false: the receiver has no fix
    double latitude = 0.0;    // degrees, north positive
    double longitude = 0.0;   // degrees, east positive
    double course = 0.0;      // over ground, degrees true
    double knots = 0.0;       // over ground
    double altitude = 0.0;    // metres
    int satellites = 0;       // in use
    double hdop = 0.0;
    double pdop = 0.0;
};

struct N2kMoment {
    std::int64_t utc_ms = 0;
    std::optional<OwnShipFix> own;  // nothing: no message of the own ship
    bool whole_second = true;       // false: a fix between the seconds
    const InstrumentReadings* instruments = nullptr;  // nullptr: none
    std::span<const AisReportSent> reports;
    std::span<const AisStaticSent> statics;
};

class N2kBuilder {
public:
    // The lines of the moment, without line ends; the next sequence id.
    std::vector<std::string> lines(const N2kMoment& moment);

private:
    std::uint8_t sid_ = 0;
};

}  // namespace vadrel
