// Cost of the NMEA 2000 lines of one moment, in the plain text format:
// * a fix between the seconds (at 10 a second): 129025 and 129026;
// * a whole second with the instruments: besides, 129029, 127250, 128259,
//   three 130306, 128267 and 130316;
// * the heaviest second: that, and 18 AIS targets' position reports and
//   static data at once (129038 and 129794, 28 and 75 bytes each).
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVADREL_BENCHMARKS=ON -DVADREL_TESTS=OFF
//   cmake --build build-bench --target bench_n2k && build-bench/bench/bench_n2k

#include <benchmark/benchmark.h>

#include <vector>

#include "marine/n2k_builder.h"
#include "marine/n2k_examples.h"

namespace vadrel {
namespace {

constexpr std::int64_t moment_ms = 1796637600000;
constexpr std::size_t targets = 18;

void moment(benchmark::State& state, bool whole_second, bool ais) {
    const InstrumentReadings r = testing::instrument_example();
    const OwnShipFix fix{true, 44.0113117, 10.1284783, 45.3, 10.0, 12.0, 7, 1.0, 1.8};
    std::vector<AisReportSent> reports;
    std::vector<AisStaticSent> statics;
    for (std::size_t k = 1; ais && k <= targets; ++k) {
        ais::PositionReport report;
        report.mmsi = default_identity(k).mmsi;
        report.latitude = 44 * 600000 + static_cast<std::int32_t>(k) * 600;
        report.longitude = 9 * 600000 + static_cast<std::int32_t>(k) * 1200;
        report.speed = 120;
        report.course = static_cast<std::uint16_t>(100 * k);
        reports.push_back({AisClass::a, report, k % 2 ? 'A' : 'B', false});
        ais::StaticData data;
        data.mmsi = report.mmsi;
        data.name = sent_name(default_identity(k), k);
        data.call_sign = "IABC" + std::to_string(k);
        data.dimensions = {20, 10, 4, 4};
        statics.push_back({AisClass::a, data, 'A', false});
    }
    N2kBuilder builder;
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string out;
        for (const std::string& line : builder.lines({moment_ms, fix, whole_second, &r, reports, statics})) {
            out += line;
            out += "\r\n";
        }
        bytes = out.size();
        benchmark::DoNotOptimize(out);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

BENCHMARK_CAPTURE(moment, fix_between_seconds, false, false);
BENCHMARK_CAPTURE(moment, second_with_instruments, true, false);
BENCHMARK_CAPTURE(moment, heaviest_second_18_targets, true, true);

}  // namespace
}  // namespace vadrel

BENCHMARK_MAIN();
