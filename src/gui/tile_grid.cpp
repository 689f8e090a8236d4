#include "tile_grid.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vadrel::gui {

namespace {

constexpr double pi = std::numbers::pi;
// Where the Mercator square ends, north and south.
constexpr double max_latitude = 85.0511287798066;

double tiles_at(int z) { return std::ldexp(1.0, z); }

// The row (real) of a latitude.
double row_of(int z, double lat) {
    const double phi = std::clamp(lat, -max_latitude, max_latitude) * pi / 180.0;
    return (1.0 - std::asinh(std::tan(phi)) / pi) / 2.0 * tiles_at(z);
}

}  // namespace

std::uint64_t TileKey::id() const {
    return (static_cast<std::uint64_t>(z) << 56) | (static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 28) |
           static_cast<std::uint64_t>(static_cast<std::uint32_t>(y));
}

int tile_zoom(const MapProjection& map) {
    // 2^z tiles of 256 pixels span the 360 degrees of a parallel
    const double map_pixels_round_the_world = 360.0 * map.metres_per_degree_lon() / map.metres_per_pixel();
    const double z = std::log2(map_pixels_round_the_world / tile_pixels);
    if (!std::isfinite(z)) return 0;
    return static_cast<int>(std::clamp(std::lround(z), 0L, static_cast<long>(max_tile_zoom)));
}

double tile_latitude(int z, double row) {
    return std::atan(std::sinh(pi * (1.0 - 2.0 * row / tiles_at(z)))) * 180.0 / pi;
}

double tile_longitude(int z, double column) { return column / tiles_at(z) * 360.0 - 180.0; }

std::vector<TileKey> tiles_in_view(const MapProjection& map, int z, int most) {
    const QSizeF size = map.viewport();
    const GeoPoint centre = map.centre();
    const GeoPoint top_left = map.to_geo({0, 0});
    const GeoPoint bottom_right = map.to_geo({size.width(), size.height()});
    // longitudes unwrapped around the centre
    const double west = centre.lon + std::remainder(top_left.lon - centre.lon, 360.0);
    const double east = west + std::min(size.width() * map.metres_per_pixel() / map.metres_per_degree_lon(), 360.0);
    const double n = tiles_at(z);
    const long first_column = std::lround(std::floor((west + 180.0) / 360.0 * n));
    const long last_column = std::lround(std::floor((east + 180.0) / 360.0 * n));
    const long first_row = std::clamp(std::lround(std::floor(row_of(z, top_left.lat))), 0L, static_cast<long>(n) - 1);
    const long last_row = std::clamp(std::lround(std::floor(row_of(z, bottom_right.lat))), 0L, static_cast<long>(n) - 1);
    if ((last_column - first_column + 1) * (last_row - first_row + 1) > most) return {};

    std::vector<TileKey> keys;
    const auto wrap = [n](long column) { return static_cast<int>(((column % static_cast<long>(n)) + static_cast<long>(n)) % static_cast<long>(n)); };
    for (long row = first_row; row <= last_row; ++row) {
        for (long column = first_column; column <= last_column; ++column) {
            keys.push_back({z, wrap(column), static_cast<int>(row), static_cast<int>(column)});
        }
    }
    // the middle of the view first: what the operator looks at loads first
    const QPointF middle(size.width() / 2.0, size.height() / 2.0);
    const auto distance = [&](const TileKey& k) {
        const QPointF d = tile_strip(map, k, 0, 1).center() - middle;
        return d.x() * d.x() + d.y() * d.y();
    };
    std::stable_sort(keys.begin(), keys.end(), [&](const TileKey& a, const TileKey& b) { return distance(a) < distance(b); });
    return keys;
}

QRectF tile_strip(const MapProjection& map, const TileKey& key, int strip, int strips) {
    const double top_row = key.y + static_cast<double>(strip) / strips;
    const double bottom_row = key.y + static_cast<double>(strip + 1) / strips;
    // the map places longitudes the short way from its centre: a column
    // unwrapped far from it is placed by its offset from the centre instead
    const double pixels_per_degree = map.metres_per_degree_lon() / map.metres_per_pixel();
    const double centre_x = map.viewport().width() / 2.0;
    const double west = tile_longitude(key.z, key.column);
    const double east = tile_longitude(key.z, key.column + 1);
    const double left = centre_x + (west - map.centre().lon) * pixels_per_degree;
    const double right = centre_x + (east - map.centre().lon) * pixels_per_degree;
    const double top = map.to_screen({tile_latitude(key.z, top_row), map.centre().lon}).y();
    const double bottom = map.to_screen({tile_latitude(key.z, bottom_row), map.centre().lon}).y();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QString tile_url(const QString& address, const TileKey& key) {
    QString url = address.trimmed();
    url.replace(QStringLiteral("{z}"), QString::number(key.z));
    url.replace(QStringLiteral("{x}"), QString::number(key.x));
    url.replace(QStringLiteral("{y}"), QString::number(key.y));
    return url;
}

}  // namespace vadrel::gui
