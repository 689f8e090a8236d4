// How a route keeps its points: to a ten-millionth of a degree, a
// coordinate of up to seven decimals back as the very double it was read as,
// across the blocks the points are kept in.

#include <gtest/gtest.h>

#include <cmath>

#include "routes/route.h"

namespace vadrel {
namespace {

TEST(RoutePoints, KeptToATenMillionthOfADegree) {
    const struct {
        const char* what;
        double lat, lon;
        double tolerance;  // 0: the same double
    } rows[] = {
        {"a town", 45.4642, 9.19, 0.0},
        {"seven decimals", -33.8567844, 151.2152967, 0.0},
        {"the corners of the range", -90.0, 180.0, 0.0},
        {"the other corners", 90.0, -180.0, 0.0},
        {"a ten-millionth off the 180th meridian", 0.0000001, -179.9999999, 0.0},
        {"more decimals: the nearest ten-millionth", 44.123456789, -0.000000049, 0.5e-7},
    };
    for (const auto& r : rows) {
        Route route;
        ASSERT_FALSE(route.add({r.lat, r.lon})) << r.what;
        EXPECT_NEAR(route.position(0).lat, r.lat, r.tolerance) << r.what;
        EXPECT_NEAR(route.position(0).lon, r.lon, r.tolerance) << r.what;
    }
}

// Many blocks, a copy, and the legs measured between the points as kept.
TEST(RoutePoints, ManyPointsAcrossBlocks) {
    Route route("lungo");
    for (int i = 0; i < 10'000; ++i) {
        ASSERT_FALSE(route.add({44.0 + (i % 2) * 0.0002, 9.0 + 0.0003 * i, 5.0 + i % 7, 1'700'000'000'000 + 1000ll * i}));
    }
    route.shrink();
    const Route copy = route;
    for (const std::size_t i : {0u, 4095u, 4096u, 8191u, 8192u, 9999u}) {
        EXPECT_EQ(copy.position(i).lon, std::round((9.0 + 0.0003 * i) * 1e7) / 1e7) << i;
        EXPECT_EQ(copy.speed(i), 5.0 + i % 7) << i;
        EXPECT_EQ(copy.time(i), 1'700'000'000'000 + 1000ll * i) << i;
    }
    EXPECT_EQ(copy, route);
    EXPECT_NEAR(route.leg_length(4095), distance_m(route.position(4095), route.position(4096)), 1e-3);
}

}  // namespace
}  // namespace vadrel
