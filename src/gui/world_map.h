#pragma once
// The world under the map: land, coastlines and the borders between
// countries, from Natural Earth's 1:50m public-domain data as the
// world-atlas package gives it in TopoJSON (data/world/, built into the
// program as a resource: no file to find, no network).
//
//   const auto world = WorldMap::read(bytes);     // nullopt: not a topology we read
//   for (const auto& ring : world->land) ...      // outer rings and holes, drawn odd-even
//   for (const auto& line : world->borders) ...   // a line between two countries

#include <QByteArray>
#include <optional>
#include <vector>

#include "gui/map_projection.h"

namespace vadrel::gui {

struct WorldMap {
    using Line = std::vector<GeoPoint>;
    // The rings of the land, each closed; holes (lakes, seas within) among
    // them, so that an odd-even fill leaves them open.
    std::vector<Line> land;
    // The arcs two countries share.
    std::vector<Line> borders;

    // The topology's objects "land" and "countries" (quantized and
    // delta-encoded arcs, as world-atlas writes them); nullopt when the
    // bytes are not such a topology. Geometries or arcs it cannot use are
    // left out, never read out of bounds.
    static std::optional<WorldMap> read(const QByteArray& topojson);
    // The one built into the program.
    static std::optional<WorldMap> built_in();
};

}  // namespace vadrel::gui
