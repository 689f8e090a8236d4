// The windows of the menu Veicolo, driven as an operator would: "Vai a
// posizione..." as the text is typed, the map's plane as tables, the sky;
// and the keys every window shares: Escape closes, Alt opens the menu bar's
// entries. (The real program under Xvfb types into "Vai a posizione" and
// reads the sentences back.)

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <tuple>

#include "gui/goto_dialog.h"
#include "gui/help_viewer.h"
#include "gui/map_window.h"
#include "gui/sky_view.h"
#include "gui/window_shell.h"
#include "finestra.h"

namespace vadrel::gui {
namespace {

// ---- Vai a posizione ----

// What the dialog says as the text is typed, and whether OK is there.
TEST(VaiAPosizione, SaysAtOnceWhatItUnderstoodOrWhy) {
    testing::Rig rig;
    rig.fleet.place(0, 44 * 3600.0 + 120.0, 10 * 3600.0 + 480.0, nullptr);
    GoToDialog dialog(rig.form);
    auto* text = dialog.findChild<QLineEdit*>(q("posizione"));
    auto* understood = dialog.findChild<QLabel*>(q("capito"));
    auto* ok = dialog.findChild<QPushButton*>(q("ok"));
    ASSERT_TRUE(text && understood && ok);
    // it opens on the vehicle's own position, which it reads
    EXPECT_EQ(understood->text(), q("Latitudine 44°02'00,00\"N, longitudine 10°08'00,00\"E"));
    EXPECT_TRUE(ok->isEnabled());
    const std::tuple<const char*, const char*, bool> rows[] = {
        {"45 30 0 N", "Latitudine 45°30'00,00\"N, la longitudine resta com'è", true},
        {"45 30 0 N ciao", "Non capisco «ciao»: le lettere sono N, S, E, W (o O)", false},
    };
    for (const auto& [typed, said, readable] : rows) {
        QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(text, q(typed));
        EXPECT_EQ(understood->text(), q(said)) << typed;
        EXPECT_EQ(ok->isEnabled(), readable) << typed;
        EXPECT_EQ(understood->palette().color(QPalette::WindowText), readable ? QColor(0, 128, 0) : QColor(128, 0, 0))
            << typed;
        EXPECT_EQ(dialog.position().has_value(), readable) << typed;
    }
}

// Ctrl+G handled among the events the multi-user tick lets run: the dialog
// opens for the vehicle then on the panel, and the tick ends all the same.
TEST_F(Finestra, VaiAPosizioneOpenedInsideATickLetsTheTickEnd) {
    rig.port.force_open();
    rig.form.multi_user_mode_option.select();
    rig.form.vehicle_count_box.set_text("2");
    rig.shell.pending = [this] { window.open_go_to(); };
    rig.tick();
    EXPECT_EQ(rig.port.written.size(), 1u);
    auto* dialog = window.findChild<GoToDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible() && dialog->vehicle() == 1u);
    dialog->close();
}

// ---- the map's plane ----

const double degree = MapProjection::earth_radius_m * 3.14159265358979 / 180.0;

TEST(MapProjection, PlacesPointsOnTheLocalPlane) {
    // the view's centre and scale, a point, where it shows
    const std::tuple<const char*, GeoPoint, double, GeoPoint, QPointF> rows[] = {
        {"the centre is the middle", {45.0, 9.0}, 10.0, {45.0, 9.0}, {100, 50}},
        {"a degree north is 111.2 km up", {0.0, 0.0}, 1000.0, {1.0, 0.0}, {100, 50 - 111.19493}},
        {"a degree east shrinks with the latitude", {60.0, 10.0}, 1000.0, {60.0, 11.0}, {100 + 55.59746, 50}},
        {"across 180 the short way", {0.0, -179.5}, 1000.0, {0.0, 179.5}, {100 - 111.19493, 50}},
    };
    for (const auto& [name, centre, metres_per_pixel, point, screen] : rows) {
        const MapProjection map = view(centre, metres_per_pixel);
        const QPointF at = map.to_screen(point);
        EXPECT_NEAR(at.x(), screen.x(), 1e-4) << name;
        EXPECT_NEAR(at.y(), screen.y(), 1e-4) << name;
        const GeoPoint back = map.to_geo(at);
        EXPECT_NEAR(back.lat, point.lat, 1e-9) << name;
        EXPECT_NEAR(std::remainder(back.lon - point.lon, 360.0), 0.0, 1e-9) << name;
    }
}

// In a viewport of 200 x 100 the fleet fills 80 %, and is 500 m wide at least.
TEST(MapProjection, FitCentresTheFleetAndScalesItToTheViewport) {
    // the fleet, the centre and scale that fit it
    const std::tuple<const char*, std::vector<GeoPoint>, GeoPoint, double> rows[] = {
        {"no vehicle: as it was", {}, {10.0, 20.0}, 30.0},
        {"one vehicle: 500 m across", {{45.5, 9.2}}, {45.5, 9.2}, 5.0},
        {"a degree of latitude fills the height", {{44.0, 9.0}, {45.0, 9.0}}, {44.5, 9.0}, degree / 80.0},
        {"two degrees of longitude on the equator fill the width", {{0.0, 8.0}, {0.0, 10.0}}, {0.0, 9.0},
         2 * degree / 160.0},
        {"across 180 the fleet stays together", {{0.0, 179.0}, {0.0, -179.0}, {0.0, 179.5}}, {0.0, 180.0},
         2 * degree / 160.0},
    };
    for (const auto& [name, points, centre, metres_per_pixel] : rows) {
        MapProjection map = view({10.0, 20.0}, 30.0);
        map.fit(points);
        EXPECT_NEAR(map.centre().lat, centre.lat, 1e-9) << name;
        EXPECT_NEAR(std::remainder(map.centre().lon - centre.lon, 360.0), 0.0, 1e-9) << name;
        EXPECT_NEAR(map.metres_per_pixel(), metres_per_pixel, 1e-6) << name;
    }
}

// The wheel keeps the place under the cursor where it is; the scale stays
// within a street and the globe; a drag moves what is shown with the mouse.
TEST(MapProjection, ZoomAroundTheCursorAndPanWithTheMouse) {
    // the wheel's factor, where the cursor is, the scale after
    const std::tuple<const char*, double, QPointF, double> rows[] = {
        {"in at a corner", 1.25, {10, 90}, 80.0},
        {"out at the middle", 0.8, {100, 50}, 125.0},
        {"far in stops at a street", 1e6, {150, 20}, MapProjection::min_metres_per_pixel},
        {"far out stops at the globe", 1e-6, {150, 20}, MapProjection::max_metres_per_pixel},
    };
    for (const auto& [name, factor, anchor, metres_per_pixel] : rows) {
        MapProjection map = view({45.0, 9.0}, 100.0);
        const GeoPoint under = map.to_geo(anchor);
        map.zoom(factor, anchor);
        EXPECT_NEAR(map.metres_per_pixel(), metres_per_pixel, 1e-9) << name;
        const QPointF still = map.to_screen(under);
        EXPECT_NEAR(still.x(), anchor.x(), 1e-6) << name;
        EXPECT_NEAR(still.y(), anchor.y(), 1e-6) << name;
    }
    MapProjection map = view({45.0, 9.0}, 100.0);
    const GeoPoint place = map.to_geo({30, 40});
    map.pan({25, -10});
    // within a twentieth of a pixel: east shrinks a little as the centre moves north
    const QPointF moved = map.to_screen(place);
    EXPECT_NEAR(moved.x(), 55.0, 0.05);
    EXPECT_NEAR(moved.y(), 30.0, 0.05);
}

TEST(MapProjection, GraticuleStepsLabelsAndScaleBar) {
    // metres per pixel, seconds of arc for lines at least 90 px apart
    for (const auto& [metres_per_pixel, step] :
         {std::pair(0.05, 1.0), {20.0, 60.0}, {1000.0, 3600.0}, {100000.0, 108000.0}})
        EXPECT_EQ(graticule_step(metres_per_pixel, degree, 90.0), step) << metres_per_pixel;
    // degrees, whether a latitude, the step, the label
    const std::tuple<double, bool, double, const char*> labels[] = {
        {45.5, true, 1800, "45°30'N"}, {-9.2125, false, 15, "9°12'45\"W"}, {0.0, true, 3600, "0°00'"},
        {180.0, false, 3600, "180°00'"}, {-33.75, true, 60, "33°45'S"}};
    for (const auto& [degrees, latitude, step, label] : labels)
        EXPECT_EQ(graticule_label(degrees, latitude, step), q(label)) << label;
    for (const auto& [metres_per_pixel, metres, text] : {std::tuple(4.5, 500.0, "500 m"), {20.0, 2000.0, "2 km"}}) {
        const ScaleBar bar = scale_bar(metres_per_pixel, 120.0);
        EXPECT_EQ(bar.text, q(text));
        EXPECT_NEAR(bar.pixels, metres / metres_per_pixel, 1e-9) << text;
    }
}

// ---- keys every window shares ----

// Escape in the window the operator is in.
void escape_in(QWidget* window) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Escape);
}

TEST_F(Finestra, EscapeClosesTheHelpTheAboutBoxAndTheMap) {
    WindowShell shell;
    shell.show_help(VADREL_HELP_FILE);
    escape_in(shell.help_viewer());
    EXPECT_FALSE(shell.help_viewer()->isVisible());

    bool about_closed = false;
    when_modal([&about_closed](QWidget* about) {
        QTest::keyClick(about->focusWidget(), Qt::Key_Escape);
        about_closed = !about->isVisible();
        about->close();
    });
    shell.show_about();
    EXPECT_TRUE(about_closed);

    window.open_map();
    ASSERT_NE(window.map_window(), nullptr);
    escape_in(window.map_window());
    EXPECT_FALSE(window.map_window()->isVisible());
}

// Alt and the underlined letter, as the operator finds them on the menu bar.
TEST_F(Finestra, AltOpensTheMenuBarsEntries) {
    QTest::keyClick(&window, Qt::Key_I, Qt::AltModifier);
    EXPECT_EQ(rig.shell.about_shown, 1);
    QTest::keyClick(&window, Qt::Key_V, Qt::AltModifier);
    auto* veicolo = window.findChild<QMenu*>(q("menu_veicolo"));
    ASSERT_NE(veicolo, nullptr);
    EXPECT_TRUE(veicolo->isVisible());
    QTest::keyClick(veicolo, Qt::Key_M);
    ASSERT_NE(window.map_window(), nullptr);
    EXPECT_TRUE(window.map_window()->isVisible());
}

// ---- Cielo ----

TEST(SkyPlot, ZenithAtTheCentreHorizonOnTheCircleNorthUp) {
    const QPointF c(100, 100);
    const std::tuple<const char*, double, double, QPointF> rows[] = {
        {"zenith", 90, 123, {100, 100}}, {"north horizon", 0, 0, {100, 20}}, {"east horizon", 0, 90, {180, 100}},
        {"south at 45", 45, 180, {100, 140}}, {"west at 30", 30, 270, {100 - 80 * 60.0 / 90.0, 100}},
    };
    for (const auto& [what, el, az, at] : rows) {
        const QPointF got = sky_point(el, az, c, 80);
        EXPECT_NEAR(got.x(), at.x(), 1e-9) << what;
        EXPECT_NEAR(got.y(), at.y(), 1e-9) << what;
    }
}

// After a fix under the sky, "Veicolo > Cielo" draws each used satellite
// filled in green where its elevation and azimuth put it.
TEST_F(Finestra, TheSkyViewDrawsTheSatellitesUsed) {
    OpzioniRicevitore o;
    o.frasi_complete = o.cielo.satelliti = true;
    rig.transmitter.set_receiver(o);
    rig.port.force_open();
    rig.tick();
    ASSERT_TRUE(rig.transmitter.last_sky());
    window.open_sky();
    SkyView* view = window.sky_view();
    ASSERT_NE(view, nullptr);
    const QImage image = view->grab().toImage();
    const double radius = std::max(10.0, std::min(view->width(), view->height() - 40) / 2.0 - 20.0);
    int used = 0;
    for (const SatelliteInView& sat : rig.transmitter.last_sky()->satellites) {
        if (!sat.used) continue;
        ++used;
        const QPointF at = sky_point(sat.elevation, sat.azimuth, QPointF(view->width() / 2.0, radius + 20.0), radius);
        EXPECT_EQ(image.pixelColor(at.toPoint()), QColor(0, 140, 60)) << sat.prn;
    }
    EXPECT_GE(used, 4);
}

}  // namespace
}  // namespace vadrel::gui
