// Encounters: a target placed so that the fleet's own dead reckoning brings
// it to the closest point asked, at the time asked, on the side asked.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

#include "ais/encounter.h"
#include "fleet/fleet.h"

namespace vadrel {
namespace {

constexpr double degree = std::numbers::pi / 180.0;
// Miles of a second of arc on the fleet's sphere (6371 km).
constexpr double miles_per_arc_second = 6371.0 / km_per_nautical_mile * degree / 3600.0;

// The target relative to the own ship, miles north and east (a flat frame
// on the parallel halfway between them).
Flat relative(const Vehicle& own, const Vehicle& target) {
    return {(target.lat - own.lat) * miles_per_arc_second,
            (target.lon - own.lon) * miles_per_arc_second * std::cos((own.lat + target.lat) / 7200.0 * degree)};
}

Vehicle ship(double lat_degrees, double lon_degrees, double course, double knots) {
    Vehicle v;
    v.lat = lat_degrees * 3600.0;
    v.lon = lon_degrees * 3600.0;
    v.course = course;
    v.speed = knots;
    v.unit = SpeedUnit::knots;
    return v;
}

// The bearing of the target from the own ship, relative to its heading, 0 .. 360.
double relative_bearing(Flat at, double heading) {
    const double bearing = std::atan2(at.east, at.north) / degree - heading;
    return std::fmod(bearing + 720.0, 360.0);
}

TEST(Encounter, TheFleetsMotionBringsTheTargetToTheClosestPointAsked) {
    // name, own course and knots, target course and knots, CPA, TCPA, side,
    // the target's bearing from the own ship's heading at the closest point
    const std::tuple<const char*, double, double, double, double, double, double, Side, double> rows[] = {
        {"a still target, starboard", 0, 10, 0, 0, 0.5, 6, Side::starboard, 90},
        {"a still target, port", 0, 10, 0, 0, 0.5, 6, Side::port, 270},
        {"head-on, starboard", 0, 10, 180, 10, 1.0, 12, Side::starboard, 90},
        {"head-on, port", 0, 10, 180, 10, 1.0, 12, Side::port, 270},
        {"crossing from starboard", 0, 10, 270, 10, 0.3, 8, Side::starboard, 135},
        {"crossing, passing to port", 0, 10, 270, 10, 0.3, 8, Side::port, 315},
        {"overtaking", 0, 10, 0, 15, 0.2, 20, Side::starboard, 90},
        {"being overtaken, port", 0, 15, 0, 10, 0.2, 20, Side::port, 270},
        {"own ship stopped", 0, 0, 0, 10, 2.0, 30, Side::starboard, 90},
        {"own ship eastbound, target southbound", 90, 12, 180, 20, 1.5, 15, Side::starboard, 30.96},
        {"ahead across the heading: starboard takes ahead", 0, 10, 45, 10 * std::numbers::sqrt2, 0.5, 6,
         Side::starboard, 0},
        {"ahead across the heading: port takes astern", 0, 10, 45, 10 * std::numbers::sqrt2, 0.5, 6, Side::port, 180},
        {"a collision course", 30, 8, 250, 14, 0.0, 10, Side::starboard, -1},
        {"far south and west", 200, 18, 20, 9, 0.5, 60, Side::port, 270},
    };
    for (const auto& [name, own_course, own_knots, course, knots, cpa, tcpa, side, bearing] : rows) {
        const double lat = std::string(name) == "far south and west" ? -40.0 : 44.0;
        const Vehicle own = ship(lat, lat < 0 ? -70.0 : 9.0, own_course, own_knots);
        const auto placed = place_encounter(own, 0, ship(0, 0, course, knots), {1, cpa, tcpa, side});
        ASSERT_TRUE(std::holds_alternative<Vehicle>(placed)) << name << ": " << std::get<Refusal>(placed).reason;
        Fleet fleet;
        fleet.load(0, own, nullptr);
        fleet.load(1, std::get<Vehicle>(placed), nullptr);
        EXPECT_EQ(fleet.vehicle(1).course, course) << name << ": its own course";
        // CPA and TCPA computed back from the positions now and the velocities.
        const Flat velocity{velocity_knots(fleet.vehicle(1)).north - velocity_knots(own).north,
                            velocity_knots(fleet.vehicle(1)).east - velocity_knots(own).east};
        const auto back = closest_approach(relative(own, fleet.vehicle(1)), velocity);
        ASSERT_TRUE(back) << name;
        EXPECT_NEAR(back->cpa_miles, cpa, 0.001) << name;
        EXPECT_NEAR(back->tcpa_minutes, tcpa, 0.01) << name;
        // As the window tells it while the two move.
        const auto told = approach_between(own, fleet.vehicle(1));
        ASSERT_TRUE(told) << name;
        EXPECT_NEAR(told->cpa_miles, cpa, 0.001) << name;
        EXPECT_NEAR(told->tcpa_minutes, tcpa, 0.01) << name;
        // The fleet steps both, a second at a time, to the closest point: the
        // distance asked within a thousandth of the distance they started
        // at (the globe is no plane), at the bearing asked.
        const Flat start = relative(own, fleet.vehicle(1));
        for (int second = 0; second <= tcpa * 60.0; ++second) {
            for (const std::size_t n : {0U, 1U}) fleet.advance(n, second);
        }
        const Flat at = relative(fleet.vehicle(0), fleet.vehicle(1));
        EXPECT_NEAR(std::hypot(at.north, at.east), cpa, 0.002 + 0.001 * std::hypot(start.north, start.east)) << name;
        if (bearing >= 0) {
            EXPECT_NEAR(relative_bearing(at, own_course), bearing, 0.5) << name;
        }
    }
}

TEST(Encounter, RefusedWhereNoEncounterCanBe) {
    // name, own course and knots, target course and knots, CPA, TCPA, target's number
    const std::tuple<const char*, double, double, double, double, double, double, std::size_t> rows[] = {
        {"same course and speed", 45, 10, 45, 10, 0.5, 6, 1},
        {"both stopped", 0, 0, 90, 0, 0.5, 6, 1},
        {"a negative CPA", 0, 10, 0, 0, -0.1, 6, 1},
        {"TCPA now", 0, 10, 0, 0, 0.5, 0, 1},
        {"TCPA past", 0, 10, 0, 0, 0.5, -3, 1},
        {"CPA not a number", 0, 10, 0, 0, std::nan(""), 6, 1},
        {"TCPA infinite", 0, 10, 0, 0, 0.5, INFINITY, 1},
        {"the own ship itself", 0, 10, 0, 0, 0.5, 6, 0},
    };
    for (const auto& [name, own_course, own_knots, course, knots, cpa, tcpa, target] : rows) {
        const auto placed = place_encounter(ship(44, 9, own_course, own_knots), 0, ship(44, 9, course, knots),
                                            {target, cpa, tcpa, Side::starboard});
        ASSERT_TRUE(std::holds_alternative<Refusal>(placed)) << name;
        EXPECT_EQ(std::get<Refusal>(placed).field, "incontro") << name;
        EXPECT_FALSE(std::get<Refusal>(placed).reason.empty()) << name;
    }
}

// The closest approach of a relative motion, by hand: past, now, ahead.
TEST(Encounter, ClosestApproachOfARelativeMotion) {
    // name, relative position (miles N, E), relative velocity (knots N, E), CPA, TCPA
    const std::tuple<const char*, Flat, Flat, double, double> rows[] = {
        {"ahead, closing", {2, 1}, {-10, 0}, 1.0, 12.0},
        {"opening: the closest point is past", {2, 1}, {10, 0}, 1.0, -12.0},
        {"at the closest point now", {0, 1}, {5, 0}, 1.0, 0.0},
        {"straight at us", {3, 4}, {-6, -8}, 0.0, 30.0},
    };
    for (const auto& [name, position, velocity, cpa, tcpa] : rows) {
        const auto got = closest_approach(position, velocity);
        ASSERT_TRUE(got) << name;
        EXPECT_NEAR(got->cpa_miles, cpa, 1e-9) << name;
        EXPECT_NEAR(got->tcpa_minutes, tcpa, 1e-9) << name;
    }
    EXPECT_FALSE(closest_approach({1, 1}, {0, 0})) << "no relative motion";
}

// The approach of two vehicles as they stand, the short way round the globe.
TEST(Encounter, ApproachBetweenTwoVehicles) {
    // name, own lat, lon, course, knots, target lat, lon, course, knots, CPA, TCPA (minutes)
    const std::tuple<const char*, double, double, double, double, double, double, double, double, double, double>
        rows[] = {
            {"a mile ahead, closing", 44, 9, 0, 10, 44 + 1 / 60.0, 9, 180, 10, 0.0, 3.0},
            {"a mile east, still, passing", 0, 0, 0, 6, 0, 1 / 60.0, 0, 0, 1.0, 0.0},
            {"across the 180th meridian, westbound target", 0, 179.99, 0, 0, 0, -179.99, 270, 12, 0.0, 6.0},
            {"across the 180th meridian, eastbound own", 0, -179.99, 90, 12, 0, 179.99, 0, 0, 0.0, -6.0},
        };
    for (const auto& [name, la, lo, c, k, tla, tlo, tc, tk, cpa, tcpa] : rows) {
        const auto got = approach_between(ship(la, lo, c, k), ship(tla, tlo, tc, tk));
        ASSERT_TRUE(got) << name;
        EXPECT_NEAR(got->cpa_miles, cpa, 0.01) << name;
        EXPECT_NEAR(got->tcpa_minutes, tcpa, 0.05) << name;
    }
    EXPECT_FALSE(approach_between(ship(44, 9, 90, 8), ship(44.1, 9, 90, 8))) << "no relative motion";
}

}  // namespace
}  // namespace vadrel
