#pragma once
// Street tiles under the map, from a tile server, when the operator turns
// them on. Only the tiles the view shows are asked for, the middle first, a
// few at a time; each answer is kept on disk (QNetworkDiskCache, as the
// server's caching headers allow) and the latest in memory. The requests
// name vadrel and its version. Each answer has a whole deadline from its
// request (a server that trickles a byte a second holds no slot for long).
// An answer is decoded on a worker, once: its header's size checked first
// (tile_image.h), then scaled to the side the map draws (256 pixels times
// the screen's pixel ratio) and kept so; the memory counts those bytes
// against a cap, and a view never asks for more tiles than the cap holds,
// so that no tile in view pushes out another and nothing repeats while the
// view stands. The first failure of any kind (no network, an HTTP error, an
// answer that is no image or too large a one, a server too slow) stops the
// asking: the layer says why once (failed) and the offline map shows
// through, with the tiles already at hand and those on disk. A tile that
// failed is not asked again. Turning the layer on again, or a new address,
// tries again.
//
//   TileLayer tiles(cache_folder);
//   tiles.set_source(true, "https://tile.openstreetmap.org/{z}/{x}/{y}.png");
//   tiles.paint(painter, projection);      // draws what it has, asks for the rest
//   connect(&tiles, &TileLayer::updated, canvas, [canvas] { canvas->update(); });

#include <QCache>
#include <QHash>
#include <QImage>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <QUrl>
#include <chrono>
#include <deque>

#include "gui/map_projection.h"
#include "gui/tile_grid.h"

class QNetworkReply;
class QTimer;
class QPainter;

namespace vadrel::gui {

struct DecodedTile;

class TileLayer : public QObject {
    Q_OBJECT
public:
    // Tiles in flight at once (the usual tile servers ask for two per client).
    static constexpr int max_in_flight = 2;

    struct Limits {
        // From a request to the last byte of its answer.
        std::chrono::milliseconds deadline{15000};
        // The decoded tiles held in memory: 256 tiles of 256 x 256 pixels,
        // 64 of a screen with twice the pixels.
        qint64 memory_bytes = 64LL * 1024 * 1024;
    };

    // The disk cache in `cache_folder`/tile (made when needed; none when
    // the folder is "").
    explicit TileLayer(const QString& cache_folder, QObject* parent = nullptr);
    TileLayer(const QString& cache_folder, Limits limits, QObject* parent = nullptr);
    ~TileLayer() override;

    // On or off, and the address with {z}, {x} and {y}; a change forgets the
    // failure, the tiles in memory and the requests waiting.
    void set_source(bool on, const QString& address);
    bool on() const { return on_; }
    QString address() const { return address_; }
    // Draws the tiles of the view at hand, asks for the others.
    // Returns how many tiles it drew: their credit goes with them.
    int paint(QPainter& painter, const MapProjection& map);
    // Why the tiles stopped, in Italian; "" while they work.
    QString failure() const { return failure_; }
    // The tiles of the view held in memory.
    bool holds(const TileKey& key) const { return images_.contains(key.id()); }
    // Requests in flight, answers being decoded, or a repaint owed.
    bool busy() const;
    // What the layer has done, for those who check it rests: images decoded
    // since it was made, and the bytes of those held.
    int decoded() const { return decoded_; }
    qint64 held_bytes() const { return images_.totalCost(); }
    // The size a tile is held at; empty when it is not held.
    QSize held_size(const TileKey& key) const;
    // The credit the tiles' makers ask for, drawn with them.
    QString attribution() const;

signals:
    // Tiles arrived: the map repaints (once for those of a twentieth of a
    // second, not once a tile).
    void updated();
    // The first failure since the layer was set, with its reason.
    void failed(const QString& why);

private:
    void ask_next();
    void arrived(QNetworkReply* reply, TileKey key);
    void take_decoded(std::uint64_t id, int generation, const DecodedTile& tile, const QUrl& url);
    void fail(const QString& why);

    Limits limits_;
    QNetworkAccessManager network_;
    bool on_ = false;
    QString address_;
    QString failure_;
    // The side tiles are decoded to: 256 times the pixel ratio painted on.
    int side_ = tile_pixels;
    // Decoded tiles, their cost in bytes.
    QCache<std::uint64_t, QImage> images_;
    std::deque<TileKey> wanted_;
    QHash<std::uint64_t, QNetworkReply*> replies_;
    // Answers being decoded, and tiles that failed: neither asked for again.
    QSet<std::uint64_t> decoding_;
    QSet<std::uint64_t> missing_;
    // Bumped by set_source: a decoding from before is dropped.
    int generation_ = 0;
    int decoded_ = 0;
    // Gathers the tiles' arrivals into one repaint.
    QTimer* repaint_;
    // One worker: decoding never takes the window's thread, nor both cores.
    QThreadPool decoder_;
};

// A network error in Italian (never Qt's English text).
QString network_reason(int qt_network_error, int http_status);

}  // namespace vadrel::gui
