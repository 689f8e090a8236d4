#include "device_dots.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cmath>

#include "gui/map_drawing.h"
#include "gui/map_labels.h"

namespace vadrel::gui {

namespace {

// Gold with a dark rim: apart from the vehicles' colours and the map's.
const QColor dot_fill(255, 200, 0);
const QColor dot_rim(90, 60, 0);
constexpr double single_dot = 5.0;  // across, in pixels
constexpr double many_dot = 7.0;    // a cell of several devices
constexpr double label_points = 8.0;

// A dot drawn once, then copied to every place: an antialiased round
// point costs a few microseconds, a copy of a small picture far less.
void draw_round_points(QPainter& painter, const std::vector<QPointF>& points, double across) {
    if (points.empty()) return;
    const qreal ratio = painter.device()->devicePixelRatioF();
    const int side = static_cast<int>(std::ceil((across + 3.0) * ratio));
    QPixmap dot(side, side);
    dot.fill(Qt::transparent);
    {
        QPainter sprite(&dot);
        sprite.setRenderHint(QPainter::Antialiasing);
        const QPointF middle(side / 2.0, side / 2.0);
        sprite.setPen(QPen(dot_rim, (across + 2.0) * ratio, Qt::SolidLine, Qt::RoundCap));
        sprite.drawPoint(middle);
        sprite.setPen(QPen(dot_fill, across * ratio, Qt::SolidLine, Qt::RoundCap));
        sprite.drawPoint(middle);
    }
    dot.setDevicePixelRatio(ratio);
    std::vector<QPainter::PixmapFragment> copies;
    copies.reserve(points.size());
    const QRectF whole(0, 0, side, side);
    for (const QPointF& p : points) copies.push_back(QPainter::PixmapFragment::create(p, whole));
    painter.drawPixmapFragments(copies.data(), static_cast<int>(copies.size()), dot);
}

ThinnedDots thin_on_grid(const std::vector<QPointF>& places, QSizeF area, double cell) {
    ThinnedDots thinned;
    thinned.cell = cell;
    const auto columns = static_cast<std::size_t>(std::ceil(area.width() / cell));
    const auto rows = static_cast<std::size_t>(std::ceil(area.height() / cell));
    // The cell's dot, plus one; 0 for none yet.
    std::vector<std::uint32_t> grid(columns * rows, 0);
    for (std::size_t i = 0; i < places.size(); ++i) {
        const QPointF at = places[i];
        // Off the screen, or nowhere (a place the projection cannot show).
        if (!(at.x() >= 0.0 && at.x() < area.width() && at.y() >= 0.0 && at.y() < area.height())) continue;
        ++thinned.in_view;
        const auto column = std::min(static_cast<std::size_t>(at.x() / cell), columns - 1);
        const auto row = std::min(static_cast<std::size_t>(at.y() / cell), rows - 1);
        std::uint32_t& slot = grid[row * columns + column];
        if (slot == 0) {
            thinned.cells.push_back({at, i, 0});
            slot = static_cast<std::uint32_t>(thinned.cells.size());
        }
        ++thinned.cells[slot - 1].count;
    }
    return thinned;
}

}  // namespace

ThinnedDots thin_dots(const MapProjection& map, const std::vector<DeviceDot>& devices, QSizeF area, double cell,
                      std::size_t most) {
    if (cell <= 0.0 || area.isEmpty()) return {};
    std::vector<QPointF> places;
    places.reserve(devices.size());
    for (const DeviceDot& d : devices) places.push_back(map.to_screen(d.where));
    ThinnedDots thinned = thin_on_grid(places, area, cell);
    // A screen's width in cells at most: one dot is always within the bound.
    while (thinned.cells.size() > most && cell < area.width()) {
        cell *= 2.0;
        thinned = thin_on_grid(places, area, cell);
    }
    return thinned;
}

DeviceDots::DeviceDots(const MapProjection& map, const std::vector<DeviceDot>& devices, QSizeF area)
    : devices_(devices), thinned_(thin_dots(map, devices, area)) {}

void DeviceDots::paint_dots(QPainter& painter) const {
    std::vector<QPointF> single;
    std::vector<QPointF> many;
    for (const DotCell& c : thinned_.cells) (c.count > 1 ? many : single).push_back(c.at);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    draw_round_points(painter, single, single_dot);
    draw_round_points(painter, many, many_dot);
    painter.restore();
}

void DeviceDots::paint_labels(QPainter& painter, const std::vector<QRectF>& taken) const {
    if (thinned_.thinned() || thinned_.cells.empty() || thinned_.cells.size() > most_device_labels) return;
    const QFont font = map_font(label_points);
    const QFontMetricsF metrics(font);
    std::vector<LabelRequest> requests;
    requests.reserve(thinned_.cells.size());
    for (const DotCell& c : thinned_.cells) {
        const QRectF ink = metrics.boundingRect(QString::fromStdString(devices_[c.first].id));
        requests.push_back({c.at, QSizeF(ink.width() + 4.0, metrics.height()), single_dot / 2.0 + 1.0, std::nullopt});
    }
    const std::vector<std::optional<QRectF>> boxes = place_labels_where_free(requests, taken);
    painter.setFont(font);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (!boxes[i]) continue;
        const QString id = QString::fromStdString(devices_[thinned_.cells[i].first].id);
        // Up to two hundred: glyphs, not text paths.
        quick_halo_text(painter, QPointF(boxes[i]->left() + 2.0, boxes[i]->top() + metrics.ascent()), id, dot_rim);
    }
}

QString DeviceDots::count_text() const {
    if (thinned_.in_view == 0) return {};
    const QLocale italian(QLocale::Italian);
    const QString devices = thinned_.in_view == 1
                                ? QStringLiteral("1 dispositivo della flotta")
                                : QStringLiteral("%1 dispositivi della flotta").arg(italian.toString(qulonglong{thinned_.in_view}));
    if (!thinned_.thinned()) return devices;
    return QStringLiteral("%1 in %2 punti (uno ogni %3 pixel): ingrandire per vederli uno a uno")
        .arg(devices, italian.toString(qulonglong{thinned_.cells.size()}))
        .arg(thinned_.cell);
}

std::optional<DotCell> DeviceDots::dot_at(QPointF point, double reach) const {
    std::optional<DotCell> nearest;
    double best = reach;
    for (const DotCell& c : thinned_.cells) {
        const double distance = std::hypot(c.at.x() - point.x(), c.at.y() - point.y());
        if (distance <= best) {
            best = distance;
            nearest = c;
        }
    }
    return nearest;
}

}  // namespace vadrel::gui
