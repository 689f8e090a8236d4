#pragma once
// One simulated vehicle as numbers: where it is, where it heads, how fast,
// and its motion clock. No Qt, no panel: the panel, a loaded file and "Vai a
// posizione" all change it through the fleet's one change path (fleet.h),
// and every view reads it from there.
//
//   Vehicle v;                            // 0 N 0 E, still, no unit chosen
//   whole_seconds(v.lat);                 // {0, 0, 0, north}: as the panel's boxes show it
//   ground_motion(v);                     // {0 km/h, course 0}

#include <cstdint>

#include "model/coordinates.h"

namespace vadrel {

// The panel's two units: Km/h and miglia/h (nautical miles an hour, knots).
// A vehicle whose table record chose neither has none, and goes in km/h.
enum class SpeedUnit : std::uint8_t { none, kmh, knots };

inline constexpr double km_per_nautical_mile = 1.852;

struct Vehicle {
    // Seconds of arc, north and east positive, at full precision: what the
    // panel shows rounded to whole seconds and the sentence cuts to a
    // ten-thousandth of a minute. -324000 (90 S) .. 324000 (90 N),
    // -648000 (180 W) .. 648000 (180 E). Exactly on the equator or the
    // prime meridian the sign of the zero keeps the hemisphere (-0.0 is
    // south or west), as the boxes keep their letter there.
    double lat = 0.0;
    double lon = 0.0;
    // The true course in degrees: 0 north, 90 east. The change path takes
    // 0 .. 360; a table record may hold any 16-bit number.
    double course = 0.0;
    // In its unit; a negative speed backs along the course.
    double speed = 0.0;
    SpeedUnit unit = SpeedUnit::none;

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
    // Position, course, speed and unit alike (the motion clock and the
    // segment aside), the hemisphere of a zero included.
    bool same_values(const Vehicle& other) const;
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

// A coordinate rounded to whole seconds of arc (halves away from zero), as
// the panel's boxes and the table's record show it: never 60 seconds or 60
// minutes. `negative` is the side (south, west), by the sign.
struct WholeSeconds {
    std::int16_t degrees = 0;
    std::int16_t minutes = 0;
    std::int16_t seconds = 0;
    bool negative = false;
    bool operator==(const WholeSeconds&) const = default;
};
WholeSeconds whole_seconds(double arc_seconds);
// Back to seconds of arc; negative gives -0.0 for a zero.
double arc_seconds_of(const WholeSeconds& shown);

// A course or a speed as the boxes and the record show it: rounded half to
// even, within the 16 bits a record holds.
std::int16_t whole_number(double value);

}  // namespace vadrel
