// The second-aligned timer: its schedule as arithmetic, and one real run.

#include <gtest/gtest.h>

#include "far_end.h"
#include "platform/second_timer.h"

namespace vadrel {
namespace {

constexpr std::int64_t ms = 1'000'000;
constexpr std::int64_t s = nanoseconds_per_second;
// An instant well after the epoch: 2003-05-09 20:15:28 UTC.
constexpr std::int64_t t0 = 1'052'511'328 * s;

TEST(SecondSchedule, TheNextTickIsTheNextWholeSecondPlusTheOffset) {
    struct Row {
        const char* situation;
        std::int64_t now;
        std::int64_t next;
    };
    const Row rows[] = {
        {"started mid-second", t0 + 400 * ms, t0 + 1 * s + 2 * ms},
        {"started just before the offset", t0 + 1 * ms, t0 + 1 * s + 2 * ms},
        {"handled on time", t0 + 2 * ms + 100'000, t0 + 1 * s + 2 * ms},
        {"handled exactly on the deadline", t0 + 2 * ms, t0 + 1 * s + 2 * ms},
        {"handled 300 ms late", t0 + 302 * ms, t0 + 1 * s + 2 * ms},
        {"handled 600 ms late: that second is skipped", t0 + 602 * ms, t0 + 2 * s + 2 * ms},
        {"handled 3.5 s late: no catch-up, the missed seconds are skipped", t0 + 3 * s + 502 * ms,
         t0 + 4 * s + 2 * ms},
        {"handled 3.7 s late", t0 + 3 * s + 702 * ms, t0 + 5 * s + 2 * ms},
        {"woken a hair early (clock set back)", t0 + 1 * ms + 999'999, t0 + 1 * s + 2 * ms},
    };
    for (const Row& row : rows) {
        const std::int64_t next = next_tick_ns(row.now, 2 * ms);
        EXPECT_EQ(next, row.next) << row.situation;
        EXPECT_GE(next - row.now, s / 2) << row.situation;
        EXPECT_EQ((next - 2 * ms) % s, 0) << row.situation;
    }
}

TEST(SecondSchedule, ATimerRunningOnTimeNeverDrifts) {
    // Each tick handled 1.5 ms after its deadline: the deadlines stay on the
    // second, they do not creep by 1.5 ms a tick.
    std::int64_t deadline = next_tick_ns(t0 + 123 * ms, 2 * ms);
    for (int tick = 0; tick < 3600; ++tick) {
        const std::int64_t next = next_tick_ns(deadline + 1'500'000, 2 * ms);
        ASSERT_EQ(next - deadline, s) << "tick " << tick;
        deadline = next;
    }
    EXPECT_EQ(deadline, t0 + 3601 * s + 2 * ms);
}

TEST(SecondSchedule, WorksWithAZeroOffsetAndBeforeTheEpoch) {
    EXPECT_EQ(next_tick_ns(t0, 0), t0 + s);
    EXPECT_EQ(next_tick_ns(t0 + 499 * ms, 0), t0 + s);
    EXPECT_EQ(next_tick_ns(t0 + 501 * ms, 0), t0 + 2 * s);
    EXPECT_EQ(next_tick_ns(-1 * s - 600 * ms, 2 * ms), 2 * ms - 1 * s);
    EXPECT_EQ(next_tick_ns(-1 * s - 400 * ms, 2 * ms), 2 * ms) << "-0.998 s is too close";
}

class SecondTimerTest : public testing::WithEventLoop {};

// Two ticks: the timer is armed again after each one.
TEST_F(SecondTimerTest, TicksArriveFromTheTimerfd) {
    SecondTimer timer;
#ifdef __linux__
    EXPECT_TRUE(timer.uses_timerfd());
#endif
    int ticks = 0;
    QObject::connect(&timer, &SecondTimer::tick, [&] { ++ticks; });
    timer.start();
    EXPECT_TRUE(timer.is_active());
    EXPECT_TRUE(run_until([&] { return ticks >= 2; }, std::chrono::seconds(5))) << ticks;
    timer.stop();
    EXPECT_FALSE(timer.is_active());
}

TEST_F(SecondTimerTest, TicksArriveFromThePortableTimer) {
    SecondTimer timer(SecondTimer::Kind::portable);
    EXPECT_FALSE(timer.uses_timerfd());
    int ticks = 0;
    QObject::connect(&timer, &SecondTimer::tick, [&] { ++ticks; });
    timer.start();
    EXPECT_TRUE(run_until([&] { return ticks >= 1; }, std::chrono::seconds(4))) << ticks;
}

}  // namespace
}  // namespace vadrel
