#include "tile_layer.h"

#include <QAbstractNetworkCache>
#include <QDir>
#include <QLocale>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPaintDevice>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "gui/tile_image.h"
#include "vadrel/version.h"

namespace vadrel::gui {

namespace {

constexpr qint64 disk_bytes = 200LL * 1024 * 1024;
// Rows of a tile drawn at a time (see tile_grid.h).
constexpr int strips = 8;
// Marks on a reply: cut off for its size, or for its deadline.
constexpr const char* too_large = "vadrel_troppo_grande";
constexpr const char* too_late = "vadrel_troppo_lenta";
// Tiles arriving within this time are drawn by one repaint.
constexpr std::chrono::milliseconds repaint_gather{50};

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

TileLayer::TileLayer(const QString& cache_folder, QObject* parent) : TileLayer(cache_folder, Limits{}, parent) {}

TileLayer::TileLayer(const QString& cache_folder, Limits limits, QObject* parent)
    : QObject(parent), limits_(limits), images_(limits.memory_bytes) {
    // no cache folder (no home): no disk cache, rather than one in the working folder
    if (!cache_folder.isEmpty()) {
        auto* cache = new QNetworkDiskCache(&network_);
        cache->setCacheDirectory(QDir(cache_folder).filePath(QStringLiteral("tile")));
        cache->setMaximumCacheSize(disk_bytes);
        network_.setCache(cache);
    }
    // a server silent this long has gone (the whole answer's deadline is per request)
    network_.setTransferTimeout(static_cast<int>(limits_.deadline.count()));
    decoder_.setMaxThreadCount(1);
    repaint_ = new QTimer(this);
    repaint_->setSingleShot(true);
    repaint_->setInterval(repaint_gather);
    connect(repaint_, &QTimer::timeout, this, &TileLayer::updated);
}

TileLayer::~TileLayer() {
    // a decoding under way hands its tile to this layer: it ends first
    decoder_.clear();
    decoder_.waitForDone();
}

void TileLayer::set_source(bool on, const QString& address) {
    for (QNetworkReply* reply : std::as_const(replies_)) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    replies_.clear();
    wanted_.clear();
    decoding_.clear();
    repaint_->stop();
    missing_.clear();
    ++generation_;
    if (address.trimmed() != address_) images_.clear();
    on_ = on;
    address_ = address.trimmed();
    failure_.clear();
}

bool TileLayer::busy() const { return !replies_.isEmpty() || !decoding_.isEmpty() || repaint_->isActive(); }

QSize TileLayer::held_size(const TileKey& key) const {
    const QImage* image = images_.object(key.id());
    return image != nullptr ? image->size() : QSize();
}

QString TileLayer::attribution() const {
    const QString host = QUrl(address_).host();
    if (host.endsWith(QStringLiteral("openstreetmap.org"))) return QStringLiteral("© OpenStreetMap contributors");
    return QStringLiteral("Strade: %1").arg(host);
}

void TileLayer::paint(QPainter& painter, const MapProjection& map) {
    if (!on_) return;
    const double ratio = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
    side_ = std::clamp(static_cast<int>(std::lround(tile_pixels * ratio)), 1, max_tile_side);
    // no more tiles in view than memory holds: else each tile arriving
    // would push out another in view, asked for again at the next paint
    const qint64 tile_bytes = static_cast<qint64>(side_) * side_ * 4;
    const int most = static_cast<int>(std::clamp<qint64>(limits_.memory_bytes / tile_bytes, 1, max_tiles_in_view));
    // a screen too large for that at the map's own zoom takes the tiles of
    // a zoom further out, a quarter as many
    int z = tile_zoom(map);
    std::vector<TileKey> keys = tiles_in_view(map, z, most);
    while (keys.empty() && z > 0) keys = tiles_in_view(map, --z, most);
    wanted_.clear();
    for (const TileKey& key : keys) {
        const QImage* image = images_.object(key.id());
        if (image == nullptr) {
            if (!replies_.contains(key.id()) && !decoding_.contains(key.id()) && !missing_.contains(key.id()))
                wanted_.push_back(key);
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
    // an answer being decoded holds its place: its failure, if it fails,
    // comes before another request
    while (on_ && replies_.size() + decoding_.size() < max_in_flight && !wanted_.empty()) {
        const TileKey key = wanted_.front();
        wanted_.pop_front();
        // a tile twice in view (the whole world, narrower than the screen)
        if (replies_.contains(key.id())) continue;
        QNetworkRequest request{QUrl(tile_url(address_, key))};
        request.setHeader(QNetworkRequest::UserAgentHeader,
                          QStringLiteral("vadrel/%1 (simulatore GPS)").arg(QString::fromUtf8(program_version)));
        // after a failure only what the disk already has
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             failure_.isEmpty() ? QNetworkRequest::PreferNetwork : QNetworkRequest::AlwaysCache);
        QNetworkReply* reply = network_.get(request);
        replies_.insert(key.id(), reply);
        connect(reply, &QNetworkReply::finished, this, [this, reply, key] { arrived(reply, key); });
        // an answer far larger than a tile is cut off, not kept in memory
        connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
            if ((received > max_tile_answer_bytes || total > max_tile_answer_bytes) &&
                !reply->property(too_large).toBool()) {
                reply->setProperty(too_large, true);
                reply->abort();
            }
        });
        // the whole answer in time: a server can trickle a byte a second
        // under any timeout of silence
        auto* deadline = new QTimer(reply);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, reply, [reply] {
            reply->setProperty(too_late, true);
            reply->abort();
        });
        deadline->start(limits_.deadline);
    }
}

void TileLayer::arrived(QNetworkReply* reply, TileKey key) {
    reply->deleteLater();
    replies_.remove(key.id());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->property(too_large).toBool()) {
        missing_.insert(key.id());
        fail(QStringLiteral("il server manda risposte troppo grandi per una tile"));
    } else if (reply->property(too_late).toBool()) {
        missing_.insert(key.id());
        const double seconds = std::chrono::duration<double>(limits_.deadline).count();
        fail(QStringLiteral("il server non manda una tile intera in %1 secondi")
                 .arg(QLocale(QLocale::Italian).toString(seconds, 'g', 3)));
    } else if (reply->error() != QNetworkReply::NoError || status >= 400) {
        // after a failure, a tile the disk lacks is no news: fail says it once
        missing_.insert(key.id());
        fail(network_reason(reply->error(), status));
    } else {
        // decoded on the worker, once; the map repaints when it is held
        decoding_.insert(key.id());
        const QByteArray body = reply->readAll();
        const QUrl url = reply->request().url();
        const int side = side_;
        const int generation = generation_;
        const std::uint64_t id = key.id();
        decoder_.start([this, body, side, generation, id, url] {
            const DecodedTile tile = decode_tile(body, side);
            QMetaObject::invokeMethod(
                this, [this, id, generation, tile, url] { take_decoded(id, generation, tile, url); }, Qt::QueuedConnection);
        });
    }
    ask_next();
}

void TileLayer::take_decoded(std::uint64_t id, int generation, const DecodedTile& tile, const QUrl& url) {
    // set again meanwhile: another source, or the same tried anew
    if (generation != generation_) return;
    decoding_.remove(id);
    if (tile.outcome == DecodedTile::Outcome::image || tile.outcome == DecodedTile::Outcome::broken) ++decoded_;
    if (tile.outcome == DecodedTile::Outcome::image) {
        images_.insert(id, new QImage(tile.image), tile.image.sizeInBytes());
        if (!repaint_->isActive()) repaint_->start();
    } else {
        // refused once: not asked again, nor kept on disk to be refused again
        missing_.insert(id);
        if (QAbstractNetworkCache* cache = network_.cache()) cache->remove(url);
        fail(tile_refusal(tile));
    }
    ask_next();
}

void TileLayer::fail(const QString& why) {
    if (!failure_.isEmpty()) return;
    failure_ = why;
    emit failed(failure_);
}

}  // namespace vadrel::gui
