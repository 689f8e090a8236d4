// What the map's layers cost each repaint (once a second while it is open,
// and on every drag): the names of places placed and written over Europe,
// the world and close up over Lombardy (thousands of places near), the
// world drawn with its detail (the 1:10m coast close up, the lakes and
// rivers), the coast read once, the tiles of a view found, and 10,000
// devices of the fleet for tracking servers thinned to their dots, drawn
// and (close in) labelled, at a world's, a region's and a town's zoom.
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVADREL_BENCHMARKS=ON -DVADREL_TESTS=OFF
//   cmake --build build-bench --target bench_map_layers && build-bench/bench/bench_map_layers

#include <benchmark/benchmark.h>

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>

#include "gui/device_dots.h"
#include "gui/map_detail.h"
#include "gui/map_drawing.h"
#include "gui/place_names.h"
#include "gui/tile_grid.h"

namespace vadrel::gui {
namespace {

MapProjection view(GeoPoint centre, double metres_per_pixel) {
    MapProjection map;
    map.set_viewport({1024, 768});
    map.set_view(centre, metres_per_pixel);
    return map;
}

// Each repaint of a 1024 x 768 picture, as the map paints; what the last said.
template <typename Paint>
std::size_t each_repaint(benchmark::State& state, const Paint& paint) {
    QImage picture(1024, 768, QImage::Format_ARGB32_Premultiplied);
    std::size_t said = 0;
    for (auto _ : state) {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        said = paint(painter);
    }
    return said;
}

void place_names(benchmark::State& state, GeoPoint centre, double metres_per_pixel) {
    const PlaceNames names(built_in_places());
    const MapProjection map = view(centre, metres_per_pixel);
    const std::size_t written = each_repaint(state, [&](QPainter& painter) {
        return names.paint(painter, map, {QRectF(6, 722, 132, 32)}).size() / 2;
    });
    state.counters["nomi"] = static_cast<double>(written);
}

void world_with_detail(benchmark::State& state, GeoPoint centre, double metres_per_pixel) {
    const auto world = WorldMap::built_in();
    MapDetail detail = MapDetail::built_in();
    const MapProjection map = view(centre, metres_per_pixel);
    detail.want_land(map, {});
    detail.wait_for_land();
    QImage picture(1024, 768, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        draw_world(painter, map, *world, {1024, 768}, &detail);
    }
    state.counters["costa_10m"] = detail.land(map) != nullptr ? 1.0 : 0.0;
}

void read_coast(benchmark::State& state) {
    QFile file(QStringLiteral(":/dettaglio/land-10m.json"));
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    std::size_t rings = 0;
    for (auto _ : state) rings = read_lines(bytes).value_or(std::vector<WorldMap::Line>{}).size();
    state.counters["anelli"] = static_cast<double>(rings);
}

void tiles(benchmark::State& state) {
    const MapProjection map = view({45.46, 9.19}, 2.0);
    std::size_t count = 0;
    for (auto _ : state) {
        const std::vector<TileKey> keys = tiles_in_view(map, tile_zoom(map));
        QRectF all;
        for (const TileKey& k : keys) {
            for (int s = 0; s < 8; ++s) all = all.united(tile_strip(map, k, s, 8));
        }
        benchmark::DoNotOptimize(all);
        count = keys.size();
    }
    state.counters["tile"] = static_cast<double>(count);
}

// 10,000 devices over a square of Piedmont `side` degrees wide, painted
// as the map paints them.
void fleet_dots(benchmark::State& state, GeoPoint centre, double metres_per_pixel, double side) {
    std::vector<DeviceDot> devices;
    for (int i = 0; i < 10000; ++i) {
        devices.push_back({"taxi-" + std::to_string(i),
                           {centre.lat - side / 2 + side * (i / 100) / 100.0, centre.lon - side / 2 + side * (i % 100) / 100.0},
                           90.0,
                           40.0});
    }
    const MapProjection map = view(centre, metres_per_pixel);
    const std::size_t dots = each_repaint(state, [&](QPainter& painter) {
        const DeviceDots drawn(map, devices, {1024, 768});
        drawn.paint_dots(painter);
        drawn.paint_labels(painter, {QRectF(6, 722, 132, 32)});
        return drawn.thinned().cells.size();
    });
    state.counters["punti"] = static_cast<double>(dots);
}

BENCHMARK_CAPTURE(place_names, europa, GeoPoint{47.0, 10.0}, 4000.0);
BENCHMARK_CAPTURE(place_names, world, GeoPoint{20.0, 0.0}, 30000.0);
BENCHMARK_CAPTURE(place_names, lombardia, GeoPoint{45.6, 9.3}, 130.0);
BENCHMARK_CAPTURE(world_with_detail, genova_costa, GeoPoint{44.4, 8.9}, 100.0);
BENCHMARK_CAPTURE(world_with_detail, alpi_laghi_fiumi, GeoPoint{46.0, 9.0}, 2000.0);
BENCHMARK_CAPTURE(world_with_detail, europa, GeoPoint{47.0, 10.0}, 6000.0);
BENCHMARK_CAPTURE(fleet_dots, mondo, GeoPoint{45.0, 8.0}, 30000.0, 1.5)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(fleet_dots, regione, GeoPoint{45.0, 8.0}, 300.0, 1.5)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(fleet_dots, citta, GeoPoint{45.0, 8.0}, 20.0, 1.5)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(fleet_dots, provincia, GeoPoint{45.0, 8.0}, 100.0, 1.5)->Unit(benchmark::kMicrosecond);
BENCHMARK(read_coast)->Unit(benchmark::kMillisecond);
BENCHMARK(tiles);

}  // namespace
}  // namespace vadrel::gui

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);  // fonts for the names
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
