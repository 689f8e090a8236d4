// Cost of what one source may send the autopilot in a second: 64 KB of
// plotter lines (APB, RMB, XTE in turn, and garbage without line ends),
// split into lines and read, so the most a flooding client costs the tick's
// thread is known.
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVADREL_BENCHMARKS=ON -DVADREL_TESTS=OFF
//   cmake --build build-bench --target bench_pilot && build-bench/bench/bench_pilot

#include <benchmark/benchmark.h>

#include <string>

#include "marine/autopilot.h"
#include "model/line_assembler.h"
#include "model/line_listener.h"
#include "nmea/sentences.h"

namespace vadrel {
namespace {

std::string framed(const std::string& body) {
    const std::string sentence = "$" + body;
    return sentence + checksum_field(sentence) + "\r\n";
}

// 64 KB of good sentences, or of bytes without a line end.
std::string second_of(bool garbage) {
    const std::string cycle = framed("GPAPB,A,A,0.10,R,N,V,V,011,M,WP1,011,M,090,T") +
                              framed("GPRMB,A,0.66,L,WP0,WP2,4417.50,N,01030.00,W,12.3,045.0,5.0,V,A") +
                              framed("GPXTE,A,A,0.67,L,N");
    std::string bytes;
    while (bytes.size() < 64 * 1024) bytes += garbage ? std::string(cycle.size(), 'z') : cycle;
    bytes.resize(64 * 1024);
    return bytes;
}

void read_a_second(benchmark::State& state, bool garbage) {
    const std::string bytes = second_of(garbage);
    Autopilot pilot;
    pilot.set_on(true);
    double now = 0.0;
    for (auto _ : state) {
        LineAssembler lines(LineListener::longest_line);
        lines.feed(bytes, [&](std::string_view line) { pilot.hear(line, "bench", now); });
        benchmark::DoNotOptimize(pilot.step(0.0, {44.0, 9.0}, now += 1.0));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}

void BM_SentencesOfASecond(benchmark::State& state) { read_a_second(state, false); }
void BM_GarbageOfASecond(benchmark::State& state) { read_a_second(state, true); }
BENCHMARK(BM_SentencesOfASecond);
BENCHMARK(BM_GarbageOfASecond);

}  // namespace
}  // namespace vadrel

BENCHMARK_MAIN();
