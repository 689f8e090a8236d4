// A day of the tick with 19 vehicles (multi-user), on a fake clock, without
// GPX tracks and with them: each tick takes the new points, every 60th hands
// them to the writer, which appends them to a file that grows all day. The
// per-tick times (median, p99, worst) show what the tracks cost the tick;
// the writer's time for each minute (waited for after the handing-over
// tick, outside the tick's time, as the program's next tick comes a second
// later) shows that a write does not grow with the file.
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVADREL_BENCHMARKS=ON -DVADREL_TESTS=OFF
//   cmake --build build-bench --target bench_tracks && build-bench/bench/bench_tracks
// The file goes to $TMPDIR (else /tmp) and is removed at the end.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <memory>
#include <sys/stat.h>
#include <vector>

#include "log/gpx_tracks.h"
#include "ticking.h"

namespace vadrel::bench {
namespace {

constexpr long day = 86400;

void run_day(benchmark::State& state, bool with_tracks) {
    Ticking t([](std::size_t n) { return n * 17.0; });
    t.form.multi_user_mode_option.select();
    t.form.vehicle_count_box.set_text("19");

    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/vadrel-bench-XXXXXX"));
    const std::string path = folder.path().toStdString() + "/giorno.gpx";
    std::unique_ptr<GpxTracks> gpx;
    if (with_tracks) {
        gpx = std::make_unique<GpxTracks>(path);
        if (const std::string why = gpx->start(); !why.empty()) {
            state.SkipWithError(why.c_str());
            return;
        }
    }
    using Clock = std::chrono::steady_clock;
    const auto micros_since = [](Clock::time_point start) {
        return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    };
    std::vector<double> ticks, writes;
    ticks.reserve(day);
    long count = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        t.tick();
        // What the program's tick does for the tracks.
        bool handed = false;
        if (gpx) {
            gpx->take(t.tracks);
            handed = ++count % 60 == 0;
            if (handed) gpx->write();
            benchmark::DoNotOptimize(gpx->problem());
        }
        ticks.push_back(micros_since(start));
        state.SetIterationTime(ticks.back() / 1e6);
        if (handed) {
            const auto wait = Clock::now();
            gpx->finish();
            writes.push_back(micros_since(wait));
        }
    }
    const auto quantile = [](std::vector<double>& v, double q) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
    };
    state.counters["tick_p50_us"] = quantile(ticks, 0.5);
    state.counters["tick_p99_us"] = quantile(ticks, 0.99);
    state.counters["tick_max_us"] = quantile(ticks, 1.0);
    if (gpx) {
        gpx->finish();
        struct stat st {};
        state.counters["file_MB"] = ::stat(path.c_str(), &st) == 0 ? static_cast<double>(st.st_size) / 1e6 : 0.0;
        state.counters["points"] = static_cast<double>(gpx->written());
        // The first and the last hour's writes: the file is 1 MB, then over 20.
        std::vector<double> first(writes.begin(), writes.begin() + 60), last(writes.end() - 60, writes.end());
        state.counters["write_first_hour_p50_us"] = quantile(first, 0.5);
        state.counters["write_last_hour_p50_us"] = quantile(last, 0.5);
        state.counters["write_max_us"] = quantile(writes, 1.0);
        if (!gpx->problem().empty()) state.SkipWithError(gpx->problem().c_str());
    }
}

BENCHMARK_CAPTURE(run_day, no_tracks, false)->Iterations(day)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run_day, tracks_24h, true)->Iterations(day)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vadrel::bench

BENCHMARK_MAIN();
