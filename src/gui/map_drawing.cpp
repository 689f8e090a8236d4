#include "map_drawing.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace vadrel::gui {

namespace {

constexpr double graticule_min_pixels = 90.0;
constexpr double scale_max_pixels = 120.0;

// A line of the world on the screen, its longitudes taken on from each point
// to the next the short way, so that a coast across the 180th meridian, or
// the far side of the globe from the centre, stays one piece.
QPolygonF on_screen(const MapProjection& map, const WorldMap::Line& line) {
    QPolygonF out;
    out.reserve(static_cast<qsizetype>(line.size()));
    const double pixels_per_degree = map.metres_per_degree_lon() / map.metres_per_pixel();
    double previous_lon = 0.0;
    QPointF previous;
    for (const GeoPoint& p : line) {
        QPointF at = map.to_screen(p);
        if (!out.isEmpty()) at.setX(previous.x() + std::remainder(p.lon - previous_lon, 360.0) * pixels_per_degree);
        out << at;
        previous = at;
        previous_lon = p.lon;
    }
    return out;
}

}  // namespace

QFont map_font(double points, bool bold) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// Text with a white halo, readable over tracks and lines.
void halo_text(QPainter& painter, QPointF at, const QString& text, const QColor& colour) {
    QPainterPath path;
    path.addText(at, painter.font(), text);
    painter.setPen(QPen(Qt::white, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(path);
}

void quick_halo_text(QPainter& painter, QPointF at, const QString& text, const QColor& colour) {
    painter.setPen(QColor(255, 255, 255, 230));
    for (const QPointF d : {QPointF(-1, 0), QPointF(1, 0), QPointF(0, -1), QPointF(0, 1)}) painter.drawText(at + d, text);
    painter.setPen(colour);
    painter.drawText(at, text);
}

// The graticule's lines and labels; a label that would fall on a box of
// `avoid` (the scale bar, the north arrow, a banner, the credit) is left out.
// Returns where its labels went, for the other labels to keep off.
std::vector<QRectF> draw_graticule(QPainter& painter, const MapProjection& map, QSizeF size,
                                   const std::vector<QRectF>& avoid) {
    std::vector<QRectF> drawn;
    const double lat_step = graticule_step(map.metres_per_pixel(), MapProjection::earth_radius_m * std::numbers::pi / 180.0,
                                           graticule_min_pixels);
    const double lon_step =
        graticule_step(map.metres_per_pixel(), std::max(map.metres_per_degree_lon(), 1.0), graticule_min_pixels);
    const GeoPoint top_left = map.to_geo({0, 0});
    const GeoPoint bottom_right = map.to_geo({size.width(), size.height()});
    painter.setFont(map_font(7.0));
    const QFontMetricsF metrics(painter.font());
    const QColor line(205, 205, 205);
    const QColor label(90, 90, 90);
    const auto put = [&](QPointF at, const QString& text) {
        // the ink's box at the baseline, with the halo round it
        const QRectF box = metrics.boundingRect(text).translated(at).adjusted(-2, -2, 2, 2);
        for (const QRectF& kept : avoid)
            if (kept.intersects(box)) return;
        halo_text(painter, at, text, label);
        drawn.push_back(box);
    };

    const double south = std::max(bottom_right.lat, -90.0);
    const double north = std::min(top_left.lat, 90.0);
    for (double s = std::ceil(south * 3600.0 / lat_step) * lat_step; s <= north * 3600.0; s += lat_step) {
        const double y = map.to_screen({s / 3600.0, map.centre().lon}).y();
        painter.setPen(QPen(line, 1.0));
        painter.drawLine(QPointF(0, y), QPointF(size.width(), y));
        put({4, y - 3}, graticule_label(s / 3600.0, true, lat_step));
    }
    // longitudes east of the left edge, the short way from the centre
    const double west = map.centre().lon + std::remainder(top_left.lon - map.centre().lon, 360.0);
    const double east = map.centre().lon + std::remainder(bottom_right.lon - map.centre().lon, 360.0);
    const double span = std::min(east - west, 360.0);
    const double first = std::ceil(west * 3600.0 / lon_step) * lon_step;
    for (double s = first; s <= (west + span) * 3600.0; s += lon_step) {
        const double lon = std::remainder(s / 3600.0, 360.0);
        const double x = map.to_screen({map.centre().lat, lon}).x();
        painter.setPen(QPen(line, 1.0));
        painter.drawLine(QPointF(x, 0), QPointF(x, size.height()));
        put({x + 3, size.height() - 6}, graticule_label(lon, false, lon_step));
    }
    return drawn;
}

// The sea, the land with its coast, the borders.
void draw_world(QPainter& painter, const MapProjection& map, const WorldMap& world, QSizeF size,
                const MapDetail* detail) {
    const QColor sea(214, 230, 244);
    const QPen coast(QColor(105, 140, 175), 1.0);
    painter.fillRect(QRectF(QPointF(0, 0), size), sea);
    const QRectF view(QPointF(-10, -10), size + QSizeF(20, 20));
    // Rings of a set (those whose box meets the view), or of all the world's.
    const auto path_of = [&](const std::vector<WorldMap::Line>& rings, const std::vector<std::size_t>* some) {
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        const std::size_t count = some ? some->size() : rings.size();
        for (std::size_t k = 0; k < count; ++k) {
            const QPolygonF shape = on_screen(map, rings[some ? (*some)[k] : k]);
            if (shape.boundingRect().intersects(view)) path.addPolygon(shape);
        }
        return path;
    };
    const LineSet* close = detail ? detail->land(map) : nullptr;
    const std::vector<std::size_t> close_rings = close ? close->in_view(map) : std::vector<std::size_t>{};
    painter.setPen(coast);
    painter.setBrush(QColor(240, 236, 222));
    painter.drawPath(close ? path_of(close->lines(), &close_rings) : path_of(world.land, nullptr));
    if (detail) {
        const LineSet& lakes = detail->lakes(map);
        const std::vector<std::size_t> shown_lakes = lakes.in_view(map);
        painter.setBrush(sea);
        painter.drawPath(path_of(lakes.lines(), &shown_lakes));
        painter.setPen(QPen(QColor(120, 160, 205), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        const LineSet& rivers = detail->rivers(map);
        for (const std::size_t i : rivers.in_view(map)) {
            const QPolygonF line = on_screen(map, rivers.lines()[i]);
            if (line.boundingRect().intersects(view)) painter.drawPolyline(line);
        }
    }
    painter.setPen(QPen(QColor(150, 105, 150), 1.0, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    for (const WorldMap::Line& border : world.borders) {
        const QPolygonF line = on_screen(map, border);
        if (line.boundingRect().intersects(view)) painter.drawPolyline(line);
    }
}

// Where the scale bar and the north arrow are drawn: no label goes there.
std::vector<QRectF> kept_clear(QSizeF size) {
    return {QRectF(6.0, size.height() - 46.0, scale_max_pixels + 12.0, 32.0),
            QRectF(size.width() - 36.0, 10.0, 24.0, 48.0)};
}

void draw_scale_and_north(QPainter& painter, const MapProjection& map, QSizeF size) {
    const ScaleBar bar = scale_bar(map.metres_per_pixel(), scale_max_pixels);
    const double y = size.height() - 24.0;
    const double x = 12.0;
    painter.fillRect(QRectF(x - 6.0, y - 22.0, bar.pixels + 12.0, 32.0), QColor(255, 255, 255, 220));
    painter.setPen(QPen(Qt::black, 2.0));
    painter.drawLine(QPointF(x, y), QPointF(x + bar.pixels, y));
    painter.drawLine(QPointF(x, y - 5), QPointF(x, y + 5));
    painter.drawLine(QPointF(x + bar.pixels, y - 5), QPointF(x + bar.pixels, y + 5));
    painter.setFont(map_font(8.0));
    halo_text(painter, {x, y - 8}, bar.text, Qt::black);

    // north is up on this plane
    const QPointF tip(size.width() - 24.0, 14.0);
    QPainterPath arrow;
    arrow.moveTo(tip);
    arrow.lineTo(tip + QPointF(8, 26));
    arrow.lineTo(tip + QPointF(0, 19));
    arrow.lineTo(tip + QPointF(-8, 26));
    arrow.closeSubpath();
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(Qt::black);
    painter.drawPath(arrow);
    painter.setFont(map_font(9.0, true));
    halo_text(painter, tip + QPointF(-4, 40), QStringLiteral("N"), Qt::black);
}

QRectF note_box(QSizeF size, const QString& text, const std::vector<QRectF>& avoid) {
    if (text.isEmpty()) return {};
    const QFontMetricsF metrics(map_font(8.0));
    const QRectF room(0, 0, std::max(size.width() - 60.0, 60.0), size.height());
    const QRectF ink = metrics.boundingRect(room, Qt::TextWordWrap, text);
    const QRectF first(6.0, 6.0, ink.width() + 10.0, ink.height() + 6.0);
    std::vector<QRectF> taken = avoid;
    const std::vector<QRectF> fixed = kept_clear(size);
    taken.insert(taken.end(), fixed.begin(), fixed.end());
    const auto free = [&taken](const QRectF& box) {
        return std::none_of(taken.begin(), taken.end(), [&box](const QRectF& t) { return box.intersects(t); });
    };
    // Down the left side, then down the right (clear of the north arrow).
    const double lowest = size.height() - first.height() - 6.0;
    for (const double x : {first.left(), size.width() - first.width() - 6.0}) {
        for (double y = first.top(); y <= lowest; y += 8.0) {
            const QRectF box(QPointF(x, y), first.size());
            if (free(box)) return box;
        }
    }
    return first;
}

// The tiles' credit, bottom right, over the longitude labels.
QRectF credit_box(QSizeF size, const QString& text) {
    if (text.isEmpty()) return {};
    const QFontMetricsF metrics(map_font(7.0));
    const double width = metrics.horizontalAdvance(text) + 8.0;
    return QRectF(size.width() - width - 2.0, size.height() - metrics.height() - 4.0, width, metrics.height() + 2.0);
}

void draw_box_text(QPainter& painter, const QRectF& box, const QString& text, double points, const QColor& colour) {
    painter.setPen(QPen(QColor(120, 120, 120), 1.0));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRect(box);
    painter.setFont(map_font(points));
    painter.setPen(colour);
    painter.drawText(box.adjusted(4, 2, -4, -2), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignVCenter, text);
}

}  // namespace vadrel::gui
