// "Disegna percorso" under a real hand: a click whose pointer trembles by a
// pixel or two adds its point; a drag past the platform's drag distance
// pans the map and adds none.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include "finestra.h"
#include "gui/map_window.h"
#include "routes/vehicle_routes.h"

namespace vadrel::gui {
namespace {

class MapDrag : public Finestra {
protected:
    void SetUp() override {
        Finestra::SetUp();
        window.set_routes(&routes);
        window.open_map();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.map_window()));
        canvas = window.map_window()->canvas();
    }
    void TearDown() override { window.set_routes(nullptr); }
    // Pressed at `from`, moved with the button held to `to`, released there.
    void press_move_release(QPoint from, QPoint to) {
        QTest::mousePress(canvas, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), canvas->mapToGlobal(QPointF(to)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(canvas, &move);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
    }
    VehicleRoutes routes{rig.fleet};
    MapCanvas* canvas = nullptr;
};

TEST_F(MapDrag, ATrembleIsAClickADragPans) {
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
        press_move_release({200, 150}, QPoint(200, 150) + r.by);
        EXPECT_EQ(canvas->sketch().size(), r.point_added ? 1u : 0u) << r.what;
        const GeoPoint now = canvas->projection().centre();
        const bool panned = now.lat != centre.lat || now.lon != centre.lon;
        EXPECT_EQ(panned, !r.point_added) << r.what;
        canvas->cancel_drawing();
    }
}

}  // namespace
}  // namespace vadrel::gui
