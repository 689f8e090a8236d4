// The map read by an operator: labels and places' names that never overlap,
// routes split where the vehicle is and drawn from their index, the land and
// the borders; the tracks of the last hour, "Adatta" on where the vehicles
// are now, a vehicle told by pointing at it, routes given and drawn on the
// map. Street tiles: the tile maths against the map's plane and the tiles'
// address as tables of worked values; then from a tile server the test runs
// on 127.0.0.1, the tiles in view load where the map puts them, the second
// view comes from the disk cache, and a server that fails is said once and
// asked no more.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include <QBuffer>
#include <QCheckBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWheelEvent>

#include "config/tile_settings.h"
#include "gui/map_labels.h"
#include "gui/tile_grid.h"
#include "gui/tile_layer.h"
#include "gui/map_routes.h"
#include "gui/map_window.h"
#include "gui/place_names.h"
#include "gui/world_map.h"
#include "routes/vehicle_routes.h"
#include "finestra.h"
#include "support/event_loop.h"

namespace vadrel::gui {
namespace {

// Whatever the crowd, no label covers another label, another vehicle's
// point or an area kept clear; a label with room stays beside its point.
TEST(MapLabels, NeverOverlap) {
    const QRectF scale(0, 80, 140, 40);
    const auto on_one_point = [](int n, QPointF at) {
        std::vector<LabelRequest> r;
        for (int i = 0; i < n; ++i) r.push_back({at, QSizeF(i < 10 ? 10 : 17, 14), 4.5, std::nullopt});
        return r;
    };
    std::vector<LabelRequest> row_of_points;
    for (int i = 0; i < 21; ++i) {
        const QPointF at(20 + 6 * i, 60);
        const auto north = i % 2 == 0 ? std::optional<QPointF>(at - QPointF(0, 20)) : std::nullopt;
        row_of_points.push_back({at, QSizeF(17, 14), 4.5, north});
    }
    const std::pair<const char*, std::vector<LabelRequest>> rows[] = {
        {"21 vehicles on one point", on_one_point(21, {50, 50})},
        {"one point by the scale bar", on_one_point(1, {20, 75})},
        {"21 points in a row closer than their labels", row_of_points},
        {"an arrow where the label usually goes", {{QPointF(50, 50), QSizeF(10, 14), 4.5, QPointF(65, 35)}}},
    };
    for (const auto& [name, labels] : rows) {
        const std::vector<QRectF> boxes = place_labels(labels, {scale});
        ASSERT_EQ(boxes.size(), labels.size()) << name;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_FALSE(boxes[i].intersects(scale)) << name << ": label " << i;
            if (const auto& tip = labels[i].arrow_tip) {
                EXPECT_FALSE(boxes[i].intersects(QRectF(labels[i].point, *tip).normalized()))
                    << name << ": label " << i << " over its arrow";
            }
            for (std::size_t j = 0; j < boxes.size(); ++j) {
                if (i == j) continue;
                EXPECT_FALSE(boxes[i].intersects(boxes[j])) << name << ": labels " << i << " and " << j;
                const QPointF p = labels[j].point;
                const double d = labels[j].radius;
                EXPECT_FALSE(boxes[i].intersects(QRectF(p.x() - d, p.y() - d, 2 * d, 2 * d)) &&
                             labels[j].point != labels[i].point)
                    << name << ": label " << i << " over point " << j;
            }
        }
        EXPECT_TRUE(label_beside(labels[0], boxes[0])) << name << ": the first has room";
    }
}

TEST(PlaceNames, ReadsTheFileAndLeavesOutRowsItCannotUse) {
    EXPECT_FALSE(read_places("not json"));
    EXPECT_FALSE(read_places(R"({"campi":[]})"));
    const auto places = read_places(R"({"luoghi":[["Roma",41.9,12.5,1.7,1,3000000],["",1,1,1,0,1],
        ["Nowhere",95,0,1,0,1],["Short",1,1],[7,1,1,1,0,1],["Zurich",47.38,8.54,3.5,0,1100000]]})");
    ASSERT_TRUE(places);
    QStringList read;  // a capital starred
    for (const Place& place : *places) read << place.name + (place.capital ? q("*") : QString());
    EXPECT_EQ(read, QStringList({q("Roma*"), q("Zurich")}));

    const PlaceNames world(built_in_places());
    ASSERT_GT(world.places().size(), 200u);
    const auto shown = [&world](const MapProjection& map) {
        std::set<QString> names;
        for (const std::size_t i : world.candidates(map)) names.insert(world.places()[i].name);
        return names;
    };
    const auto europe = shown(view({47.0, 10.0}, 4000.0, {800, 600}));
    EXPECT_TRUE(europe.contains(QStringLiteral("Rome")) && europe.contains(QStringLiteral("Paris")));
    const auto earth = shown(view({20.0, 0.0}, 60000.0, {800, 600}));
    EXPECT_FALSE(earth.contains(QStringLiteral("Vatican City"))) << "small places wait for a closer view";
    EXPECT_TRUE(earth.contains(QStringLiteral("London")));
}

// Names never cover one another, a vehicle's label, dot or arrow, or the
// scale bar; with no room, a name is left out.
TEST(PlaceNames, NamesOnlyWhereThereIsRoom) {
    const PlaceNames world(built_in_places());
    const MapProjection europe = view({47.0, 10.0}, 6000.0, {640, 480});
    const QRectF scale_bar(6, 434, 132, 32);
    const QPointF rome = europe.to_screen({41.8955, 12.4833});
    // a vehicle's label where Rome's name would usually go, up and right of its dot
    const QRectF vehicle_label(rome.x() + 3, rome.y() - 30, 60, 27);
    QImage picture(640, 480, QImage::Format_RGB32);
    QPainter painter(&picture);
    const std::vector<QRectF> taken{scale_bar, vehicle_label};
    const std::vector<QRectF> written = world.paint(painter, europe, taken);
    ASSERT_GT(written.size(), 10u) << "Europe has names";
    EXPECT_TRUE(std::any_of(written.begin(), written.end(), [&](const QRectF& box) { return box.contains(rome); }))
        << "Rome has its dot, its name on another side";
    for (std::size_t i = 0; i < written.size(); ++i) {
        EXPECT_TRUE(i % 2 == 1 || QRectF(0, 0, 640, 480).contains(written[i])) << "name " << i << " cut by the edge";
        for (const QRectF& t : taken) EXPECT_FALSE(written[i].intersects(t)) << "box " << i;
        // boxes come in pairs, name then dot: a name never covers another's box
        for (std::size_t j = 0; j < written.size(); ++j) {
            if (i / 2 == j / 2) continue;
            EXPECT_FALSE(written[i].intersects(written[j])) << "boxes " << i << ", " << j;
        }
    }

    // nine places on one spot: the sides run out, and the rest are left out, not stacked
    const std::vector<LabelRequest> crowded(9, LabelRequest{QPointF(50, 50), QSizeF(40, 12), 2.5, {}});
    const auto boxes = place_labels_where_free(crowded, {QRectF(0, 0, 30, 30)});
    ASSERT_EQ(boxes.size(), 9u);
    EXPECT_TRUE(boxes[0]) << "the first has a side free";
    EXPECT_FALSE(boxes[8]) << "the last has none";
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        for (std::size_t j = i + 1; j < boxes.size(); ++j) {
            EXPECT_FALSE(boxes[i] && boxes[j] && boxes[i]->intersects(*boxes[j])) << i << " and " << j;
        }
    }
}

// The route along 10 E from 44 N to 47 N, a degree a leg.
Route along_ten_east() {
    Route route("nord");
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(route.add({44.0 + i, 10.0}));
    return route;
}

// The run's points one by one.
std::vector<GeoPoint> points_of(const Route& route, const RouteRun& run) {
    std::vector<GeoPoint> out;
    for (const auto& piece : run.pieces) {
        if (const auto* p = std::get_if<GeoPoint>(&piece)) {
            out.push_back(*p);
            continue;
        }
        const auto [from, to] = std::get<RouteRun::Range>(piece);
        for (std::int64_t i = from;; i += from <= to ? 1 : -1) {
            const auto p = route.position(static_cast<std::size_t>(i));
            out.push_back({p.lat, p.lon});
            if (i == to) break;
        }
    }
    return out;
}

// The lats of a line: enough to tell its points along 10 E.
std::vector<double> lats(const Route& route, const RouteRun& run) {
    std::vector<double> out;
    for (const GeoPoint& p : points_of(route, run)) out.push_back(p.lat);
    return out;
}

TEST(MapRoutes, SplitWhereTheVehicleIs) {
    const Route route = along_ten_east();
    const GeoPoint here{45.5, 10.0};
    const RouteProgress mid{.leg = 1}, finished{.leg = 1, .finished = true}, going_back{.leg = 1, .backward = true};
    const RouteProgress leg_back{.leg = 3};  // a loop's leg from the last point to the first
    const RouteProgress joining{.leg = -1, .origin = {45.5, 9.0}, .rejoin = 2};
    // where the vehicle is along the route, the route's end, the lats driven and left, whether joining
    const std::tuple<const char*, RouteProgress, RouteEnd, std::vector<double>, std::vector<double>, bool> rows[] = {
        {"half way along leg 1", mid, RouteEnd::stop, {44, 45, 45.5}, {45.5, 46, 47}, false},
        {"a loop goes back to its first point", mid, RouteEnd::loop, {44, 45, 45.5}, {45.5, 46, 47, 44}, false},
        {"stopped at the end: all driven", finished, RouteEnd::stop, {44, 45, 46, 47}, {}, false},
        {"on a loop's leg back", leg_back, RouteEnd::loop, {44, 45, 46, 47, 45.5}, {45.5, 44}, false},
        {"going back: what is left is back to the first", going_back, RouteEnd::back, {47, 46, 45.5}, {45.5, 45, 44}, false},
        {"joining from aside: to point 2, the points before it behind", joining, RouteEnd::stop, {44, 45}, {45.5, 46, 47}, true},
    };
    for (const auto& [what, progress, end, done, left, approach] : rows) {
        const RouteParts parts = split_route(route, progress, {end, false, 0.0, false}, here);
        EXPECT_EQ(lats(route, parts.done), done) << what;
        EXPECT_EQ(lats(route, parts.left), left) << what;
        EXPECT_EQ(parts.approach.pieces.size(), approach ? 2u : 0u) << what;
    }
}

TEST(MapRoutes, LegsOnTheScreenFollowTheirGreatCircleTheShortWay) {
    MapProjection map = view({50.0, 0.0}, 5000.0, {800, 600});
    // a long leg east along 50 N bends north on its great circle, to its
    // vertex half way
    const QPolygonF long_leg = legs_on_screen(map, {{50.0, -30.0}, {50.0, 30.0}});
    ASSERT_GT(long_leg.size(), 10);
    const QPointF top = *std::min_element(long_leg.begin(), long_leg.end(),
                                          [](QPointF a, QPointF b) { return a.y() < b.y(); });
    const double degree = M_PI / 180.0;
    const double vertex = std::atan(std::tan(50.0 * degree) / std::cos(30.0 * degree)) / degree;
    const QPointF expected = map.to_screen({vertex, 0.0});
    EXPECT_NEAR(top.y(), expected.y(), 1.0);
    EXPECT_NEAR(top.x(), expected.x(), 12.0);
    // across the 180th meridian it stays one short piece
    map.set_view({0.0, 180.0}, 100.0);
    const QPolygonF across = legs_on_screen(map, {{0.0, 179.999}, {0.0, -179.999}});
    ASSERT_GE(across.size(), 2);
    EXPECT_NEAR(across.last().x() - across.first().x(), 2.224, 0.01) << "east, not round the globe";
    // points closer than half a pixel are one, the last point always stays
    const QPolygonF crowded = legs_on_screen(map, {{0.0, 180.0}, {0.0, 180.0000001}, {0.0, 180.0000002}});
    EXPECT_EQ(crowded.size(), 2);
    // a winding run west of the view is its first and last point, then on into the view
    map.set_view({0.0, 0.0}, 100.0);
    std::vector<GeoPoint> winding;
    for (int i = 0; i < 1000; ++i) winding.push_back({0.001 * (i % 7), -1.0 + 0.0005 * i});
    winding.push_back({0.0, 0.0});
    const QPolygonF run = legs_on_screen(map, winding);
    EXPECT_EQ(std::count_if(run.begin(), run.end(), [](QPointF p) { return p.x() < -16.0; }), 2)
        << "the run beyond the edge: its first and last";
    EXPECT_NEAR(run.last().x(), 400.0, 1e-9);
}

// Long routes drawn from their coarse index look as the same routes drawn
// point by point: pictures compared pixel by pixel, at a whole route's zoom,
// at a street's, beside the route, across the 180th meridian, round a pole
// and going back; the points marked are those marked one by one.
QImage picture(const QPolygonF& line) {
    QImage image(640, 480, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 2.0));
    painter.drawPolyline(line);
    return image;
}

// Pixels dark in one picture and light in the other.
int differing(const QImage& a, const QImage& b) {
    int differ = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) differ += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 128;
    }
    return differ;
}

// `count` points from `start`, a step apart, winding a little to the north and back.
Route winding(vadrel::GeoPoint start, double lat_step, double lon_step, int count) {
    Route route("lungo");
    for (int i = 0; i < count; ++i) {
        const double lon = std::remainder(start.lon + lon_step * i, 360.0);
        EXPECT_FALSE(route.add({start.lat + lat_step * i + 0.001 * std::sin(i / 50.0), lon == -180.0 ? 180.0 : lon}));
    }
    return route;
}

TEST(MapRouteDrawing, FromTheIndexAsPointByPoint) {
    const Route east = winding({44.0, 9.0}, 0.0, 30.0 / 80'000.0, 20'000);   // 600 km, 30 m a leg
    const Route dateline = winding({-16.0, 179.9}, 0.0, 0.0003, 2'000);     // across 180 E
    const Route pole = winding({89.99, 0.0}, 0.0, 1.5, 1'000);             // round the pole, a leg 1.7 m
    Route square("onda quadra");  // 1.1 km north and back every 16 points, 37.5 m a leg east
    for (int i = 0; i < 4'000; ++i) EXPECT_FALSE(square.add({44.0 + 0.01 * (i / 16 % 2), 9.0 + i * 30.0 / 80'000.0}));
    const RouteProgress half{.leg = 2'000}, back{.leg = 2'000, .backward = true}, start;
    const struct {
        const char* what;
        const Route& route;
        RouteProgress progress;
        RouteEnd end;
        GeoPoint centre;
        double metres_per_pixel;
    } rows[] = {
        {"the whole route", east, half, RouteEnd::stop, {44.0, 12.75}, 1200.0},
        {"a street's zoom where the vehicle is", east, half, RouteEnd::stop, {44.0, 9.75}, 2.0},
        {"a street's zoom between two runs", east, half, RouteEnd::stop, {44.0, 9.0 + 64 * 30.0 / 80'000.0}, 0.5},
        {"going back, a town's zoom", east, back, RouteEnd::back, {44.0, 9.70}, 20.0},
        {"beside the route: nothing", east, half, RouteEnd::stop, {44.1, 9.75}, 20.0},
        {"a square wave, a run a few pixels wide", square, half, RouteEnd::stop, {44.0, 9.7}, 100.0},
        {"a square wave, a run two pixels wide", square, half, RouteEnd::stop, {44.0, 9.7}, 1000.0},
        {"across the 180th meridian", dateline, start, RouteEnd::loop, {-16.0, 180.0}, 20.0},
        {"the whole world, the 180th meridian at its edges", dateline, start, RouteEnd::stop, {-16.0, 0.0}, 60000.0},
        {"round the north pole", pole, start, RouteEnd::stop, {85.0, 0.0}, 3000.0},
    };
    for (const auto& r : rows) {
        const MapProjection map = view(r.centre, r.metres_per_pixel, {640, 480});
        const auto here = r.route.position(static_cast<std::size_t>(r.progress.leg));
        const RouteParts parts = split_route(r.route, r.progress, {r.end, false, 0.0, false}, {here.lat, here.lon});
        for (const RouteRun* run : {&parts.done, &parts.left}) {
            EXPECT_LE(differing(picture(legs_on_screen(map, points_of(r.route, *run))),
                                picture(legs_on_screen(map, r.route, *run))),
                      5)
                << r.what;
        }
        // the points marked, as one by one
        std::vector<QRectF> one_by_one;
        const QRectF view(-8, -8, 656, 496);
        for (std::size_t i = 0; i < r.route.size() && one_by_one.size() < 400; ++i) {
            const auto p = r.route.position(i);
            const QPointF at = map.to_screen({p.lat, p.lon});
            if (!view.contains(at)) continue;
            if (!one_by_one.empty() && QLineF(one_by_one.back().center(), at).length() < 8.0) continue;
            one_by_one.emplace_back(at - QPointF(3, 3), QSizeF(6, 6));
        }
        EXPECT_EQ(point_marks(map, r.route, 3.0, 8.0, 8.0, 400), one_by_one) << r.what;
    }
}

bool on_land(const WorldMap& world, GeoPoint p) {
    int inside = 0;  // odd-even, as the map fills it
    for (const auto& ring : world.land) {
        QPolygonF shape;
        for (const GeoPoint& g : ring) shape << QPointF(g.lon, g.lat);
        inside += shape.containsPoint(QPointF(p.lon, p.lat), Qt::OddEvenFill);
    }
    return inside % 2 == 1;
}

// Two unit squares side by side, quantized to tenths and delta-encoded: arc 0
// the edge they share, 1 and 2 the rest of each; the land is both.
constexpr const char* two_countries = R"({"type":"Topology","transform":{"scale":[0.1,0.1],"translate":[10,40]},
  "arcs":[[[10,0],[0,10]], [[10,10],[-10,0],[0,-10],[10,0]], [[10,0],[10,0],[0,10],[-10,0]]],
  "objects":{"countries":{"type":"GeometryCollection","geometries":[
      {"type":"Polygon","arcs":[[0,1]]},{"type":"Polygon","arcs":[[2,-1]]}]},
    "land":{"type":"GeometryCollection","geometries":[{"type":"MultiPolygon","arcs":[[[1,2]]]}]}}})";

TEST(WorldMap, ReadsLandAndBordersAndLeavesOutWhatItCannotUse) {
    const auto world = WorldMap::read(two_countries);
    ASSERT_TRUE(world);
    ASSERT_EQ(world->land.size(), 1u);
    EXPECT_EQ(world->land[0].size(), 7u) << "arcs joined at their shared points";
    EXPECT_TRUE(on_land(*world, {40.5, 10.5}) && on_land(*world, {40.5, 11.5}) && !on_land(*world, {40.5, 12.5}));
    ASSERT_EQ(world->borders.size(), 1u) << "only the shared edge";
    EXPECT_DOUBLE_EQ(world->borders[0].front().lon, 11.0);
    EXPECT_DOUBLE_EQ(world->borders[0].back().lat, 41.0);

    // the bytes, the rings of land read (-1: not read at all)
    const std::tuple<const char*, int, const char*> rows[] = {
        {"", -1, "empty"},
        {"[1,2]", -1, "not an object"},
        {R"({"type":"FeatureCollection"})", -1, "GeoJSON, not a topology"},
        {R"({"type":"Topology","objects":{}})", -1, "no arcs"},
        {R"({"type":"Topology","arcs":[[[0,0],[1,0],[1,1]]],"objects":{"land":{"type":"Polygon","arcs":[[0,7]]}}})",
         0, "an arc out of range drops its ring"},
        {R"({"type":"Topology","arcs":[[[0,0],[1,0],[1,1],[0,0]]],"objects":{"land":{"type":"Polygon","arcs":[[-1]]}}})",
         1, "unquantized, one arc backwards"},
    };
    for (const auto& [bytes, land, why] : rows) {
        const auto got = WorldMap::read(bytes);
        EXPECT_EQ(got ? static_cast<int>(got->land.size()) : -1, land) << why;
    }
}

// The map over Milan means something: the city on land, the Ligurian Sea
// off Genoa not, the border with Switzerland above Como.
TEST(WorldMap, TheBuiltInWorld) {
    const auto world = WorldMap::built_in();
    ASSERT_TRUE(world);
    EXPECT_TRUE(on_land(*world, {45.46, 9.19})) << "Milano";
    EXPECT_FALSE(on_land(*world, {44.0, 9.0})) << "Mar Ligure";
    EXPECT_TRUE(on_land(*world, {46.95, 7.45})) << "Berna";
    const bool swiss_border = std::any_of(world->borders.begin(), world->borders.end(), [](const auto& line) {
        return std::any_of(line.begin(), line.end(), [](GeoPoint p) {
            return std::fabs(p.lat - 45.85) < 0.1 && std::fabs(p.lon - 9.0) < 0.1;
        });
    });
    EXPECT_TRUE(swiss_border) << "the border near Chiasso";
}

// Vehicle 0 sent along 45.5 N in the last half minute; vehicle 1 ran far
// south for a while, then was set by hand beside vehicle 0; vehicle 2 sent
// last more than an hour ago.
class MapView : public Finestra {
protected:
    void SetUp() override {
        Finestra::SetUp();
        for (int s = 0; s < 30; ++s) {
            rig.tracks.add(0, {rig.clock.steady - 30 + s, 0, 45.5, 9.2 + s * 0.0001, 0, 90, 0});
            rig.tracks.add(1, {rig.clock.steady - 30 + s, 0, 40.0 + s * 0.01, 9.2, 0, 0, 0});
            rig.tracks.add(2, {rig.clock.steady - 3700 + s, 0, 45.505, 9.2 + s * 0.0001, 0, 0, 0});
        }
        rig.fleet.place(0, 45.5 * 3600.0, 9.2 * 3600.0, nullptr);
        rig.fleet.place(1, 45.51 * 3600.0, 9.2 * 3600.0, nullptr);
        rig.fleet.set_course(1, 90.0, nullptr);
        rig.fleet.set_speed(1, 12.0, nullptr);
        window.set_routes(&routes);
        window.open_map();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.map_window()));
        canvas = window.map_window()->canvas();
        canvas->fit();
    }
    void TearDown() override { window.set_routes(nullptr); }
    VehicleRoutes routes{rig.fleet};
    MapCanvas* canvas = nullptr;
};

// The tracks of the last hour drawn; "Adatta" on where the vehicles are now,
// not on old tracks; a drag or the wheel leaves the view where the operator
// put it, until "Adatta".
TEST_F(MapView, ShowsTheLastHourAndFollowsTheFleetUntilMoved) {
    EXPECT_EQ(canvas->shown_vehicles(), (std::vector<std::size_t>{0, 1}));
    const QImage image = canvas->grab().toImage();
    std::map<QRgb, int> pixels;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) ++pixels[image.pixel(x, y)];
    }
    EXPECT_GT(pixels[colore_mezzo(0).rgb()], 50);
    EXPECT_EQ(pixels[colore_mezzo(2).rgb()], 0) << "more than an hour old";
    // the old track 500 km south does not stretch the view: both vehicles, 1.1 km apart, fill it
    EXPECT_LT(canvas->projection().metres_per_pixel(), 20.0);
    const QRectF inside(QPointF(0, 0), QSizeF(canvas->size()));
    EXPECT_TRUE(inside.contains(canvas->projection().to_screen({45.51, 9.2})));

    const GeoPoint held = canvas->projection().to_geo({50, 50});
    QTest::mousePress(canvas, Qt::LeftButton, {}, {50, 50});
    QTest::mouseMove(canvas, {80, 70});
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, {80, 70});
    const QPointF dragged = canvas->projection().to_screen(held);
    EXPECT_NEAR(dragged.x(), 80, 0.05);
    EXPECT_NEAR(dragged.y(), 70, 0.05);
    rig.fleet.place(0, 46.5 * 3600.0, 9.2 * 3600.0, nullptr);
    window.map_window()->refresh();
    EXPECT_EQ(canvas->projection().to_screen(held), dragged) << "a tick does not move the view";
    QTest::mouseClick(window.map_window()->findChild<QPushButton*>(q("adatta")), Qt::LeftButton);
    EXPECT_TRUE(canvas->following());
    EXPECT_TRUE(inside.contains(canvas->projection().to_screen({46.5, 9.2})));
    // a notch of the wheel zooms in a quarter, and the view stays there
    const QPointF middle(canvas->width() / 2.0, canvas->height() / 2.0);
    QWheelEvent wheel(middle, canvas->mapToGlobal(middle), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    const double before = canvas->projection().metres_per_pixel();
    QApplication::sendEvent(canvas, &wheel);
    EXPECT_NEAR(canvas->projection().metres_per_pixel(), before / 1.25, 1e-9);
    EXPECT_FALSE(canvas->following());
}

// (The real program under Xvfb saves a picture through the file dialog.)
TEST_F(MapView, SaysWhyThePictureWasNotSaved) {
    QTemporaryDir folder;
    EXPECT_EQ(window.map_window()->save_image(folder.filePath(q("nessuna/mappa.png"))),
              q("il file non si può creare lì (il file o la cartella non esiste)"));
}

TEST_F(MapView, PointingAtAVehicleTellsAboutIt) {
    const QPointF at = canvas->projection().to_screen({45.51, 9.2});
    EXPECT_EQ(canvas->vehicle_at(at + QPointF(3, -3)), std::optional<std::size_t>(1));
    EXPECT_EQ(canvas->vehicle_at(at + QPointF(30, 30)), std::nullopt);
    EXPECT_EQ(canvas->describe(1), q("Mezzo 1\n45°30,600'N 9°12,000'E\nVelocità 12 Km/h, rotta 090°"));
    EXPECT_EQ(canvas->describe(0), q("Mezzo 0 (attuale)\n45°30,000'N 9°12,000'E\nVelocità 0 Km/h, rotta 000°"));
    QMouseEvent hover(QEvent::MouseMove, at, canvas->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &hover);
    EXPECT_EQ(canvas->toolTip(), canvas->describe(1));
}

// "Strade...": an address without {y} is refused with its reason and the
// dialog stays; a good one turns the tiles on and is handed to be kept.
TEST_F(MapView, StradeRefusesAnAddressItCannotUseAndKeepsAGoodOne) {
    std::vector<TileSettings> kept;
    window.map_window()->set_tiles({}, [&kept](const TileSettings& s) { return kept.push_back(s), std::string(); });
    QTest::mouseClick(window.map_window()->findChild<QPushButton*>(q("strade")), Qt::LeftButton);
    auto* dialog = window.map_window()->findChild<QDialog*>(q("Strade"));
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QCheckBox*>(q("strade_attive"))->setChecked(true);
    auto* address = dialog->findChild<QLineEdit*>(q("strade_indirizzo"));
    address->setText(q("http://127.0.0.1:9/{z}/{x}.png"));
    QTest::mouseClick(dialog->findChild<QPushButton*>(q("ok")), Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->findChild<QLabel*>(q("strade_problema"))->text(),
              q("Indirizzo non valido: l'indirizzo non contiene {y}."));
    EXPECT_TRUE(kept.empty());
    EXPECT_FALSE(canvas->tiles().on());
    address->setText(q(" http://127.0.0.1:9/{z}/{x}/{y}.png "));
    QTest::mouseClick(dialog->findChild<QPushButton*>(q("ok")), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(kept, (std::vector<TileSettings>{{true, "http://127.0.0.1:9/{z}/{x}/{y}.png"}}));
    EXPECT_TRUE(canvas->tiles().on());
    canvas->set_tiles({});  // nothing asked of port 9 after the test
}

// The routes given from the map go through the program's routes, and the
// tooltip tells them; Esc gives up a drawing, not the window.
TEST_F(MapView, RoutesGivenFromTheMap) {
    window.set_mmsi([](std::size_t n) { return std::optional<std::uint32_t>(247000000 + n); });
    ASSERT_FALSE(rig.fleet.set_speed(0, 36.0, nullptr));
    emit canvas->reach(canvas->projection().to_geo({300, 100}));
    ASSERT_TRUE(routes.has_route(0));
    EXPECT_TRUE(routes.route(0)->options.from_here) << "driven to, not jumped to";
    emit canvas->append_to_route(canvas->projection().to_geo({300, 300}));
    EXPECT_EQ(routes.route(0)->route.size(), 2u);
    EXPECT_TRUE(canvas->describe(0).endsWith(q("\nMMSI 247000000")));
    EXPECT_TRUE(canvas->describe(0).contains(q("Percorso «Raggiungi»: fatti 0 m, mancano "))) << canvas->describe(0).toStdString();
    window.map_window()->findChild<QPushButton*>(q("disegna_percorso"))->click();
    ASSERT_TRUE(canvas->drawing());
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(120, 60));
    QTest::keyClick(canvas, Qt::Key_Escape);
    EXPECT_FALSE(canvas->drawing());
    EXPECT_TRUE(window.map_window()->isVisible()) << "Esc cancelled the drawing, not the window";
    EXPECT_EQ(routes.route(0)->route.size(), 2u);
    window.map_window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.map_window()));
    QTest::keyClick(canvas, Qt::Key_Escape);
    EXPECT_FALSE(window.map_window()->isVisible()) << "then Esc closes the window";
}

// "Disegna percorso" under a real hand: a click whose pointer trembles by a
// pixel or two adds its point; a drag past the platform's drag distance
// pans the map and adds none.
TEST_F(MapView, ATrembleIsAClickADragPans) {
    const int reach = QApplication::startDragDistance();
    ASSERT_GE(reach, 2);
    const struct {
        const char* what;
        QPoint by;
        bool point_added;
    } rows[] = {
        {"a pixel's tremble", {1, 0}, true},
        {"just short of the drag distance", {reach - 1, 0}, true},
        {"the drag distance itself", {0, reach}, false},
        {"a real drag", {3 * reach, 2 * reach}, false},
    };
    for (const auto& r : rows) {
        canvas->start_drawing();
        const GeoPoint centre = canvas->projection().centre();
        // pressed, moved with the button held, released there
        const QPoint from(200, 150), to = from + r.by;
        QTest::mousePress(canvas, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), canvas->mapToGlobal(QPointF(to)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(canvas, &move);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
        EXPECT_EQ(canvas->sketch().size(), r.point_added ? 1u : 0u) << r.what;
        const GeoPoint now = canvas->projection().centre();
        EXPECT_EQ(now.lat != centre.lat || now.lon != centre.lon, !r.point_added) << r.what << ": panned";
        canvas->cancel_drawing();
    }
}

// ---- street tiles ----

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
