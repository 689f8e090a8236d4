#pragma once
// A tile server's answer made into the picture the map draws. The image's
// size is read from its header before anything is decoded, and a tile over
// max_tile_side pixels on a side is refused there: a 97 KB PNG can declare
// 5000 x 5000 pixels, 95 MB once decoded. A tile taken is scaled once to the
// side the map draws it at (256 pixels times the screen's pixel ratio), so
// that painting never scales a large picture and memory holds what is drawn.
//
//   const DecodedTile tile = decode_tile(body, 256);   // on a worker: it decodes
//   if (tile.outcome != DecodedTile::Outcome::image) say(tile_refusal(tile));

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace vadrel::gui {

// The largest side a tile may declare: a "retina" tile of a 512-pixel
// server is 1024; more is no tile.
inline constexpr int max_tile_side = 1024;
// A tile's answer is some tens of kilobytes; one far larger is no tile.
inline constexpr qint64 max_tile_answer_bytes = 4 * 1024 * 1024;
// The most a tile's decoding may allocate, in megabytes (Qt's own limit is
// 256): max_tile_side squared at 8 bytes a pixel, with room to spare.
inline constexpr int tile_allocation_megabytes = 32;

struct DecodedTile {
    enum class Outcome { image, not_image, too_large, broken };
    Outcome outcome = Outcome::not_image;
    // side x side, premultiplied ARGB, when the outcome is image.
    QImage image;
    // What the header says, when it says it.
    QSize declared;
};

// The answer's image at `side` x `side` pixels, or why not. Decodes only an
// image in a tile's format (PNG, JPEG, WebP, GIF) no larger than
// max_tile_side; never asks Qt for more than tile_allocation_megabytes.
DecodedTile decode_tile(const QByteArray& body, int side);
// Why a tile is refused, in Italian, for the map's note; "" for an image.
QString tile_refusal(const DecodedTile& tile);

}  // namespace vadrel::gui
