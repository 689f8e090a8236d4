// When a transponder sends, on a fake steady time: the intervals of
// ITU-R M.1371-5 by class, speed and manoeuvre; reports kept to their
// nominal times whatever a tick's jitter; static data at start, every 6
// minutes and when amended.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "ais/schedule.h"

namespace vadrel {
namespace {

TEST(AisSchedule, TheReportingIntervalsOfTheStandard) {
    const struct Row {
        const char* name;
        AisClass ais_class;
        double knots;
        bool moored;
        bool turning;
        double seconds;
    } rows[] = {
        {"A moored", AisClass::a, 0.0, true, false, 180.0},
        {"A moored drifting past 3 kn", AisClass::a, 3.1, true, false, 10.0},
        {"A under way at 0 kn", AisClass::a, 0.0, false, false, 10.0},
        {"A 14 kn", AisClass::a, 14.0, false, false, 10.0},
        {"A 14 kn turning", AisClass::a, 14.0, false, true, 10.0 / 3.0},
        {"A 14.1 kn", AisClass::a, 14.1, false, false, 6.0},
        {"A 23 kn", AisClass::a, 23.0, false, false, 6.0},
        {"A 23 kn turning", AisClass::a, 23.0, false, true, 2.0},
        {"A 23.1 kn", AisClass::a, 23.1, false, false, 2.0},
        {"B 2 kn", AisClass::b, 2.0, false, false, 180.0},
        {"B 2.1 kn", AisClass::b, 2.1, false, false, 30.0},
        {"B 40 kn turning", AisClass::b, 40.0, false, true, 30.0},
    };
    for (const Row& row : rows) {
        EXPECT_DOUBLE_EQ(reporting_interval(row.ais_class, {row.knots, 0.0, row.moored}, row.turning), row.seconds)
            << row.name;
    }
}

// Ticks a transponder once a second from `from` to `to` (excluded), each a
// few milliseconds early or late; the seconds at which positions and
// static data went.
struct Sent {
    std::vector<int> positions;
    std::vector<int> statics;
};
Sent run(Transponder& t, int from, int to, AisClass c, const std::function<AisMotion(int)>& motion) {
    Sent sent;
    for (int s = from; s < to; ++s) {
        const double jitter = ((s * 7 + 10) % 11 - 5) * 0.001;  // -5 .. +5 ms; +5 at 0, -5 at 360
        const Transponder::Due due = t.due(1000.0 + s + jitter, c, motion(s));
        if (due.position) sent.positions.push_back(s);
        if (due.static_data) sent.statics.push_back(s);
    }
    return sent;
}

std::vector<int> every(int from, int to, int step) {
    std::vector<int> out;
    for (int s = from; s < to; s += step) out.push_back(s);
    return out;
}

// The same way for every interval of the table above.
TEST(AisSchedule, ReportsKeepTheirIntervalWhateverTheJitterOfTheTicks) {
    Transponder t;
    const Sent sent = run(t, 0, 730, AisClass::a, [](int) { return AisMotion{10.0, 45.0, false}; });
    EXPECT_EQ(sent.positions, every(0, 730, 10));
    EXPECT_EQ(sent.statics, (std::vector<int>{0, 360, 720}));
}

// A turn of 90 degrees at second 60: for as long as the course differs by
// more than 5 degrees from its mean over the 30 s before (up to second 86,
// when 2 of the 29 earlier courses are still 0), 3 1/3 s: ticks 3, 4 and
// 3 apart; then 10 s again from the last report.
TEST(AisSchedule, ATurnShortensTheIntervalWhileTheCourseChanges) {
    Transponder t;
    const Sent sent = run(t, 0, 130, AisClass::a, [](int s) { return AisMotion{10.0, s < 60 ? 0.0 : 90.0, false}; });
    const std::vector<int> expected{0, 10, 20, 30, 40, 50, 60, 63, 67, 70, 73, 77, 80, 83, 93, 103, 113, 123};
    EXPECT_EQ(sent.positions, expected);
    // A steady turn of 1 degree a second: from second 10 the course is
    // more than 5 degrees ahead of its mean, and stays so (15 behind).
    Transponder turning;
    const Sent slow = run(turning, 0, 60, AisClass::a, [](int s) { return AisMotion{10.0, s * 1.0, false}; });
    EXPECT_EQ(slow.positions, (std::vector<int>{0, 10, 13, 17, 20, 23, 27, 30, 33, 37, 40, 43, 47, 50, 53, 57}));
    // Across north the mean is a direction, not an average of numbers.
    Transponder north;
    const Sent across = run(north, 0, 60, AisClass::a,
                            [](int s) { return AisMotion{10.0, s % 2 ? 359.0 : 1.0, false}; });
    EXPECT_EQ(across.positions, every(0, 60, 10));
}

TEST(AisSchedule, AFasterVehicleReportsAtOnceAndStaticDataWhenAmended) {
    Transponder t;
    Sent sent = run(t, 0, 25, AisClass::a, [](int) { return AisMotion{10.0, 0.0, false}; });
    EXPECT_EQ(sent.positions, (std::vector<int>{0, 10, 20}));
    sent = run(t, 25, 31, AisClass::a, [](int) { return AisMotion{30.0, 0.0, false}; });
    EXPECT_EQ(sent.positions, (std::vector<int>{25, 27, 29})) << "2 s from the second it sped up";
    t.amend();
    sent = run(t, 31, 33, AisClass::a, [](int) { return AisMotion{30.0, 0.0, false}; });
    EXPECT_EQ(sent.statics, std::vector<int>{31});
    // A steady time that goes back starts the schedule again.
    sent = run(t, 5, 7, AisClass::a, [](int) { return AisMotion{30.0, 0.0, false}; });
    EXPECT_EQ(sent.positions, std::vector<int>{5});
    EXPECT_EQ(sent.statics, std::vector<int>{5});
}

TEST(AisSchedule, NoTimeNoReport) {
    Transponder t;
    const Transponder::Due due = t.due(std::nan(""), AisClass::a, {10.0, 0.0, false});
    EXPECT_FALSE(due.position || due.static_data);
    EXPECT_TRUE(t.due(5.0, AisClass::a, {10.0, 0.0, false}).position) << "the first real time starts it";
}

}  // namespace
}  // namespace vadrel
