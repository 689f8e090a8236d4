#include "geodesy.h"

#include <cmath>

namespace vadrel {

namespace {

constexpr double radians(double degrees) { return degrees / degrees_per_radian; }

// Below this |a x b| two points are one point, or opposite ends of the globe.
constexpr double no_great_circle = 1e-12;

}  // namespace

double norm(Vec3 a) { return std::sqrt(dot(a, a)); }

Vec3 unit(Vec3 a) {
    const double n = norm(a);
    return n > 0.0 ? (1.0 / n) * a : a;
}

Vec3 to_vector(GeoPoint p) {
    const double lat = radians(p.lat), lon = radians(p.lon);
    const double c = std::cos(lat);
    return {c * std::cos(lon), c * std::sin(lon), std::sin(lat)};
}

GeoPoint to_geo(Vec3 v) {
    const double h = std::hypot(v.x, v.y);
    const double lon = h > 0.0 ? std::atan2(v.y, v.x) * degrees_per_radian : 0.0;
    return {std::atan2(v.z, h) * degrees_per_radian, lon};
}

double central_angle(Vec3 a, Vec3 b) { return std::atan2(norm(cross(a, b)), dot(a, b)); }

Vec3 leg_pole(Vec3 a, Vec3 b) {
    const Vec3 c = cross(a, b);
    const double n = norm(c);
    // Points very close together still name their great circle; points
    // almost opposite do not.
    if (n > no_great_circle || (n > 0.0 && dot(a, b) > 0.0)) return (1.0 / n) * c;
    // One point, or opposite points: the great circle through the north pole.
    const Vec3 towards_north = cross(a, Vec3{0.0, 0.0, 1.0});
    if (norm(towards_north) > no_great_circle) return unit(towards_north);
    return unit(cross(a, Vec3{1.0, 0.0, 0.0}));
}

double course_of(Vec3 p, Vec3 direction) {
    const double h = std::hypot(p.x, p.y);
    if (h < 1e-15) return 0.0;
    const Vec3 east{-p.y / h, p.x / h, 0.0};
    const Vec3 north{-p.z * p.x / h, -p.z * p.y / h, h};
    const double course = std::atan2(dot(direction, east), dot(direction, north)) * degrees_per_radian;
    return course < 0.0 ? course + 360.0 : course;
}

Vec3 along_leg(Vec3 a, Vec3 pole, double angle, double fraction) {
    const double turn = angle * fraction;
    return unit(std::cos(turn) * a + std::sin(turn) * cross(pole, a));
}

double distance_m(GeoPoint a, GeoPoint b) {
    return central_angle(to_vector(a), to_vector(b)) * earth_radius_m;
}

double initial_bearing(GeoPoint a, GeoPoint b) {
    const Vec3 va = to_vector(a);
    return course_of(va, cross(leg_pole(va, to_vector(b)), va));
}

double final_bearing(GeoPoint a, GeoPoint b) {
    const Vec3 vb = to_vector(b);
    return course_of(vb, cross(leg_pole(to_vector(a), vb), vb));
}

GeoPoint interpolate(GeoPoint a, GeoPoint b, double fraction) {
    const Vec3 va = to_vector(a), vb = to_vector(b);
    return to_geo(along_leg(va, leg_pole(va, vb), central_angle(va, vb), fraction));
}

}  // namespace vadrel
