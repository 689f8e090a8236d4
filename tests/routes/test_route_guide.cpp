#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "fleet/fleet.h"
#include "routes/route_guide.h"

namespace vadrel {
namespace {

Route route_of(std::initializer_list<RoutePoint> points) {
    Route route;
    for (const RoutePoint& p : points) EXPECT_FALSE(route.add(p));
    return route;
}

// A fleet whose vehicle 0 is on a route north along the meridian 10 E from
// 44 N (1 km), at 36 km/h; the guide steers it, the fleet says what changed.
struct OnRoute : testing::Test {
    Fleet fleet;
    RouteGuide guide;
    std::vector<Change> heard;

    void SetUp() override {
        fleet.set_guide(&guide);
        EXPECT_FALSE(fleet.set_unit(0, SpeedUnit::kmh, nullptr));
        EXPECT_FALSE(fleet.set_speed(0, 36.0, nullptr));
        fleet.watch([this](std::size_t, Change what, Fleet::Origin) { heard.push_back(what); });
    }
    void give(Route route, FollowOptions options = {}) {
        ASSERT_FALSE(guide.give(0, std::move(route), options, fleet.vehicle(0)));
    }
    double lat() const { return fleet.vehicle(0).lat / arc_seconds_per_degree; }
    double lon() const { return fleet.vehicle(0).lon / arc_seconds_per_degree; }
};

const Route north = route_of({{44.0, 10.0}, {44.0 + 1000.0 / 111'195.0, 10.0}});

TEST_F(OnRoute, MovesAlongItsRouteAtItsSpeedAsAMoveNotAPlacing) {
    give(north);
    const std::uint32_t segment = fleet.vehicle(0).segment;
    fleet.advance(100.0);  // the first step starts the clock, at the route's first point
    EXPECT_NEAR(lat(), 44.0, 1e-9);
    fleet.advance(110.0);  // 10 s at 10 m/s
    EXPECT_NEAR((lat() - 44.0) * 111'195.0, 100.0, 0.01);
    EXPECT_NEAR(lon(), 10.0, 1e-9);
    EXPECT_NEAR(std::remainder(fleet.vehicle(0).course, 360.0), 0.0, 1e-9);
    EXPECT_EQ(fleet.vehicle(0).segment, segment) << "the track goes on: the route moves, it does not place";
    EXPECT_EQ(heard.front(), Change::moved);
}

TEST_F(OnRoute, StopsAtTheEndWithSpeedZero) {
    give(north);
    fleet.advance(0.0);
    fleet.advance(150.0);  // 1500 m asked on a route of 1000 m
    EXPECT_NEAR(lat(), 44.0 + 1000.0 / 111'195.0, 1e-9);
    EXPECT_EQ(fleet.vehicle(0).speed, 0.0);
    EXPECT_NE(std::find(heard.begin(), heard.end(), Change::speed), heard.end());
}

TEST_F(OnRoute, APointsSpeedIsTheVehiclesInItsUnit) {
    EXPECT_FALSE(fleet.set_unit(0, SpeedUnit::knots, nullptr));
    give(route_of({{0.0, 0.0, 1852.0 / 3600.0 * 20.0}, {0.0, 1.0}}));  // 20 knots from the first point
    fleet.advance(0.0);
    fleet.advance(1.0);
    EXPECT_NEAR(fleet.vehicle(0).speed, 20.0, 1e-6);
    EXPECT_NEAR(fleet.vehicle(0).course, 90.0, 1e-9);
}

TEST_F(OnRoute, WithoutARouteAVehicleGoesStraightOnAsBefore) {
    give(north);
    EXPECT_FALSE(fleet.set_course(0, 90.0, nullptr));  // the route's course wins while it has one
    guide.take_away(0);
    fleet.advance(0.0);
    fleet.advance(10.0);
    EXPECT_NEAR(lat(), 0.0, 1e-9) << "from where it was, east along the equator";
    EXPECT_GT(lon(), 0.0);
}

TEST_F(OnRoute, ARouteThatCannotBeFollowedIsRefusedAndNothingChanges) {
    const struct {
        const char* name;
        Route route;
        FollowOptions options;
    } rows[] = {
        {"empty", Route{}, {}},
        {"the track's rhythm without times", north, {RouteEnd::stop, true}},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(guide.give(0, row.route, row.options, fleet.vehicle(0))) << row.name;
        EXPECT_FALSE(guide.has_route(0)) << row.name;
    }
}

}  // namespace
}  // namespace vadrel
