// Street tiles: the tile maths against the map's plane and the tiles'
// address as tables of worked values; then from a tile server the test runs
// on 127.0.0.1, the tiles in view load where the map puts them, the second
// view comes from the disk cache, and a server that fails is said once and
// asked no more.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QPainter>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <cmath>
#include <set>
#include <tuple>

#include "config/tile_settings.h"
#include "gui/tile_grid.h"
#include "gui/tile_layer.h"
#include "finestra.h"
#include "support/event_loop.h"

namespace vadrel::gui {
namespace {

TEST(TileGrid, RowsLatitudesAndZooms) {
    // the zoom, a row (its top edge), its latitude
    const std::tuple<const char*, int, double, double> rows[] = {
        {"the top of the world", 0, 0.0, 85.0511287798},
        {"the equator", 0, 0.5, 0.0},
        {"the bottom of the world", 0, 1.0, -85.0511287798},
        {"the top of row 1465 at zoom 12 (Milan's)", 12, 1465.0, 45.5217},
    };
    for (const auto& [name, z, row, lat] : rows) EXPECT_NEAR(tile_latitude(z, row), lat, 1e-4) << name;
    EXPECT_DOUBLE_EQ(tile_longitude(12, 2152), 9.140625) << "Milan's column";
    EXPECT_DOUBLE_EQ(tile_longitude(3, -1), -225.0) << "a column unwrapped west of the 180th meridian";

    const std::tuple<const char*, GeoPoint, double, int> zooms[] = {
        // 2^z * 256 pixels round a parallel of 40030 km * cos(lat)
        {"a street at the equator", {0, 0}, 0.6, 18},
        {"the same scale at 60 N: half as many metres round", {60, 0}, 0.6, 17},
        {"a city at Milan", {45.46, 9.19}, 25.0, 12},
        {"the whole world", {0, 0}, 100000.0, 1},
        {"closer than any tile server goes", {0, 0}, 0.05, max_tile_zoom},
    };
    for (const auto& [name, centre, metres_per_pixel, z] : zooms)
        EXPECT_EQ(tile_zoom(view(centre, metres_per_pixel, {500, 400})), z) << name;
}

// Each tile in view lies where the map puts its corners, the tiles tile the
// view without gaps, and a view across the 180th meridian asks for real
// columns only.
TEST(TileGrid, TilesInViewCoverTheViewWhereTheMapPutsThem) {
    const std::pair<const char*, MapProjection> rows[] = {
        {"Milan", view({45.4642, 9.19}, 25.0, {500, 400})},
        {"across the 180th meridian", view({-17.0, 179.99}, 40.0, {500, 400})},
        {"far north", view({78.2, 15.6}, 8.0, {500, 400})},
    };
    for (const auto& [name, map] : rows) {
        const int z = tile_zoom(map);
        const std::vector<TileKey> keys = tiles_in_view(map, z);
        ASSERT_FALSE(keys.empty()) << name;
        QRectF covered;
        std::set<std::uint64_t> ids;
        for (const TileKey& k : keys) {
            EXPECT_TRUE(k.x >= 0 && k.x < (1 << z) && k.y >= 0 && k.y < (1 << z)) << name;
            EXPECT_TRUE(ids.insert(k.id()).second) << name << ": a tile twice";
            const QRectF whole = tile_strip(map, k, 0, 1);
            const QPointF north_west = map.to_screen({tile_latitude(z, k.y), tile_longitude(z, k.x)});
            EXPECT_NEAR(whole.left(), north_west.x(), 1e-6) << name;
            EXPECT_NEAR(whole.top(), north_west.y(), 1e-6) << name;
            // the strips stack into the tile
            EXPECT_NEAR(tile_strip(map, k, 7, 8).bottom(), whole.bottom(), 1e-6) << name;
            EXPECT_NEAR(tile_strip(map, k, 3, 8).bottom(), tile_strip(map, k, 4, 8).top(), 1e-6) << name;
            covered = covered.united(whole);
        }
        EXPECT_TRUE(covered.contains(QRectF(QPointF(0, 0), map.viewport()))) << name;
    }
    const MapProjection huge = view({45.0, 9.0}, 25.0, {4000, 2500});
    EXPECT_TRUE(tiles_in_view(huge, tile_zoom(huge)).empty()) << "more tiles than the cap: none at that zoom";
    EXPECT_FALSE(tiles_in_view(huge, tile_zoom(huge) - 1).empty()) << "a zoom further out has them";
}

TEST(TileGrid, AddressOfATileAndAddressesRefused) {
    EXPECT_EQ(tile_url(QString::fromUtf8(default_tile_address), {12, 2152, 1465, 2152}),
              QStringLiteral("https://tile.openstreetmap.org/12/2152/1465.png"));
    const std::pair<const char*, const char*> rows[] = {
        {default_tile_address, ""},
        {"http://127.0.0.1:8080/{z}/{y}/{x}", ""},
        {"", "manca l'indirizzo"},
        {"https://tile.openstreetmap.org/{z}/{x}.png", "l'indirizzo non contiene {y}"},
        {"ftp://example.org/{z}/{x}/{y}.png", "l'indirizzo non comincia con http:// o https://"},
        {"http:///{z}/{x}/{y}.png", "l'indirizzo non ha un server"},
        {"http://127.0.0.1:99999/{z}/{x}/{y}.png", "l'indirizzo non è scritto come un indirizzo web"},
    };
    for (const auto& [address, problem] : rows) EXPECT_EQ(tile_address_problem(address), problem) << address;
}


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
                      QByteArray::number(body.size()) +
                      "\r\nCache-Control: max-age=3600\r\nConnection: close\r\n\r\n" + body);
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
        EXPECT_EQ(picture.pixelColor(250, 200), tile_colour(keys.front().x, keys.front().y))
            << "the tile under the centre";
    }
    TileLayer again(cache.path());
    again.set_source(true, server.address());
    load_all(again, map);
    EXPECT_EQ(again.failure(), QString());
    EXPECT_EQ(server.requests, static_cast<int>(keys.size())) << "the second view came from the disk";
}

TEST(TileLayer, AFailureIsSaidOnceAndTheServerIsAskedNoMore) {
    // what the server answers, whether it is gone, what the layer says
    const std::tuple<const char*, TileServer::Answer, bool, const char*> rows[] = {
        {"HTTP error", TileServer::Answer::not_found, false, "il server risponde con il codice 404"},
        {"an answer that is no image", TileServer::Answer::not_image, false, "il server non manda immagini"},
        {"an answer far larger than a tile", TileServer::Answer::huge, false,
         "il server manda risposte troppo grandi per una tile"},
        {"the server gone", TileServer::Answer::tile, true, "il server rifiuta la connessione"},
    };
    for (const auto& [name, answer, stop, reason] : rows) {
        QTemporaryDir folder;
        TileServer failing;
        failing.answer = answer;
        if (stop) failing.stop();
        TileLayer layer(folder.path());
        layer.set_source(true, failing.address());
        QSignalSpy said(&layer, &TileLayer::failed);
        MapProjection map = view({45.4642, 9.19}, 25.0, {500, 400});
        QImage picture(map.viewport().toSize(), QImage::Format_RGB32);
        for (int view = 0; view < 5; ++view) {
            QPainter painter(&picture);
            layer.paint(painter, map);  // asks for the tiles in view
            ASSERT_TRUE(run_until([&] { return layer.in_flight() == 0; })) << name;
            map.pan({300, 0});  // tiles nobody asked for yet
        }
        EXPECT_EQ(said.count(), 1) << name;
        EXPECT_EQ(layer.failure(), QString::fromUtf8(reason)) << name;
        EXPECT_LE(failing.requests, TileLayer::max_in_flight) << name << ": asked on after the failure";
        layer.set_source(true, failing.address());
        EXPECT_EQ(layer.failure(), QString()) << name << ": set again, it tries again";
    }
}

}  // namespace
}  // namespace vadrel::gui
