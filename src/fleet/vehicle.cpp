#include "vehicle.h"

#include <algorithm>
#include <cmath>

#include "model/numbers.h"

namespace vadrel {

namespace {

bool same_place(double a, double b) { return a == b && std::signbit(a) == std::signbit(b); }

}  // namespace

bool Vehicle::same_values(const Vehicle& other) const {
    return same_place(lat, other.lat) && same_place(lon, other.lon) && course == other.course &&
           speed == other.speed && unit == other.unit;
}

double within_circle(double course) {
    const double c = std::fmod(course, 360.0);
    return c < 0.0 ? c + 360.0 : c;
}

GroundMotion ground_motion(const Vehicle& vehicle) {
    const double kmh = vehicle.speed_kmh();
    return {std::fabs(kmh), kmh < 0.0 ? within_circle(vehicle.course + 180.0) : within_circle(vehicle.course)};
}

WholeSeconds whole_seconds(double arc_seconds) {
    const long long total = std::llround(std::fabs(arc_seconds));
    return {static_cast<std::int16_t>(total / 3600), static_cast<std::int16_t>(total / 60 % 60),
            static_cast<std::int16_t>(total % 60), std::signbit(arc_seconds)};
}

double arc_seconds_of(const WholeSeconds& shown) {
    const double seconds = shown.degrees * 3600.0 + shown.minutes * 60.0 + shown.seconds;
    return shown.negative ? -seconds : seconds;
}

std::int16_t whole_number(double value) {
    return to_int16(std::clamp(round_half_even(value), -32768.0, 32767.0));
}

}  // namespace vadrel
