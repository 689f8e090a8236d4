// The second-aligned timer: its schedule from fixed readings of the clock,
// and its real ticks on the timerfd and on the portable timer.

#include <gtest/gtest.h>

#include <QObject>
#include <cstdint>
#include <filesystem>
#include <set>
#include <tuple>
#include <vector>

#include "os/second_timer.h"
#include "support/event_loop.h"

namespace vadrel {
namespace {

using SecondTimerTest = WithEventLoop;

TEST(SecondSchedule, TheNextTickIsTheNextWholeSecondPlusTheOffset) {
    constexpr std::int64_t ms = 1'000'000, s = nanoseconds_per_second;
    constexpr std::int64_t t0 = 1'052'511'328 * s;  // 2003-05-09 20:15:28 UTC
    constexpr std::int64_t due = t0 + 2 * ms;       // the tick just handled was armed for it
    // now, not before, next
    const std::tuple<const char*, std::int64_t, std::int64_t, std::int64_t> rows[] = {
        {"started mid-second", t0 + 400 * ms, 0, t0 + s + 2 * ms},
        {"started between the whole second and its offset: that second's tick", t0 + ms, 0, t0 + 2 * ms},
        {"handled on time: no drift", due + 1'500'000, due + s, t0 + s + 2 * ms},
        {"handled 600 ms late (SIGSTOP, SIGCONT): the next second all the same", t0 + 602 * ms, due + s, t0 + s + 2 * ms},
        {"handled 3.5 s late: the seconds missed are skipped", t0 + 3 * s + 502 * ms, due + s, t0 + 4 * s + 2 * ms},
        {"fired a moment early: not its own second again", due - 100'000, due + s, t0 + s + 2 * ms},
        {"the clock set back an hour since: within two seconds, not an hour", t0 - 3600 * s + 400 * ms, due + s,
         t0 - 3598 * s + 2 * ms},
        {"clock set to .8, 700 ms after a tick: the next second comes", t0 + 800 * ms, t0 + 600 * ms, t0 + s + 2 * ms},
        {"clock set to .8, 100 ms after a tick: half a second between ticks", t0 + 800 * ms, t0 + s + 200 * ms,
         t0 + 2 * s + 2 * ms},
    };
    for (const auto& [situation, now, not_before, next] : rows)
        EXPECT_EQ(next_tick_ns(now, 2 * ms, not_before), next) << situation;
    // five ticks a second: the next fifth, a late one skipped, as whole seconds are
    EXPECT_EQ(next_tick_ns(t0 + 450 * ms, 0, 0, s / 5), t0 + 600 * ms);
    EXPECT_EQ(next_tick_ns(t0 + 750 * ms, 0, t0 + 400 * ms, s / 5), t0 + 800 * ms);
}

// The process's open timerfd descriptors.
int timer_descriptors() {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error).string() == "anon_inode:[timerfd]") ++n;
    }
    return n;
}

// Real ticks from the timerfd and from the portable timer, armed again after
// each one; at five a second each tick knows its place in the second.
TEST_F(SecondTimerTest, TicksArriveFromTheTimerfdAndFromThePortableTimer) {
    for (const auto kind : {SecondTimer::Kind::best, SecondTimer::Kind::portable}) {
        const int before = timer_descriptors();
        SecondTimer timer(kind, std::chrono::milliseconds(0));
        EXPECT_EQ(timer_descriptors() - before, kind == SecondTimer::Kind::best ? 1 : 0);
        timer.set_rate(5);
        std::vector<int> places;
        QObject::connect(&timer, &SecondTimer::tick, [&] { places.push_back(timer.tick_in_second()); });
        timer.start();
        EXPECT_TRUE(run_until([&places] { return places.size() >= 10; })) << places.size();
        EXPECT_EQ(std::set<int>(places.begin(), places.end()), (std::set<int>{0, 1, 2, 3, 4}));
    }
}

}  // namespace
}  // namespace vadrel
