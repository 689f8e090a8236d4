// Cost of the routes on the map once a second: 19 vehicles on routes of
// 100,000 points each (30 m apart, 3,000 km), each split where its vehicle
// is half way and drawn (both parts, the points that stand apart) on a
// 640 x 480 picture, antialiased as the map draws it; at the zoom that
// shows a whole route and at a street's zoom on one vehicle.
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVADREL_BENCHMARKS=ON -DVADREL_TESTS=OFF
//   cmake --build build-bench --target bench_map_routes && build-bench/bench/bench_map_routes

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <vector>

#include "gui/map_routes.h"

namespace vadrel::gui {
namespace {

constexpr std::size_t vehicles = 19;
constexpr std::size_t points = 100'000;

struct Fleet19 {
    std::vector<Route> routes;
    std::vector<RouteProgress> progress;
    std::vector<GeoPoint> here;
};

// Vehicle k eastwards from (30 + k/10) N, 0 E, a point every 30 m, gently winding.
const Fleet19& fleet() {
    static const Fleet19 made = [] {
        Fleet19 f;
        for (std::size_t k = 0; k < vehicles; ++k) {
            Route route("lungo");
            const double lat0 = 30.0 + 0.1 * static_cast<double>(k);
            for (std::size_t i = 0; i < points; ++i) {
                const double lon = static_cast<double>(i) * 30.0 / 96'000.0;
                (void)route.add({lat0 + 0.001 * std::sin(static_cast<double>(i) / 50.0), lon});
            }
            RouteProgress p;
            p.leg = points / 2;
            f.here.push_back({lat0, route.position(points / 2).lon});
            f.routes.push_back(std::move(route));
            f.progress.push_back(p);
        }
        return f;
    }();
    return made;
}

void routes_painted(benchmark::State& state, double metres_per_pixel) {
    const Fleet19& f = fleet();
    MapProjection map;
    map.set_viewport({640, 480});
    map.set_view(f.here[9], metres_per_pixel);
    QImage picture(640, 480, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        picture.fill(Qt::white);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF view(-8, -8, 656, 496);
        for (std::size_t k = 0; k < vehicles; ++k) {
            const RouteParts parts = split_route(f.routes[k], f.progress[k], {}, f.here[k]);
            painter.setPen(QPen(Qt::red, 1.5, Qt::DashLine));
            painter.drawPolyline(legs_on_screen(map, f.routes[k], parts.done));
            painter.setPen(QPen(Qt::red, 2.0));
            painter.drawPolyline(legs_on_screen(map, f.routes[k], parts.left));
            // the points 8 pixels apart, at most 400, as the map draws them
            for (const QRectF& box : point_marks(map, f.routes[k], 3.0, 8.0, 8.0, 400)) painter.drawRect(box);
        }
    }
    state.counters["punti"] = static_cast<double>(vehicles * points);
}

BENCHMARK_CAPTURE(routes_painted, whole_routes, 6000.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(routes_painted, street, 2.0)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vadrel::gui

BENCHMARK_MAIN();
