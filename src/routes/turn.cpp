#include "turn.h"

#include <algorithm>
#include <cmath>

namespace vadrel {

namespace {

// Smaller changes of course than this are no turn (a micro-degree).
constexpr double least_turn = 1e-8;

}  // namespace

Corner corner(Vec3 from, Vec3 at, Vec3 to) {
    Corner c;
    c.point = at;
    c.in_pole = leg_pole(from, at);
    c.in_dir = cross(c.in_pole, at);
    c.out_dir = cross(leg_pole(at, to), at);
    c.turn = std::atan2(dot(at, cross(c.in_dir, c.out_dir)), dot(c.in_dir, c.out_dir));
    c.in_angle = central_angle(from, at);
    c.out_angle = central_angle(at, to);
    return c;
}

std::optional<double> turn_tangent(const Corner& c, double speed, double rate) {
    if (!(speed > 0.0) || !(rate > 0.0) || !std::isfinite(speed) || !std::isfinite(rate)) return std::nullopt;
    const double turn = std::fabs(c.turn);
    if (turn < least_turn || c.in_angle <= 0.0 || c.out_angle <= 0.0) return std::nullopt;
    const double tan_rho = speed / (rate / degrees_per_radian * earth_radius_m);
    const double sin_t = tan_rho * std::tan(turn / 2.0);
    if (!(sin_t < 1.0)) return std::nullopt;
    const double t = std::asin(sin_t);
    if (t > std::min(c.in_angle, c.out_angle) / 2.0) return std::nullopt;
    return t;
}

Arc turn_arc(const Corner& c, double t) {
    Arc arc;
    arc.start = unit(std::cos(t) * c.point - std::sin(t) * c.in_dir);
    arc.end = unit(std::cos(t) * c.point + std::sin(t) * c.out_dir);
    const double half = std::fabs(c.turn) / 2.0;
    // tan(rho) = sin(t) / tan(turn / 2)
    const double rho = std::atan2(std::sin(t) * std::cos(half), std::sin(half));
    const double side = c.turn > 0.0 ? 1.0 : -1.0;
    // The incoming leg's pole is its left-hand side everywhere along it.
    arc.centre = unit(std::cos(rho) * arc.start + side * std::sin(rho) * c.in_pole);
    const Vec3 u1 = arc.start - dot(arc.start, arc.centre) * arc.centre;
    const Vec3 u2 = arc.end - dot(arc.end, arc.centre) * arc.centre;
    arc.sweep = std::atan2(dot(arc.centre, cross(u1, u2)), dot(u1, u2));
    arc.length_m = earth_radius_m * std::sin(rho) * std::fabs(arc.sweep);
    return arc;
}

Vec3 arc_point(const Arc& arc, double done) {
    if (done <= 0.0) return arc.start;
    if (done >= 1.0) return arc.end;
    const double phi = arc.sweep * done;
    const Vec3 k = arc.centre, p = arc.start;
    // Rodrigues: p turned by phi round k.
    return unit(std::cos(phi) * p + std::sin(phi) * cross(k, p) + (dot(k, p) * (1.0 - std::cos(phi))) * k);
}

Vec3 arc_heading(const Arc& arc, Vec3 p) { return (arc.sweep >= 0.0 ? 1.0 : -1.0) * unit(cross(arc.centre, p)); }

}  // namespace vadrel
