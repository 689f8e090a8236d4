#pragma once
// Street tiles under the map, from a tile server, when the operator turns
// them on. Only the tiles the view shows are asked for, the middle first, a
// few at a time; each answer is kept on disk (QNetworkDiskCache, as the
// server's caching headers allow) and the latest in memory. The requests
// name vadrel and its version. The first failure of any kind (no network,
// an HTTP error, an answer that is no image, a server that stops answering)
// stops the asking: the layer says why once (failed) and the offline map
// shows through, with the tiles already at hand and those on disk. Turning
// the layer on again, or a new address, tries again.
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
#include <QString>
#include <deque>

#include "gui/map_projection.h"
#include "gui/tile_grid.h"

class QNetworkReply;
class QPainter;

namespace vadrel::gui {

class TileLayer : public QObject {
    Q_OBJECT
public:
    // Tiles in flight at once (the usual tile servers ask for two per client).
    static constexpr int max_in_flight = 2;

    // The disk cache in `cache_folder`/tile (made when needed; none when
    // the folder is "").
    explicit TileLayer(const QString& cache_folder, QObject* parent = nullptr);

    // On or off, and the address with {z}, {x} and {y}; a change forgets the
    // failure, the tiles in memory and the requests waiting.
    void set_source(bool on, const QString& address);
    bool on() const { return on_; }
    QString address() const { return address_; }
    // Draws the tiles of the view at hand, asks for the others.
    void paint(QPainter& painter, const MapProjection& map);
    // Why the tiles stopped, in Italian; "" while they work.
    QString failure() const { return failure_; }
    // The tiles of the view held in memory, and the requests in flight.
    bool holds(const TileKey& key) const { return images_.contains(key.id()); }
    int in_flight() const { return static_cast<int>(replies_.size()); }
    // The credit the tiles' makers ask for, drawn with them.
    QString attribution() const;

signals:
    // A tile arrived: the map repaints.
    void updated();
    // The first failure since the layer was set, with its reason.
    void failed(const QString& why);

private:
    void ask_next();
    void arrived(QNetworkReply* reply, TileKey key);
    void fail(const QString& why);

    QNetworkAccessManager network_;
    bool on_ = false;
    QString address_;
    QString failure_;
    // Decoded tiles, their cost in kilobytes.
    QCache<std::uint64_t, QImage> images_;
    std::deque<TileKey> wanted_;
    QHash<std::uint64_t, QNetworkReply*> replies_;
};

// A network error in Italian (never Qt's English text).
QString network_reason(int qt_network_error, int http_status);

}  // namespace vadrel::gui
