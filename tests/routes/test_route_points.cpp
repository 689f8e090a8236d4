// How a route keeps its points: to a ten-millionth of a degree, a
// coordinate of up to seven decimals back as the very double it was read as,
// across the blocks the points are kept in, with their times and speeds.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

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

// Many blocks, a copy, and the legs measured between the points as kept;
// each point's time to the millisecond however far along, kept while every
// point has one; speeds only from the first point that has one.
TEST(RoutePoints, ManyPointsAcrossBlocks) {
    const auto speed_of = [](std::int64_t i) { return i < 3 ? std::nullopt : std::optional(5.0 + i % 7); };
    Route route("lungo");
    for (std::int64_t i = 0; i < 10'000; ++i) {
        ASSERT_FALSE(route.add({44.0 + (i % 2) * 0.0002, 9.0 + 0.0003 * i, speed_of(i), 1000 * i * i + 7}));
    }
    route.shrink();
    const Route copy = route;
    for (const std::int64_t i : {0, 4095, 4096, 8191, 8192, 9999}) {
        const auto n = static_cast<std::size_t>(i);
        EXPECT_EQ(copy.position(n).lon, std::round((9.0 + 0.0003 * i) * 1e7) / 1e7) << i;
        EXPECT_EQ(copy.speed(n), speed_of(i)) << i;
        EXPECT_EQ(copy.time(n), 1000 * i * i + 7) << i;
    }
    EXPECT_EQ(copy, route);
    EXPECT_EQ(route.duration_ms(), 1000LL * 9999 * 9999);
    EXPECT_NEAR(route.leg_length(4095), distance_m(route.position(4095), route.position(4096)), 1e-3);
    ASSERT_FALSE(route.add({45.2, 9.0}));
    EXPECT_FALSE(route.has_times()) << "a point without a time: none kept";
    EXPECT_TRUE(route.add({45.3, 9.0, std::nullopt, 5})) << "a later time going back is still refused";
}

}  // namespace
}  // namespace vadrel
