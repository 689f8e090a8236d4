#pragma once
// A turn at a set rate at a point of a route. Without a rate a vehicle turns
// at once at the point. With one (degrees per second) it leaves the incoming
// leg at a tangent point before the point, drives a circle tangent to both
// legs, and rejoins the outgoing leg as far after the point:
//
//          incoming leg           T1 = where it leaves the leg
//   ------------------------------*.
//                                    `.   the circle, driven at the
//                                      \  vehicle's speed
//                                       * T2 = where it rejoins
//                                       |
//                                       | outgoing leg
//
// On the sphere the circle is a small circle whose angular radius rho makes
// the heading turn at the rate: tan(rho) = speed / (rate * R), a radius of
// speed / rate on a plane. Its centre lies on the bisector of the corner;
// the tangent points are at an angle t from the point with
// sin(t) = tan(rho) * tan(turn / 2), turn being the change of course.
// When that circle does not fit in half of either leg (a sharp turn, short
// legs, a high speed), or there is nothing to turn, the vehicle turns at
// once at the point, as without a rate: a vehicle always either turns at the
// rate asked or reaches the point.

#include <optional>

#include "routes/geodesy.h"

namespace vadrel {

struct Corner {
    Vec3 point;      // where the legs meet
    Vec3 in_pole;    // the incoming leg's great circle (leg_pole)
    Vec3 in_dir;     // the heading arriving at the point, and leaving it
    Vec3 out_dir;
    double turn = 0.0;       // the change of course, radians, left positive
    double in_angle = 0.0;   // the legs' lengths as angles
    double out_angle = 0.0;
};

// The corner at `at` of the legs from `from` and to `to`.
Corner corner(Vec3 from, Vec3 at, Vec3 to);

// The angle t from the corner to the tangent points for `speed` (m/s) and
// `rate` (degrees per second); nullopt when the turn is made at once.
std::optional<double> turn_tangent(const Corner& corner, double speed, double rate);

struct Arc {
    Vec3 start;     // T1, on the incoming leg
    Vec3 end;       // T2, on the outgoing leg
    Vec3 centre;
    double sweep = 0.0;     // the angle turned round the centre, left positive
    double length_m = 0.0;  // along the circle
};

// The circle for tangent points at `tangent` from the corner.
Arc turn_arc(const Corner& corner, double tangent);
// The point a `done` part (0 .. 1) of the way round, and the heading there.
Vec3 arc_point(const Arc& arc, double done);
Vec3 arc_heading(const Arc& arc, Vec3 p);

}  // namespace vadrel
