#pragma once
// What the sky tests share: a day, a place, and points set in its sky
// worked out from the normal of the ellipsoid (not by the frame under test).

#include <cmath>
#include <numbers>

#include "sky/look_angles.h"

namespace vadrel::testing {

inline constexpr double deg = std::numbers::pi / 180.0;
inline constexpr std::int64_t day_2026_06_01 = 1'780'272'000'000;  // 2026-06-01 00:00:00 UTC
inline const Observer milan{45.46, 9.19, 120};

// The point `east`, `north` and `up` metres from the observer along its local axes.
inline Ecef along(const Observer& o, double east, double north, double up) {
    const Ecef p = ecef_of(o);
    const double sl = std::sin(o.latitude * deg), cl = std::cos(o.latitude * deg);
    const double so = std::sin(o.longitude * deg), co = std::cos(o.longitude * deg);
    return {p.x - so * east - sl * co * north + cl * co * up, p.y + co * east - sl * so * north + cl * so * up,
            p.z + cl * north + sl * up};
}

}  // namespace vadrel::testing
