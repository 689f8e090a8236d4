#pragma once
// What must hold for any bytes a tile server sends: a tile taken is exactly
// the side asked, premultiplied; a tile refused as too large declared a side
// over the limit; a refusal has its Italian reason; nothing larger than a
// tile is ever decoded. Shared by the fuzzer and the corpus test.

#include <QByteArray>
#include <string>
#include <string_view>

#include "gui/tile_image.h"

namespace vadrel::fuzzing {

// Empty when all holds, otherwise what did not.
inline std::string check_tile(std::string_view bytes, int side = 64) {
    using gui::DecodedTile;
    const DecodedTile tile =
        gui::decode_tile(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), side);
    const QString reason = gui::tile_refusal(tile);
    switch (tile.outcome) {
    case DecodedTile::Outcome::image:
        if (tile.image.width() != side || tile.image.height() != side) return "a tile taken at another side";
        if (tile.image.format() != QImage::Format_ARGB32_Premultiplied) return "a tile taken in another format";
        if (!reason.isEmpty()) return "a tile taken with a reason";
        if (tile.declared.width() > gui::max_tile_side || tile.declared.height() > gui::max_tile_side)
            return "a tile over the largest side decoded";
        return {};
    case DecodedTile::Outcome::too_large:
        if (tile.declared.width() <= gui::max_tile_side && tile.declared.height() <= gui::max_tile_side)
            return "a tile within the largest side refused as too large";
        break;
    case DecodedTile::Outcome::not_image:
    case DecodedTile::Outcome::broken: break;
    }
    if (!tile.image.isNull()) return "a refused tile holds an image";
    if (reason.isEmpty()) return "a refusal without its reason";
    return {};
}

}  // namespace vadrel::fuzzing
