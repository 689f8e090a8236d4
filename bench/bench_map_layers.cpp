// What the map's new layers cost each repaint (once a second while it is
// open, and on every drag): the names of the larger places placed and
// written over Europe and over the world, and the tiles of a view found.
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVADREL_BENCHMARKS=ON -DVADREL_TESTS=OFF
//   cmake --build build-bench --target bench_map_layers && build-bench/bench/bench_map_layers

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>

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

void place_names(benchmark::State& state, GeoPoint centre, double metres_per_pixel) {
    const PlaceNames names(built_in_places());
    const MapProjection map = view(centre, metres_per_pixel);
    QImage picture(1024, 768, QImage::Format_ARGB32_Premultiplied);
    std::size_t written = 0;
    for (auto _ : state) {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        written = names.paint(painter, map, {QRectF(6, 722, 132, 32)}).size() / 2;
    }
    state.counters["nomi"] = static_cast<double>(written);
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

BENCHMARK_CAPTURE(place_names, europa, GeoPoint{47.0, 10.0}, 4000.0);
BENCHMARK_CAPTURE(place_names, world, GeoPoint{20.0, 0.0}, 30000.0);
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
