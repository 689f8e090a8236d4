#include "map_routes.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

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
// Points closer than this to the one before are left out of a line.
constexpr double least_step_pixels = 0.5;
constexpr double fixed_per_degree = 1e7;

GeoPoint on_map(vadrel::GeoPoint p) { return {p.lat, p.lon}; }
vadrel::GeoPoint on_globe(GeoPoint p) { return {p.lat, p.lon}; }

// The screen as the linear map of degrees the routes are drawn on, around
// the view's centre.
struct Scale {
    explicit Scale(const MapProjection& map)
        : x_per_degree(map.metres_per_degree_lon() / map.metres_per_pixel()),
          y_per_degree(MapProjection::earth_radius_m * std::numbers::pi / 180.0 / map.metres_per_pixel()),
          middle_y(map.viewport().height() / 2.0),
          centre_lat(map.centre().lat) {}
    double y(double lat) const { return middle_y - (lat - centre_lat) * y_per_degree; }
    // A run of points on the screen whose first point is at `first`.
    QRectF box(const Route::Extent& run, QPointF first) const {
        return QRectF(QPointF(first.x() + run.west * x_per_degree, y(run.north / fixed_per_degree)),
                      QPointF(first.x() + run.east * x_per_degree, y(run.south / fixed_per_degree)));
    }
    double x_per_degree;
    double y_per_degree;
    double middle_y;
    double centre_lat;
};

// Which edges of the view a point is beyond, a bit each.
int beyond(const QRectF& view, QPointF p) {
    return (p.x() < view.left() ? 1 : 0) | (p.x() > view.right() ? 2 : 0) | (p.y() < view.top() ? 4 : 0) |
           (p.y() > view.bottom() ? 8 : 0);
}

// A box wholly beyond one edge of the view.
bool wholly_beyond(const QRectF& view, const QRectF& box) {
    return box.right() < view.left() || box.left() > view.right() || box.bottom() < view.top() ||
           box.top() > view.bottom();
}

// The line of legs_on_screen, point by point.
class ScreenLine {
public:
    explicit ScreenLine(const MapProjection& map)
        : map_(map),
          scale_(map),
          // Beyond these edges (a line's width away) nothing shows: a run
          // of points all beyond the same edge is drawn as its first and
          // last, the line between them staying beyond it too.
          view_(QRectF(QPointF(0, 0), map.viewport()).adjusted(-16, -16, 16, 16)) {}

    // Where the point goes: the short way from the one before, so that a
    // line across the 180th meridian stays one piece.
    QPointF place(GeoPoint p) const {
        if (out_.isEmpty()) return map_.to_screen(p);
        return QPointF(last_.x() + std::remainder(p.lon - last_lon_, 360.0) * scale_.x_per_degree, scale_.y(p.lat));
    }

    // The leg from the point before to `p`; `keep`: even if it is close.
    void leg_to(GeoPoint p, bool keep) {
        if (out_.isEmpty()) {
            last_ = map_.to_screen(p);
            last_lon_ = p.lon;
            before_ = p;
            out_ << last_;
            return;
        }
        // A leg short on the screen, or too short for its great circle to
        // part from its chord, or beyond one edge of the view, is its chord;
        // a longer one is cut into pieces along its great circle.
        const QPointF end = place(p);
        const double pixels = std::hypot(end.x() - last_.x(), end.y() - last_.y());
        const int pieces = std::clamp(static_cast<int>(std::ceil(pixels / piece_pixels)), 1, max_pieces);
        if (pieces > 1 && pixels * map_.metres_per_pixel() > bent_metres &&
            (beyond(view_, last_) & beyond(view_, end)) == 0) {
            const vadrel::GeoPoint a = on_globe(before_);
            const vadrel::GeoPoint b = on_globe(p);
            for (int k = 1; k < pieces; ++k) add(on_map(interpolate(a, b, static_cast<double>(k) / pieces)), false);
        }
        add(p, keep);
        before_ = p;
    }

    // Whether the run whose first point is at `first` may be drawn as its
    // first and last point: wholly beyond one edge, or within half a pixel.
    // No leg of it is bent along its great circle either way (both ends
    // beyond the edge, or far shorter than a piece).
    bool passes_over(const Route::Extent& run, QPointF first) const {
        const QRectF box = scale_.box(run, first);
        return wholly_beyond(view_, box) ||
               (box.width() < least_step_pixels && box.height() < least_step_pixels);
    }

    const Scale& scale() const { return scale_; }
    QPolygonF take() { return std::move(out_); }

private:
    void add(GeoPoint p, bool keep) {
        const QPointF at = place(p);
        last_ = at;
        last_lon_ = p.lon;
        const QPointF step = at - out_.constLast();
        if (!keep && std::hypot(step.x(), step.y()) < least_step_pixels) return;
        const qsizetype n = out_.size();
        if (n >= 2 && (beyond(view_, at) & beyond(view_, out_[n - 1]) & beyond(view_, out_[n - 2])) != 0) {
            out_[n - 1] = at;  // on along the same run beyond the view
        } else {
            out_ << at;
        }
    }

    const MapProjection& map_;
    Scale scale_;
    QRectF view_;
    QPolygonF out_;
    QPointF last_;
    double last_lon_ = 0.0;
    GeoPoint before_;
};

// The route's points from..to (inclusive, either way) onto the line, each
// whole run of the coarse index that may be passed over as its ends.
void add_range(ScreenLine& line, const Route& route, RouteRun::Range range, bool last_piece) {
    const auto run_size = static_cast<std::int64_t>(Route::extent_points);
    const auto point = [&route](std::int64_t i) { return on_map(route.position(static_cast<std::size_t>(i))); };
    const bool forward = range.from <= range.to;
    const std::int64_t step = forward ? 1 : -1;
    const std::int64_t low = std::min(range.from, range.to);
    const std::int64_t high = std::max(range.from, range.to);
    for (std::int64_t i = range.from;; i += step) {
        // A whole run, entered at its first point going forward, at its last going back.
        const std::int64_t run_first = forward ? i : i - run_size + 1;
        const std::int64_t run_last = run_first + run_size - 1;
        if (run_first % run_size == 0 && run_first >= low && run_last <= high &&
            run_last < static_cast<std::int64_t>(route.size())) {
            const Route::Extent& run = route.extent(static_cast<std::size_t>(run_first / run_size));
            // Going back, the first point is where the run's own unwrapping puts it from the last.
            const QPointF entry = line.place(point(i));
            const QPointF first = forward ? entry : QPointF(entry.x() - run.last * line.scale().x_per_degree, entry.y());
            if (line.passes_over(run, first)) {
                const std::int64_t far = forward ? run_last : run_first;
                line.leg_to(point(i), false);
                line.leg_to(point(far), last_piece && far == range.to);
                if (far == range.to) return;
                i = far;
                continue;
            }
        }
        line.leg_to(point(i), last_piece && i == range.to);
        if (i == range.to) return;
    }
}

}  // namespace

RouteParts split_route(const Route& route, const RouteProgress& progress, const FollowOptions& options,
                       GeoPoint vehicle) {
    RouteParts parts;
    const auto n = static_cast<std::int64_t>(route.size());
    if (n == 0) return parts;
    // The points from `from` up to `end` (not included), or down to it.
    const auto up = [](RouteRun& run, std::int64_t from, std::int64_t end) {
        if (from < end) run.pieces.emplace_back(RouteRun::Range{from, end - 1});
    };
    const auto down = [](RouteRun& run, std::int64_t from, std::int64_t end) {
        if (from > end) run.pieces.emplace_back(RouteRun::Range{from, end + 1});
    };
    const bool loop = options.end == RouteEnd::loop && n > 1;
    if (progress.finished) {
        up(parts.done, 0, n);
        return parts;
    }
    // The point the vehicle is heading for and which way it goes on.
    std::int64_t ahead = 0;
    bool backward = false;
    if (progress.leg < 0) {
        ahead = std::clamp<std::int64_t>(progress.rejoin, 0, n - 1);
        backward = progress.rejoin_backward;
        parts.approach.pieces = {on_map(progress.origin), vehicle};
    } else if (progress.backward) {
        ahead = std::clamp<std::int64_t>(progress.leg, 0, n - 1);
        backward = true;
    } else {
        ahead = progress.leg + 1;  // n: the leg back of a loop, to the first point
    }
    const bool on_route = progress.leg >= 0;
    if (backward) {
        down(parts.done, n - 1, ahead);
        if (on_route) parts.done.pieces.emplace_back(vehicle);
        parts.left.pieces.emplace_back(vehicle);
        down(parts.left, ahead, -1);
        return parts;
    }
    if (ahead >= n) {
        up(parts.done, 0, n);
        parts.done.pieces.emplace_back(vehicle);
        parts.left.pieces = {vehicle, RouteRun::Range{0, 0}};
        return parts;
    }
    up(parts.done, 0, ahead);
    if (on_route) parts.done.pieces.emplace_back(vehicle);
    parts.left.pieces.emplace_back(vehicle);
    up(parts.left, ahead, n);
    if (loop) parts.left.pieces.emplace_back(RouteRun::Range{0, 0});
    return parts;
}

QPolygonF legs_on_screen(const MapProjection& map, const std::vector<GeoPoint>& points) {
    ScreenLine line(map);
    for (std::size_t i = 0; i < points.size(); ++i) line.leg_to(points[i], i + 1 == points.size());
    return line.take();
}

QPolygonF legs_on_screen(const MapProjection& map, const Route& route, const RouteRun& run) {
    ScreenLine line(map);
    for (std::size_t k = 0; k < run.pieces.size(); ++k) {
        const bool last = k + 1 == run.pieces.size();
        if (const auto* p = std::get_if<GeoPoint>(&run.pieces[k])) {
            line.leg_to(*p, last);
        } else {
            add_range(line, route, std::get<RouteRun::Range>(run.pieces[k]), last);
        }
    }
    return line.take();
}

std::vector<QRectF> point_marks(const MapProjection& map, const Route& route, double half, double margin,
                                double spacing, std::size_t most) {
    std::vector<QRectF> marks;
    const QRectF view = QRectF(QPointF(0, 0), map.viewport()).adjusted(-margin, -margin, margin, margin);
    const Scale scale(map);
    std::optional<QPointF> last;
    // Whether every point of the box is closer than `spacing` to the last mark.
    const auto crowded = [&](const QRectF& box) {
        if (!last) return false;
        for (const QPointF corner : {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()}) {
            if (std::hypot(corner.x() - last->x(), corner.y() - last->y()) >= spacing) return false;
        }
        return true;
    };
    for (std::size_t k = 0; k < route.extents() && marks.size() < most; ++k) {
        const std::size_t first = k * Route::extent_points;
        const std::size_t end = std::min(first + Route::extent_points, route.size());
        const Route::Extent& run = route.extent(k);
        // A run none of whose points can be marked is passed over whole,
        // unless it reaches round to the far side of the globe from the
        // view's centre (its box would be in two pieces there).
        const vadrel::GeoPoint start = route.position(first);
        const double east_of_centre = std::remainder(start.lon - map.centre().lon, 360.0);
        if (east_of_centre + run.west > -180.0 && east_of_centre + run.east < 180.0) {
            const QRectF box = scale.box(run, map.to_screen(on_map(start)));
            if (wholly_beyond(view, box) || crowded(box)) continue;
        }
        for (std::size_t i = first; i < end && marks.size() < most; ++i) {
            const QPointF at = map.to_screen(on_map(route.position(i)));
            if (!view.contains(at)) continue;
            if (last && std::hypot(at.x() - last->x(), at.y() - last->y()) < spacing) continue;
            marks.emplace_back(at - QPointF(half, half), QSizeF(2 * half, 2 * half));
            last = at;
        }
    }
    return marks;
}

}  // namespace vadrel::gui
