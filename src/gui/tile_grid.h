#pragma once
// Street tiles on the map's plane. Tile servers cut the world in Web
// Mercator squares of 256 pixels: at zoom z, 2^z by 2^z tiles, x from the
// 180th meridian eastwards, y from 85.0511 N southwards. The map is not Web
// Mercator (it is a local plane around its centre, see map_projection.h), so
// a tile is not drawn as a square: its corners are placed where the map puts
// them, and its rows in strips, each strip where the map puts its latitudes.
// Within a strip of 32 rows the two projections differ by far less than a
// pixel, so the streets lie where the vehicles are.
//
//   const int z = tile_zoom(map);                  // tiles about the map's pixel
//   for (const TileKey& key : tiles_in_view(map, z)) ...
//   QRectF strip = tile_strip(map, key, 0, 8);      // the top eighth of the tile
//   QString url = tile_url(address, key);

#include <QRectF>
#include <QString>
#include <cstdint>
#include <vector>

#include "gui/map_projection.h"

namespace vadrel::gui {

struct TileKey {
    int z = 0;
    int x = 0;  // 0 .. 2^z - 1, the server's column
    int y = 0;  // 0 .. 2^z - 1, the server's row
    // Where it is drawn: the column unwrapped around the map's centre, so
    // that a view across the 180th meridian draws column 0 right of the last.
    int column = 0;
    bool operator==(const TileKey&) const = default;
    // One number for z, x and y (not column): the same tile, the same id.
    std::uint64_t id() const;
};

inline constexpr int tile_pixels = 256;
inline constexpr int max_tile_zoom = 19;
// The most tiles one view asks for: a large screen at the tiles' own scale
// needs about 60; a larger one takes a zoom further out.
inline constexpr int max_tiles_in_view = 120;

// The zoom whose tiles' pixels are nearest the map's at its centre, 0 .. 19.
int tile_zoom(const MapProjection& map);
// The tiles that cover the viewport at zoom z, the centre's first; none when
// they are more than `most`.
std::vector<TileKey> tiles_in_view(const MapProjection& map, int z, int most = max_tiles_in_view);
// The latitude of a tile row's top edge: row / 2^z of the way down the
// Mercator square (any real row, so that strips can be cut).
double tile_latitude(int z, double row);
// Longitude of a (possibly unwrapped) column's west edge.
double tile_longitude(int z, double column);
// The screen box of strip `strip` of `strips` of the tile, top to bottom.
QRectF tile_strip(const MapProjection& map, const TileKey& key, int strip, int strips);
// The address with {z}, {x} and {y} put in.
QString tile_url(const QString& address, const TileKey& key);

}  // namespace vadrel::gui
