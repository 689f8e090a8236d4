#include "tile_layer.h"

#include <QDir>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QUrl>

#include "vadrel/version.h"

namespace vadrel::gui {

namespace {

// About 150 decoded tiles: two screens of them.
constexpr int memory_kilobytes = 150 * tile_pixels * tile_pixels * 4 / 1024;
constexpr qint64 disk_bytes = 200LL * 1024 * 1024;
// A server that keeps a request this long without an answer has gone.
constexpr int transfer_timeout_ms = 15000;
// Rows of a tile drawn at a time (see tile_grid.h).
constexpr int strips = 8;
// A tile is some tens of kilobytes; an answer far larger is no tile.
constexpr qint64 max_tile_bytes = 4 * 1024 * 1024;
constexpr const char* too_large = "vadrel_troppo_grande";

}  // namespace

QString network_reason(int qt_network_error, int http_status) {
    if (http_status >= 400) return QStringLiteral("il server risponde con il codice %1").arg(http_status);
    switch (static_cast<QNetworkReply::NetworkError>(qt_network_error)) {
    case QNetworkReply::ConnectionRefusedError: return QStringLiteral("il server rifiuta la connessione");
    case QNetworkReply::RemoteHostClosedError: return QStringLiteral("il server ha chiuso la connessione");
    case QNetworkReply::HostNotFoundError: return QStringLiteral("server sconosciuto (manca la rete?)");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: return QStringLiteral("il server non risponde");
    case QNetworkReply::SslHandshakeFailedError: return QStringLiteral("la connessione sicura non riesce");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError: return QStringLiteral("la rete non è disponibile");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError: return QStringLiteral("il proxy non funziona");
    case QNetworkReply::ProtocolUnknownError: return QStringLiteral("indirizzo non http né https");
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError: return QStringLiteral("il server rimanda altrove");
    default: return QStringLiteral("errore di rete %1").arg(qt_network_error);
    }
}

TileLayer::TileLayer(const QString& cache_folder, QObject* parent) : QObject(parent), images_(memory_kilobytes) {
    // no cache folder (no home): no disk cache, rather than one in the working folder
    if (!cache_folder.isEmpty()) {
        auto* cache = new QNetworkDiskCache(&network_);
        cache->setCacheDirectory(QDir(cache_folder).filePath(QStringLiteral("tile")));
        cache->setMaximumCacheSize(disk_bytes);
        network_.setCache(cache);
    }
    network_.setTransferTimeout(transfer_timeout_ms);
}

void TileLayer::set_source(bool on, const QString& address) {
    for (QNetworkReply* reply : std::as_const(replies_)) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    replies_.clear();
    wanted_.clear();
    if (address.trimmed() != address_) images_.clear();
    on_ = on;
    address_ = address.trimmed();
    failure_.clear();
}

QString TileLayer::attribution() const {
    const QString host = QUrl(address_).host();
    if (host.endsWith(QStringLiteral("openstreetmap.org"))) return QStringLiteral("© OpenStreetMap contributors");
    return QStringLiteral("Strade: %1").arg(host);
}

void TileLayer::paint(QPainter& painter, const MapProjection& map) {
    if (!on_) return;
    // a screen too large for the cap at the map's own zoom takes the
    // tiles of a zoom further out, a quarter as many
    int z = tile_zoom(map);
    std::vector<TileKey> keys = tiles_in_view(map, z);
    while (keys.empty() && z > 0) keys = tiles_in_view(map, --z);
    wanted_.clear();
    for (const TileKey& key : keys) {
        const QImage* image = images_.object(key.id());
        if (image == nullptr) {
            if (!replies_.contains(key.id())) wanted_.push_back(key);
            continue;
        }
        const double rows = static_cast<double>(image->height()) / strips;
        for (int s = 0; s < strips; ++s) {
            const QRectF source(0, s * rows, image->width(), rows);
            // a hair over, so no seam of the map below shows between strips
            painter.drawImage(tile_strip(map, key, s, strips).adjusted(0, 0, 0.5, 0.5), *image, source);
        }
    }
    ask_next();
}

void TileLayer::ask_next() {
    while (on_ && replies_.size() < max_in_flight && !wanted_.empty()) {
        const TileKey key = wanted_.front();
        wanted_.pop_front();
        QNetworkRequest request{QUrl(tile_url(address_, key))};
        request.setHeader(QNetworkRequest::UserAgentHeader,
                          QStringLiteral("vadrel/%1 (simulatore GPS)").arg(QString::fromUtf8(versione)));
        // after a failure only what the disk already has
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             failure_.isEmpty() ? QNetworkRequest::PreferNetwork : QNetworkRequest::AlwaysCache);
        QNetworkReply* reply = network_.get(request);
        replies_.insert(key.id(), reply);
        connect(reply, &QNetworkReply::finished, this, [this, reply, key] { arrived(reply, key); });
        // an answer far larger than a tile is cut off, not kept in memory
        connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 /*total*/) {
            if (received > max_tile_bytes && !reply->property(too_large).toBool()) {
                reply->setProperty(too_large, true);
                reply->abort();
            }
        });
    }
}

void TileLayer::arrived(QNetworkReply* reply, TileKey key) {
    reply->deleteLater();
    replies_.remove(key.id());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QImage image;
    if (reply->property(too_large).toBool()) {
        fail(QStringLiteral("il server manda risposte troppo grandi per una tile"));
    } else if (reply->error() != QNetworkReply::NoError || status >= 400) {
        // after a failure, a tile the disk lacks is no news: fail says it once
        fail(network_reason(reply->error(), status));
    } else if (!image.loadFromData(reply->readAll()) || image.isNull()) {
        fail(QStringLiteral("il server non manda immagini"));
    } else {
        const int cost = static_cast<int>(image.sizeInBytes() / 1024) + 1;
        images_.insert(key.id(), new QImage(std::move(image)), cost);
        emit updated();
    }
    ask_next();
}

void TileLayer::fail(const QString& why) {
    if (!failure_.isEmpty()) return;
    failure_ = why;
    emit failed(failure_);
}

}  // namespace vadrel::gui
