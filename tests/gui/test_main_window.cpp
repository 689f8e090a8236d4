// The windows on a real desktop, driven as an operator would: widgets found
// by name, keys and clicks sent with QTest, the panel model checked behind
// them. What the keys mean is the panel's business; here only what the
// window adds: the main window, the window shell's message box, the about
// box, the help and the menu bar it names. Then the windows of the menu
// Veicolo: "Vai a posizione..." as the text is typed; "Flotta": cells typed
// in place go through the fleet's change path, a refusal is said and the
// cell shows again what the vehicle has, the rows follow the fleet in
// multi-user mode; "Percorso...", "Togli percorso" and "Raggiungi": a file
// opened, a route of it chosen and applied, a file refused with nothing
// changed; the map's plane as tables; the sky; Alt opens the menu bar's
// entries. (The real program under Xvfb types into "Vai a posizione" and
// "Flotta" and reads the sentences back.)

#include <cmath>
#include <stdexcept>
#include <tuple>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTextDocument>

#include "app/program.h"
#include "app/window_menus.h"
#include "finestra.h"
#include "gui/fleet_window.h"
#include "gui/goto_dialog.h"
#include "gui/help_viewer.h"
#include "gui/keys.h"
#include "gui/map_window.h"
#include "gui/monitor.h"
#include "gui/route_dialog.h"
#include "gui/sky_view.h"
#include "gui/window_shell.h"
#include "panel/about.h"
#include "support/scratch_folder.h"

namespace vadrel::gui {
namespace {

TEST(CodiceTasto, GivesThePanelsCodes) {
    struct Row { const char* name; int qt_key; int code; bool keypad = false; };
    // Punctuation must not fall on other keys: "." is not delete, "-" not insert.
    const Row rows[] = {{"shift tab", Qt::Key_Backtab, 9}, {"F1", Qt::Key_F1, 112}, {"e grave", Qt::Key_Egrave, 0},
                        {"period", Qt::Key_Period, 190}, {"minus", Qt::Key_Minus, 189},
                        {"keypad 7", Qt::Key_7, 103, true}, {"keypad enter", Qt::Key_Enter, 13, true},
                        {"keypad point", Qt::Key_Period, 110, true}, {"keypad left", Qt::Key_Left, 37, true}};
    for (const Row& r : rows) EXPECT_EQ(codice_tasto(r.qt_key, r.keypad), r.code) << r.name;
}

TEST_F(Finestra, ClientAreaAndTheButtonOverItsFrame) {
    EXPECT_EQ(window.centralWidget()->size(), QSize(594, 407));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    // Inside upper_pane the places count from inside its 2-pixel border.
    EXPECT_EQ(in(window, "Frame1")->geometry(), QRect(8, 2, 182, 112));
    // Start/Stop lies over its frame, where a click lands on it.
    EXPECT_EQ(window.childAt(in(window, "Command9")->mapTo(&window, QPoint(5, 5))), in(window, "Command9"));
}

// Each typed character is the model's to insert or refuse; a refused one
// never shows in the widget.
TEST_F(Finestra, TypedTextIsWhatTheModelKeeps) {
    struct Row { const char* box; const char* before; const char* typed; const char* after; };
    const Row rows[] = {{"txt_angolo", "", "365", "36"}, {"txt_lat_ns", "S", "n", "N"},
                        {"txt_lon_ew", "W", "N", "W"}, {"txt_lat_g", "44", "12\b", "44"}};
    for (const Row& row : rows) {
        box(row.box).set_text(row.before);
        window.render();
        QTest::keyClicks(in(window, row.box), q(row.typed));
        EXPECT_EQ(box(row.box).text(), row.after) << row.box << " typed " << row.typed;
        EXPECT_EQ(in<QLineEdit>(window, row.box)->text().toStdString(), row.after) << row.box;
    }
}

TEST_F(Finestra, KeysReachTheBoxInTheToolkitsOrder) {
    TextBox& mezzi = rig.form.vehicle_count_box;
    std::vector<std::string> log;
    auto note = [&log](const char* what, int key) { log.push_back(what + std::to_string(key)); };
    mezzi.on_key_down = [note](int key, bool) { note("down ", key); };
    mezzi.on_key_press = [note](char32_t c) { return note("press ", static_cast<int>(c)), true; };
    mezzi.on_change = [&log, &mezzi] { log.push_back("change " + mezzi.text()); };
    mezzi.on_key_up = [note](int key, bool) { note("up ", key); };
    QWidget* edit = in(window, "txt_num_mezzi");
    // A held "7": the key repeats down and press, and goes up once.
    for (const auto& [type, repeat] : {std::pair(QEvent::KeyPress, false),
                                       {QEvent::KeyRelease, true}, {QEvent::KeyPress, true},
                                       {QEvent::KeyRelease, false}}) {
        QKeyEvent event(type, Qt::Key_7, Qt::NoModifier, q("7"), repeat);
        QApplication::sendEvent(edit, &event);
    }
    QTest::keyClick(edit, Qt::Key_7, Qt::KeypadModifier);
    QTest::keyClick(edit, Qt::Key_Tab);  // moves the focus before the box sees it go down
    EXPECT_EQ(log, (std::vector<std::string>{"down 55", "press 55", "change 07", "down 55", "press 55",
                                             "change 077", "up 55", "down 103", "press 55", "change 0777",
                                             "up 103", "up 9"}));
}

// The model types at the caret and over the selection the operator set in the
// widget; what the widget edits on its own (delete) reaches the model too.
TEST_F(Finestra, EditingAtTheCaretGoesThroughTheModel) {
    QWidget* edit = in(window, "txt_num_mezzi");  // "0"
    for (const Qt::Key key : {Qt::Key_Home, Qt::Key_5, Qt::Key_Right}) QTest::keyClick(edit, key);
    QTest::keyClick(edit, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_3);
    EXPECT_EQ(rig.form.vehicle_count_box.text(), "53");
    for (const Qt::Key key : {Qt::Key_Home, Qt::Key_Delete}) QTest::keyClick(edit, key);
    EXPECT_EQ(rig.form.vehicle_count_box.text(), "3");
}

TEST_F(Finestra, ButtonsGoThroughTheModel) {
    QTest::mouseClick(in(window, "Command9"), Qt::LeftButton);
    auto* label = in<QLabel>(window, "Label11");
    EXPECT_EQ(label->text(), q("Stop"));
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    QTest::keyClick(in(window, "Command9"), Qt::Key_Return);  // Enter clicks a button
    EXPECT_TRUE(rig.fleet.transmitting());
    // Clicking the selected mode button again leaves it selected.
    for (int click = 1; click <= 2; ++click) QTest::mouseClick(in(window, "opt_tx_radio"), Qt::LeftButton);
    EXPECT_TRUE(in<QRadioButton>(window, "opt_tx_radio")->isChecked());
    EXPECT_FALSE(in<QRadioButton>(window, "Opt_gps_standard")->isChecked());
}

// A port that cannot be opened: the reason where the port's state is shown.
TEST_F(Finestra, TheReasonOfNoTxIsTheTooltipOfTheTransmissionState) {
    rig.port.failing_ports = {3};
    QTest::mouseClick(in(window, "opt_com3"), Qt::LeftButton);
    EXPECT_EQ(in(window, "Frame5")->toolTip(), q("porta inesistente"));
    QTest::mouseClick(in(window, "opt_com4"), Qt::LeftButton);
    EXPECT_EQ(in(window, "Label11")->toolTip(), QString());
}

TEST_F(Finestra, RenderShowsTheModel) {
    rig.form.status_label.set_visible(false);
    rig.form.monitor.print(std::string("$GPRMC,A\0x", 10));
    window.render();
    EXPECT_TRUE(in(window, "Label11")->isHidden());
    EXPECT_EQ(in<Monitor>(window, "Picture1")->lines(), QStringList(q("$GPRMC,A\xE2\x90\x80x")));
}

// As many lines as the panel prints before it clears the box: the newest
// shows whole, its descenders above the box's foot.
TEST_F(Finestra, TheMonitorsNewestLineShowsWhole) {
    auto* monitor = in<Monitor>(window, "Picture1");
    QStringList lines;
    while (static_cast<int>(lines.size()) * (PictureBox::line_height / 15) <= monitor->contentsRect().height())
        lines << QString();
    lines.back() = q("gjpqy|gjpqy|gjpqy");
    monitor->set_lines(lines);
    const QImage image = monitor->grab().toImage();
    const QRect area = monitor->contentsRect();
    const QRgb paper = image.pixel(area.left() + 1, area.top() + 1);
    int lowest_ink = -1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != paper) lowest_ink = y;
    EXPECT_GT(lowest_ink, area.top()) << "the newest line is not drawn";
    EXPECT_LT(lowest_ink, area.bottom() - 1) << "the newest line is cut at the foot";
}

TEST_F(Finestra, F1OpensTheHelpFileFromAnyWidgetOncePerPress) {
    rig.form.help_file = "/opt/vadrel/vadrel.hlp";
    for (auto name : {"txt_vel", "Command9", "txt_lat_ns"}) QTest::keyClick(in(window, name), Qt::Key_F1);
    QKeyEvent held(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(in(window, "txt_vel"), &held);
    EXPECT_EQ(rig.shell.help_files, std::vector<std::string>(3, "/opt/vadrel/vadrel.hlp"));
}

// A failure the model leaves unhandled is shown, not fatal.
TEST_F(Finestra, MenuFailureIsShownAndClosingShutsDownOnce) {
    rig.form.about_menu.on_click = [] { throw std::runtime_error("valore fuori intervallo"); };
    window.menuBar()->actions().value(0)->trigger();
    EXPECT_EQ(rig.shell.messages, std::vector<std::string>{
                                      "vadrel: Operazione non riuscita: valore fuori intervallo"});
    int closes = 0;
    window.set_on_close([&closes] { ++closes; });
    EXPECT_TRUE(window.close());
    EXPECT_EQ(closes, 1);
}

// The editing menu Qt builds for the boxes speaks Italian.
TEST_F(Finestra, EditingMenusAreItalian) {
    const std::unique_ptr<QMenu> menu(in<QLineEdit>(window, "txt_vel")->createStandardContextMenu());
    QStringList shown;
    for (QAction* a : menu->actions()) shown << a->text().section(QLatin1Char('\t'), 0, 0);
    shown.removeAll(QString());  // separators
    EXPECT_EQ(shown, QStringList({q("&Annulla"), q("&Ripeti"), q("&Taglia"), q("&Copia"),
                                  q("I&ncolla"), q("Elimina"), q("Seleziona tutto")}));
}

// The window shell: message box, end, about box, help viewer.

const QString no_help = q("Impossibile aprire il file della guida: ");

TEST(WindowShell, MessageBoxHasTextCaptionOkOnlyAndNoIcon) {
    WindowShell shell;
    QStringList seen;
    when_modal([&seen](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << box->text() << box->windowTitle() << QString::number(box->buttons().size());
            seen << box->buttons().front()->text().remove('&') << QString::number(box->icon());
        }
        modal->close();
    });
    shell.message_box("Errore nell'apertura della seriale", "Attenzione");
    EXPECT_EQ(seen, QStringList({q("Errore nell'apertura della seriale"), q("Attenzione"), q("1"), q("OK"),
                                 QString::number(QMessageBox::NoIcon)}));
}

TEST(WindowShell, EndSaysWhyAndEndsAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    WindowShell shell;
    EXPECT_EXIT(shell.end_program_now("porta COM 2 persa"), ::testing::ExitedWithCode(1),
                "vadrel: porta COM 2 persa");
}

// The box is built anew at each opening, centred on the main window, its
// text read-only with the caret at the top and the focus on "Chiudi", closed
// by it or by Escape; F1 inside it opens the help over it.
TEST(FinestraAbout, ChiudiFocusedAnewEachTimeF1Inside) {
    const QString text = QString::fromStdString(about_box_text()).replace(q("\r\n"), q("\n"));
    WindowShell shell;
    testing::Rig rig;
    PanelForm form{rig.fleet, rig.transmitter, Platform{rig.port, rig.clock, shell, RegionalFormat::italian()}};
    form.help_file = "/nessuna/cartella/vadrel.hlp";
    MainWindow window(form);  // F1 works in every window of the program
    window.show();
    shell.set_main_window(&window);
    for (int opening = 1; opening <= 2; ++opening) {
        QStringList seen;
        when_modal([&seen, &window, opening](QWidget* about) {
            EXPECT_LE((about->frameGeometry().center() - window.frameGeometry().center()).manhattanLength(), 4);
            EXPECT_EQ(about->size(), QSize(361, 214));
            auto* txt = about->findChild<QPlainTextEdit*>(q("Text1"));
            QTest::keyClicks(txt, q("xyz"));
            seen << txt->toPlainText() << about->focusWidget()->objectName()
                 << QString::number(txt->textCursor().position());
            QTest::keyClick(txt, Qt::Key_End, Qt::ControlModifier);  // a new box starts at the top
            if (opening == 1) QTest::mouseClick(about->findChild<QPushButton*>(q("Command1")), Qt::LeftButton);
            if (opening == 2) QTest::keyClick(txt, Qt::Key_Escape);
            seen << QString::number(about->isVisible());
            about->close();
        });
        shell.show_about();
        EXPECT_EQ(seen, QStringList({text, q("Command1"), q("0"), q("0")})) << opening << ": Chiudi, then Escape";
    }
    QString help;
    when_modal([&](QWidget* about) {
        QTest::keyClick(about->focusWidget(), Qt::Key_F1);
        if (HelpViewer* viewer = shell.help_viewer(); viewer != nullptr && viewer->isModal()) {
            help = viewer->shown_text();
            viewer->close();
        }
        about->close();
    });
    shell.show_about();
    EXPECT_EQ(help, no_help + q("/nessuna/cartella/vadrel.hlp"));
}

TEST(LeggiGuida, RefusesAFileTooBigToShow) {
    const QString good = q(VADREL_HELP_FILE);
    QString html, error;
    EXPECT_FALSE(leggi_guida(good, html, error, 10));
    EXPECT_EQ(error, no_help + good + q(" (file troppo grande)"));
}

// From the main window the help opens beside it, not modal; F1 again reuses
// the one viewer, which reports a file it cannot show (here a folder);
// Escape closes it.
TEST(WindowShell, HelpShowsTheProgramsFileInOneViewer) {
    WindowShell shell;
    shell.show_help(VADREL_HELP_FILE);
    HelpViewer* viewer = shell.help_viewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible() && !viewer->isModal());
    EXPECT_TRUE(viewer->shown_text().contains(q("vadrel.cnf")));
    const QString folder = q(VADREL_HELP_FILE).section(QLatin1Char('/'), 0, -2);
    shell.show_help(folder.toStdString());
    EXPECT_EQ(shell.help_viewer(), viewer);
    EXPECT_EQ(viewer->shown_text(), no_help + folder);
    viewer->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(viewer));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : viewer, Qt::Key_Escape);
    EXPECT_FALSE(viewer->isVisible());
}

// The help names every entry of the window's menu bar, as the program builds
// it: a new entry without its line in vadrel.hlp fails here.
QStringList entries(const QList<QAction*>& actions) {
    QStringList texts;
    for (const QAction* action : actions) {
        if (action->isSeparator()) continue;
        texts << action->text().remove(QLatin1Char('&'));
        if (action->menu() != nullptr) texts << entries(action->menu()->actions());
    }
    return texts;
}

TEST(Help, NamesEveryEntryOfTheMenuBar) {
    testing::ScratchFolder folder;
    const auto options = parse_options({"--cartella", folder.path()});
    testing::FakeShell shell;
    Program program(std::get<Options>(options), shell);
    MainWindow window(program.form());
    const bool ending = false;
    const WindowMenus menus(program, window, shell, ending);

    QString html, error;
    ASSERT_TRUE(leggi_guida(q(VADREL_HELP_FILE), html, error)) << error.toStdString();
    QTextDocument help;
    help.setHtml(html);
    const QString text = help.toPlainText().simplified();

    const QStringList names = entries(window.menuBar()->actions());
    EXPECT_GE(names.size(), 25) << names.join(QStringLiteral(" | ")).toStdString();
    for (const QString& name : names) EXPECT_TRUE(text.contains(name)) << name.toStdString();
}

// ---- the windows of the menu Veicolo ----

// ---- Vai a posizione ----

// What the dialog says as the text is typed, and whether OK is there.
TEST(VaiAPosizione, SaysAtOnceWhatItUnderstoodOrWhy) {
    testing::Rig rig;
    rig.fleet.place(0, 44 * 3600.0 + 120.0, 10 * 3600.0 + 480.0, nullptr);
    GoToDialog dialog(rig.form);
    auto* text = in<QLineEdit>(dialog, "posizione");
    auto* understood = in<QLabel>(dialog, "capito");
    auto* ok = in<QPushButton>(dialog, "ok");
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

// ---- Flotta ----

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
        {C::col_course, "400", "180", "La rotta va da 0 a 360 gradi, non 400",
         "the fleet's refusal, the cell as it was"},
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
    EXPECT_EQ(rig.fleet.vehicle(3).speed, 12.5) << "the cell shows it whole; the vehicle has it all";
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

// ---- Percorso... ----

class Percorso : public Finestra {
protected:
    void SetUp() override {
        Finestra::SetUp();
        window.set_routes(&routes);
        ASSERT_FALSE(rig.fleet.set_unit(0, SpeedUnit::kmh, nullptr));
        ASSERT_FALSE(rig.fleet.set_speed(0, 36.0, nullptr));
    }
    // "Percorso..." opened, the file put there with `bytes` opened in it.
    RouteDialog* open_on(const std::string& name, const std::string& bytes) {
        folder.put(name, bytes);
        in<QAction>(window, "menu_percorso")->trigger();
        auto* dialog = window.findChild<RouteDialog*>();
        EXPECT_NE(dialog, nullptr);
        if (dialog == nullptr) return nullptr;
        in<QLineEdit>(*dialog, "percorso_file")->setText(QString::fromStdString(folder.at(name)));
        QTest::mouseClick(in<QPushButton>(*dialog, "percorso_apri"), Qt::LeftButton);
        return dialog;
    }

    VehicleRoutes routes{rig.fleet};
    testing::ScratchFolder folder;
};

const char* const two_routes =
    "<?xml version=\"1.0\"?><gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">"
    "<rte><name>Andata</name><rtept lat=\"45\" lon=\"9\"/><rtept lat=\"45\" lon=\"9.01\"/></rte>"
    "<trk><name>Ritorno</name><trkseg><trkpt lat=\"45.01\" lon=\"9\"><time>2024-05-01T10:00:00Z</time></trkpt>"
    "<trkpt lat=\"45.02\" lon=\"9\"><time>2024-05-01T10:01:00Z</time></trkpt>"
    "<trkpt lat=\"45.03\" lon=\"9\"><time>2024-05-01T10:02:00Z</time></trkpt></trkseg></trk></gpx>";

TEST_F(Percorso, ARouteOfTheFileChosenSeenAndApplied) {
    RouteDialog* dialog = open_on("giro.gpx", two_routes);
    ASSERT_NE(dialog, nullptr);
    auto* choice = in<QComboBox>(*dialog, "percorso_scelta");
    auto* rhythm = in<QCheckBox>(*dialog, "percorso_ritmo");
    ASSERT_EQ(choice->count(), 2);
    EXPECT_EQ(choice->itemText(1), q("2. Ritorno"));
    EXPECT_FALSE(rhythm->isEnabled()) << "Andata has no times";
    choice->setCurrentIndex(1);
    EXPECT_EQ(in<QListWidget>(*dialog, "percorso_punti")->count(), 3);
    const QLabel* summary = in<QLabel>(*dialog, "percorso_riassunto");
    EXPECT_TRUE(summary->text().startsWith(q("3 punti, 2,224 km"))) << summary->text().toStdString();
    EXPECT_TRUE(summary->text().contains(q("(36,0 km/h): 3 min 42 s"))) << summary->text().toStdString();
    ASSERT_TRUE(rhythm->isEnabled());
    rhythm->setChecked(true);
    EXPECT_TRUE(summary->text().contains(q("ritmo della traccia: 2 min 00 s"))) << summary->text().toStdString();
    in<QComboBox>(*dialog, "percorso_fine")->setCurrentIndex(1);
    QTest::mouseClick(in<QPushButton>(*dialog, "percorso_applica"), Qt::LeftButton);
    const FollowedRoute* followed = routes.route(0);
    ASSERT_NE(followed, nullptr);
    EXPECT_EQ(followed->route.name(), "Ritorno");
    EXPECT_EQ(followed->options, (FollowOptions{RouteEnd::loop, true, 0.0, false}));
    EXPECT_NEAR(rig.fleet.vehicle(0).lat, 45.01 * 3600.0, 1e-6) << "placed at its first point";

    // "Togli percorso": straight on from where it is.
    in<QAction>(window, "menu_togli_percorso")->trigger();
    EXPECT_FALSE(routes.has_route(0));
}

TEST_F(Percorso, AFileThatCannotBeUsedIsSaidInTheDialogAndNothingChanges) {
    const QPointer<RouteDialog> dialog = open_on("fuori.csv", "lat,lon\n45,9\n95,9\n");
    ASSERT_TRUE(dialog);
    const QString said = in<QLabel>(*dialog, "percorso_messaggio")->text();
    EXPECT_TRUE(said.contains(q("riga 3"))) << said.toStdString();
    EXPECT_FALSE(in<QPushButton>(*dialog, "percorso_applica")->isEnabled());
    dialog->close();
    EXPECT_TRUE(QTest::qWaitFor([&dialog] { return dialog.isNull(); }));
    EXPECT_FALSE(routes.has_route(0));
    EXPECT_EQ(rig.fleet.vehicle(0).lat, 0.0);
}

// "Raggiungi": a route of one point driven to from where the vehicle is (how
// such a route is driven is the routes' own test).
TEST_F(Percorso, RaggiungiDrivesThereInsteadOfMovingAtOnce) {
    window.open_go_to();
    auto* dialog = window.findChild<GoToDialog*>();
    ASSERT_NE(dialog, nullptr);
    in<QLineEdit>(*dialog, "posizione")->setText(q("0,01 0"));
    QTest::mouseClick(in<QPushButton>(*dialog, "raggiungi"), Qt::LeftButton);
    const FollowedRoute* followed = routes.route(0);
    ASSERT_NE(followed, nullptr);
    EXPECT_EQ(followed->route.size(), 1u);
    EXPECT_TRUE(followed->options.from_here);
    EXPECT_EQ(rig.fleet.vehicle(0).lat, 0.0) << "not moved at once";
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

// Alt and the underlined letter, as the operator finds them on the menu bar.
// (The real program under Xvfb opens "Veicolo", "Uscite" and "Opzioni" so.)
TEST_F(Finestra, AltOpensTheMenuBarsEntries) {
    QTest::keyClick(&window, Qt::Key_I, Qt::AltModifier);
    EXPECT_EQ(rig.shell.about_shown, 1);
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
