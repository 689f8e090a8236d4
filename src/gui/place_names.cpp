#include "place_names.h"

#include <QFile>
#include <QFontMetricsF>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "gui/map_drawing.h"
#include "gui/map_labels.h"
#include "model/coordinates.h"

namespace vadrel::gui {

namespace {

constexpr double dot_radius = 2.5;
// Natural Earth's zooms are for a map of 256-pixel tiles; a view a little
// further out than that zoom still has room for the name.
constexpr double zoom_allowance = 1.0;
// More names than a screen holds: the most important this many claim room,
// so a view over thousands of places costs what one over a few hundred does.
constexpr std::size_t max_candidates = 400;

// The Web Mercator zoom this view's scale matches at its centre.
double view_zoom(const MapProjection& map) {
    return std::log2(360.0 * map.metres_per_degree_lon() / map.metres_per_pixel() / 256.0);
}

QFont place_font(bool capital) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(capital ? 8.0 : 7.5);
    f.setBold(capital);
    return f;
}

}  // namespace

std::optional<std::vector<Place>> read_places(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonValue rows = document.object().value(QStringLiteral("luoghi"));
    if (!rows.isArray()) return std::nullopt;
    std::vector<Place> places;
    for (const QJsonValue& row_value : rows.toArray()) {
        const QJsonArray row = row_value.toArray();
        if (row.size() < 5 || !row[0].isString() || !row[1].isDouble() || !row[2].isDouble() || !row[3].isDouble())
            continue;
        const Place place{row[0].toString().trimmed(), {row[1].toDouble(), row[2].toDouble()}, row[3].toDouble(),
                          row[4].toInt() == 1};
        if (place.name.isEmpty() || !on_globe(place.at.lat, place.at.lon)) continue;
        places.push_back(place);
    }
    return places;
}

std::vector<Place> built_in_places() {
    QFile file(QStringLiteral(":/luoghi/places-10m.json"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return read_places(file.readAll()).value_or(std::vector<Place>{});
}

std::vector<std::size_t> PlaceNames::candidates(const MapProjection& map) const {
    const double zoom = view_zoom(map);
    const QRectF screen(QPointF(0, 0), map.viewport());
    std::vector<std::size_t> shown;
    for (std::size_t i = 0; i < places_.size(); ++i) {
        if (places_[i].min_zoom > zoom + zoom_allowance) continue;
        if (screen.contains(map.to_screen(places_[i].at))) shown.push_back(i);
        if (shown.size() == max_candidates) break;
    }
    return shown;
}

QString PlaceNames::nearby(const MapProjection& map) const {
    const QRectF screen(QPointF(0, 0), map.viewport());
    const GeoPoint centre = map.centre();
    const double cos_lat = std::cos(centre.lat * std::numbers::pi / 180.0);
    constexpr double km_per_degree = MapProjection::earth_radius_m * std::numbers::pi / 180.0 / 1000.0;
    constexpr double within_km = 60.0;
    double best = within_km;
    const Place* nearest = nullptr;
    QPointF step;  // to the nearest, km east and north
    for (const Place& place : places_) {
        if (screen.contains(map.to_screen(place.at))) return {};
        const QPointF d(std::remainder(place.at.lon - centre.lon, 360.0) * cos_lat * km_per_degree,
                        (place.at.lat - centre.lat) * km_per_degree);
        const double km = std::hypot(d.x(), d.y());
        if (km < best) {
            best = km;
            nearest = &place;
            step = d;
        }
    }
    if (nearest == nullptr) return {};
    // the way from the centre, in eighths of the compass
    static const char* const ways[] = {"N", "NE", "E", "SE", "S", "SO", "O", "NO"};
    const double bearing = std::fmod(std::atan2(step.x(), step.y()) * 180.0 / std::numbers::pi + 360.0, 360.0);
    const QString way = QString::fromLatin1(ways[static_cast<int>(std::lround(bearing / 45.0)) % 8]);
    return QStringLiteral("Vicino a %1 (%2 km a %3)")
        .arg(nearest->name, QLocale(QLocale::Italian).toString(best, 'f', best < 10.0 ? 1 : 0), way);
}

std::vector<QRectF> PlaceNames::paint(QPainter& painter, const MapProjection& map,
                                      const std::vector<QRectF>& taken) const {
    // a place whose dot something else covers, or a more important place's
    // dot (two places a few pixels apart), is not written at all
    std::vector<std::size_t> shown;
    std::vector<QRectF> dots;
    for (const std::size_t i : candidates(map)) {
        const QPointF at = map.to_screen(places_[i].at);
        const QRectF dot(at.x() - dot_radius, at.y() - dot_radius, 2 * dot_radius, 2 * dot_radius);
        const auto covers = [&dot](const QRectF& box) { return box.intersects(dot); };
        if (std::none_of(taken.begin(), taken.end(), covers) && std::none_of(dots.begin(), dots.end(), covers)) {
            shown.push_back(i);
            dots.push_back(dot);
        }
    }
    const QFont fonts[] = {place_font(false), place_font(true)};
    const QFontMetricsF metrics[] = {QFontMetricsF(fonts[0]), QFontMetricsF(fonts[1])};
    const double ascents[] = {metrics[0].ascent(), metrics[1].ascent()};
    std::vector<LabelRequest> requests;
    for (const std::size_t i : shown) {
        const QFontMetricsF& m = metrics[places_[i].capital ? 1 : 0];
        requests.push_back({map.to_screen(places_[i].at), QSizeF(m.horizontalAdvance(places_[i].name) + 4.0, m.height()),
                            dot_radius, {}});
    }
    // and never cut by the edge of the map: the world beyond it is taken
    std::vector<QRectF> clear = taken;
    const double w = map.viewport().width(), h = map.viewport().height(), far = 1e6;
    clear.insert(clear.end(), {QRectF(-far, -far, 2 * far, far), QRectF(-far, h, 2 * far, far),
                               QRectF(-far, -far, far, 2 * far), QRectF(w, -far, far, 2 * far)});
    const std::vector<std::optional<QRectF>> boxes = place_labels_where_free(requests, clear);
    std::vector<QRectF> written;
    for (std::size_t k = 0; k < shown.size(); ++k) {
        if (!boxes[k]) continue;
        const Place& place = places_[shown[k]];
        const QPointF at = requests[k].point;
        painter.setPen(QPen(Qt::white, 1.0));
        painter.setBrush(place.capital ? QColor(60, 60, 60) : QColor(110, 110, 110));
        if (place.capital) {
            painter.drawRect(QRectF(at.x() - dot_radius, at.y() - dot_radius, 2 * dot_radius, 2 * dot_radius));
        } else {
            painter.drawEllipse(at, dot_radius, dot_radius);
        }
        painter.setFont(fonts[place.capital ? 1 : 0]);
        const QPointF baseline(boxes[k]->left() + 2.0, boxes[k]->top() + ascents[place.capital ? 1 : 0]);
        quick_halo_text(painter, baseline, place.name, QColor(50, 50, 50));
        written.push_back(*boxes[k]);
        written.push_back(QRectF(at.x() - dot_radius, at.y() - dot_radius, 2 * dot_radius, 2 * dot_radius));
    }
    return written;
}

}  // namespace vadrel::gui
