#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "marine/instrument_log.h"
#include "marine/instrument_readings.h"
#include "marine/instrument_sentences.h"

namespace vadrel {
namespace {

constexpr double tolerance = 0.01;

// The geometry of one second: the ship's motion over the ground, the wind and
// the current as set, and what every instrument reads of them. Angles in
// degrees, speeds in knots; the wind's direction is where it comes from,
// the current's where it sets to.
struct Geometry {
    const char* name;
    double course, speed, previous_course, elapsed;  // the ship
    double wind_from, wind_speed, current_to, current_speed;
    double heading, rate_of_turn, water_speed;
    double apparent_angle, apparent_speed;      // relative to the bow
    double true_relative_angle, true_relative_speed;
};

const Geometry geometries[] = {
    // The air (15 E, 0 N) less the ship (0 E, 10 N) moves toward 123.7: it comes from 303.7, on the port bow.
    {"north at 10, wind from the west", 0, 10, 0, 1, 270, 15, 0, 0, 0, 0, 10, 303.69, 18.03, 270, 15},
    {"turn across north to starboard", 1, 10, 359, 1, 0, 0, 0, 0, 1, 120, 10, 0, 10, 0, 0},
    {"turn across north to port", 359, 10, 1, 1, 0, 0, 0, 0, 359, -120, 10, 0, 10, 0, 0},
    {"a turn over two seconds", 10, 10, 0, 2, 0, 0, 0, 0, 10, 300, 10, 0, 10, 0, 0},
    // Water velocity (-2, 10); the wind over the water is the current's opposite.
    {"current abeam from port", 0, 10, 0, 1, 0, 0, 90, 2, 0, 0, 10.198, 0, 10, 90, 2},
    {"head wind", 90, 5, 90, 1, 90, 10, 0, 0, 90, 0, 5, 0, 15, 0, 10},
    {"wind from astern at the ship's speed", 180, 8, 180, 1, 0, 8, 0, 0, 180, 0, 8, 0, 0, 180, 8},
    {"stopped, wind on the port quarter", 200, 0, 200, 1, 45, 12, 0, 0, 200, 0, 0, 205, 12, 205, 12},
    {"carried by a current from astern", 0, 3, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0, 3, 0, 3},
};

TEST(InstrumentReadings, Geometry) {
    for (const Geometry& g : geometries) {
        SCOPED_TRACE(g.name);
        InstrumentSettings settings;
        settings.wind = {g.wind_from, g.wind_speed};
        settings.current = {g.current_to, g.current_speed};
        const InstrumentReadings r =
            instrument_readings({g.course, g.speed, g.previous_course, g.elapsed, 0.0}, settings);
        EXPECT_NEAR(r.heading_true, g.heading, tolerance);
        EXPECT_NEAR(r.rate_of_turn, g.rate_of_turn, tolerance);
        EXPECT_NEAR(r.water_speed_knots, g.water_speed, tolerance);
        ASSERT_TRUE(r.apparent_wind && r.true_wind_relative && r.true_wind);
        EXPECT_NEAR(r.apparent_wind->angle, g.apparent_angle, tolerance);
        EXPECT_NEAR(r.apparent_wind->speed_knots, g.apparent_speed, tolerance);
        EXPECT_NEAR(r.true_wind_relative->angle, g.true_relative_angle, tolerance);
        EXPECT_NEAR(r.true_wind_relative->speed_knots, g.true_relative_speed, tolerance);
        EXPECT_NEAR(r.true_wind->angle, g.wind_from, tolerance);  // MWD: as set
        EXPECT_NEAR(r.true_wind->speed_knots, g.wind_speed, tolerance);
    }
}

// The log counts the water's distance: 10 kn through the water for 36
// seconds is 0.1 nm on top of what it had.
TEST(InstrumentReadings, DistanceRunThroughTheWater) {
    InstrumentSettings settings;
    settings.current = {90, 2};  // water speed sqrt(104) = 10.198 kn
    const InstrumentReadings r = instrument_readings({0, 10, 0, 36, 1.5}, settings);
    EXPECT_NEAR(r.distance_run_nm, 1.5 + 10.198 * 36 / 3600, 1e-4);
    EXPECT_DOUBLE_EQ(instrument_readings({0, 10, 0, 0, 1.5}, settings).distance_run_nm, 1.5);
}

Vehicle moving(double course, double knots) {
    Vehicle v;
    v.course = course;
    v.speed = knots;
    v.unit = SpeedUnit::knots;
    return v;
}

// The log's memory: no turn and no distance at the first second; the turn
// over the time since; a time that goes back does not turn.
TEST(InstrumentLog, RemembersTheSecondBefore) {
    InstrumentLog log;
    const InstrumentSettings settings;
    // steady time, course, knots -> rate of turn, distance run
    const struct {
        double now, course, knots, rate, distance;
    } rows[] = {
        {100, 350, 36, 0, 0},
        {101, 10, 36, 1200, 0.01},
        {103, 12, 36, 60, 0.03},
        {102, 20, 36, 0, 0.03},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.now);
        const InstrumentReadings r = log.second(moving(row.course, row.knots), row.now, settings);
        EXPECT_NEAR(r.rate_of_turn, row.rate, tolerance);
        EXPECT_NEAR(r.distance_run_nm, row.distance, 1e-6);
    }
    log.reset();
    EXPECT_EQ(log.second(moving(90, 36), 200, settings).distance_run_nm, 0.0);
}

// The second's sentences of the ship north at 10 kn, wind 270 at 15,
// depth 12.5 m below a transducer 0.5 m under the water line, water at 14 C.
TEST(InstrumentSentences, TheWorkedSecond) {
    InstrumentSettings settings;
    settings.wind = {270, 15};
    settings.depth = 12.5;
    settings.transducer_offset = 0.5;
    settings.water_temperature = 14;
    InstrumentReadings r = instrument_readings({0, 10, 0, 1, 3.245}, settings);
    const std::vector<std::string> expected{
        "$HCHDG,0.0,,,,*42",
        "$HEHDT,0.0,T*2F",
        "$TIROT,0.0,A*3B",
        "$VWVHW,0.0,T,,M,10.0,N,18.5,K*77",
        "$WIMWV,303.7,R,18.0,N,A*1D",
        "$WIMWV,270.0,T,15.0,N,A*14",
        "$WIMWD,270.0,T,,M,15.0,N,7.7,M*45",
        "$SDDBT,41.0,f,12.5,M,6.8,F*0B",
        "$SDDPT,12.5,0.5*64",
        "$SDMTW,14.0,C*01",
        "$VWVLW,3.25,N,3.25,N*4C",
    };
    EXPECT_EQ(instrument_sentences(r), expected);
}

// The corrections: the sensor's heading is the true one less the variation
// and the deviation (east positive); magnetic directions need the variation.
// Angles near the full circle stay below 360.0, a turn that rounds to
// nothing is 0.0.
TEST(InstrumentSentences, CorrectionsAndRounding) {
    InstrumentSettings settings;
    settings.variation = 2.0;
    settings.deviation = -1.5;
    InstrumentReadings r = instrument_readings({355.2, 10, 355.2, 1, 0}, settings);
    r.rate_of_turn = -0.04;
    r.apparent_wind->angle = 359.96;
    const std::vector<std::string> s = instrument_sentences(r);
    ASSERT_GE(s.size(), 5u);
    EXPECT_EQ(s[0].substr(0, s[0].find('*')), "$HCHDG,354.7,1.5,W,2.0,E");
    EXPECT_EQ(s[2].substr(0, s[2].find('*')), "$TIROT,0.0,A");
    EXPECT_EQ(s[3].substr(0, s[3].find('*')), "$VWVHW,355.2,T,353.2,M,10.0,N,18.5,K");
    EXPECT_EQ(s[4].substr(0, s[4].find('*')), "$WIMWV,0.0,R,10.0,N,A");
}

}  // namespace
}  // namespace vadrel
