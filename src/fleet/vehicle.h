#pragma once
// One simulated vehicle as numbers: where it is, where it heads, how fast,
// and its motion clock. No Qt, no panel: the panel, the command line, the
// control interface and the routes all change it through the fleet's one
// change path (fleet.h), and every view reads it from there.
//
//   Vehicle v;                       // 0 N 0 E, still
//   v.latitude_degrees();            // 0.0
//   ground_motion(v);                // {0 km/h, course 0}

#include <cstdint>

namespace vadrel {

// The panel's two units: Km/h and miglia/h (nautical miles an hour, knots).
enum class SpeedUnit : std::uint8_t { kmh, knots };

inline constexpr double km_per_nautical_mile = 1.852;
inline constexpr double arc_seconds_per_degree = 3600.0;

struct Vehicle {
    // Seconds of arc, north and east positive, at full precision: what the
    // panel shows rounded to whole seconds and the sentence cuts to a
    // ten-thousandth of a minute. -324000 (90 S) .. 324000 (90 N),
    // -648000 (180 W) .. 648000 (180 E).
    double lat = 0.0;
    double lon = 0.0;
    // The true course as set, in degrees: 0 north, 90 east, 0 .. 360.
    double course = 0.0;
    // In its unit; a negative speed backs along the course.
    double speed = 0.0;
    SpeedUnit unit = SpeedUnit::kmh;

    // Motion: whether it has stepped since start-up, and the steady clock's
    // reading (seconds) at its last step. A vehicle's first step only starts
    // its clock.
    bool started = false;
    double last_step = 0.0;
    // Changes each time the vehicle is set rather than moved (a panel edit,
    // a typed position, a file): its track breaks there.
    std::uint32_t segment = 0;

    double latitude_degrees() const { return lat / arc_seconds_per_degree; }
    double longitude_degrees() const { return lon / arc_seconds_per_degree; }
    double speed_kmh() const { return unit == SpeedUnit::knots ? speed * km_per_nautical_mile : speed; }

    bool operator==(const Vehicle&) const = default;
};

// How a vehicle moves over the ground: its speed's size in km/h and the
// course it really goes, 0 <= course < 360, turned round when it backs.
struct GroundMotion {
    double kmh = 0.0;
    double course = 0.0;
};
GroundMotion ground_motion(const Vehicle& vehicle);

// A course within 0 <= course < 360.
double within_circle(double course);

}  // namespace vadrel
