#include "instrument_readings.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vadrel {

namespace {

constexpr double radians_per_degree = std::numbers::pi / 180.0;

// East and north components, knots.
struct Velocity {
    double east = 0.0;
    double north = 0.0;
    Velocity operator-(const Velocity& other) const { return {east - other.east, north - other.north}; }
    double speed() const { return std::hypot(east, north); }
};

// Moving toward `bearing` (degrees true).
Velocity toward(double bearing, double knots) {
    return {knots * std::sin(bearing * radians_per_degree), knots * std::cos(bearing * radians_per_degree)};
}

// Below this the air is calm and the sums' rounding is no direction.
constexpr double calm_knots = 1e-9;
// Within this of a full turn an angle is 0, not 359.99999...
constexpr double full_turn_slack = 1e-9;

// 0 <= angle < 360.
double circle(double degrees) {
    double a = std::fmod(degrees, 360.0);
    if (a < 0.0) a += 360.0;
    return a >= 360.0 - full_turn_slack ? 0.0 : a;
}

// -180 < angle <= 180.
double half_circle(double degrees) {
    const double a = circle(degrees);
    return a > 180.0 ? a - 360.0 : a;
}

// Where air moving with `v` comes FROM, relative to the bow; a calm has no
// direction and says 0 at 0 knots.
WindReading relative(const Velocity& air, double heading) {
    const double speed = air.speed();
    if (speed < calm_knots) return {0.0, 0.0};
    return {circle(std::atan2(air.east, air.north) / radians_per_degree + 180.0 - heading), speed};
}

}  // namespace

InstrumentReadings instrument_readings(const ShipMotion& motion, const InstrumentSettings& settings) {
    InstrumentReadings r;
    r.heading_true = circle(motion.course);
    if (motion.elapsed_seconds > 0.0) {
        r.rate_of_turn = half_circle(motion.course - motion.previous_course) / motion.elapsed_seconds * 60.0;
    }
    const Velocity ground = toward(motion.course, motion.speed_knots);
    const Velocity current = toward(settings.current.direction, settings.current.speed_knots);
    r.water_speed_knots = (ground - current).speed();
    r.distance_run_nm = motion.distance_run_nm + r.water_speed_knots * std::max(motion.elapsed_seconds, 0.0) / 3600.0;

    // The wind blows toward the opposite of where it comes from.
    const Velocity wind = toward(settings.wind.direction + 180.0, settings.wind.speed_knots);
    r.apparent_wind = relative(wind - ground, r.heading_true);
    r.true_wind_relative = relative(wind - current, r.heading_true);
    r.true_wind = WindReading{circle(settings.wind.direction), settings.wind.speed_knots};

    r.depth_below_transducer = settings.depth;
    r.transducer_offset = settings.transducer_offset;
    r.water_temperature = settings.water_temperature;
    r.variation = settings.variation;
    r.deviation = settings.deviation;
    return r;
}

}  // namespace vadrel
