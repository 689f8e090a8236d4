#include "tile_image.h"

#include <QBuffer>
#include <QImageReader>

namespace vadrel::gui {

namespace {

// The formats tile servers use; the other readers Qt has are not asked.
bool tile_format(const QByteArray& format) {
    return format == "png" || format == "jpeg" || format == "jpg" || format == "webp" || format == "gif";
}

}  // namespace

DecodedTile decode_tile(const QByteArray& body, int side) {
    DecodedTile tile;
    QBuffer buffer;
    buffer.setData(body);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!reader.canRead() || !tile_format(reader.format())) return tile;
    // the header's size, before a byte is decoded: what the decoding will allocate
    tile.declared = reader.size();
    if (!tile.declared.isValid()) {
        tile.outcome = DecodedTile::Outcome::broken;
        return tile;
    }
    if (tile.declared.width() > max_tile_side || tile.declared.height() > max_tile_side) {
        tile.outcome = DecodedTile::Outcome::too_large;
        return tile;
    }
    QImage image;
    if (!reader.read(&image) || image.isNull() || image.width() > max_tile_side || image.height() > max_tile_side) {
        tile.outcome = DecodedTile::Outcome::broken;
        return tile;
    }
    tile.image = image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    tile.outcome = DecodedTile::Outcome::image;
    return tile;
}

QString tile_refusal(const DecodedTile& tile) {
    switch (tile.outcome) {
    case DecodedTile::Outcome::image: return {};
    case DecodedTile::Outcome::not_image: return QStringLiteral("il server non manda immagini");
    case DecodedTile::Outcome::broken: return QStringLiteral("il server manda immagini guaste");
    case DecodedTile::Outcome::too_large:
        return QStringLiteral("il server manda tile di %1×%2 pixel, troppo grandi (al massimo %3×%3)")
            .arg(tile.declared.width())
            .arg(tile.declared.height())
            .arg(max_tile_side);
    }
    return {};
}

}  // namespace vadrel::gui
