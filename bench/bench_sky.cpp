// The sky's cost for a fleet: 19 vehicles spread over Italy, each with its
// receiver under the sky (mask, a building to the west, 5 m of noise), the
// full set with every sentence (RMC, GGA, VTG, GSA, the GSV group, ZDA, GLL,
// HDT) and the GN talker, for one second of fixes at 1 and at 10 Hz. One
// iteration is one second of the simulation; "cpu_per_second" is the CPU
// time it takes, the share of one core (target at 10 Hz: under 1 %, 10 ms);
// "bytes_each_second" the sentences of that second with their line ends.
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVADREL_BENCHMARKS=ON -DVADREL_TESTS=OFF
//   cmake --build build-bench --target bench_sky && build-bench/bench/bench_sky

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "fleet/fleet.h"
#include "motion/dead_reckoning.h"
#include "sky/receiver_error.h"
#include "sky/sky_sentences.h"

namespace vadrel {
namespace {

constexpr std::size_t vehicles = 19;
constexpr std::int64_t day_2026_06_01 = 1'780'272'000'000;

std::string printed(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void SkyOfAFleet(benchmark::State& state) {
    const int rate = static_cast<int>(state.range(0));
    Fleet fleet;
    std::vector<PositionNoise> noise;
    for (std::size_t n = 0; n < vehicles; ++n) {
        fleet.place(n, (37.0 + 0.4 * static_cast<double>(n)) * 3600, (8.0 + 0.5 * static_cast<double>(n)) * 3600,
                    nullptr);
        fleet.set_course(n, 20.0 * static_cast<double>(n), nullptr);
        fleet.set_speed(n, 80.0, nullptr);
        noise.emplace_back(5.0, 1, n);
    }
    SkySettings settings;
    settings.obstructions = {{200, 340, 40}};
    const SentenceKind kinds[] = {SentenceKind::rmc, SentenceKind::gga, SentenceKind::vtg, SentenceKind::gsa,
                                  SentenceKind::gsv, SentenceKind::zda, SentenceKind::gll, SentenceKind::hdt};
    std::int64_t t = day_2026_06_01;
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (int k = 0; k < rate; ++k, t += 1000 / rate) {
            const Constellation sky_now = constellation_at(t);
            const CivilInstant when = civil_of(t);
            for (std::size_t n = 0; n < vehicles; ++n) {
                fleet.advance(n, static_cast<double>(t - day_2026_06_01) / 1000.0);
                const Vehicle& v = fleet.vehicle(n);
                const Sky sky = observe(sky_now, observer_of(v, 50.0), settings);
                const ArcPosition shown = displaced(v.lat, v.lon, noise[n].step(t, sky));
                const GroundMotion motion = ground_motion(v);
                const FixTexts fix{when,
                                   rate,
                                   rmc_coordinate(std::fabs(shown.lat), 2),
                                   shown.lat < 0 ? "S" : "N",
                                   rmc_coordinate(std::fabs(shown.lon), 3),
                                   shown.lon < 0 ? "W" : "E",
                                   printed("%.1f", motion.kmh / km_per_nautical_mile),
                                   printed("%05.1f", motion.course),
                                   printed("%.1f", motion.kmh),
                                   "000.0",
                                   "W",
                                   "50.0"};
                for (const std::string& s : full_set(fix, sky, kinds, Talker::gn)) bytes += s.size() + 2;
            }
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["cpu_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["bytes_each_second"] = static_cast<double>(bytes) / static_cast<double>(state.iterations());
}
BENCHMARK(SkyOfAFleet)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vadrel

BENCHMARK_MAIN();
