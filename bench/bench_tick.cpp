// Cost of one running tick in each mode against a port that keeps nothing.
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVADREL_BENCHMARKS=ON
//   cmake --build build-bench --target bench_tick && build-bench/bench/bench_tick

#include <benchmark/benchmark.h>

#include <array>
#include <utility>

#include "ais/transmitter.h"
#include "ticking.h"

namespace vadrel::bench {
namespace {

enum class Mode { gps, radio, multi };

void run_ticks(benchmark::State& state, Mode mode, const ReceiverOptions& options = {}) {
    Ticking t([](std::size_t) { return 45.0; });
    t.transmitter.set_receiver(options);
    if (mode == Mode::radio) t.form.radio_mode_option.select();
    if (mode == Mode::multi) {
        t.form.multi_user_mode_option.select();
        t.form.vehicle_count_box.set_text("19");
        for (int turn = 0; turn < 19; ++turn) t.tick();  // every vehicle of the cycle has had its turn
    }
    for (auto _ : state) t.tick();
}

void BM_TickGpsStandard(benchmark::State& state) { run_ticks(state, Mode::gps); }
void BM_TickRadio(benchmark::State& state) { run_ticks(state, Mode::radio); }
// Since every vehicle of the cycle moves every second: 19 steps a tick.
void BM_TickMultiUser19(benchmark::State& state) { run_ticks(state, Mode::multi); }

// Every receiver option on: UTC, real motion, the full set, faults.
void BM_TickFullSetWithFaults(benchmark::State& state) {
    ReceiverOptions o;
    o.utc = o.real_motion = o.full_set = true;
    o.altitude = 254.5;
    o.faults = {true, 0.05, 0.05, 0.05, 7};
    run_ticks(state, Mode::gps, o);
}

// GPS standard with the AIS targets on: 19 vehicles in use, all moving (at
// 100 km/h, 54 kn: class A reports every 2 s), 18 of them targets, their
// sentences made as the program makes them; the plain tick beside it.
void BM_TickGpsStandardAis19(benchmark::State& state) {
    Ticking t([](std::size_t n) { return 20.0 * static_cast<double>(n); });
    t.form.vehicle_count_box.set_text("19");
    t.fleet.set_targets(true, nullptr);
    AisTransmitter ais;
    std::array<AisIdentity, fleet_size> identities;
    for (std::size_t n = 0; n < fleet_size; ++n) identities[n] = default_identity(n);
    std::size_t lines = 0;
    t.transmitter.set_supplement([&](double steady) {
        auto sentences = ais.second(ais_time(steady, t.clock.utc_seconds()), ais_fleet(t.fleet, identities, false));
        lines += sentences.size();
        return Transmitter::SupplementSecond{std::move(sentences), ais.positions_sent()};
    });
    for (auto _ : state) t.tick();
    state.counters["righe_ais_per_tick"] =
        benchmark::Counter(static_cast<double>(lines) / static_cast<double>(state.iterations()));
}

BENCHMARK(BM_TickGpsStandard);
BENCHMARK(BM_TickFullSetWithFaults);
BENCHMARK(BM_TickRadio);
BENCHMARK(BM_TickMultiUser19);
BENCHMARK(BM_TickGpsStandardAis19);

}  // namespace
}  // namespace vadrel::bench

BENCHMARK_MAIN();
