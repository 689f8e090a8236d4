// The sky's cost for a fleet: 19 vehicles spread over Italy in multi-user
// mode, each with its own stream and its receiver under the sky (mask, a
// building to the west, 5 m of noise), the full set with every sentence (RMC,
// GGA, VTG, GSA, the GSV group, ZDA, GLL, HDT) and the GN talker, for one
// second of fixes at 1 and at 10 Hz, made by the program's transmitter. One
// iteration is one second of the simulation; "cpu_per_second" is the CPU
// time it takes, the share of one core (target at 10 Hz: under 1 %, 10 ms);
// "bytes_each_second" the sentences of that second with their line ends.
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVADREL_BENCHMARKS=ON -DVADREL_TESTS=OFF
//   cmake --build build-bench --target bench_sky && build-bench/bench/bench_sky

#include <benchmark/benchmark.h>

#include <optional>
#include <string>
#include <vector>

#include "fleet/fleet.h"
#include "model/track_history.h"
#include "tick/transmitter.h"
#include "support/utc_clock.h"
#include "ticking.h"

namespace vadrel {
namespace {

constexpr std::size_t vehicles = 19;
constexpr std::int64_t day_2026_06_01 = 1'780'272'000'000;

class CountedBytes : public Output, public VehicleOutput {
public:
    std::size_t bytes = 0;
    Delivery send(std::string_view b) override {
        bytes += b.size();
        return {Delivery::Serial::closed, {}, true, {}};
    }
    bool on() const override { return true; }
    void send(const std::vector<std::optional<std::string>>& each) override {
        for (const auto& b : each) bytes += b ? b->size() : 0;
    }
};

void SkyOfAFleet(benchmark::State& state) {
    const int rate = static_cast<int>(state.range(0));
    Fleet fleet;
    for (std::size_t n = 0; n < vehicles; ++n) {
        fleet.place(n, (37.0 + 0.4 * static_cast<double>(n)) * 3600, (8.0 + 0.5 * static_cast<double>(n)) * 3600,
                    nullptr);
        fleet.set_course(n, 20.0 * static_cast<double>(n), nullptr);
        fleet.set_speed(n, 80.0, nullptr);
    }
    fleet.set_mode(Mode::multi_user, nullptr);
    fleet.set_cycle(static_cast<int>(vehicles), nullptr);
    fleet.set_streams(true, nullptr);
    ReceiverOptions receiver = modern_receiver({});
    receiver.altitude = 50.0;
    receiver.sky_options.satellites = true;
    receiver.sky_options.obstructions = {{200, 340, 40}};
    receiver.sky_options.noise = 5.0;
    receiver.sky_options.rate = rate;
    receiver.sky_options.talker = Talker::gn;
    receiver.sky_options.sentences = {SentenceKind::rmc, SentenceKind::gga, SentenceKind::vtg, SentenceKind::gsa,
                            SentenceKind::gsv, SentenceKind::zda, SentenceKind::gll, SentenceKind::hdt};
    TrackHistory tracks{fleet_size};
    CountedBytes out;
    testing::UtcClock clock;
    clock.utc_ms = day_2026_06_01;
    bench::NullPort port;
    bench::NullDevices devices;
    Link link(port, devices);
    Transmitter transmitter(fleet, link, tracks, out, clock);
    transmitter.set_receiver(receiver);
    transmitter.set_vehicle_output(&out);
    for (auto _ : state) {
        for (int k = 0; k < rate; ++k) {
            clock.utc_ms += 1000 / rate;
            clock.steady = static_cast<double>(clock.utc_ms - day_2026_06_01) / 1000.0;
            transmitter.tick(k);
        }
        benchmark::DoNotOptimize(out.bytes);
    }
    state.counters["cpu_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["bytes_each_second"] = static_cast<double>(out.bytes) / static_cast<double>(state.iterations());
}
BENCHMARK(SkyOfAFleet)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vadrel

BENCHMARK_MAIN();
