#include "map_routes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "routes/geodesy.h"

namespace vadrel::gui {

namespace {

// Pixels a straight piece of a leg spans at most, and the pieces a leg is
// cut into at most (a leg round half the globe at the widest zoom).
constexpr double piece_pixels = 12.0;
constexpr int max_pieces = 256;
// A leg shorter than this parts from its chord on the map by less than 15 cm
// (at 60 degrees of latitude; less nearer the equator).
constexpr double bent_metres = 2000.0;

GeoPoint on_map(vadrel::GeoPoint p) { return {p.lat, p.lon}; }
vadrel::GeoPoint on_globe(GeoPoint p) { return {p.lat, p.lon}; }

}  // namespace

RouteParts split_route(const Route& route, const RouteProgress& progress, const FollowOptions& options,
                       GeoPoint vehicle) {
    RouteParts parts;
    const auto n = static_cast<std::int64_t>(route.size());
    if (n == 0) return parts;
    const auto point = [&route](std::int64_t i) { return on_map(route.position(static_cast<std::size_t>(i))); };
    const bool loop = options.end == RouteEnd::loop && n > 1;
    if (progress.finished) {
        for (std::int64_t i = 0; i < n; ++i) parts.done.push_back(point(i));
        return parts;
    }
    // The point the vehicle is heading for and which way it goes on.
    std::int64_t ahead = 0;
    bool backward = false;
    if (progress.leg < 0) {
        ahead = std::clamp<std::int64_t>(progress.rejoin, 0, n - 1);
        backward = progress.rejoin_backward;
        parts.approach = {on_map(progress.origin), vehicle};
    } else if (progress.backward) {
        ahead = std::clamp<std::int64_t>(progress.leg, 0, n - 1);
        backward = true;
    } else {
        ahead = progress.leg + 1;  // n: the leg back of a loop, to the first point
    }
    const bool on_route = progress.leg >= 0;
    if (backward) {
        for (std::int64_t i = n - 1; i > ahead; --i) parts.done.push_back(point(i));
        if (on_route) parts.done.push_back(vehicle);
        parts.left.push_back(vehicle);
        for (std::int64_t i = ahead; i >= 0; --i) parts.left.push_back(point(i));
        return parts;
    }
    if (ahead >= n) {
        for (std::int64_t i = 0; i < n; ++i) parts.done.push_back(point(i));
        parts.done.push_back(vehicle);
        parts.left = {vehicle, point(0)};
        return parts;
    }
    for (std::int64_t i = 0; i < ahead; ++i) parts.done.push_back(point(i));
    if (on_route) parts.done.push_back(vehicle);
    parts.left.push_back(vehicle);
    for (std::int64_t i = ahead; i < n; ++i) parts.left.push_back(point(i));
    if (loop) parts.left.push_back(point(0));
    return parts;
}

QPolygonF legs_on_screen(const MapProjection& map, const std::vector<GeoPoint>& points) {
    QPolygonF out;
    if (points.empty()) return out;
    const double pixels_per_degree_lon = map.metres_per_degree_lon() / map.metres_per_pixel();
    const double pixels_per_degree_lat = MapProjection::earth_radius_m * std::numbers::pi / 180.0 / map.metres_per_pixel();
    const double middle_y = map.viewport().height() / 2.0;
    const double centre_lat = map.centre().lat;
    // Beyond these edges (a line's width away) nothing shows: a run of
    // points all beyond the same edge is drawn as its first and last, the
    // line between them staying beyond it too.
    const QRectF view = QRectF(QPointF(0, 0), map.viewport()).adjusted(-16, -16, 16, 16);
    const auto beyond = [&view](QPointF p) {
        return (p.x() < view.left() ? 1 : 0) | (p.x() > view.right() ? 2 : 0) | (p.y() < view.top() ? 4 : 0) |
               (p.y() > view.bottom() ? 8 : 0);
    };
    QPointF last = map.to_screen(points.front());
    double last_lon = points.front().lon;
    out << last;
    // Each point the short way from the one before, so that a line across
    // the 180th meridian stays one piece.
    const auto after_last = [&](GeoPoint p) {
        return QPointF(last.x() + std::remainder(p.lon - last_lon, 360.0) * pixels_per_degree_lon,
                       middle_y - (p.lat - centre_lat) * pixels_per_degree_lat);
    };
    const auto add = [&](GeoPoint p, bool keep) {
        const QPointF at = after_last(p);
        last = at;
        last_lon = p.lon;
        const QPointF step = at - out.constLast();
        if (!keep && std::hypot(step.x(), step.y()) < 0.5) return;
        const qsizetype n = out.size();
        if (n >= 2 && (beyond(at) & beyond(out[n - 1]) & beyond(out[n - 2])) != 0) {
            out[n - 1] = at;  // on along the same run beyond the view
        } else {
            out << at;
        }
    };
    for (std::size_t i = 1; i < points.size(); ++i) {
        // A leg short on the screen, or too short for its great circle to
        // part from its chord, or beyond one edge of the view, is its chord;
        // a longer one is cut into pieces along its great circle.
        const QPointF end = after_last(points[i]);
        const double pixels = std::hypot(end.x() - last.x(), end.y() - last.y());
        const int pieces = std::clamp(static_cast<int>(std::ceil(pixels / piece_pixels)), 1, max_pieces);
        if (pieces > 1 && pixels * map.metres_per_pixel() > bent_metres && (beyond(last) & beyond(end)) == 0) {
            const vadrel::GeoPoint a = on_globe(points[i - 1]);
            const vadrel::GeoPoint b = on_globe(points[i]);
            for (int k = 1; k < pieces; ++k) add(on_map(interpolate(a, b, static_cast<double>(k) / pieces)), false);
        }
        add(points[i], i + 1 == points.size());
    }
    return out;
}

}  // namespace vadrel::gui
