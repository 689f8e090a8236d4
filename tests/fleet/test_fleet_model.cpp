#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "fleet/fleet.h"
#include "motion/dead_reckoning.h"

namespace vadrel {
namespace {

constexpr double arc(double degrees, double minutes = 0.0, double seconds = 0.0) {
    return degrees * 3600.0 + minutes * 60.0 + seconds;
}

// The one path's rules, for every source alike: a refusal names the field
// and leaves the vehicle as it was.
TEST(FleetModel, RefusedValuesLeaveTheVehicleAsItWas) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        const char* name;
        std::function<std::optional<Refusal>(Fleet&)> change;
        const char* field;  // "" when allowed
    } rows[] = {
        {"course 0", [](Fleet& f) { return f.set_course(1, 0.0, nullptr); }, ""},
        {"course 360 stands", [](Fleet& f) { return f.set_course(1, 360.0, nullptr); }, ""},
        {"course 123.4", [](Fleet& f) { return f.set_course(1, 123.4, nullptr); }, ""},
        {"course 361", [](Fleet& f) { return f.set_course(1, 361.0, nullptr); }, "rotta"},
        {"course -1", [](Fleet& f) { return f.set_course(1, -1.0, nullptr); }, "rotta"},
        {"course beyond 16 bits", [](Fleet& f) { return f.set_course(1, 70000.0, nullptr); }, "rotta"},
        {"course NaN", [=](Fleet& f) { return f.set_course(1, nan, nullptr); }, "rotta"},
        {"speed -32768", [](Fleet& f) { return f.set_speed(1, -32768.0, nullptr); }, ""},
        {"speed 32767.4", [](Fleet& f) { return f.set_speed(1, 32767.4, nullptr); }, ""},
        {"speed 32767.5", [](Fleet& f) { return f.set_speed(1, 32767.5, nullptr); }, "velocita"},
        {"speed -32769", [](Fleet& f) { return f.set_speed(1, -32769.0, nullptr); }, "velocita"},
        {"speed infinite", [](Fleet& f) { return f.set_speed(1, HUGE_VAL, nullptr); }, "velocita"},
        {"latitude NaN", [=](Fleet& f) { return f.place(1, nan, 0.0, nullptr); }, "lat"},
        {"longitude NaN", [=](Fleet& f) { return f.place(1, 0.0, nan, nullptr); }, "lon"},
        {"vehicle 21", [](Fleet& f) { return f.set_speed(21, 5.0, nullptr); }, "mezzo"},
    };
    for (const Row& row : rows) {
        Fleet fleet;
        const Vehicle before = fleet.vehicle(1);
        const std::optional<Refusal> refusal = row.change(fleet);
        if (*row.field == '\0') {
            EXPECT_FALSE(refusal) << row.name << ": " << refusal->reason;
            continue;
        }
        ASSERT_TRUE(refusal) << row.name;
        EXPECT_EQ(refusal->field, row.field) << row.name;
        EXPECT_FALSE(refusal->reason.empty()) << row.name;
        EXPECT_EQ(fleet.vehicle(1), before) << row.name;
    }
}

// Placing keeps the globe: past a pole down the far meridian, past 180 round;
// a coordinate left out stays; each placing breaks the track.
TEST(FleetModel, PlacingNormalisesAndBreaksTheTrack) {
    Fleet fleet;
    ASSERT_FALSE(fleet.place(2, arc(45, 30), arc(9, 12), nullptr));
    const std::uint32_t segment = fleet.vehicle(2).segment;
    ASSERT_FALSE(fleet.place(2, std::nullopt, arc(190), nullptr));
    EXPECT_DOUBLE_EQ(fleet.vehicle(2).lat, arc(45, 30));
    EXPECT_DOUBLE_EQ(fleet.vehicle(2).lon, -arc(170));
    ASSERT_FALSE(fleet.place(2, arc(91), arc(10), nullptr));
    EXPECT_DOUBLE_EQ(fleet.vehicle(2).lat, arc(89));
    EXPECT_DOUBLE_EQ(fleet.vehicle(2).lon, -arc(170));
    EXPECT_EQ(fleet.vehicle(2).segment, segment + 2);
}

// The step is the motion vadrel has always sent: one second at 100 km/h on
// course 45 from 44 01 46 N 10 08 04 E gives the fields of that worked
// example; a first step only starts the clock; knots are nautical miles.
TEST(FleetModel, AdvanceStepsByTheTimeSinceTheVehiclesLastStep) {
    Fleet fleet;
    ASSERT_FALSE(fleet.place(0, arc(44, 1, 46), arc(10, 8, 4), nullptr));
    ASSERT_FALSE(fleet.set_course(0, 45.0, nullptr));
    ASSERT_FALSE(fleet.set_speed(0, 100.0, nullptr));
    fleet.advance(0, 500.0);
    EXPECT_DOUBLE_EQ(fleet.vehicle(0).lat, arc(44, 1, 46));
    fleet.advance(0, 501.0);
    EXPECT_EQ(rmc_coordinate(fleet.vehicle(0).lat, 2) + " " + rmc_coordinate(fleet.vehicle(0).lon, 3),
              "4401.7772 01008.0814");

    // 10 knots due north for an hour: 18.52 km on the sphere of 6371 km
    ASSERT_FALSE(fleet.place(1, 0.0, 0.0, nullptr));
    ASSERT_FALSE(fleet.set_unit(1, SpeedUnit::knots, nullptr));
    ASSERT_FALSE(fleet.set_speed(1, 10.0, nullptr));
    fleet.advance(1, 0.0);
    fleet.advance(1, 3600.0);
    EXPECT_NEAR(fleet.vehicle(1).lat, 18.52 / 6371.0 * 180.0 / pi_rotta * 3600.0, 1e-9);
    EXPECT_DOUBLE_EQ(fleet.vehicle(1).lon, 0.0);
}

// Over the pole the course turns by 180 and the watchers hear of it; a
// backing vehicle goes over the ground on the reverse course.
TEST(FleetModel, OverThePoleTheCourseTurnsAndIsTold) {
    Fleet fleet;
    std::vector<Change> heard;
    fleet.watch([&](std::size_t n, Change what, Fleet::Origin) {
        if (n == 4) heard.push_back(what);
    });
    ASSERT_FALSE(fleet.place(4, arc(89, 59, 59), arc(10), nullptr));
    ASSERT_FALSE(fleet.set_speed(4, 1000.0, nullptr));
    heard.clear();
    fleet.advance(4, 0.0);
    fleet.advance(4, 10.0);
    EXPECT_EQ(fleet.vehicle(4).course, 180.0);
    EXPECT_LT(fleet.vehicle(4).lon, 0.0);
    EXPECT_EQ(heard, (std::vector<Change>{Change::moved, Change::moved, Change::course}));

    ASSERT_FALSE(fleet.set_speed(4, -5.0, nullptr));
    EXPECT_EQ(ground_motion(fleet.vehicle(4)).course, 0.0);
    EXPECT_EQ(ground_motion(fleet.vehicle(4)).kmh, 5.0);
}

}  // namespace
}  // namespace vadrel
