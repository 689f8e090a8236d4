#pragma once
// The own ship's instruments in one second: what the heading, log, wind,
// depth and temperature sensors read, consistent with the vehicle's motion
// of that second. NMEA 0183 sentences and NMEA 2000 messages are both made
// from this one value, so they always agree. Plain values, no Qt.

#include <optional>

#include "marine/instrument_settings.h"

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
    // The compass's corrections, degrees east positive; nothing when not known.
    std::optional<double> variation;
    std::optional<double> deviation;
    bool operator==(const InstrumentReadings&) const = default;
};

// The ship's motion over the ground in one second, and what the log had
// counted before it.
struct ShipMotion {
    double course = 0.0;           // degrees true, over the ground
    double speed_knots = 0.0;      // over the ground
    double previous_course = 0.0;  // a second before (the turn)
    double elapsed_seconds = 1.0;  // since that reading; 0 at the first
    double distance_run_nm = 0.0;  // through the water, before this second
};

// The readings of that second under `settings`: the heading is the course
// (no leeway); the water speed the ground velocity less the current's; the
// apparent wind the true wind's velocity less the ship's over the ground;
// the theoretical true wind (relative to the bow) the wind over the water,
// true wind less current; the true wind as set. The distance run grows by
// the water speed over the elapsed time.
InstrumentReadings instrument_readings(const ShipMotion& motion, const InstrumentSettings& settings);

}  // namespace vadrel
