// The map read by an operator: labels that never overlap, a vehicle told by
// pointing at it, "Adatta" on where the vehicles are now, and "Porta qui il
// mezzo attuale" through the change path "Vai a posizione" takes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QMouseEvent>
#include <QPolygonF>
#include <QTest>

#include "gui/map_labels.h"
#include "gui/tile_layer.h"
#include "gui/map_window.h"
#include "gui/world_map.h"
#include "finestra.h"
#include "support/fakes.h"

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
    const struct {
        const char* name;
        std::vector<LabelRequest> labels;
    } rows[] = {
        {"21 vehicles on one point", on_one_point(21, {50, 50})},
        {"one point by the scale bar", on_one_point(1, {20, 75})},
        {"21 points in a row closer than their labels", row_of_points},
        {"an arrow where the label usually goes", {{QPointF(50, 50), QSizeF(10, 14), 4.5, QPointF(65, 35)}}},
    };
    for (const auto& r : rows) {
        const std::vector<QRectF> boxes = place_labels(r.labels, {scale});
        ASSERT_EQ(boxes.size(), r.labels.size()) << r.name;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_FALSE(boxes[i].intersects(scale)) << r.name << ": label " << i;
            if (const auto& tip = r.labels[i].arrow_tip) {
                EXPECT_FALSE(boxes[i].intersects(QRectF(r.labels[i].point, *tip).normalized()))
                    << r.name << ": label " << i << " over its arrow";
            }
            for (std::size_t j = 0; j < boxes.size(); ++j) {
                if (i == j) continue;
                EXPECT_FALSE(boxes[i].intersects(boxes[j])) << r.name << ": labels " << i << " and " << j;
                const QPointF p = r.labels[j].point;
                const double d = r.labels[j].radius;
                EXPECT_FALSE(boxes[i].intersects(QRectF(p.x() - d, p.y() - d, 2 * d, 2 * d)) &&
                             r.labels[j].point != r.labels[i].point)
                    << r.name << ": label " << i << " over point " << j;
            }
        }
        EXPECT_TRUE(label_beside(r.labels[0], boxes[0])) << r.name << ": the first has room";
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
    EXPECT_TRUE(on_land(*world, {40.5, 10.5}));
    EXPECT_TRUE(on_land(*world, {40.5, 11.5}));
    EXPECT_FALSE(on_land(*world, {40.5, 12.5}));
    ASSERT_EQ(world->borders.size(), 1u) << "only the shared edge";
    EXPECT_DOUBLE_EQ(world->borders[0].front().lon, 11.0);
    EXPECT_DOUBLE_EQ(world->borders[0].back().lat, 41.0);

    const struct {
        const char* bytes;
        bool read;
        std::size_t land;
        const char* why;
    } rows[] = {
        {"", false, 0, "empty"},
        {"[1,2]", false, 0, "not an object"},
        {R"({"type":"FeatureCollection"})", false, 0, "GeoJSON, not a topology"},
        {R"({"type":"Topology","objects":{}})", false, 0, "no arcs"},
        {R"({"type":"Topology","arcs":[[[0,0],[1,0],[1,1]]],"objects":{"land":{"type":"Polygon","arcs":[[0,7]]}}})",
         true, 0, "an arc out of range drops its ring"},
        {R"({"type":"Topology","arcs":[[[0,0],[1,0],[1,1],[0,0]]],"objects":{"land":{"type":"Polygon","arcs":[[-1]]}}})",
         true, 1, "unquantized, one arc backwards"},
    };
    for (const auto& r : rows) {
        const auto got = WorldMap::read(r.bytes);
        EXPECT_EQ(got.has_value(), r.read) << r.why;
        if (got) {
            EXPECT_EQ(got->land.size(), r.land) << r.why;
        }
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

class MapView : public Finestra {
protected:
    void SetUp() override {
        Finestra::SetUp();
        // vehicle 1 ran far south for a while, then was set by hand beside vehicle 0
        for (int s = 0; s < 30; ++s) {
            rig.tracks.add(0, {rig.clock.steady - 30 + s, 0, 45.5, 9.2 + s * 0.0001, 0, 90, 0});
            rig.tracks.add(1, {rig.clock.steady - 30 + s, 0, 40.0 + s * 0.01, 9.2, 0, 0, 0});
        }
        rig.fleet.place(0, 45.5 * 3600.0, 9.2 * 3600.0, nullptr);
        rig.fleet.place(1, 45.51 * 3600.0, 9.2 * 3600.0, nullptr);
        rig.fleet.set_course(1, 90.0, nullptr);
        rig.fleet.set_speed(1, 12.0, nullptr);
        window.open_map();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.map_window()));
        canvas = window.map_window()->canvas();
        canvas->fit();
    }
    MapCanvas* canvas = nullptr;
};

TEST_F(MapView, AdattaFitsWhereTheVehiclesAreNow) {
    // the old track 500 km south no longer stretches the view: both vehicles,
    // 1.1 km apart, fill it
    EXPECT_LT(canvas->projection().metres_per_pixel(), 20.0);
    const QRectF inside(QPointF(0, 0), QSizeF(canvas->size()));
    EXPECT_TRUE(inside.contains(canvas->projection().to_screen({45.51, 9.2})));
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

TEST_F(MapView, PortaQuiMovesTheCurrentVehicleThroughThePanel) {
    rig.fleet.set_current(1, nullptr);
    const QPointF point(40, 50);
    const GeoPoint where = canvas->projection().to_geo(point);
    canvas->bring_current_here(point);
    EXPECT_NEAR(rig.fleet.vehicle(1).latitude_degrees(), where.lat, 1e-9);
    EXPECT_NEAR(rig.fleet.vehicle(1).longitude_degrees(), where.lon, 1e-9);
    EXPECT_NE(rig.fleet.vehicle(0).latitude_degrees(), where.lat) << "only the current vehicle";
    // the panel's boxes show it at once
    const WholeSeconds lat = whole_seconds(rig.fleet.vehicle(1).lat);
    EXPECT_EQ(static_cast<QLineEdit*>(window.control_widget("txt_lat_s"))->text(), QString::number(lat.seconds));
}

// "Strade...": an address without {y} is refused with its reason and the
// dialog stays; a good one turns the tiles on and is handed to be kept.
TEST_F(MapView, StradeRefusesAnAddressItCannotUseAndKeepsAGoodOne) {
    std::vector<TileSettings> kept;
    window.map_window()->set_tiles({}, [&kept](const TileSettings& s) {
        kept.push_back(s);
        return std::string();
    });
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
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0], (TileSettings{true, "http://127.0.0.1:9/{z}/{x}/{y}.png"}));
    EXPECT_TRUE(canvas->tiles().on());
    canvas->set_tiles({});  // nothing asked of port 9 after the test
}

}  // namespace
}  // namespace vadrel::gui
