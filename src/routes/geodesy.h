#pragma once
// Great circles on a sphere of radius 6371 km, with the true value of pi.
// A route's legs are exact great circles: a position along a leg is found by
// turning its first point's vector towards its second's, never by stepping a
// course, so it stays on the leg across the equator, the 180th meridian and
// near the poles. (The dead reckoning of straight-line driving, in motion/,
// keeps its own historic constants; routes do not share them.)
//
//   const GeoPoint milano{45.4642, 9.19}, roma{41.9028, 12.4964};
//   distance_m(milano, roma);            // 477,000 m and a little
//   initial_bearing(milano, roma);       // 154.6...
//   interpolate(milano, roma, 0.5);      // the midpoint on the great circle

#include <numbers>

namespace vadrel {

inline constexpr double earth_radius_m = 6371000.0;
inline constexpr double degrees_per_radian = 180.0 / std::numbers::pi;

// Degrees: latitude north positive (-90 .. 90), longitude east positive
// (-180 .. 180).
struct GeoPoint {
    double lat = 0.0;
    double lon = 0.0;
    bool operator==(const GeoPoint&) const = default;
};

// A point of the unit sphere, or a direction tangent to it: x towards 0 N 0 E,
// y towards 0 N 90 E, z towards the north pole.
struct Vec3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(double k, Vec3 a) { return {k * a.x, k * a.y, k * a.z}; }
inline double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double norm(Vec3 a);
// `a` made of length 1; a zero vector stays zero.
Vec3 unit(Vec3 a);

Vec3 to_vector(GeoPoint p);
// The longitude of a pole is 0.
GeoPoint to_geo(Vec3 v);

// The angle between two points of the sphere, in radians (0 .. pi), exact
// for points close together and for points almost opposite.
double central_angle(Vec3 a, Vec3 b);

// The pole of the great circle from a to b, so that (pole x a) is the way
// from a towards b. For points (almost) opposite, where every great circle
// joins them, the one through the north pole (or, for the poles themselves,
// through 0 E): a choice, so that a leg between them is still one path.
Vec3 leg_pole(Vec3 a, Vec3 b);

// The course (degrees 0 .. 360, 0 north, 90 east) of a direction tangent to
// the sphere at p; 0 at a pole, where no course is defined.
double course_of(Vec3 p, Vec3 direction);

// The point a `fraction` (0 .. 1) of the way from a to b along their great
// circle; `pole` is leg_pole(a, b), `angle` central_angle(a, b).
Vec3 along_leg(Vec3 a, Vec3 pole, double angle, double fraction);

double distance_m(GeoPoint a, GeoPoint b);
// The course at a towards b, and the course at b arriving from a.
double initial_bearing(GeoPoint a, GeoPoint b);
double final_bearing(GeoPoint a, GeoPoint b);
GeoPoint interpolate(GeoPoint a, GeoPoint b, double fraction);

}  // namespace vadrel
