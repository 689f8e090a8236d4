// Cost of the AIS sentences of one second for 18 targets (19 vehicles in
// use, the current one the own ship, not sent):
// * the heaviest second: every target's position report and static data
//   at once (the first second, or every 6 minutes when they fall together),
//   class A (message 1, and 5 in two sentences) or class B (18, 24 A and B);
// * an ordinary second: a 6-minute cycle of a mixed fleet (class A at 5,
//   18 and 30 kn, moored, class B), the mean of its seconds.
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVADREL_BENCHMARKS=ON -DVADREL_TESTS=OFF
//   cmake --build build-bench --target bench_ais && build-bench/bench/bench_ais

#include <benchmark/benchmark.h>

#include <vector>

#include "ais/transmitter.h"

namespace vadrel {
namespace {

constexpr std::size_t in_use = 19;

struct Scene {
    std::vector<Vehicle> vehicles;
    std::vector<AisIdentity> identities;
};

// 19 vehicles spread over the Ligurian sea; `knots(k)` and `b(k)` set each one's speed and class.
template <typename Knots, typename ClassB>
Scene scene(Knots knots, ClassB b) {
    Scene s;
    for (std::size_t k = 0; k < in_use; ++k) {
        Vehicle v;
        v.lat = (44.0 + 0.01 * static_cast<double>(k)) * 3600.0;
        v.lon = (9.0 + 0.02 * static_cast<double>(k)) * 3600.0;
        v.course = 10.0 * static_cast<double>(k);
        v.speed = knots(k);
        v.unit = SpeedUnit::knots;
        s.vehicles.push_back(v);
        AisIdentity id = default_identity(k);
        id.ais_class = b(k) ? AisClass::b : AisClass::a;
        id.call_sign = "IABC" + std::to_string(k);
        id.dimensions = {20, 10, 4, 4};
        s.identities.push_back(id);
    }
    return s;
}

void heaviest_second(benchmark::State& state, bool class_b) {
    const Scene s = scene([](std::size_t) { return 12.0; }, [&](std::size_t) { return class_b; });
    const AisFleet fleet{s.vehicles, s.identities, 0, false};
    std::size_t sentences = 0;
    for (auto _ : state) {
        AisTransmitter ais;  // a new one: everything is due
        const std::vector<std::string> out = ais.second({100.0, 12, 0, 0}, fleet);
        sentences = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["sentences"] = static_cast<double>(sentences);
}

void BM_HeaviestSecondClassA(benchmark::State& state) { heaviest_second(state, false); }
void BM_HeaviestSecondClassB(benchmark::State& state) { heaviest_second(state, true); }

void BM_OrdinarySecond(benchmark::State& state) {
    const Scene s = scene(
        [](std::size_t k) {
            const double speeds[] = {5.0, 18.0, 30.0, 0.0};
            return speeds[k % 4];
        },
        [](std::size_t k) { return k % 5 == 4; });
    const AisFleet fleet{s.vehicles, s.identities, 0, false};
    AisTransmitter ais;
    double now = 100.0;
    long long sentences = 0;
    for (auto _ : state) {
        const std::vector<std::string> out = ais.second({now, 12, 0, static_cast<int>(now) % 60}, fleet);
        sentences += static_cast<long long>(out.size());
        benchmark::DoNotOptimize(out.data());
        now += 1.0;
    }
    state.counters["sentences_per_second"] =
        benchmark::Counter(static_cast<double>(sentences), benchmark::Counter::kAvgIterations);
}

BENCHMARK(BM_HeaviestSecondClassA);
BENCHMARK(BM_HeaviestSecondClassB);
BENCHMARK(BM_OrdinarySecond)->Iterations(360 * 100);

}  // namespace
}  // namespace vadrel

BENCHMARK_MAIN();
