// "Flotta": cells typed in place go through the fleet's change path; a
// refusal is said and the cell shows again what the vehicle has; the rows
// follow the fleet while it runs in multi-user mode.

#include <gtest/gtest.h>

#include <tuple>

#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

#include "gui/fleet_window.h"
#include "finestra.h"

namespace vadrel::gui {
namespace {

QString cell(const FleetWindow& w, int row, int column) { return w.table()->item(row, column)->text(); }

// Types into the cell as an edit commits it.
void type(FleetWindow& w, int row, int column, const char* text) { w.table()->item(row, column)->setText(q(text)); }

TEST(Flotta, EditsGoThroughTheChangePathAndRefusalsKeepTheCell) {
    testing::Rig rig;
    rig.fleet.place(3, 45 * 3600.0, 9 * 3600.0, nullptr);
    rig.fleet.set_course(3, 90.0, nullptr);
    rig.fleet.set_speed(3, 20.0, nullptr);
    FleetWindow w(rig.form);
    using C = FleetWindow::Column;
    // the column, the text typed, the cell afterwards, what is said under the table ("" when taken)
    const std::tuple<int, const char*, const char*, const char*, const char*> rows[] = {
        {C::col_course, "180", "180", "", "a course taken"},
        {C::col_course, "400", "180", "La rotta va da 0 a 360 gradi, non 400", "the fleet's refusal, the cell as it was"},
        {C::col_course, "est", "180", "La rotta è un numero di gradi da 0 a 360, non «est»", "not a number"},
        {C::col_speed, "12,5", "12", "", "the decimal comma; shown whole as the panel shows it"},
        {C::col_unit, "nodi", "miglia/h", "", "knots by another name"},
        {C::col_latitude, "-12,5", "12°30'00,00\"S", "", "a lone number: degrees of the column's coordinate"},
        {C::col_longitude, "45 30 0 N", "9°00'00,00\"E", "", "a letter says which coordinate: the latitude"},
        {C::col_latitude, "ciao", "45°30'00,00\"N", "Non capisco «ciao»: le lettere sono N, S, E, W (o O)",
         "unreadable: read_position's reason"},
    };
    for (const auto& [column, typed, shown, reason, why] : rows) {
        type(w, 3, column, typed);
        EXPECT_EQ(cell(w, 3, column), q(shown)) << why;
        EXPECT_EQ(w.note(), q(reason)) << why;
    }
    const Vehicle& v = rig.fleet.vehicle(3);
    EXPECT_EQ(v.course, 180.0);
    EXPECT_EQ(v.speed, 12.5);
    EXPECT_EQ(v.unit, SpeedUnit::knots);
    EXPECT_EQ(v.lat, 45.5 * 3600.0);
    EXPECT_EQ(v.lon, 9 * 3600.0);
}

// While it runs in multi-user mode the rows say which is current and when
// each was last sent. (The real program under Xvfb reads an edit of a
// vehicle of the cycle back in its next "@n" sentence.)
TEST(Flotta, LiveInMultiUserMode) {
    testing::Rig rig;
    rig.port.force_open();
    rig.fleet.set_mode(Mode::multi_user, nullptr);
    rig.fleet.set_cycle(3, nullptr);
    FleetWindow w(rig.form);
    w.show();
    using C = FleetWindow::Column;
    for (int i = 0; i < 3; ++i) rig.tick();  // @0, @1, @2 sent
    w.refresh();
    for (int row = 0; row < 3; ++row) EXPECT_FALSE(cell(w, row, C::col_last_sentence).isEmpty()) << row;
    EXPECT_TRUE(cell(w, 3, C::col_last_sentence).isEmpty());
    EXPECT_EQ(cell(w, 0, C::col_in_use), q("attuale"));
    EXPECT_EQ(cell(w, 2, C::col_in_use), q("nel ciclo"));
    EXPECT_EQ(cell(w, 5, C::col_in_use), q(""));
}

// Escape in a cell being edited gives up the edit and leaves the window
// open, Escape elsewhere closes it. (The real program under Xvfb opens it
// with Alt+V, F and edits a cell with F2.)
TEST_F(Finestra, EscapeGivesUpAnEditBeforeClosing) {
    rig.fleet.place(0, 45 * 3600.0, 9 * 3600.0, nullptr);
    window.open_fleet();
    FleetWindow* w = window.fleet_window();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    w->activateWindow();
    QTableWidget* table = w->table();
    table->setFocus();
    QTest::keyClick(table, Qt::Key_F2);
    auto* editor = table->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, q("10 0 0 S"));
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(rig.fleet.vehicle(0).lat, 45 * 3600.0) << "the edit given up";
    QTest::keyClick(table, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
}

}  // namespace
}  // namespace vadrel::gui
