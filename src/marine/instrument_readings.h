#pragma once
// The own ship's instruments in one second: what the heading, log, wind,
// depth and temperature sensors read, consistent with the vehicle's motion
// of that second. NMEA 0183 sentences and NMEA 2000 messages are both made
// from this one value, so they always agree. Plain values, no Qt.

#include <optional>

namespace vadrel {

struct WindReading {
    double angle = 0.0;  // degrees: relative to the bow (0 to 360, clockwise) or true (the direction it blows from)
    double speed_knots = 0.0;
    bool operator==(const WindReading&) const = default;
};

struct InstrumentReadings {
    double heading_true = 0.0;           // degrees
    double rate_of_turn = 0.0;           // degrees per minute, positive to starboard
    double water_speed_knots = 0.0;      // through the water
    double distance_run_nm = 0.0;        // since the start
    std::optional<WindReading> apparent_wind;  // relative to the bow
    std::optional<WindReading> true_wind_relative;  // true wind, relative to the bow
    std::optional<WindReading> true_wind;      // true direction it blows from, and speed
    std::optional<double> depth_below_transducer;  // metres
    double transducer_offset = 0.0;              // metres, as DPT carries it
    std::optional<double> water_temperature;     // degrees Celsius
    bool operator==(const InstrumentReadings&) const = default;
};

}  // namespace vadrel
