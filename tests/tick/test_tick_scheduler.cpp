#include <gtest/gtest.h>

#include <QCoreApplication>
#include <string>
#include <tuple>
#include <vector>

#include "model/civil_time.h"
#include "support/event_loop.h"
#include "tick/tick_scheduler.h"

namespace vadrel {
namespace {

TEST(TickInstants, TheNextTickOfASimulatedSecond) {
    // atomic now, ticks a second, offset, the next tick
    const std::tuple<double, int, double, double> rows[] = {
        {100.0, 1, 0.0, 101.0},    {100.4, 1, 0.0, 101.0},    {100.4, 1, 0.002, 101.002},
        {100.0, 10, 0.0, 100.1},   {100.95, 10, 0.0, 101.0},  {100.001, 1, 0.002, 100.002},
        {1483228836.9, 5, 0.0, 1483228837.0}, {1483228837.0, 2, 0.0, 1483228837.5},
    };
    for (const auto& [now, rate, offset, next] : rows) {
        EXPECT_NEAR(next_simulated_tick(now, 1.0 / rate, offset), next, 1e-6) << now << " at " << rate;
    }
    // the instant, ticks a second, offset, its index in its second
    const std::tuple<double, int, double, int> indices[] = {
        {101.0, 1, 0.0, 0}, {100.1, 10, 0.0, 1}, {100.9, 10, 0.0, 9}, {1483228837.8, 5, 0.0, 4}, {100.502, 2, 0.002, 1},
    };
    for (const auto& [due, rate, offset, index] : indices) EXPECT_EQ(tick_index(due, rate, offset), index) << due;
}

// Each tick's next is the one after it, also where the instants are large
// enough (this century's, on the atomic scale) that their last bits round:
// a tick a tenth of a second on never comes back to itself.
TEST(TickInstants, TicksAlwaysGoOnAtTodaysInstants) {
    // the first instant, ticks a second, offset
    const std::tuple<double, int, double> rows[] = {
        {1772359237.0, 10, 0.002}, {1772359237.0, 5, 0.002}, {1483228837.0, 10, 0.0},
        {2000000000.5, 10, 0.002}, {1772359237.0, 2, 0.002}, {1772359237.0, 1, 0.002},
    };
    for (const auto& [first, rate, offset] : rows) {
        const double period = 1.0 / rate;
        double due = next_simulated_tick(first - 1e-6, period, offset);
        for (int i = 0; i < 10 * rate; ++i) {
            const double next = next_simulated_tick(due, period, offset);
            ASSERT_NEAR(next - due, period, 1e-5) << first << " at " << rate << ", tick " << i;
            due = next;
        }
    }
}

struct RealClock : Clock {
    double steady = 100.0;
    double utc = 1700000000.0;
    double steady_seconds() override { return steady; }
    double utc_seconds() override { return utc; }
    std::string time_text() override { return {}; }
    std::string date_text() override { return {}; }
    WallTime wall_time() override { return {}; }
};

// The scheduler on a fake real clock: the test moves it to each tick's real
// instant and lets the event loop run, so no timer waits.
struct Scheduled : WithEventLoop {
    RealClock real;
    SimulatedClock clock{real, [](std::int64_t) { return 0; }};
    TickScheduler ticker{clock, real, SecondTimer::Kind::portable, std::chrono::milliseconds(0)};
    std::vector<std::string> seen;  // "hhmmss/index" of each tick, as the clock read during it
    bool busy = false;

    Scheduled() {
        QObject::connect(&ticker, &TickScheduler::tick, [this] {
            const CivilTime t = clock.wall_time().utc;
            char text[32];
            std::snprintf(text, sizeof text, "%02d%02d%02d/%d", t.hour, t.minute, t.second, ticker.tick_in_second());
            seen.emplace_back(text);
        });
        ticker.set_outputs_busy([this] { return busy; });
    }
    void run() {
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    }
    // Moves the real clock to the instant of the simulated `atomic` and runs.
    void reach(double atomic) {
        real.steady = *clock.real_steady_at(atomic);
        ticker.poll();
        run();
    }
};

constexpr double last_second_2016 = 1483228799.0;           // posix 23:59:59
constexpr double leap_atomic = 1483228800.0 + 36.0;         // 23:59:60

TEST_F(Scheduled, EachSimulatedSecondAtItsRealInstant) {
    clock.start_at(last_second_2016 - 1.0);
    ASSERT_TRUE(clock.set_rate(100.0));
    ticker.start();
    run();
    EXPECT_EQ(seen, (std::vector<std::string>{"235958/0"})) << "the start's own second at once";
    reach(leap_atomic - 1.0);
    reach(leap_atomic - 0.5);  // between seconds: nothing
    reach(leap_atomic);
    reach(leap_atomic + 1.0);
    EXPECT_EQ(seen, (std::vector<std::string>{"235958/0", "235959/0", "235960/0", "000000/0"}));
}

// The start's own second is ticked however late the ticker comes to it:
// a quarter of a real second of start-up's work between the start and the
// ticker, at a rate and at max (a start given at rate 1, max set after it).
TEST_F(Scheduled, TheStartsOwnSecondComesHoweverLateTheTickerStarts) {
    for (const bool max : {false, true}) {
        clock.start_at(last_second_2016 - 1.0);
        ASSERT_TRUE(clock.set_rate(1.0));
        real.steady += 0.25;
        if (max) clock.set_max();
        ticker.start();
        run();
        ASSERT_FALSE(seen.empty()) << "max " << max;
        EXPECT_EQ(seen.front(), "235958/0") << "max " << max;
        ticker.stop();
        seen.clear();
    }
}

TEST_F(Scheduled, ALateTickDropsNoSecond) {
    clock.start_at(last_second_2016);
    ASSERT_TRUE(clock.set_rate(10.0));
    ticker.set_rate(2);
    ticker.start();
    run();
    reach(leap_atomic + 1.0);  // two seconds at once: each half second still ticks, with its own time
    EXPECT_EQ(seen, (std::vector<std::string>{"235959/0", "235959/1", "235960/0", "235960/1", "000000/0"}));
}

TEST_F(Scheduled, PausedNothingTicksAndResumedItGoesOn) {
    clock.start_at(last_second_2016);
    ASSERT_TRUE(clock.set_rate(1.0));
    ticker.start();
    run();
    clock.pause();
    real.steady += 30.0;
    ticker.poll();
    run();
    EXPECT_EQ(seen.size(), 1U);
    clock.resume();
    reach(leap_atomic);
    EXPECT_EQ(seen, (std::vector<std::string>{"235959/0", "235960/0"}));
}

TEST_F(Scheduled, AtMaxTheNextSecondWaitsForTheLog) {
    clock.start_at(last_second_2016);
    clock.set_max();
    busy = true;
    ticker.start();
    run();
    EXPECT_TRUE(seen.empty()) << "the log still holds bytes";
    busy = false;
    ticker.poll();
    for (int i = 0; i < 5 && seen.size() < 3; ++i) run();
    ASSERT_GE(seen.size(), 3U);
    EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.begin() + 3),
              (std::vector<std::string>{"235959/0", "235960/0", "000000/0"}));
    EXPECT_EQ(real.steady, 100.0) << "no real time needed";
    ticker.stop();
}

TEST_F(Scheduled, FollowingTheWallClockTheSecondTimerTicks) {
    ticker.start();
    run();
    EXPECT_TRUE(seen.empty()) << "the wall clock's second has not come";
    EXPECT_TRUE(clock.following_wall());
}

}  // namespace
}  // namespace vadrel
