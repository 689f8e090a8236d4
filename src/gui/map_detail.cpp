#include "map_detail.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

namespace vadrel::gui {

namespace {

std::optional<std::vector<WorldMap::Line>> read_resource(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return read_lines(file.readAll());
}

// One line of units decoded; empty when it is not a line we can use.
WorldMap::Line decode(const QJsonArray& units, double step) {
    if (units.size() < 4 || units.size() % 2 != 0) return {};
    WorldMap::Line line;
    line.reserve(static_cast<std::size_t>(units.size() / 2));
    double x = 0.0, y = 0.0;
    for (qsizetype i = 0; i < units.size(); i += 2) {
        const QJsonValue dx = units[i], dy = units[i + 1];
        if (!dx.isDouble() || !dy.isDouble()) return {};
        x += dx.toDouble();
        y += dy.toDouble();
        const GeoPoint p{y * step, x * step};
        // longitudes a little past the 180th are the same coast going on
        if (!std::isfinite(p.lat) || !std::isfinite(p.lon) || std::fabs(p.lat) > 90.0 || std::fabs(p.lon) > 540.0)
            return {};
        line.push_back(p);
    }
    return line;
}

}  // namespace

LineSet::LineSet(std::vector<WorldMap::Line> lines) : lines_(std::move(lines)) {
    boxes_.reserve(lines_.size());
    for (const WorldMap::Line& line : lines_) {
        Box box{90.0, -90.0, 0.0, 0.0};
        // longitudes on from the first point the short way, as the map draws them
        double lon = line.empty() ? 0.0 : line.front().lon;
        box.west = box.east = lon;
        double previous = lon;
        for (const GeoPoint& p : line) {
            lon += std::remainder(p.lon - previous, 360.0);
            previous = p.lon;
            box.south = std::min(box.south, p.lat);
            box.north = std::max(box.north, p.lat);
            box.west = std::min(box.west, lon);
            box.east = std::max(box.east, lon);
        }
        boxes_.push_back(box);
    }
}

std::vector<std::size_t> LineSet::in_view(const MapProjection& map) const {
    const QSizeF size = map.viewport();
    const double half_lat = size.height() / 2.0 * map.metres_per_pixel() / MapProjection::metres_per_degree_lat;
    const double half_lon = size.width() / 2.0 * map.metres_per_pixel() / std::max(map.metres_per_degree_lon(), 1.0);
    const GeoPoint c = map.centre();
    std::vector<std::size_t> shown;
    const bool everything = half_lon >= 170.0 || half_lat >= 80.0;
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        const Box& b = boxes_[i];
        if (!everything) {
            if (b.north < c.lat - half_lat || b.south > c.lat + half_lat) continue;
            // the box's middle the short way from the centre
            const double middle = c.lon + std::remainder((b.west + b.east) / 2.0 - c.lon, 360.0);
            const double half_width = (b.east - b.west) / 2.0;
            if (half_width < 180.0 && std::fabs(middle - c.lon) > half_lon + half_width) continue;
        }
        shown.push_back(i);
    }
    return shown;
}

std::optional<std::vector<WorldMap::Line>> read_lines(const QByteArray& json, std::size_t max_points) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject file = document.object();
    const double step = file.value(QStringLiteral("passo")).toDouble(0.0);
    const QJsonValue rows = file.value(QStringLiteral("linee"));
    if (!(step > 0.0 && step <= 1.0) || !rows.isArray()) return std::nullopt;
    std::vector<WorldMap::Line> lines;
    std::size_t points = 0;
    for (const QJsonValue& row : rows.toArray()) {
        WorldMap::Line line = decode(row.toArray(), step);
        if (line.empty()) continue;
        points += line.size();
        if (points > max_points) return std::nullopt;
        lines.push_back(std::move(line));
    }
    return lines;
}

MapDetail::MapDetail(const Reader& lakes, const Reader& rivers, Reader land)
    : lakes_(lakes().value_or(std::vector<WorldMap::Line>{})),
      rivers_(rivers().value_or(std::vector<WorldMap::Line>{})),
      land_reader_(std::move(land)) {}

MapDetail MapDetail::built_in() {
    return MapDetail([] { return read_resource(QStringLiteral(":/dettaglio/lakes-50m.json")); },
                     [] { return read_resource(QStringLiteral(":/dettaglio/rivers-50m.json")); },
                     [] { return read_resource(QStringLiteral(":/dettaglio/land-10m.json")); });
}

MapDetail::~MapDetail() {
    if (worker_.valid()) worker_.wait();
}

void MapDetail::want_land(const MapProjection& map, std::function<void()> ready) {
    if (land_.valid() || !land_reader_ || map.metres_per_pixel() > land_metres_per_pixel) return;
    // told once the land can be had, so that the view then drawn finds it
    auto promise = std::make_shared<std::promise<std::optional<LineSet>>>();
    land_ = promise->get_future().share();
    worker_ = std::async(std::launch::async, [promise, reader = land_reader_, ready = std::move(ready)] {
        std::optional<LineSet> land;
        if (auto lines = reader()) land.emplace(std::move(*lines));
        promise->set_value(std::move(land));
        if (ready) ready();
    });
}

const LineSet* MapDetail::land(const MapProjection& map) const {
    if (!land_.valid() || map.metres_per_pixel() > land_metres_per_pixel) return nullptr;
    if (land_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return nullptr;
    const std::optional<LineSet>& land = land_.get();
    return land ? &*land : nullptr;
}

void MapDetail::wait_for_land() const {
    if (worker_.valid()) worker_.wait();
}

const LineSet& MapDetail::lakes(const MapProjection& map) const {
    return map.metres_per_pixel() > water_metres_per_pixel ? none_ : lakes_;
}

const LineSet& MapDetail::rivers(const MapProjection& map) const {
    return map.metres_per_pixel() > water_metres_per_pixel ? none_ : rivers_;
}

}  // namespace vadrel::gui
