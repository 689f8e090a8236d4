// Street tiles from a tile server the test runs on 127.0.0.1: the tiles in
// view load and land where the map puts their places, the second view comes
// from the disk cache, and a server that fails is said once and asked no more.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QPainter>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <cmath>

#include "config/tile_settings.h"
#include "gui/tile_grid.h"
#include "gui/tile_layer.h"
#include "support/event_loop.h"

namespace vadrel::gui {
namespace {

QColor tile_colour(int z, int x, int y) { return QColor((x * 37) % 256, (y * 59) % 256, z * 12); }

// Answers GET /z/x/y.png with a tile of one colour, cacheable for an hour
// (or, as told, with 404 or with text), one request a connection.
class TileServer {
public:
    enum class Answer { tile, not_found, not_image, huge };
    Answer answer = Answer::tile;
    int requests = 0;
    QString user_agent;

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
        const QList<QByteArray> lines = request.split('\n');
        for (const QByteArray& line : lines) {
            if (line.toLower().startsWith("user-agent:")) user_agent = QString::fromLatin1(line.mid(11).trimmed());
        }
        const QList<QByteArray> path = lines.front().split(' ').value(1).split('/');
        QByteArray body, status = "200 OK", type = "image/png";
        if (answer == Answer::not_found) {
            status = "404 Not Found";
            type = "text/plain";
            body = "no";
        } else if (answer == Answer::huge) {
            body = QByteArray(5 * 1024 * 1024, 'x');
        } else if (answer == Answer::not_image) {
            type = "image/png";
            body = "<html>not a tile</html>";
        } else {
            QImage image(tile_pixels, tile_pixels, QImage::Format_RGB32);
            image.fill(tile_colour(path.value(1).toInt(), path.value(2).toInt(), path.value(3).split('.').value(0).toInt()));
            QBuffer buffer(&body);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
        }
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nCache-Control: max-age=3600\r\nConnection: close\r\n\r\n" +
                      body);
        socket->disconnectFromHost();
        pending_.remove(socket);
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

MapProjection milan() {
    MapProjection map;
    map.set_viewport({500, 400});
    map.set_view({45.4642, 9.19}, 25.0);
    return map;
}

// Paints the view until every tile in it is held (or 10 s pass); the picture.
QImage load_all(TileLayer& layer, const MapProjection& map, int* most_in_flight = nullptr) {
    QImage picture(map.viewport().toSize(), QImage::Format_RGB32);
    const std::vector<TileKey> keys = tiles_in_view(map, tile_zoom(map));
    run_until([&] {
        picture.fill(Qt::white);
        QPainter painter(&picture);
        layer.paint(painter, map);
        if (most_in_flight) *most_in_flight = std::max(*most_in_flight, layer.in_flight());
        return std::all_of(keys.begin(), keys.end(), [&](const TileKey& k) { return layer.holds(k); }) ||
               !layer.failure().isEmpty();
    });
    return picture;
}

class TileLayerTest : public ::testing::Test {
protected:
    QTemporaryDir cache;
    TileServer server;
};

TEST_F(TileLayerTest, LoadsTheTilesInViewWhereTheMapPutsThemThenFromTheDiskCache) {
    const MapProjection map = milan();
    const int z = tile_zoom(map);
    const std::size_t tiles = tiles_in_view(map, z).size();
    ASSERT_GT(tiles, 4u);
    {
        TileLayer layer(cache.path());
        layer.set_source(true, server.address());
        int most = 0;
        const QImage picture = load_all(layer, map, &most);
        ASSERT_EQ(layer.failure(), QString());
        EXPECT_EQ(server.requests, static_cast<int>(tiles)) << "each tile in view once, no more";
        EXPECT_LE(most, TileLayer::max_in_flight);
        EXPECT_TRUE(server.user_agent.startsWith(QStringLiteral("vadrel/"))) << server.user_agent.toStdString();
        // Milan's tile under Milan, a tile west of it left of it
        const double n = std::ldexp(1.0, z);
        const auto column = [n](double lon) { return static_cast<int>(std::floor((lon + 180.0) / 360.0 * n)); };
        const auto row = [n](double lat) {
            const double phi = lat * M_PI / 180.0;
            return static_cast<int>(std::floor((1.0 - std::asinh(std::tan(phi)) / M_PI) / 2.0 * n));
        };
        const QPoint centre = map.to_screen({45.4642, 9.19}).toPoint();
        EXPECT_EQ(picture.pixelColor(centre), tile_colour(z, column(9.19), row(45.4642)));
        // and the tiles west and south of it where the map puts those places
        for (const GeoPoint p : {GeoPoint{45.4642, 9.19 - 0.6 * 360.0 / n}, GeoPoint{45.44, 9.19}}) {
            ASSERT_NE(std::make_pair(column(p.lon), row(p.lat)), std::make_pair(column(9.19), row(45.4642)));
            EXPECT_EQ(picture.pixelColor(map.to_screen(p).toPoint()), tile_colour(z, column(p.lon), row(p.lat)))
                << p.lat << " " << p.lon;
        }
    }
    // a new layer on the same cache asks the server nothing
    TileLayer again(cache.path());
    again.set_source(true, server.address());
    load_all(again, map);
    EXPECT_EQ(again.failure(), QString());
    EXPECT_EQ(server.requests, static_cast<int>(tiles)) << "the second view came from the disk";
}

TEST_F(TileLayerTest, AFailureIsSaidOnceAndTheServerIsAskedNoMore) {
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
        MapProjection map = milan();
        for (int view = 0; view < 5; ++view) {
            load_all(layer, map);
            ASSERT_TRUE(run_until([&] { return layer.in_flight() == 0; })) << r.name;
            map.pan({300, 0});  // tiles nobody asked for yet
            QImage picture(map.viewport().toSize(), QImage::Format_RGB32);
            QPainter painter(&picture);
            layer.paint(painter, map);
        }
        ASSERT_TRUE(run_until([&] { return layer.in_flight() == 0; })) << r.name;
        EXPECT_EQ(said.count(), 1) << r.name;
        EXPECT_EQ(layer.failure(), QString::fromUtf8(r.reason)) << r.name;
        EXPECT_LE(failing.requests, TileLayer::max_in_flight) << r.name << ": asked on after the failure";
        // set again, it tries again
        layer.set_source(true, failing.address());
        EXPECT_EQ(layer.failure(), QString()) << r.name;
    }
}

}  // namespace
}  // namespace vadrel::gui
