// A day of the tick with 19 vehicles (multi-user), on a fake clock, without
// GPX tracks and with them: each tick takes the new points, every 60th hands
// them to the writer, which appends them to a file that grows all day. The
// per-tick times (median, p99, worst) show what the tracks cost the tick.
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
    std::vector<double> micros;
    micros.reserve(day);
    long ticks = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        clock.now += 1.0;
        Timer1_Timer(form);
        // What the program's tick does for the tracks.
        if (gpx) {
            gpx->take(form.tracce);
            if (++ticks % 60 == 0) gpx->write();
            benchmark::DoNotOptimize(gpx->problem());
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        micros.push_back(took.count() * 1e6);
    }
    if (gpx) {
        const auto start = std::chrono::steady_clock::now();
        gpx->finish();
        state.counters["drain_s"] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        struct stat st {};
        state.counters["file_MB"] = ::stat(path.c_str(), &st) == 0 ? static_cast<double>(st.st_size) / 1e6 : 0.0;
        state.counters["points"] = static_cast<double>(gpx->written());
        if (!gpx->problem().empty()) state.SkipWithError(gpx->problem().c_str());
    }
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) { return micros[static_cast<std::size_t>(q * static_cast<double>(micros.size() - 1))]; };
    state.counters["p50_us"] = at(0.5);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = micros.back();
}

BENCHMARK_CAPTURE(run_day, no_tracks, false)->Iterations(day)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(run_day, tracks_24h, true)->Iterations(day)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vadrel

BENCHMARK_MAIN();
