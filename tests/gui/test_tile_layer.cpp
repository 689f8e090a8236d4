// Street tiles from a tile server the test runs on 127.0.0.1: the tiles in
// view load where the map puts them, the second view comes from the disk
// cache, and a server that fails is said once and asked no more.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QPainter>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "gui/tile_grid.h"
#include "gui/tile_layer.h"
#include "finestra.h"
#include "support/event_loop.h"

namespace vadrel::gui {
namespace {

QColor tile_colour(int x, int y) { return QColor(x % 256, y % 256, 128); }

// Answers GET /z/x/y.png, one request a connection: a tile of one colour,
// cacheable for an hour, or as told 404, text called an image, or far more
// than a tile.
class TileServer {
public:
    enum class Answer { tile, not_found, not_image, huge };
    Answer answer = Answer::tile;
    int requests = 0;

    TileServer() {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(server_.serverPort()); }
    void stop() { server_.close(); }

private:
    void serve(QTcpSocket* socket) {
        QByteArray& request = pending_[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n")) return;
        ++requests;
        QByteArray status = "200 OK", body = QByteArray(5 * 1024 * 1024, 'x');
        if (answer == Answer::not_found) {
            status = "404 Not Found";
            body = "no";
        } else if (answer == Answer::not_image) {
            body = "<html>not a tile</html>";
        } else if (answer == Answer::tile) {
            QImage image(tile_pixels, tile_pixels, QImage::Format_RGB32);
            const QList<QByteArray> zxy = request.split(' ').value(1).split('.').value(0).split('/');
            image.fill(tile_colour(zxy.value(2).toInt(), zxy.value(3).toInt()));
            body.clear();
            QBuffer buffer(&body);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
        }
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: image/png\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nCache-Control: max-age=3600\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
        pending_.remove(socket);
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

// Paints the view until every tile in it is held (or 10 s pass); the picture.
QImage load_all(TileLayer& layer, const MapProjection& map) {
    QImage picture(map.viewport().toSize(), QImage::Format_RGB32);
    const std::vector<TileKey> keys = tiles_in_view(map, tile_zoom(map));
    run_until([&] {
        QPainter painter(&picture);
        layer.paint(painter, map);
        return std::all_of(keys.begin(), keys.end(), [&](const TileKey& k) { return layer.holds(k); });
    });
    return picture;
}

TEST(TileLayer, LoadsTheTilesInViewWhereTheMapPutsThemThenFromTheDiskCache) {
    QTemporaryDir cache;
    TileServer server;
    const MapProjection map = view({45.4642, 9.19}, 25.0, {500, 400});
    const std::vector<TileKey> keys = tiles_in_view(map, tile_zoom(map));
    {
        TileLayer layer(cache.path());
        layer.set_source(true, server.address());
        const QImage picture = load_all(layer, map);
        EXPECT_EQ(server.requests, static_cast<int>(keys.size())) << "each tile in view once, no more";
        EXPECT_EQ(picture.pixelColor(250, 200), tile_colour(keys.front().x, keys.front().y)) << "the tile under the centre";
    }
    TileLayer again(cache.path());
    again.set_source(true, server.address());
    load_all(again, map);
    EXPECT_EQ(again.failure(), QString());
    EXPECT_EQ(server.requests, static_cast<int>(keys.size())) << "the second view came from the disk";
}

TEST(TileLayer, AFailureIsSaidOnceAndTheServerIsAskedNoMore) {
    const struct {
        const char* name;
        TileServer::Answer answer;
        bool stop;
        const char* reason;
    } rows[] = {
        {"HTTP error", TileServer::Answer::not_found, false, "il server risponde con il codice 404"},
        {"an answer that is no image", TileServer::Answer::not_image, false, "il server non manda immagini"},
        {"an answer far larger than a tile", TileServer::Answer::huge, false,
         "il server manda risposte troppo grandi per una tile"},
        {"the server gone", TileServer::Answer::tile, true, "il server rifiuta la connessione"},
    };
    for (const auto& r : rows) {
        QTemporaryDir folder;
        TileServer failing;
        failing.answer = r.answer;
        if (r.stop) failing.stop();
        TileLayer layer(folder.path());
        layer.set_source(true, failing.address());
        QSignalSpy said(&layer, &TileLayer::failed);
        MapProjection map = view({45.4642, 9.19}, 25.0, {500, 400});
        QImage picture(map.viewport().toSize(), QImage::Format_RGB32);
        for (int view = 0; view < 5; ++view) {
            QPainter painter(&picture);
            layer.paint(painter, map);  // asks for the tiles in view
            ASSERT_TRUE(run_until([&] { return layer.in_flight() == 0; })) << r.name;
            map.pan({300, 0});  // tiles nobody asked for yet
        }
        EXPECT_EQ(said.count(), 1) << r.name;
        EXPECT_EQ(layer.failure(), QString::fromUtf8(r.reason)) << r.name;
        EXPECT_LE(failing.requests, TileLayer::max_in_flight) << r.name << ": asked on after the failure";
        layer.set_source(true, failing.address());
        EXPECT_EQ(layer.failure(), QString()) << r.name << ": set again, it tries again";
    }
}

}  // namespace
}  // namespace vadrel::gui
