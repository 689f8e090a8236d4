#include "fleet_marks.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "gui/ais_mark.h"
#include "gui/map_drawing.h"
#include "gui/map_labels.h"
#include "gui/map_routes.h"

namespace vadrel::gui {

namespace {

// The heading arrow's length beyond the point.
constexpr double arrow_pixels = 16.0;
// An AIS target's triangle, from its centre to its base.
constexpr double ais_size = 7.0;
// A route's points drawn at most this close together on the screen, and at
// most so many of them for a route: a long route at a wide zoom shows its line.
constexpr double mark_spacing_pixels = 8.0;
constexpr std::size_t max_marks = 400;

// The tip of a moving vehicle's heading arrow, drawn from its point on the
// course it goes over the ground; none for a vehicle standing still.
std::optional<QPointF> arrow_tip(const Vehicle& vehicle, QPointF at, double radius) {
    const GroundMotion motion = ground_motion(vehicle);
    if (!(motion.kmh > 0.0)) return std::nullopt;
    const double angle = motion.course * std::numbers::pi / 180.0;
    return at + QPointF(std::sin(angle), -std::cos(angle)) * (radius + arrow_pixels);
}

}  // namespace

QColor vehicle_colour(std::size_t vehicle) {
    // Strong colours apart from each other and from the map's greys.
    static const QColor colours[] = {
        {220, 30, 30},  {30, 90, 220},  {20, 150, 40},  {230, 130, 0},  {150, 40, 180}, {0, 160, 170},
        {200, 0, 120},  {120, 90, 20},  {90, 170, 0},   {0, 80, 120},   {240, 90, 90},  {100, 100, 255},
        {160, 120, 0},  {0, 120, 60},   {255, 60, 200}, {60, 60, 60},   {180, 80, 0},   {0, 180, 255},
        {130, 0, 0},    {70, 0, 140},   {0, 110, 0},
    };
    return colours[vehicle % std::size(colours)];
}

FleetMarks::FleetMarks(PanelForm& form, const MapProjection& projection, const VehicleRoutes* routes,
                       const AisOf& ais, double oldest)
    : form_(form), projection_(projection), routes_(routes), ais_(ais), oldest_(oldest) {}

const TrackHistory& FleetMarks::tracks() const { return form_.transmitter.tracks(); }

GeoPoint FleetMarks::live(std::size_t m) const { return geo(form_.fleet.vehicle(m)); }

void FleetMarks::paint_tracks(QPainter& painter, const std::vector<std::size_t>& shown) const {
    const double half_world = MapProjection::earth_radius_m * std::numbers::pi * std::cos(projection_.centre().lat * std::numbers::pi / 180.0) /
                              projection_.metres_per_pixel();
    const double oldest = oldest_;
    for (const std::size_t m : shown) {
        QPainterPath path;
        const TrackPoint* previous = nullptr;
        QPointF last;
        for (const TrackPoint& p : tracks().points(m)) {
            if (p.steady < oldest) continue;
            const QPointF at = projection_.to_screen(geo(p));
            if (previous == nullptr || p.segment != previous->segment || std::fabs(at.x() - last.x()) > half_world) {
                path.moveTo(at);
            } else {
                path.lineTo(at);
            }
            previous = &p;
            last = at;
        }
        // on to where the vehicle is now, which moves on between its sentences
        const QPointF now = projection_.to_screen(live(m));
        if (previous != nullptr && form_.fleet.vehicle(m).segment == previous->segment &&
            std::fabs(now.x() - last.x()) <= half_world) {
            path.lineTo(now);
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(vehicle_colour(m), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(path);
    }
}

std::vector<std::size_t> FleetMarks::drawing_order(const std::vector<std::size_t>& shown) const {
    std::vector<std::size_t> order = shown;
    const std::size_t current = form_.fleet.current();
    std::stable_partition(order.begin(), order.end(), [current](std::size_t m) { return m != current; });
    return order;
}

std::optional<AisIdentity> FleetMarks::target(std::size_t m) const {
    if (!form_.fleet.in_use(m).has(UseReason::ais_target)) return std::nullopt;
    return ais_ ? ais_(m) : std::nullopt;
}

double FleetMarks::radius_of(std::size_t m) const {
    return m == form_.fleet.current() ? 10.0 : target(m) ? ais_reach(ais_size) : 4.5;
}

std::optional<QPointF> FleetMarks::tip_of(std::size_t m, QPointF at) const {
    return target(m) ? std::nullopt : arrow_tip(form_.fleet.vehicle(m), at, radius_of(m));
}

QString FleetMarks::label_of(std::size_t m) const {
    const auto ais = target(m);
    return ais ? ais_label(*ais) : QString::number(m);
}

std::vector<QRectF> FleetMarks::point_boxes(const std::vector<std::size_t>& shown) const {
    std::vector<QRectF> boxes;
    for (const std::size_t m : shown) {
        const QPointF at = projection_.to_screen(live(m));
        const double r = radius_of(m) + 2.0;  // the pen round it
        QRectF box(at - QPointF(r, r), at + QPointF(r, r));
        if (const auto tip = tip_of(m, at)) box = box.united(QRectF(at, *tip).normalized().adjusted(-4, -4, 4, 4));
        boxes.push_back(box);
    }
    return boxes;
}

void FleetMarks::paint_points(QPainter& painter, const std::vector<std::size_t>& shown) const {
    const std::size_t current = form_.fleet.current();
    for (const std::size_t m : drawing_order(shown)) {
        const QPointF at = projection_.to_screen(live(m));
        const bool is_current = m == current;
        if (const auto ais = target(m)) {
            painter.setPen(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.setBrush(vehicle_colour(m));
            painter.drawPath(ais_triangle(at, ground_motion(form_.fleet.vehicle(m)).course, ais_size));
            continue;
        }
        // the heading arrow, on the course it goes over the ground
        if (const auto arrow = tip_of(m, at)) {
            const QPointF tip = *arrow;
            const QPointF ahead = (tip - at) / (radius_of(m) + arrow_pixels);
            const QPointF side(-ahead.y(), ahead.x());
            painter.setPen(QPen(Qt::black, is_current ? 2.0 : 1.5, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(at, tip);
            QPainterPath head;
            head.moveTo(tip);
            head.lineTo(tip - ahead * 7.0 + side * 4.0);
            head.lineTo(tip - ahead * 7.0 - side * 4.0);
            head.closeSubpath();
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::black);
            painter.drawPath(head);
        }
        const double radius = is_current ? 6.0 : 4.5;
        painter.setPen(QPen(is_current ? Qt::black : Qt::white, is_current ? 2.5 : 1.5));
        painter.setBrush(vehicle_colour(m));
        painter.drawEllipse(at, radius, radius);
        if (is_current) {
            painter.setPen(QPen(Qt::black, 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(at, radius + 4.0, radius + 4.0);
        }
    }
}

std::vector<QRectF> FleetMarks::paint_labels(QPainter& painter, const std::vector<std::size_t>& shown,
                                             const std::vector<QRectF>& clear, const PlaceNames& places) const {
    const std::size_t current = form_.fleet.current();
    const std::vector<std::size_t> order = drawing_order(shown);
    std::vector<std::size_t> labelled(order.rbegin(), order.rend());
    std::vector<LabelRequest> requests;
    for (const std::size_t m : labelled) {
        const QFontMetricsF metrics(map_font(9.0, m == current));
        const QRectF ink = metrics.boundingRect(label_of(m));
        const QPointF at = projection_.to_screen(live(m));
        requests.push_back({at, QSizeF(ink.width() + 4.0, metrics.height()), radius_of(m), tip_of(m, at)});
    }
    const std::vector<QRectF> boxes = place_labels(requests, clear);
    // the places' names where nothing of the vehicles' is
    std::vector<QRectF> taken = clear;
    taken.insert(taken.end(), boxes.begin(), boxes.end());
    for (const LabelRequest& r : requests) {
        taken.push_back(QRectF(r.point, r.point).adjusted(-r.radius, -r.radius, r.radius, r.radius));
        if (r.arrow_tip) taken.push_back(QRectF(r.point, *r.arrow_tip).normalized().adjusted(-4, -4, 4, 4));
    }
    for (const QRectF& name : places.paint(painter, projection_, taken)) taken.push_back(name);
    for (std::size_t i = 0; i < labelled.size(); ++i) {
        const std::size_t m = labelled[i];
        if (!label_beside(requests[i], boxes[i])) {
            painter.setPen(QPen(vehicle_colour(m), 1.0));
            const QPointF end(std::clamp(requests[i].point.x(), boxes[i].left(), boxes[i].right()),
                              std::clamp(requests[i].point.y(), boxes[i].top(), boxes[i].bottom()));
            painter.drawLine(requests[i].point, end);
        }
        painter.setFont(map_font(9.0, m == current));
        const QFontMetricsF metrics(painter.font());
        halo_text(painter, QPointF(boxes[i].left() + 2.0, boxes[i].top() + metrics.ascent()), label_of(m), Qt::black);
    }
    return taken;
}

std::vector<QRectF> FleetMarks::paint_routes(QPainter& painter, const std::vector<std::size_t>& shown) const {
    std::vector<QRectF> marks;
    if (routes_ == nullptr) return marks;
    std::vector<std::size_t> order = shown;
    const std::size_t current = form_.fleet.current();
    std::erase(order, current);
    order.push_back(current);  // on top, shown or not
    for (const std::size_t m : order) {
        const FollowedRoute* followed = routes_->route(m);
        if (followed == nullptr) continue;
        const bool is_current = m == current;
        const QColor colour = vehicle_colour(m);
        const RouteParts parts = split_route(followed->route, followed->progress, followed->options, live(m));
        painter.setBrush(Qt::NoBrush);
        QColor faint = colour;
        faint.setAlpha(is_current ? 150 : 90);
        painter.setPen(QPen(faint, is_current ? 2.5 : 1.5, Qt::DashLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(legs_on_screen(projection_, followed->route, parts.done));
        painter.drawPolyline(legs_on_screen(projection_, followed->route, parts.approach));
        QColor bold = colour;
        bold.setAlpha(is_current ? 255 : 170);
        painter.setPen(QPen(bold, is_current ? 4.0 : 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(legs_on_screen(projection_, followed->route, parts.left));
        // its points, as squares, where they stand apart on the screen
        painter.setPen(QPen(Qt::black, 1.0));
        painter.setBrush(Qt::white);
        for (const QRectF& box : point_marks(projection_, followed->route, is_current ? 4.0 : 3.0, 8.0,
                                             mark_spacing_pixels, max_marks)) {
            painter.drawRect(box);
            marks.push_back(box);
        }
    }
    return marks;
}

std::vector<QRectF> FleetMarks::paint_reported(QPainter& painter, const std::vector<std::size_t>& shown) const {
    std::vector<QRectF> crosses;
    const double oldest = oldest_;
    const double arm = 6.0;
    for (const std::size_t m : shown) {
        const QColor colour = vehicle_colour(m);
        // the track of what was sent, dotted beside the true one
        QPolygonF sent;
        for (const TrackPoint& p : tracks().points(m)) {
            if (p.steady >= oldest && p.reported) sent << projection_.to_screen({p.reported_lat, p.reported_lon});
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(colour, 1.0, Qt::DotLine));
        if (sent.size() > 1) painter.drawPolyline(sent);
        const auto reported = form_.transmitter.reported(m);
        if (!reported) continue;
        const QPointF truth = projection_.to_screen(live(m));
        const QPointF at = projection_.to_screen({reported->lat / arc_seconds_per_degree, reported->lon / arc_seconds_per_degree});
        painter.setPen(QPen(colour, 1.0));
        painter.drawLine(truth, at);
        painter.setPen(QPen(Qt::white, 4.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(at + QPointF(-arm, -arm), at + QPointF(arm, arm));
        painter.drawLine(at + QPointF(-arm, arm), at + QPointF(arm, -arm));
        painter.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(at + QPointF(-arm, -arm), at + QPointF(arm, arm));
        painter.drawLine(at + QPointF(-arm, arm), at + QPointF(arm, -arm));
        crosses.emplace_back(at - QPointF(arm, arm), QSizeF(2 * arm, 2 * arm));
    }
    return crosses;
}

}  // namespace vadrel::gui
