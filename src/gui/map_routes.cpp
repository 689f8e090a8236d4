#include "map_routes.h"

#include <algorithm>
#include <cmath>

#include "routes/geodesy.h"

namespace vadrel::gui {

namespace {

// Pixels a straight piece of a leg spans at most, and the pieces a leg is
// cut into at most (a leg round half the globe at the widest zoom).
constexpr double piece_pixels = 12.0;
constexpr int max_pieces = 256;

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
    QPointF last = map.to_screen(points.front());
    double last_lon = points.front().lon;
    out << last;
    // Each point the short way from the one before, so that a line across
    // the 180th meridian stays one piece.
    const auto after_last = [&](GeoPoint p) {
        return QPointF(last.x() + std::remainder(p.lon - last_lon, 360.0) * pixels_per_degree_lon, map.to_screen(p).y());
    };
    const auto add = [&](GeoPoint p, bool keep) {
        const QPointF at = after_last(p);
        const QPointF step = at - out.constLast();
        if (keep || std::hypot(step.x(), step.y()) >= 0.5) out << at;
        last = at;
        last_lon = p.lon;
    };
    for (std::size_t i = 1; i < points.size(); ++i) {
        // A leg short on the screen is its chord; a longer one is cut into
        // pieces along its great circle (the trigonometry only for those).
        const QPointF chord = after_last(points[i]) - last;
        const int pieces = std::clamp(static_cast<int>(std::ceil(std::hypot(chord.x(), chord.y()) / piece_pixels)), 1,
                                      max_pieces);
        if (pieces > 1) {
            const vadrel::GeoPoint a = on_globe(points[i - 1]);
            const vadrel::GeoPoint b = on_globe(points[i]);
            for (int k = 1; k < pieces; ++k) add(on_map(interpolate(a, b, static_cast<double>(k) / pieces)), false);
        }
        add(points[i], i + 1 == points.size());
    }
    return out;
}

}  // namespace vadrel::gui
