// The tracked fleet at the machine's limits: a process woken late (stopped,
// stalled) skips and counts what it missed instead of sending it in one
// burst.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "tracker/fleet_run.h"
#include "tracker/tracked_fleet.h"

namespace vadrel {
namespace {

using namespace std::chrono_literals;

// Keeps the second of each report handed to it.
class SecondsKept final : public ReportSender {
public:
    void send(const DeviceReport& report) override { seconds.push_back(report.utc_ms / 1000); }
    SenderCounts counts() const override { return {seconds.size(), 0, 0, "collegato"}; }
    std::vector<std::int64_t> seconds;
};

std::vector<FleetEntry> still_devices(int count) {
    std::vector<FleetEntry> entries(static_cast<std::size_t>(count));
    for (int n = 0; n < count; ++n) {
        entries[static_cast<std::size_t>(n)].id = "dev-" + std::to_string(n);
        entries[static_cast<std::size_t>(n)].lat = 45.0;
    }
    return entries;
}

// Ten devices each second, at 0.0, 0.1 ... 0.9 of its span; second 7 began
// at t0 and 0.45 s went by. Then the program goes on after a stall: what
// the next tick or slice sends, and what is skipped.
TEST(FleetRunLate, WhatAStallMissedIsSkippedAndCountedNeverSentAtOnce) {
    using Time = FleetRun::Time;
    using Span = std::chrono::milliseconds;
    const Time t0 = Time{} + 1000s;
    // (name, span of second 7, the next second ticked or 0 for a slice alone, its real instant after t0,
    //  its span, reports sent in all, skipped in all, the seconds of those sent after 0.45 s)
    const std::tuple<const char*, Span, std::int64_t, Span, Span, std::size_t, std::uint64_t, std::vector<std::int64_t>>
        rows[] = {
            {"a slice 0.8 s late: the moments past half a second skipped", 1000ms, 0, 1250ms, 1000ms, 7, 3, {7, 7}},
            {"a tick on time: the rest of 7 first", 1000ms, 8, 990ms, 1000ms, 11, 0, {7, 7, 7, 7, 7, 8}},
            {"stopped ten seconds: the rest of 7 and 8..17 skipped", 1000ms, 18, 11050ms, 1000ms, 6, 105, {18}},
            {"a jump of the clock, on time: nothing missed", 1000ms, 1'000'007, 990ms, 1000ms, 11, 0,
             {7, 7, 7, 7, 7, 1'000'007}},
            {"ten times faster, a second lost: 8..16 skipped", 100ms, 18, 1045ms, 100ms, 11, 90, {18}},
            {"at max nothing is late", 0ms, 40, 30000ms, 0ms, 20, 0, std::vector<std::int64_t>(10, 40)},
        };
    for (const auto& [name, first_span, next, after, span, sent, skipped, seconds] : rows) {
        auto kept = std::make_unique<SecondsKept>();
        SecondsKept& sender = *kept;
        FleetRun run(TrackedFleet(still_devices(10), 1, 1), std::move(kept), "f", "x");
        run.second(7, t0, first_span);
        run.slice(t0 + 450ms);
        const auto before = static_cast<std::ptrdiff_t>(sender.seconds.size());
        if (next == 0) {
            run.slice(t0 + after);
        } else {
            run.second(next, t0 + after, span);
        }
        EXPECT_EQ(sender.seconds.size(), sent) << name;
        EXPECT_EQ(run.summary().counts.skipped, skipped) << name;
        EXPECT_EQ(std::vector<std::int64_t>(sender.seconds.begin() + before, sender.seconds.end()), seconds) << name;
    }
}

// The seconds a device reports at over a span, counted without a walk over
// it, against due() one second at a time: intervals, phases, spans that
// cross zero.
TEST(FleetRunLate, DueCountAgreesWithDueSecondBySecond) {
    // (devices, interval)
    const std::tuple<int, int> fleets[] = {{1, 1}, {7, 3}, {10, 5}, {4, 3600}};
    // (first, last)
    const std::tuple<std::int64_t, std::int64_t> spans[] = {{0, 0}, {-7, 12}, {5, 4}, {1'700'000'000, 1'700'000'100},
                                                            {-3601, -1}, {3, 7203}};
    for (const auto& [count, interval] : fleets) {
        const TrackedFleet fleet(still_devices(count), interval, 1);
        for (std::size_t i = 0; i < fleet.size(); ++i) {
            for (const auto& [first, last] : spans) {
                std::uint64_t walked = 0;
                for (std::int64_t s = first; s <= last; ++s) walked += fleet.due(i, s) ? 1 : 0;
                EXPECT_EQ(fleet.due_count(i, first, last), walked)
                    << count << " devices every " << interval << " s, device " << i << ", " << first << ".." << last;
            }
        }
    }
}

}  // namespace
}  // namespace vadrel
