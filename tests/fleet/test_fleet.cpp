#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <tuple>
#include <vector>

#include "fleet/fleet.h"
#include "motion/dead_reckoning.h"

namespace vadrel {
namespace {

constexpr double arc(double degrees, double minutes = 0.0, double seconds = 0.0) {
    return degrees * 3600.0 + minutes * 60.0 + seconds;
}

// The one path's rules, for every source alike: a refusal names the field
// and why, and leaves the vehicle as it was.
TEST(Fleet, RefusedValuesLeaveTheVehicleAsItWas) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // the change, what it does, the start of "field: reason" ("" when allowed)
    const std::tuple<const char*, std::function<std::optional<Refusal>(Fleet&)>, const char*> rows[] = {
        {"course 360 stands", [](Fleet& f) { return f.set_course(1, 360.0, nullptr); }, ""},
        {"course 361", [](Fleet& f) { return f.set_course(1, 361.0, nullptr); }, "rotta: la rotta va da 0 a 360"},
        {"course -1", [](Fleet& f) { return f.set_course(1, -1.0, nullptr); }, "rotta: la rotta va da 0 a 360"},
        {"course beyond 16 bits", [](Fleet& f) { return f.set_course(1, 70000.0, nullptr); },
         "rotta: la rotta 70000 non sta nel campo della tabella"},
        {"course NaN", [=](Fleet& f) { return f.set_course(1, nan, nullptr); }, "rotta: "},
        {"speed -32768", [](Fleet& f) { return f.set_speed(1, -32768.0, nullptr); }, ""},
        {"speed 32767.4", [](Fleet& f) { return f.set_speed(1, 32767.4, nullptr); }, ""},
        {"speed 32767.5", [](Fleet& f) { return f.set_speed(1, 32767.5, nullptr); }, "velocita: "},
        {"speed infinite", [](Fleet& f) { return f.set_speed(1, HUGE_VAL, nullptr); }, "velocita: "},
        {"latitude NaN", [=](Fleet& f) { return f.place(1, nan, 0.0, nullptr); }, "lat: "},
        {"longitude NaN", [=](Fleet& f) { return f.place(1, 0.0, nan, nullptr); }, "lon: "},
        {"vehicle 21", [](Fleet& f) { return f.set_speed(21, 5.0, nullptr); }, "mezzo: "},
        {"current 21", [](Fleet& f) { return f.set_current(21, nullptr); }, "mezzo: "},
    };
    for (const auto& [name, change, start] : rows) {
        Fleet fleet;
        const std::optional<Refusal> refusal = change(fleet);
        const std::string said = refusal ? refusal->field + ": " + refusal->reason : "";
        EXPECT_EQ(said.rfind(start, 0), 0u) << name << ": " << said;
        EXPECT_EQ(said.size() > std::strlen(start), *start != '\0') << name << ": " << said;
        EXPECT_EQ(fleet.vehicle(1).same_values(Vehicle{}), refusal.has_value()) << name;
        EXPECT_EQ(fleet.current(), 0u) << name;
    }
}

// A first step only starts the clock; knots are nautical miles: 10 knots
// due north for an hour is 18.52 km on the sphere of 6371 km.
TEST(Fleet, AdvanceStepsByTheTimeSinceTheVehiclesLastStep) {
    Fleet fleet;
    fleet.set_unit(0, SpeedUnit::knots, nullptr);
    fleet.set_speed(0, 10.0, nullptr);
    fleet.advance(500.0);
    fleet.advance(4100.0);
    EXPECT_NEAR(fleet.vehicle(0).lat, 18.52 / 6371.0 * 180.0 / course_pi * 3600.0, 1e-9);
    EXPECT_EQ(fleet.vehicle(0).lon, 0.0);
    fleet.set_current(1, nullptr);
    fleet.advance(5000.0);
    EXPECT_EQ(fleet.vehicle(0).last_step, 4100.0) << "vehicle 0 is no longer in use";
}

// An hour at 10 knots from 60 N: the longitude's step is the arc over the
// cosine of the latitude the step arrives at (due east the arc doubles at
// 60 degrees), the latitude's step first.
TEST(Fleet, TheLongitudesStepIsOverTheCosineOfTheNewLatitude) {
    const double arc = 18.52 / 6371.0 * 180.0 / course_pi * 3600.0;  // arc-seconds in an hour
    const auto radians = [](double degrees) { return degrees * course_pi / 180.0; };
    // course, latitude and longitude after the hour, in arc-seconds
    const std::tuple<double, double, double> rows[] = {
        {90.0, 60.0 * 3600.0, arc / std::cos(radians(60.0))},
        {45.0, 60.0 * 3600.0 + arc * std::cos(radians(45.0)),
         arc * std::sin(radians(45.0)) / std::cos(radians(60.0 + arc * std::cos(radians(45.0)) / 3600.0))},
    };
    for (const auto& [course, lat, lon] : rows) {
        Fleet fleet;
        ASSERT_FALSE(fleet.place(0, 60.0 * 3600.0, 0.0, nullptr));
        fleet.set_unit(0, SpeedUnit::knots, nullptr);
        fleet.set_speed(0, 10.0, nullptr);
        fleet.set_course(0, course, nullptr);
        fleet.advance(0.0);
        fleet.advance(3600.0);
        EXPECT_NEAR(fleet.vehicle(0).lat, lat, 1e-6) << course;
        EXPECT_NEAR(fleet.vehicle(0).lon, lon, 1e-6) << course;
    }
}

// Which vehicles are in use and why, and which of them move with the
// ticks. Vehicles 1, 2 and 5 have stepped before: in multi-user their turn
// has come round.
TEST(Fleet, TheVehiclesInUseAndWhy) {
    // the case, the mode, the cycle, the current vehicle, targets on, streams on,
    // the vehicles in use ("n why; ..."), those moving, the next in the cycle
    const std::tuple<const char*, Mode, int, std::size_t, bool, bool, const char*, std::vector<std::size_t>,
                     std::size_t>
        rows[] = {
            {"GPS standard: the current one", Mode::gps_standard, 3, 4, false, false, "4 attuale", {4}, 0},
            {"multi-user: the cycle's; each moves once its turn has come", Mode::multi_user, 3, 0, false, false,
             "0 attuale, ciclo; 1 ciclo; 2 ciclo", {0, 1, 2}, 1},
            {"multi-user: a current one past the cycle is sent once more", Mode::multi_user, 3, 5, false, false,
             "0 ciclo; 1 ciclo; 2 ciclo; 5 attuale", {1, 2, 5}, 0},
            {"multi-user: a cycle of 0 serves vehicle 0", Mode::multi_user, 0, 0, false, false, "0 attuale, ciclo",
             {0}, 0},
            {"multi-user: the last of the cycle wraps", Mode::multi_user, 3, 2, false, false,
             "0 ciclo; 1 ciclo; 2 attuale, ciclo", {1, 2}, 0},
            {"targets, GPS standard: the cycle's but the current one, started or not", Mode::gps_standard, 4, 1,
             true, false, "0 bersaglio AIS; 1 attuale; 2 bersaglio AIS; 3 bersaglio AIS", {0, 1, 2, 3}, 2},
            {"targets, a cycle of 0: the current one", Mode::radio, 0, 3, true, false, "3 attuale", {3}, 0},
            {"targets leave multi-user as it is", Mode::multi_user, 4, 0, true, false,
             "0 attuale, ciclo; 1 ciclo; 2 ciclo; 3 ciclo", {0, 1, 2}, 1},
            {"streams, GPS standard: the cycle's and the current one past it", Mode::gps_standard, 2, 4, false, true,
             "0 flusso; 1 flusso; 4 attuale, flusso", {0, 1, 4}, 0},
            {"targets and streams, radio", Mode::radio, 3, 0, true, true,
             "0 attuale, flusso; 1 bersaglio AIS, flusso; 2 bersaglio AIS, flusso", {0, 1, 2}, 1},
            {"streams, multi-user: the cycle's, each moving from its turn", Mode::multi_user, 3, 1, false, true,
             "0 ciclo, flusso; 1 attuale, ciclo, flusso; 2 ciclo, flusso", {1, 2}, 2},
        };
    for (const auto& [name, mode, cycle, current, targets, streams, expected, moving, next] : rows) {
        Fleet fleet;
        for (std::size_t n : {1, 2, 5}) {
            fleet.set_current(n, nullptr);
            fleet.advance(1.0);
        }
        fleet.set_mode(mode, nullptr);
        fleet.set_cycle(cycle, nullptr);
        fleet.set_current(current, nullptr);
        fleet.set_targets(targets, nullptr);
        fleet.set_streams(streams, nullptr);
        std::string in_use;
        std::vector<std::size_t> moved;
        std::size_t count = 0;
        for (std::size_t n = 0; n <= fleet_size; ++n) {
            if (const InUse why = fleet.in_use(n)) {
                in_use += (in_use.empty() ? "" : "; ") + std::to_string(n) + " " + why.text();
                ++count;
            }
            if (fleet.moving(n)) moved.push_back(n);
        }
        EXPECT_EQ(in_use, expected) << name;
        EXPECT_EQ(fleet.vehicles_in_use(), count) << name;
        EXPECT_EQ(moved, moving) << name;
        EXPECT_EQ(fleet.next_in_cycle(), next) << name;
    }
    Fleet fleet;
    for (const auto& [asked, taken] : {std::pair{-5, 0}, {25, 19}}) {
        fleet.set_cycle(asked, nullptr);
        EXPECT_EQ(fleet.cycle(), taken) << asked;
    }
}

// The vehicles' numbers and the cycle's size as a user gives them: one rule
// each, one message each, whoever asks (the panel, a file, the control
// interface, the command line).
TEST(FleetRules, VehicleNumbersAndCycleSize) {
    // the vehicle's number, the refusal ("": none)
    const std::tuple<std::size_t, const char*> vehicles[] = {
        {0, ""}, {20, ""}, {21, "il mezzo 21 non esiste: i mezzi vanno da 0 a 20"},
        {999, "il mezzo 999 non esiste: i mezzi vanno da 0 a 20"},
    };
    Fleet fleet;
    for (const auto& [n, why] : vehicles) {
        const auto refusal = vehicle_problem(n);
        EXPECT_EQ(refusal ? refusal->reason : "", why) << n;
        EXPECT_EQ(refusal ? refusal->field : "mezzo", "mezzo") << n;
        EXPECT_EQ(vehicle_exists(n), !refusal) << n;
        EXPECT_EQ(fleet.set_speed(n, 1.0, nullptr), refusal) << n;
        EXPECT_EQ(fleet.set_current(n, nullptr), refusal) << n;
    }
    EXPECT_EQ(no_such_vehicle("0021"), "il mezzo 0021 non esiste: i mezzi vanno da 0 a 20");
    EXPECT_EQ(vehicle_range(), "da 0 a 20");

    // "Numero di mezzi mobili" as given, the refusal ("": none)
    const std::tuple<double, const char*> cycles[] = {
        {1, ""}, {19, ""}, {0, "il ciclo multiutente serve un numero intero di mezzi da 1 a 19, non 0"},
        {20, "il ciclo multiutente serve un numero intero di mezzi da 1 a 19, non 20"},
        {2.5, "il ciclo multiutente serve un numero intero di mezzi da 1 a 19, non 2.5"},
        {-1, "il ciclo multiutente serve un numero intero di mezzi da 1 a 19, non -1"},
    };
    for (const auto& [vehicles, why] : cycles) {
        const auto refusal = cycle_problem(vehicles);
        EXPECT_EQ(refusal ? refusal->reason : "", why) << vehicles;
        EXPECT_EQ(refusal ? refusal->field : "mezzi", "mezzi") << vehicles;
        // what the fleet takes from a text ("Numero di mezzi mobili", --mezzi) stays within the same rule
        fleet.set_cycle(static_cast<int>(vehicles), nullptr);
        EXPECT_LE(fleet.cycle(), largest_cycle) << vehicles;
    }
}

// A change of mode keeps "Numero di mezzi mobili", so the vehicles in use
// come back as they were: with targets on, 4 in every mode.
TEST(Fleet, AModeChangeKeepsTheVehiclesInUse) {
    Fleet fleet;
    fleet.set_cycle(4, nullptr);
    fleet.set_targets(true, nullptr);
    std::vector<Change> told;
    fleet.watch([&told](std::size_t, Change what, Fleet::Origin) { told.push_back(what); });
    for (Mode mode : {Mode::gps_standard, Mode::radio, Mode::multi_user, Mode::gps_standard}) {
        fleet.set_mode(mode, nullptr);
        EXPECT_EQ(fleet.vehicles_in_use(), 4u) << static_cast<int>(mode);
        EXPECT_EQ(fleet.cycle(), 4) << static_cast<int>(mode);
    }
    EXPECT_EQ(told, std::vector<Change>(4, Change::mode));
    EXPECT_TRUE(changes_use(Change::mode) && changes_use(Change::targets) && !changes_use(Change::moved));
    fleet.set_targets(false, nullptr);
    EXPECT_EQ(fleet.vehicles_in_use(), 1u) << "GPS standard without targets or streams: the current one";
}

// Crossing a line is going on across it: the side changes and the figures
// go on; over a pole the vehicle comes down the meridian 180 degrees away,
// its course turned round, and the watchers hear of the turn from nobody.
TEST(Fleet, CrossingsGoOnAcrossTheLine) {
    // the case, latitude, longitude, course and speed, the steps, the seconds a step, the RMC fields, the course after
    const std::tuple<const char*, double, double, double, double, int, double, const char*, double> rows[] = {
        {"north across the equator", -arc(0, 0, 1), -arc(10), 0, 100, 2, 1, "0000.0133,N 01000.0000,W", 0},
        {"west across 180", -0.0, -arc(179, 59, 59), 270, 100, 2, 1, "0000.0000,S 17959.9866,E", 270},
        // exactly on a line a step keeps the side it came from (the row above too)
        {"north along the meridian, west of it", arc(10), -0.0, 0, 100, 2, 1, "1000.0299,N 00000.0000,W", 0},
        {"north over the pole", arc(89, 59, 59), arc(10), 0, 100, 2, 1, "8959.9866,N 17000.0000,W", 180},
        {"south over the pole", -arc(89, 59, 59), -arc(10), 180, 100, 2, 1, "8959.9866,S 17000.0000,E", 0},
        {"backwards over the pole keeps going backwards", arc(89, 59, 59), arc(10), 180, -100, 2, 1,
         "8959.9866,N 17000.0000,W", 0},
        // 30000 km due north from 44 N: 269.8 degrees of meridian, over the
        // north pole, then the south pole, and up the first meridian again
        {"a long stop: over both poles", arc(44), arc(10), 0, 3000, 1, 36000, "4612.2077,S 01000.0000,E", 0},
    };
    for (const auto& [name, lat, lon, course, speed, steps, seconds, expected, course_after] : rows) {
        Fleet fleet;
        fleet.load(0, Vehicle{lat, lon, course, speed, SpeedUnit::kmh}, nullptr);
        int turns = 0;
        fleet.watch([&turns](std::size_t, Change what, Fleet::Origin origin) {
            turns += what == Change::course && origin == nullptr;
        });
        for (int i = 0; i <= steps; ++i) fleet.advance(i * seconds);
        const Vehicle& v = fleet.vehicle(0);
        const std::string fields = rmc_coordinate(v.lat, 2) + (std::signbit(v.lat) ? ",S " : ",N ") +
                                   rmc_coordinate(v.lon, 3) + (std::signbit(v.lon) ? ",W" : ",E");
        EXPECT_EQ(fields, expected) << name;
        EXPECT_EQ(v.course, course_after) << name;
        EXPECT_EQ(turns, v.course != course) << name;
    }
}

// A speed or course beyond the record's range is shown at its end (the
// record's rounding and sides are the vehicle table's tests).
TEST(Vehicle, WholeNumbersStayInTheRecordsRange) {
    EXPECT_EQ(whole_number(40000.0), 32767);
    EXPECT_EQ(whole_number(-40000.0), -32768);
}

}  // namespace
}  // namespace vadrel
