#include "world_map.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <map>
#include <set>

namespace vadrel::gui {

namespace {

using Arcs = std::vector<WorldMap::Line>;

// The arcs in degrees: each position the sum of the deltas before it, scaled
// and moved by the transform.
std::optional<Arcs> decode_arcs(const QJsonObject& topology) {
    const QJsonObject transform = topology.value(QStringLiteral("transform")).toObject();
    const QJsonArray scale = transform.value(QStringLiteral("scale")).toArray();
    const QJsonArray translate = transform.value(QStringLiteral("translate")).toArray();
    const bool quantized = scale.size() == 2 && translate.size() == 2;
    const double sx = quantized ? scale[0].toDouble() : 1.0;
    const double sy = quantized ? scale[1].toDouble() : 1.0;
    const double tx = quantized ? translate[0].toDouble() : 0.0;
    const double ty = quantized ? translate[1].toDouble() : 0.0;
    const QJsonValue arcs_value = topology.value(QStringLiteral("arcs"));
    if (!arcs_value.isArray()) return std::nullopt;
    Arcs arcs;
    for (const QJsonValue& arc_value : arcs_value.toArray()) {
        WorldMap::Line line;
        double x = 0.0, y = 0.0;
        for (const QJsonValue& position : arc_value.toArray()) {
            const QJsonArray xy = position.toArray();
            if (xy.size() < 2) continue;
            if (quantized) {
                x += xy[0].toDouble();
                y += xy[1].toDouble();
            } else {
                x = xy[0].toDouble();
                y = xy[1].toDouble();
            }
            const double lon = x * sx + tx;
            const double lat = y * sy + ty;
            if (std::isfinite(lon) && std::isfinite(lat)) line.push_back({lat, lon});
        }
        arcs.push_back(std::move(line));
    }
    return arcs;
}

// The arc an index names: ~i (that is -i-1) is arc i backwards.
bool append_arc(const Arcs& arcs, int index, WorldMap::Line& ring) {
    const bool backwards = index < 0;
    const auto i = static_cast<std::size_t>(backwards ? -(static_cast<long long>(index) + 1) : index);
    if (i >= arcs.size()) return false;
    const WorldMap::Line& arc = arcs[i];
    if (arc.empty()) return true;
    // the arcs of a ring meet: each one's first point is the last one's last
    const std::size_t skip = ring.empty() ? 0 : 1;
    if (backwards) {
        for (auto it = arc.rbegin() + static_cast<long>(std::min(skip, arc.size())); it != arc.rend(); ++it) {
            ring.push_back(*it);
        }
    } else {
        ring.insert(ring.end(), arc.begin() + static_cast<long>(std::min(skip, arc.size())), arc.end());
    }
    return true;
}

// The polygons of a geometry, each a list of rings, each a list of arc indices.
std::vector<QJsonArray> polygons_of(const QJsonObject& geometry) {
    const QString type = geometry.value(QStringLiteral("type")).toString();
    const QJsonArray arcs = geometry.value(QStringLiteral("arcs")).toArray();
    if (type == QStringLiteral("Polygon")) return {arcs};
    std::vector<QJsonArray> polygons;
    if (type == QStringLiteral("MultiPolygon")) {
        for (const QJsonValue& polygon : arcs) polygons.push_back(polygon.toArray());
    }
    return polygons;
}

// The geometries of an object: a collection's, or the object itself.
QJsonArray geometries_of(const QJsonObject& object) {
    if (object.value(QStringLiteral("type")).toString() == QStringLiteral("GeometryCollection")) {
        return object.value(QStringLiteral("geometries")).toArray();
    }
    return QJsonArray{object};
}

}  // namespace

std::optional<WorldMap> WorldMap::read(const QByteArray& topojson) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(topojson, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject topology = document.object();
    if (topology.value(QStringLiteral("type")).toString() != QStringLiteral("Topology")) return std::nullopt;
    const std::optional<Arcs> arcs = decode_arcs(topology);
    if (!arcs) return std::nullopt;
    const QJsonObject objects = topology.value(QStringLiteral("objects")).toObject();

    WorldMap world;
    for (const QJsonValue& geometry : geometries_of(objects.value(QStringLiteral("land")).toObject())) {
        for (const QJsonArray& polygon : polygons_of(geometry.toObject())) {
            for (const QJsonValue& ring_arcs : polygon) {
                Line ring;
                bool whole = true;
                for (const QJsonValue& index : ring_arcs.toArray()) whole = whole && append_arc(*arcs, index.toInt(), ring);
                if (whole && ring.size() >= 3) world.land.push_back(std::move(ring));
            }
        }
    }
    // An arc two countries both use is a border between them.
    std::map<std::size_t, std::set<int>> users;
    int country = 0;
    for (const QJsonValue& geometry : geometries_of(objects.value(QStringLiteral("countries")).toObject())) {
        for (const QJsonArray& polygon : polygons_of(geometry.toObject())) {
            for (const QJsonValue& ring_arcs : polygon) {
                for (const QJsonValue& index : ring_arcs.toArray()) {
                    const int i = index.toInt();
                    users[static_cast<std::size_t>(i < 0 ? -(static_cast<long long>(i) + 1) : i)].insert(country);
                }
            }
        }
        ++country;
    }
    for (const auto& [i, countries] : users) {
        if (countries.size() >= 2 && i < arcs->size() && (*arcs)[i].size() >= 2) world.borders.push_back((*arcs)[i]);
    }
    return world;
}

std::optional<WorldMap> WorldMap::built_in() {
    QFile file(QStringLiteral(":/mondo/countries-50m.json"));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return read(file.readAll());
}

}  // namespace vadrel::gui
