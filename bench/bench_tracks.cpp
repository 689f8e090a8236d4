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

#include "core/tick.h"
#include "panel/wiring.h"
#include "platform/gpx_tracks.h"
#include "platform/output_fanout.h"

namespace vadrel {
namespace {

constexpr long day = 86400;

class NullPort : public SerialPort {
public:
    bool is_open() const override { return true; }
    void open() override {}
    void close() override {}
    void set_port_number(std::int16_t) override {}
    std::int16_t port_number() const override { return 2; }
    void set_settings(const std::string&) override {}
    std::string settings() const override { return "4800,N,8,1"; }
    bool write(std::string_view bytes) override {
        benchmark::DoNotOptimize(bytes.data());
        return true;
    }
};

class SteppingClock : public Clock {
public:
    double steady_seconds() override { return now; }
    double utc_seconds() override { return 1796553767.0 + now; }
    std::string time_text() override { return "20.15.28"; }
    std::string date_text() override { return "09/05/03"; }
    WallTime wall_time() override { return {{2003, 5, 9, 20, 15, 28}, {2003, 5, 9, 18, 15, 28}}; }
    double now = 3600.0;
};

class QuietShell : public Shell {
public:
    void message_box(const std::string&, const std::string&) override {}
    void run_pending_events() override {}
    void end_program_now(const std::string&) override {}
};

void run_day(benchmark::State& state, bool with_tracks) {
    NullPort port;
    OutputFanOut output{port};
    SteppingClock clock;
    QuietShell shell;
    Form1 form{Platform{port, output, clock, shell}};
    collega_eventi(form);
    for (std::size_t i = 0; i < form.mezzi.size(); ++i) {
        form.mezzi[i] = veicolo{44, 1, 46, "N", 10, 8, 4, "E", 100, static_cast<std::int16_t>(i * 17), -1, 0};
    }
    form.opt_multi.select();
    form.txt_num_mezzi.set_text("19");

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
        clock.now += 1.0;
        Timer1_Timer(form);
        // What the program's tick does for the tracks.
        bool handed = false;
        if (gpx) {
            gpx->take(form.tracce);
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
}  // namespace vadrel

BENCHMARK_MAIN();
