// Long routes drawn from their coarse index look as the same routes drawn
// point by point: pictures compared pixel by pixel, at a whole route's zoom,
// at a street's, beside the route, across the 180th meridian, round a pole
// and going back; the points marked are those marked one by one.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>

#include "gui/map_routes.h"

namespace vadrel::gui {
namespace {

// The run's points one by one.
std::vector<GeoPoint> points_of(const Route& route, const RouteRun& run) {
    std::vector<GeoPoint> out;
    for (const auto& piece : run.pieces) {
        if (const auto* p = std::get_if<GeoPoint>(&piece)) {
            out.push_back(*p);
            continue;
        }
        const auto [from, to] = std::get<RouteRun::Range>(piece);
        for (std::int64_t i = from;; i += from <= to ? 1 : -1) {
            const auto p = route.position(static_cast<std::size_t>(i));
            out.push_back({p.lat, p.lon});
            if (i == to) break;
        }
    }
    return out;
}

QImage picture(const QPolygonF& line) {
    QImage image(640, 480, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 2.0));
    painter.drawPolyline(line);
    return image;
}

// Pixels dark in one picture and light in the other.
int differing(const QImage& a, const QImage& b) {
    int differ = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) differ += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 128;
    }
    return differ;
}

// `count` points from `start`, a step apart, winding a little to the north and back.
Route winding(vadrel::GeoPoint start, double lat_step, double lon_step, int count) {
    Route route("lungo");
    for (int i = 0; i < count; ++i) {
        const double lon = std::remainder(start.lon + lon_step * i, 360.0);
        EXPECT_FALSE(route.add({start.lat + lat_step * i + 0.001 * std::sin(i / 50.0), lon == -180.0 ? 180.0 : lon}));
    }
    return route;
}

TEST(MapRouteDrawing, FromTheIndexAsPointByPoint) {
    const Route east = winding({44.0, 9.0}, 0.0, 30.0 / 80'000.0, 20'000);   // 600 km, 30 m a leg
    const Route dateline = winding({-16.0, 179.9}, 0.0, 0.0003, 2'000);     // across 180 E
    const Route pole = winding({89.99, 0.0}, 0.0, 1.5, 1'000);             // round the pole, a leg 1.7 m
    Route square("onda quadra");  // 1.1 km north and back every 16 points, 37.5 m a leg east
    for (int i = 0; i < 4'000; ++i) EXPECT_FALSE(square.add({44.0 + 0.01 * (i / 16 % 2), 9.0 + i * 30.0 / 80'000.0}));
    RouteProgress half;
    half.leg = 2'000;
    RouteProgress back = half;
    back.backward = true;
    RouteProgress start;
    const struct {
        const char* what;
        const Route& route;
        RouteProgress progress;
        RouteEnd end;
        vadrel::GeoPoint centre;
        double metres_per_pixel;
    } rows[] = {
        {"the whole route", east, half, RouteEnd::stop, {44.0, 12.75}, 1200.0},
        {"a street's zoom where the vehicle is", east, half, RouteEnd::stop, {44.0, 9.75}, 2.0},
        {"a street's zoom between two runs", east, half, RouteEnd::stop, {44.0, 9.0 + 64 * 30.0 / 80'000.0}, 0.5},
        {"going back, a town's zoom", east, back, RouteEnd::back, {44.0, 9.70}, 20.0},
        {"beside the route: nothing", east, half, RouteEnd::stop, {44.1, 9.75}, 20.0},
        {"a square wave, a run a few pixels wide", square, half, RouteEnd::stop, {44.0, 9.7}, 100.0},
        {"across the 180th meridian", dateline, start, RouteEnd::loop, {-16.0, 180.0}, 20.0},
        {"the whole world, the 180th meridian at its edges", dateline, start, RouteEnd::stop, {-16.0, 0.0}, 60000.0},
        {"round the north pole", pole, start, RouteEnd::stop, {85.0, 0.0}, 3000.0},
    };
    for (const auto& r : rows) {
        MapProjection map;
        map.set_viewport({640, 480});
        map.set_view({r.centre.lat, r.centre.lon}, r.metres_per_pixel);
        const auto here = r.route.position(static_cast<std::size_t>(r.progress.leg));
        const RouteParts parts = split_route(r.route, r.progress, {r.end, false, 0.0, false}, {here.lat, here.lon});
        for (const RouteRun* run : {&parts.done, &parts.left}) {
            EXPECT_LE(differing(picture(legs_on_screen(map, points_of(r.route, *run))),
                                picture(legs_on_screen(map, r.route, *run))),
                      5)
                << r.what;
        }
        // the points marked, as one by one
        std::vector<QRectF> one_by_one;
        const QRectF view(-8, -8, 656, 496);
        for (std::size_t i = 0; i < r.route.size() && one_by_one.size() < 400; ++i) {
            const auto p = r.route.position(i);
            const QPointF at = map.to_screen({p.lat, p.lon});
            if (!view.contains(at)) continue;
            if (!one_by_one.empty() && QLineF(one_by_one.back().center(), at).length() < 8.0) continue;
            one_by_one.emplace_back(at - QPointF(3, 3), QSizeF(6, 6));
        }
        EXPECT_EQ(point_marks(map, r.route, 3.0, 8.0, 8.0, 400), one_by_one) << r.what;
    }
}

}  // namespace
}  // namespace vadrel::gui
