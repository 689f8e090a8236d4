// Cost of reading a scenario at its bounds: a file of nearly 1 MiB (50,000
// events, the most it may hold), and a small one of 20 events. The reading happens before anything opens, and for
// PUT /api/v1/scenario on the main loop: its time is what a client waits.
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVADREL_BENCHMARKS=ON -DVADREL_TESTS=OFF
//   cmake --build build-bench --target bench_scenario && build-bench/bench/bench_scenario

#include <benchmark/benchmark.h>

#include <string>

#include "scenario/scenario_reader.h"

namespace vadrel {
namespace {

std::string scenario_of(std::size_t events) {
    std::string text = "eventi:\n";
    for (std::size_t i = 0; i < events; ++i) text += "- {a: 1,fix: perso}\n";
    return text;
}

void read(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        auto scenario = read_scenario(text, {"s.yaml", "", {}});
        if (!std::holds_alternative<Scenario>(scenario)) state.SkipWithError("refused");
        benchmark::DoNotOptimize(scenario);
    }
    state.counters["bytes"] = static_cast<double>(text.size());
}

void BM_LargestScenario(benchmark::State& state) { read(state, scenario_of(max_scenario_events)); }
void BM_SmallScenario(benchmark::State& state) { read(state, scenario_of(20)); }

BENCHMARK(BM_LargestScenario)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallScenario)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vadrel

BENCHMARK_MAIN();
