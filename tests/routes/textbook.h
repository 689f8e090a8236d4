#pragma once
// The checks of the route tests, computed apart from the code: the textbook
// formulas on latitudes and longitudes (haversine, initial bearing,
// cross-track and along-track distances) on the same sphere, and a route
// made of points that must all be taken.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "routes/route.h"

namespace vadrel::testing {

inline constexpr double rad = std::numbers::pi / 180.0, R = 6371000.0;

inline double haversine(GeoPoint a, GeoPoint b) {
    const double h = std::pow(std::sin((b.lat - a.lat) * rad / 2), 2) +
                     std::cos(a.lat * rad) * std::cos(b.lat * rad) * std::pow(std::sin((b.lon - a.lon) * rad / 2), 2);
    return 2 * R * std::asin(std::sqrt(std::min(h, 1.0)));
}
// Degrees, 0 .. 360.
inline double bearing(GeoPoint a, GeoPoint b) {
    const double dlon = (b.lon - a.lon) * rad;
    const double y = std::sin(dlon) * std::cos(b.lat * rad);
    const double x = std::cos(a.lat * rad) * std::sin(b.lat * rad) - std::sin(a.lat * rad) * std::cos(b.lat * rad) * std::cos(dlon);
    return std::fmod(std::atan2(y, x) / rad + 360.0, 360.0);
}
inline double angle_between(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }
// Metres from p to the great-circle leg a-b (to its nearer end off the leg).
inline double off_leg(GeoPoint p, GeoPoint a, GeoPoint b) {
    const double d13 = haversine(a, p) / R, d12 = haversine(a, b) / R;
    const double turn = (bearing(a, p) - bearing(a, b)) * rad;
    const double xt = std::asin(std::sin(d13) * std::sin(turn));
    const double at = std::acos(std::clamp(std::cos(d13) / std::cos(xt), -1.0, 1.0)) * (std::cos(turn) < 0 ? -1 : 1);
    if (at >= -1e-7 && at <= d12 + 1e-7) return std::fabs(xt) * R;
    return std::min(haversine(p, a), haversine(p, b));
}

inline Route route_of(std::initializer_list<RoutePoint> points, std::string name = {}) {
    Route route(std::move(name));
    for (const RoutePoint& p : points) EXPECT_FALSE(route.add(p));
    return route;
}

}  // namespace vadrel::testing
