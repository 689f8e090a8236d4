// Routes of 100,000 points (a track with a time on every point, 30 m apart):
// * loading one from its GPX file (read as the program reads --percorso);
// * the multi-user tick of 19 vehicles, each on such a route, beside the
//   same tick with the vehicles going straight on;
// * the memory of 19 such routes once loaded (resident set before and after).
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVADREL_BENCHMARKS=ON -DVADREL_TESTS=OFF
//   cmake --build build-bench --target bench_routes && build-bench/bench/bench_routes

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "routes/route_files.h"
#include "routes/vehicle_routes.h"
#include "ticking.h"

namespace vadrel::bench {
namespace {

constexpr std::size_t points = 100'000;
constexpr std::size_t in_use = 19;

// East from 44 N 9 E in a zigzag, a point a second.
Route long_route() {
    Route route("Lungo");
    for (std::size_t i = 0; i < points; ++i) {
        const double k = static_cast<double>(i);
        route.add({44.0 + (i % 2 == 0 ? 0.0 : 0.0002), 9.0 + 0.0003 * k, std::nullopt,
                   1'700'000'000'000 + static_cast<std::int64_t>(i) * 1000});
    }
    route.shrink();
    return route;
}

// The route's GPX in a folder removed at the end.
struct GpxFile {
    GpxFile() {
        QFile file(dir.filePath("lungo.gpx"));
        if (!file.open(QIODevice::WriteOnly) || file.write(route_gpx(long_route())) < 0) std::abort();
        path = file.fileName().toStdString();
    }
    QTemporaryDir dir;
    std::string path;
};

Route load(const std::string& path) {
    RouteReading reading = read_route_file(path);
    if (!std::holds_alternative<std::vector<Route>>(reading)) std::abort();
    return std::move(std::get<std::vector<Route>>(reading).front());
}

long resident_kb(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
    }
    return 0;
}

void BM_LoadGpx100k(benchmark::State& state) {
    const GpxFile file;
    std::size_t read = 0;
    for (auto _ : state) read = load(file.path).size();
    state.counters["points"] = static_cast<double>(read);
    state.counters["MB"] = static_cast<double>(QFile(QString::fromStdString(file.path)).size()) / 1e6;
}

void multi_user_ticks(benchmark::State& state, bool on_routes) {
    Ticking t([](std::size_t) { return 45.0; });
    std::optional<VehicleRoutes> routes;
    if (on_routes) {
        const Route route = long_route();
        routes.emplace(t.fleet);
        for (std::size_t n = 0; n < in_use; ++n) {
            if (routes->give(n, route, {RouteEnd::loop}, nullptr)) std::abort();
        }
    }
    t.form.opt_multi.select();
    t.form.txt_num_mezzi.set_text("19");
    for (std::size_t turn = 0; turn < in_use; ++turn) t.tick();
    for (auto _ : state) t.tick();
}

void BM_TickMultiUser19Straight(benchmark::State& state) { multi_user_ticks(state, false); }
void BM_TickMultiUser19OnRoutes(benchmark::State& state) { multi_user_ticks(state, true); }

void BM_Memory19Routes(benchmark::State& state) {
    const GpxFile file;
    for (auto _ : state) {
        const long before = resident_kb("VmRSS:");
        std::vector<Route> routes;
        for (std::size_t n = 0; n < in_use; ++n) routes.push_back(load(file.path));
        state.counters["routes_MB"] = static_cast<double>(resident_kb("VmRSS:") - before) / 1024.0;
        state.counters["peak_MB"] = static_cast<double>(resident_kb("VmHWM:")) / 1024.0;
    }
}

BENCHMARK(BM_LoadGpx100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TickMultiUser19Straight);
BENCHMARK(BM_TickMultiUser19OnRoutes);
BENCHMARK(BM_Memory19Routes)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vadrel::bench

BENCHMARK_MAIN();
