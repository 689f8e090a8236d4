#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "fleet/fleet.h"
#include "routes/vehicle_routes.h"
#include "textbook.h"

namespace vadrel {
namespace {

using testing::route_of;

constexpr double metres_per_degree = 111'195.0;

// Remembers what it was asked to keep and forget.
struct FakeKeeper : RouteKeeper {
    std::vector<std::string> calls;
    std::string refusal;
    std::string keep(std::size_t n, const Route& route, const FollowOptions&, const RouteProgress&) override {
        calls.push_back("keep " + std::to_string(n) + " " + std::to_string(route.size()));
        return refusal;
    }
    std::string forget(std::size_t n) override {
        calls.push_back("forget " + std::to_string(n));
        return {};
    }
};

// A fleet whose vehicle 0 goes at 36 km/h (10 m/s) on routes the tests give.
struct OnRoute : ::testing::Test {
    Fleet fleet;
    FakeKeeper keeper;
    VehicleRoutes routes{fleet, &keeper};
    std::vector<Change> heard;
    std::vector<std::size_t> told;
    const int me = 0;

    void SetUp() override {
        EXPECT_FALSE(fleet.set_unit(0, SpeedUnit::kmh, nullptr));
        EXPECT_FALSE(fleet.set_speed(0, 36.0, nullptr));
        fleet.watch([this](std::size_t, Change what, Fleet::Origin) { heard.push_back(what); });
        routes.watch([this](std::size_t n, Fleet::Origin) { told.push_back(n); });
    }
    void give(Route route, FollowOptions options = {}) {
        ASSERT_FALSE(routes.give(0, std::move(route), options, &me));
    }
    double lat() const { return fleet.vehicle(0).lat / arc_seconds_per_degree; }
    double lon() const { return fleet.vehicle(0).lon / arc_seconds_per_degree; }
};

// North along the meridian 10 E from 44 N: 1 km, then 1 km more.
const Route north = route_of({{44.0, 10.0}, {44.0 + 1000.0 / metres_per_degree, 10.0},
                              {44.0 + 2000.0 / metres_per_degree, 10.0}});

TEST_F(OnRoute, GivenItIsPlacedAtTheStartKeptAndToldThenMovesAlongItToTheEnd) {
    give(north);
    EXPECT_NEAR(lat(), 44.0, 1e-9);
    EXPECT_EQ(keeper.calls, std::vector<std::string>{"keep 0 3"});
    EXPECT_EQ(told, std::vector<std::size_t>{0});
    const std::uint32_t segment = fleet.vehicle(0).segment;
    fleet.advance(100.0);  // the first step starts the clock
    fleet.advance(110.0);  // 10 s at 10 m/s
    EXPECT_NEAR((lat() - 44.0) * metres_per_degree, 100.0, 0.01);
    EXPECT_NEAR(lon(), 10.0, 1e-9);
    EXPECT_EQ(fleet.vehicle(0).segment, segment) << "the track goes on: the route moves, it does not place";
    heard.clear();
    fleet.advance(350.0);  // 2500 m more asked on a route of 2000 m
    EXPECT_NEAR(lat(), 44.0 + 2000.0 / metres_per_degree, 1e-7) << "stopped at the end (a point kept to 1e-7 degrees)";
    EXPECT_EQ(fleet.vehicle(0).speed, 0.0);
    EXPECT_NE(std::find(heard.begin(), heard.end(), Change::speed), heard.end());
    routes.take_away(0, &me);
    EXPECT_EQ(std::pair(keeper.calls.back(), told), std::pair(std::string("forget 0"), std::vector<std::size_t>{0, 0}));
}

TEST_F(OnRoute, FromHereItIsNotPlacedAndDrivesToTheFirstPoint) {
    EXPECT_FALSE(fleet.place(0, 43.99 * arc_seconds_per_degree, 10.0 * arc_seconds_per_degree, nullptr));
    give(north, {RouteEnd::stop, false, 0.0, true});
    EXPECT_NEAR(lat(), 43.99, 1e-9);
    fleet.advance(0.0);
    fleet.advance(10.0);
    EXPECT_NEAR((lat() - 43.99) * metres_per_degree, 100.0, 0.01);
}

TEST_F(OnRoute, APointsSpeedIsTheVehiclesInItsUnit) {
    EXPECT_FALSE(fleet.set_unit(0, SpeedUnit::knots, nullptr));
    give(route_of({{0.0, 0.0, 1852.0 / 3600.0 * 20.0}, {0.0, 1.0}}));  // 20 knots from the first point
    fleet.advance(0.0);
    fleet.advance(1.0);
    EXPECT_NEAR(fleet.vehicle(0).speed, 20.0, 1e-6);
    EXPECT_NEAR(fleet.vehicle(0).course, 90.0, 1e-9);
}

// A point added at the end: the vehicle goes on from where it is, and on to it.
TEST_F(OnRoute, APointAppendedIsDrivenToFromWhereTheVehicleIs) {
    const double p3 = 44.0 + 3000.0 / metres_per_degree;
    // what, with a route, its end rule, seconds driven before the point is added, seconds then driven, metres north
    // of 44 N at the end
    const std::tuple<const char*, bool, RouteEnd, double, double, double> rows[] = {
        {"no route: one of the point, from where it is", false, RouteEnd::stop, 0.0, 50.0, 500.0},
        {"half way: on along the route, then to the point", true, RouteEnd::stop, 50.0, 200.0, 2500.0},
        {"stopped at the end: on to the new point", true, RouteEnd::stop, 250.0, 50.0, 2500.0},
        {"on the leg back of a loop: back to the first point first", true, RouteEnd::loop, 250.0, 50.0, 1000.0},
    };
    double t = 0.0;  // the steady clock, on from row to row
    for (const auto& [what, with_route, end, before_s, after_s, expected_m] : rows) {
        SCOPED_TRACE(what);
        t += 1000.0;
        routes.take_away(0, &me);
        fleet.advance(t);  // the time since the row before goes by first
        ASSERT_FALSE(fleet.place(0, 44.0 * arc_seconds_per_degree, 10.0 * arc_seconds_per_degree, &me));
        ASSERT_FALSE(fleet.set_speed(0, 36.0, &me));
        if (with_route) give(north, {end, false, 0.0, false});
        fleet.advance(t + before_s);
        const std::size_t kept = keeper.calls.size();
        ASSERT_FALSE(routes.append(0, {p3, 10.0}, "aggiunto", &me));
        EXPECT_EQ(keeper.calls.size(), kept + 1) << "kept again";
        ASSERT_FALSE(fleet.set_speed(0, 36.0, &me));  // a route that stopped left it at 0
        fleet.advance(t + before_s + after_s);
        EXPECT_NEAR((lat() - 44.0) * metres_per_degree, expected_m, 0.5);
        EXPECT_EQ(routes.route(0)->route.size(), with_route ? 4u : 1u);
    }
    EXPECT_TRUE(routes.append(0, {95.0, 10.0}, "", &me)) << "a latitude out of range";
    EXPECT_EQ(routes.route(0)->route.size(), 4u);
}

TEST_F(OnRoute, HandChangesThatTakeItOffItsRoute) {
    // name, first driven to the end of its route, the change, whether the route stays
    const std::tuple<const char*, bool, Change, bool> rows[] = {
        {"a speed changes the pace only", false, Change::speed, true},
        {"placed at the end of its route: done", true, Change::placed, false},
        {"a speed at the end of its route: done", true, Change::speed, false},
    };
    for (const auto& [name, finished, what, stays] : rows) {
        give(north);
        fleet.advance(0.0);
        fleet.advance(finished ? 1000.0 : 10.0);
        keeper.calls.clear();
        EXPECT_FALSE(what == Change::speed ? fleet.set_speed(0, 50.0, &me) : fleet.place(0, 0.0, 0.0, &me)) << name;
        EXPECT_EQ(std::pair(routes.has_route(0), keeper.calls.empty()), std::pair(stays, stays)) << name;
        routes.take_away(0, &me);
        EXPECT_FALSE(fleet.set_speed(0, 36.0, &me));
    }
}

TEST_F(OnRoute, ARouteThatCannotBeFollowedIsRefusedAndNothingChanges) {
    EXPECT_TRUE(routes.give(0, Route{}, {}, &me)) << "empty";
    EXPECT_TRUE(routes.give(fleet_size, north, {}, &me)) << "no such vehicle";
    EXPECT_FALSE(routes.has_route(0));
    EXPECT_NEAR(lat(), 0.0, 1e-12);
    EXPECT_TRUE(keeper.calls.empty());
    EXPECT_TRUE(told.empty());
}

}  // namespace
}  // namespace vadrel
