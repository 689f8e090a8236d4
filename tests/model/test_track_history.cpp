#include <gtest/gtest.h>

#include <functional>

#include "model/track_history.h"

namespace vadrel {
namespace {

// Points at the steady times given, vehicle by vehicle; what stays.
TEST(TrackHistory, KeepsTheLastHourOfEachVehicleAndNoMore) {
    const struct {
        const char* name;
        std::function<void(TrackHistory&)> add;
        std::size_t vehicle;
        std::size_t kept;
        double oldest;  // steady time of the oldest point kept
    } rows[] = {
        {"exactly an hour old stays",
         [](TrackHistory& h) { for (int t = 0; t <= 3600; t += 10) h.add(0, {t * 1.0}); }, 0, 361, 0.0},
        {"older than an hour goes",
         [](TrackHistory& h) { for (int t = 0; t <= 3610; t += 10) h.add(0, {t * 1.0}); }, 0, 361, 10.0},
        {"a vehicle no longer stepped ages out as the others go on",
         [](TrackHistory& h) {
             h.add(1, {0.0});
             h.add(1, {5.0});
             h.add(0, {3604.0});
         },
         1, 1, 5.0},
        {"a clock standing still: an hour of steps at most",
         [](TrackHistory& h) { for (int i = 0; i < 5000; ++i) h.add(2, {7.0 + i * 1e-9}); }, 2, 3600, 7.0 + 1400e-9},
        {"a vehicle outside the table is ignored", [](TrackHistory& h) { h.add(21, {1.0}); }, 21, 0, 0.0},
    };
    for (const auto& r : rows) {
        TrackHistory history(21);
        r.add(history);
        const auto& points = history.points(r.vehicle);
        ASSERT_EQ(points.size(), r.kept) << r.name;
        if (!points.empty()) {
            EXPECT_DOUBLE_EQ(points.front().steady, r.oldest) << r.name;
        }
    }
}

}  // namespace
}  // namespace vadrel
