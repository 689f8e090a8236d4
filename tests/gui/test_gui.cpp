// The window's tests, on the offscreen platform unless the environment asks
// for another, so they run with no display (the build lists them by running
// the binary).

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <tuple>
#include <atomic>
#include <future>
#include <thread>

#include <QAction>
#include <QToolButton>
#include <QAbstractButton>
#include <QRegularExpression>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLayout>
#include <QStatusBar>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPolygonF>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSpinBox>
#include <QString>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QUdpSocket>
#include <QWheelEvent>

#include "app/program.h"
#include "app/program_panel.h"
#include "app/window_menus.h"
#include "config/tile_settings.h"
#include "gui/clock_status.h"
#include "gui/scenario_menu.h"
#include "gui/server_fleet_dialog.h"
#include "gui/device_dots.h"
#include "gui/ais_dialog.h"
#include "gui/instrument_dialog.h"
#include "gui/ais_mark.h"
#include "gui/control_dialog.h"
#include "gui/dialog_fit.h"
#include "gui/first_start_dialog.h"
#include "gui/fleet_window.h"
#include "gui/goto_dialog.h"
#include "gui/help_viewer.h"
#include "gui/keys.h"
#include "gui/main_window.h"
#include "gui/map_detail.h"
#include "gui/map_drawing.h"
#include "gui/map_labels.h"
#include "gui/map_projection.h"
#include "gui/map_routes.h"
#include "gui/map_window.h"
#include "gui/monitor.h"
#include "gui/options_menu.h"
#include "gui/outputs_dialog.h"
#include "gui/place_names.h"
#include "gui/placement.h"
#include "gui/port_dialog.h"
#include "gui/recording_menu.h"
#include "gui/route_dialog.h"
#include "gui/sky_dialog.h"
#include "gui/tile_dialog.h"
#include "gui/sky_view.h"
#include "gui/tile_grid.h"
#include "gui/tile_image.h"
#include "tile_check.h"
#include "gui/tile_layer.h"
#include "gui/window_shell.h"
#include "gui/world_map.h"
#include "log/recorder.h"
#include "log/replay.h"
#include "panel/about.h"
#include "routes/vehicle_routes.h"
#include "support/event_loop.h"
#include "support/fakes.h"
#include "support/scratch_folder.h"

namespace vadrel::gui {
namespace {

// What the program's part says of a change, as the dialogs take it: done, or
// failed with the reason ("" for done).
Result<> said(const std::string& why) {
    if (why.empty()) return {};
    return Failure(why);
}

}  // namespace

namespace {

// What the window's tests share: the main window on the panel of a test rig,
// shown and active; modal windows answered from inside their event loop; a
// map's plane; the tables' titles.
QString q(const char* text) { return QString::fromUtf8(text); }

// The child of `parent` called `name`; a failure of the test when none is.
template <typename W = QWidget>
W* in(const QObject& parent, const char* name) {
    W* w = parent.findChild<W*>(q(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
    }
    TextBox& box(const char* name) { return *static_cast<TextBox*>(rig.form.find(name)); }

    testing::Rig rig;
    MainWindow window{rig.form};
};

// Runs `act` on the modal window once it is up, looking every 10 ms from
// inside the event loop the modal window runs; gives up after five seconds.
void when_modal(std::function<void(QWidget*)> act, int tries = 500) {
    QTimer::singleShot(10, qApp, [act = std::move(act), tries]() mutable {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            act(modal);
        } else if (tries > 0) {
            when_modal(std::move(act), tries - 1);
        }
    });
}

// Does `act` and closes the modal window it brings up; returns what that
// window said if it was a message box, "" if none came up (and leaves alone
// a modal window that comes up later, a later test's).
QString said_after(const std::function<void()>& act) {
    const auto said = std::make_shared<QString>();
    const auto over = std::make_shared<bool>(false);
    when_modal([said, over](QWidget* modal) {
        if (*over) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) *said = box->text();
        modal->close();
    });
    act();
    *over = true;
    return *said;
}

// A viewport of `size` on `centre` at the given scale.
MapProjection view(GeoPoint centre, double metres_per_pixel, QSizeF size = {200, 100}) {
    MapProjection map;
    map.set_viewport(size);
    map.set_view(centre, metres_per_pixel);
    return map;
}

// Every title of the dialog's tables shows whole, at the default font.
void expect_whole_titles(const QWidget& dialog) {
    for (const QTreeWidget* table : dialog.findChildren<QTreeWidget*>()) {
        for (int column = 0; column < table->columnCount(); ++column)
            EXPECT_GE(table->header()->sectionSize(column), table->header()->sectionSizeHint(column))
                << table->objectName().toStdString() << " " << table->headerItem()->text(column).toStdString();
    }
}

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
TEST(KeyCode, GivesThePanelsCodes) {
    // Punctuation must not fall on other keys: "." is not delete, "-" not insert.
    // The key, Qt's key, the panel's code, whether on the keypad:
    const std::tuple<const char*, int, int, bool> rows[] = {
        {"shift tab", Qt::Key_Backtab, 9, false}, {"F1", Qt::Key_F1, 112, false}, {"e grave", Qt::Key_Egrave, 0, false},
        {"period", Qt::Key_Period, 190, false}, {"minus", Qt::Key_Minus, 189, false},
        {"keypad 7", Qt::Key_7, 103, true}, {"keypad enter", Qt::Key_Enter, 13, true},
        {"keypad point", Qt::Key_Period, 110, true}, {"keypad left", Qt::Key_Left, 37, true}};
    for (const auto& [name, qt_key, code, keypad] : rows) EXPECT_EQ(key_code(qt_key, keypad), code) << name;
}

TEST_F(WindowTest, ClientAreaAndTheButtonOverItsFrame) {
    EXPECT_EQ(window.centralWidget()->size(), QSize(594, 407));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    // Inside upper_pane the places count from inside its 2-pixel border.
    EXPECT_EQ(in(window, "Frame1")->geometry(), QRect(8, 2, 182, 112));
    // Start/Stop lies over its frame, where a click lands on it.
    EXPECT_EQ(window.childAt(in(window, "Command9")->mapTo(&window, QPoint(5, 5))), in(window, "Command9"));
}

// Each typed character is the model's to insert or refuse; a refused one
// never shows in the widget.
TEST_F(WindowTest, TypedTextIsWhatTheModelKeeps) {
    // the box, its text before, the keys typed, its text after
    const std::tuple<const char*, const char*, const char*, const char*> rows[] = {
        {"txt_angolo", "", "365", "36"}, {"txt_lat_ns", "S", "n", "N"},
        {"txt_lon_ew", "W", "N", "W"}, {"txt_lat_g", "44", "12\b", "44"}};
    for (const auto& [name, before, typed, after] : rows) {
        box(name).set_text(before);
        window.render();
        QTest::keyClicks(in(window, name), q(typed));
        EXPECT_EQ(box(name).text(), after) << name << " typed " << typed;
        EXPECT_EQ(in<QLineEdit>(window, name)->text().toStdString(), after) << name;
    }
}

TEST_F(WindowTest, KeysReachTheBoxInTheToolkitsOrder) {
    TextBox& vehicles = rig.form.vehicle_count_box;
    std::vector<std::string> log;
    auto note = [&log](const char* what, int key) { log.push_back(what + std::to_string(key)); };
    vehicles.on_key_down = [note](int key, bool) { note("down ", key); };
    vehicles.on_key_press = [note](char32_t c) { return note("press ", static_cast<int>(c)), true; };
    vehicles.on_change = [&log, &vehicles] { log.push_back("change " + vehicles.text()); };
    vehicles.on_key_up = [note](int key, bool) { note("up ", key); };
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
TEST_F(WindowTest, EditingAtTheCaretGoesThroughTheModel) {
    QWidget* edit = in(window, "txt_num_mezzi");  // "0"
    for (const Qt::Key key : {Qt::Key_Home, Qt::Key_5, Qt::Key_Right}) QTest::keyClick(edit, key);
    QTest::keyClick(edit, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_3);
    EXPECT_EQ(rig.form.vehicle_count_box.text(), "53");
    for (const Qt::Key key : {Qt::Key_Home, Qt::Key_Delete}) QTest::keyClick(edit, key);
    EXPECT_EQ(rig.form.vehicle_count_box.text(), "3");
}

TEST_F(WindowTest, ButtonsGoThroughTheModel) {
    QTest::mouseClick(in(window, "Command9"), Qt::LeftButton);
    auto* label = in<QLabel>(window, "Label11");
    EXPECT_EQ(label->text(), q("Stop"));
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    QTest::keyClick(in(window, "Command9"), Qt::Key_Return);  // Enter clicks a button
    EXPECT_TRUE(rig.link.transmitting());
    // Clicking the selected mode button again leaves it selected.
    for (int click = 1; click <= 2; ++click) QTest::mouseClick(in(window, "opt_tx_radio"), Qt::LeftButton);
    EXPECT_TRUE(in<QRadioButton>(window, "opt_tx_radio")->isChecked());
    EXPECT_FALSE(in<QRadioButton>(window, "Opt_gps_standard")->isChecked());
}

// A port that cannot be opened: the reason where the port's state is shown.
TEST_F(WindowTest, TheReasonOfNoTxIsTheTooltipOfTheTransmissionState) {
    rig.port.failing_ports = {3};
    QTest::mouseClick(in(window, "opt_com3"), Qt::LeftButton);
    EXPECT_EQ(in(window, "Frame5")->toolTip(), q("porta inesistente"));
    QTest::mouseClick(in(window, "opt_com4"), Qt::LeftButton);
    EXPECT_EQ(in(window, "Label11")->toolTip(), QString());
}

TEST_F(WindowTest, RenderShowsTheModel) {
    rig.form.status_label.set_visible(false);
    rig.form.monitor.print(std::string("$GPRMC,A\0x", 10));
    window.render();
    EXPECT_TRUE(in(window, "Label11")->isHidden());
    EXPECT_EQ(in<Monitor>(window, "Picture1")->lines(), QStringList(q("$GPRMC,A\xE2\x90\x80x")));
}

// As many lines as the panel prints before it clears the box: the newest
// shows whole, its descenders above the box's foot.
TEST_F(WindowTest, TheMonitorsNewestLineShowsWhole) {
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

TEST_F(WindowTest, F1OpensTheHelpFileFromAnyWidgetOncePerPress) {
    rig.form.help_file = "/opt/vadrel/vadrel.hlp";
    for (auto name : {"txt_vel", "Command9", "txt_lat_ns"}) QTest::keyClick(in(window, name), Qt::Key_F1);
    QKeyEvent held(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(in(window, "txt_vel"), &held);
    EXPECT_EQ(rig.shell.help_files, std::vector<std::string>(3, "/opt/vadrel/vadrel.hlp"));
}

// A failure the model leaves unhandled is shown, not fatal.
TEST_F(WindowTest, MenuFailureIsShownAndClosingShutsDownOnce) {
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
TEST_F(WindowTest, EditingMenusAreItalian) {
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

// A message naming what a file or a client gave: its controls written out,
// its lines kept, its markup shown as it is.
TEST(WindowShell, AMessageBoxShowsNoControlAndNoMarkup) {
    WindowShell shell;
    QStringList seen;
    when_modal([&seen](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << box->text() << QString::number(box->textFormat());
        }
        modal->close();
    });
    shell.message_box("Il percorso \"\x1b]0;preso\x07<b>\xC2\x9B\"\nnon si tiene", "vadrel");
    EXPECT_EQ(seen, QStringList({q("Il percorso \"\\x1b]0;preso\\x07<b>\\u009b\"\nnon si tiene"),
                                 QString::number(Qt::PlainText)}));
}

TEST(WindowShell, EndSaysWhyAndEndsAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    WindowShell shell;
    EXPECT_EXIT(shell.end_program_now("porta COM 2 persa"), ::testing::ExitedWithCode(1),
                "vadrel: porta COM 2 persa");
    EXPECT_EXIT(shell.end_program_now("file \x1b[2J"), ::testing::ExitedWithCode(1), "vadrel: file \\\\x1b\\[2J");
}

// The box is built anew at each opening, centred on the main window, its
// text read-only with the caret at the top and the focus on "Chiudi", closed
// by it or by Escape; F1 inside it opens the help over it.
TEST(WindowAbout, CloseFocusedAnewEachTimeF1Inside) {
    const QString text = QString::fromStdString(about_box_text()).replace(q("\r\n"), q("\n"));
    WindowShell shell;
    testing::Rig rig;
    PanelForm form{rig.fleet, rig.link, rig.transmitter, Platform{rig.clock, shell, RegionalFormat::italian()}};
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

TEST(ReadGuide, RefusesAFileTooBigToShow) {
    const QString good = q(VADREL_HELP_FILE);
    QString html, error;
    EXPECT_FALSE(read_guide(good, html, error, 10));
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

// The window as the program builds it: its panel, its menus.
class Help : public ::testing::Test {
protected:
    testing::ScratchFolder folder;
    Options options = std::get<Options>(parse_options({"--cartella", folder.path()}));
    testing::FakeShell shell;
    Program program{options, shell};
    ProgramPanel panel{program, shell, options};
    MainWindow window{panel.form()};
    const bool ending = false;
    const WindowMenus menus{program, panel.form(), window, shell, ending};
};

TEST_F(Help, NamesEveryEntryOfTheMenuBar) {

    QString html, error;
    ASSERT_TRUE(read_guide(q(VADREL_HELP_FILE), html, error)) << error.toStdString();
    QTextDocument help;
    help.setHtml(html);
    const QString text = help.toPlainText().simplified();

    const QStringList names = entries(window.menuBar()->actions());
    EXPECT_GE(names.size(), 25) << names.join(QStringLiteral(" | ")).toStdString();
    for (const QString& name : names) EXPECT_TRUE(text.contains(name)) << name.toStdString();
}

// Every entry the help names with its dots ("Guasti...") or by its path
// ("Opzioni > Cielo e ricevitore...") is in the window: an entry of the menu
// bar as the program builds it, or a button of one of its windows.
TEST_F(Help, NamesNoEntryTheWindowDoesNotHave) {
    window.set_routes(&program.routes());
    window.open_map();
    window.findChild<QAction*>(q("menu_percorso"))->trigger();  // its "Sfoglia..."

    std::set<QString> entries;                   // every entry and button
    std::set<std::pair<QString, QString>> paths;  // (menu, entry)
    const auto walk = [&](auto&& self, const QString& menu, const QList<QAction*>& actions) -> void {
        for (const QAction* action : actions) {
            if (action->isSeparator()) continue;
            const QString text = action->text().remove(QLatin1Char('&'));
            entries.insert(text);
            if (!menu.isEmpty()) paths.insert({menu, text});
            if (action->menu() != nullptr) self(self, text, action->menu()->actions());
        }
    };
    walk(walk, QString(), window.menuBar()->actions());
    for (const QWidget* top : QApplication::topLevelWidgets())
        for (const QAbstractButton* button : top->findChildren<QAbstractButton*>())
            entries.insert(button->text().remove(QLatin1Char('&')));

    QString html, error;
    ASSERT_TRUE(read_guide(q(VADREL_HELP_FILE), html, error)) << error.toStdString();
    const QRegularExpression bold(q("<b>(.*?)</b>"), QRegularExpression::DotMatchesEverythingOption);
    int dotted = 0, pathed = 0;
    for (auto match = bold.globalMatch(html); match.hasNext();) {
        QTextDocument read;
        read.setHtml(match.next().captured(1));
        const QString name = read.toPlainText().simplified();
        if (const qsizetype at = name.indexOf(q(" > ")); at > 0) {
            ++pathed;
            EXPECT_TRUE(paths.count({name.left(at), name.mid(at + 3)}) == 1) << "no such entry: " << name.toStdString();
        } else if (name.endsWith(q("..."))) {
            ++dotted;
            EXPECT_TRUE(entries.count(name) == 1) << "no such entry or button: " << name.toStdString();
        }
    }
    EXPECT_GE(dotted, 15);
    EXPECT_GE(pathed, 2);
}

// ---- the windows of the menu Veicolo ----

// ---- Vai a posizione ----

// What the dialog says as the text is typed, and whether OK is there.
TEST(GotoDialog, SaysAtOnceWhatItUnderstoodOrWhy) {
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
TEST_F(WindowTest, GotoDialogOpenedInsideATickLetsTheTickEnd) {
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

TEST(FleetWindow, EditsGoThroughTheChangePathAndRefusalsKeepTheCell) {
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
TEST(FleetWindow, LiveInMultiUserMode) {
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
    EXPECT_EQ(cell(w, 0, C::col_in_use), q("attuale, ciclo"));
    EXPECT_EQ(cell(w, 2, C::col_in_use), q("ciclo"));
    EXPECT_EQ(cell(w, 5, C::col_in_use), q(""));
}

// With AIS targets on, "In uso" says why each vehicle moves and sends, as
// the fleet says it, and a target's last sentence is its last position
// report; the rows follow a change of the targets or of the mode.
TEST(FleetWindow, SaysWhyEachVehicleIsInUse) {
    testing::Rig rig;
    rig.port.force_open();
    rig.fleet.set_cycle(4, nullptr);
    rig.fleet.set_current(1, nullptr);
    rig.transmitter.set_supplement([](double) { return Transmitter::SupplementSecond{{"!AIVDM,x"}, {0, 3}}; });
    FleetWindow w(rig.form);
    w.show();
    using C = FleetWindow::Column;
    const auto column = [&w](int c) {
        QStringList texts;
        for (int row = 0; row < 5; ++row) texts << cell(w, row, c);
        return texts.join(q("|")).toStdString();
    };
    EXPECT_EQ(column(C::col_in_use), "|attuale|||");
    rig.fleet.set_targets(true, nullptr);
    rig.tick();
    w.refresh();
    EXPECT_EQ(column(C::col_in_use), "bersaglio AIS|attuale|bersaglio AIS|bersaglio AIS|");
    std::string sent;
    for (int row = 0; row < 5; ++row) sent += cell(w, row, C::col_last_sentence).isEmpty() ? '-' : 's';
    EXPECT_EQ(sent, "ss-s-") << "1 the main output's, 0 and 3 reported as targets, 2 not yet";
    rig.fleet.set_mode(Mode::radio, nullptr);
    rig.fleet.set_streams(true, nullptr);
    EXPECT_EQ(column(C::col_in_use),
              "bersaglio AIS, flusso|attuale, flusso|bersaglio AIS, flusso|bersaglio AIS, flusso|");
    rig.fleet.set_mode(Mode::multi_user, nullptr);
    EXPECT_EQ(column(C::col_in_use), "ciclo, flusso|attuale, ciclo, flusso|ciclo, flusso|ciclo, flusso|");
}

// Escape in a cell being edited gives up the edit and leaves the window
// open, Escape elsewhere closes it. (The real program under Xvfb opens it
// with Alt+V, F and edits a cell with F2.)
TEST_F(WindowTest, EscapeGivesUpAnEditBeforeClosing) {
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

class RouteDialogTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
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

TEST_F(RouteDialogTest, ARouteOfTheFileChosenSeenAndApplied) {
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

// Enter in the path box reads the file and shows it; nothing is given until
// Applica. "Dal punto attuale" starts unticked, even after a route that had
// it, and ticked it counts the approach in the length and the time.
TEST_F(RouteDialogTest, EnterReadsTheFileOnlyApplyGivesTheRoute) {
    folder.put("giro.gpx", two_routes);
    rig.fleet.place(0, 44 * 3600.0, 9 * 3600.0, nullptr);  // 111 km south of the first point
    for (const bool had_from_here : {false, true}) {
        if (had_from_here) {
            Route before("prima");
            ASSERT_FALSE(before.add({44.0, 9.0}));
            ASSERT_FALSE(before.add({44.0, 9.1}));
            ASSERT_FALSE(routes.give(0, std::move(before), {RouteEnd::stop, false, 0.0, true}, nullptr));
        }
        in<QAction>(window, "menu_percorso")->trigger();
        auto* dialog = window.findChild<RouteDialog*>();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        auto* from_here = in<QCheckBox>(*dialog, "percorso_da_qui");
        EXPECT_FALSE(from_here->isChecked()) << "after a route from here: " << had_from_here;
        auto* path = in<QLineEdit>(*dialog, "percorso_file");
        path->setFocus();
        QTest::keyClicks(path, QString::fromStdString(folder.at("giro.gpx")));
        QTest::keyClick(path, Qt::Key_Return);
        EXPECT_TRUE(dialog->isVisible()) << "Enter reads the file, the dialog stays";
        EXPECT_EQ(in<QComboBox>(*dialog, "percorso_scelta")->count(), 2);
        EXPECT_EQ(in<QListWidget>(*dialog, "percorso_punti")->count(), 2);
        EXPECT_EQ(routes.has_route(0), had_from_here) << "nothing given by Enter";
        const QLabel* summary = in<QLabel>(*dialog, "percorso_riassunto");
        EXPECT_FALSE(summary->text().contains(q("Dal punto attuale")));
        from_here->setChecked(true);
        // 111,195 km at 36 km/h: 3 h 05 min 19 s, then the route's 786 m (1 min 19 s)
        EXPECT_TRUE(summary->text().contains(q("Dal punto attuale al primo punto: 111,195 km, 3 h 05 min 19 s; "
                                               "in tutto 111,981 km, 3 h 06 min 38 s")))
            << summary->text().toStdString();
        QTest::keyClick(path, Qt::Key_Enter);
        EXPECT_TRUE(dialog->isVisible());
        QTest::mouseClick(in<QPushButton>(*dialog, "percorso_applica"), Qt::LeftButton);
        EXPECT_FALSE(dialog->isVisible());
        ASSERT_TRUE(routes.has_route(0));
        EXPECT_EQ(routes.route(0)->route.name(), "Andata");
        EXPECT_TRUE(routes.route(0)->options.from_here);
        delete dialog;
    }
}

TEST_F(RouteDialogTest, AFileThatCannotBeUsedIsSaidInTheDialogAndNothingChanges) {
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

// A route followed but not kept: the dialog stays open to say so, and says
// it again when opened for that vehicle.
TEST_F(RouteDialogTest, ARouteNotKeptIsSaidInTheDialog) {
    struct FullDisk final : RouteKeeper {
        std::optional<std::string> keep(std::size_t, const Route&, const FollowOptions&, const RouteProgress&) override {
            return "il disco è pieno";
        }
        std::optional<std::string> forget(std::size_t) override { return std::string(); }
    } full;
    routes.set_keeper(&full);
    const QPointer<RouteDialog> dialog = open_on("giro.gpx", two_routes);
    ASSERT_TRUE(dialog);
    QTest::mouseClick(in<QPushButton>(*dialog, "percorso_applica"), Qt::LeftButton);
    EXPECT_TRUE(routes.has_route(0)) << "followed";
    ASSERT_TRUE(dialog) << "still open";
    const QString said = in<QLabel>(*dialog, "percorso_messaggio")->text();
    EXPECT_TRUE(said.contains(q("non è tenuto per il prossimo avvio (il disco è pieno)"))) << said.toStdString();
    EXPECT_FALSE(in<QPushButton>(*dialog, "percorso_applica")->isEnabled());
    dialog->close();
    EXPECT_TRUE(QTest::qWaitFor([&dialog] { return dialog.isNull(); }));
    in<QAction>(window, "menu_percorso")->trigger();
    const QPointer<RouteDialog> again = window.findChild<RouteDialog*>();
    ASSERT_TRUE(again);
    const QString opened = in<QLabel>(*again, "percorso_messaggio")->text();
    EXPECT_TRUE(opened.contains(q("non è tenuto"))) << opened.toStdString();
    again->close();
    EXPECT_TRUE(QTest::qWaitFor([&again] { return again.isNull(); }));
    EXPECT_EQ(window.findChild<QMessageBox*>("percorso_non_tenuto"), nullptr) << "the dialog said it";

    // Given from elsewhere (the control interface): the window says it in a box that does not wait.
    Route one("uno");
    ASSERT_FALSE(one.add({45.0, 9.0}));
    ASSERT_FALSE(routes.give(4, std::move(one), {}, nullptr));
    const QPointer<QMessageBox> box = window.findChild<QMessageBox*>("percorso_non_tenuto");
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible() && !box->isModal());
    EXPECT_TRUE(box->text().contains(q("Il mezzo 4 segue il percorso.\nIl percorso non è tenuto"))) << box->text().toStdString();
    box->close();
    EXPECT_TRUE(QTest::qWaitFor([&box] { return box.isNull(); }));
    routes.set_keeper(nullptr);
}

// "Raggiungi": a route of one point driven to from where the vehicle is (how
// such a route is driven is the routes' own test).
TEST_F(RouteDialogTest, ReachDrivesThereInsteadOfMovingAtOnce) {
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
TEST_F(WindowTest, AltOpensTheMenuBarsEntries) {
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
TEST_F(WindowTest, TheSkyViewDrawsTheSatellitesUsed) {
    ReceiverOptions o;
    o.full_set = o.sky_options.satellites = true;
    rig.transmitter.set_receiver(o);
    rig.port.force_open();
    rig.tick();
    ASSERT_TRUE(rig.transmitter.last_sky());
    window.open_sky();
    SkyView* view = window.sky_view();
    ASSERT_NE(view, nullptr);
    const QImage image = view->grab().toImage();
    const SkyLayout layout = sky_layout(view->size(), view->fontMetrics());
    int used = 0;
    for (const SatelliteInView& sat : rig.transmitter.last_sky()->satellites) {
        if (!sat.used) continue;
        ++used;
        const QPointF at = sky_point(sat.elevation, sat.azimuth, layout.centre, layout.radius);
        EXPECT_EQ(image.pixelColor(at.toPoint()), QColor(0, 140, 60)) << sat.prn;
    }
    EXPECT_GE(used, 4);
}

// At any size from the least up, the plot's labels stand inside the view,
// the cardinal points outside the horizon, none over another or over the text.
TEST(SkyPlot, LabelsFitAnySize) {
    const QFontMetrics font(QApplication::font());
    // columns: width, height
    const std::vector<std::tuple<int, int>> sizes{{360, 400}, {160, 200}, {900, 300}, {300, 900}, {1600, 1000}};
    for (const auto& [w, h] : sizes) {
        const SkyLayout layout = sky_layout(QSizeF(w, h), font);
        const QRectF view(0, 0, w, h);
        std::vector<QRectF> labels(layout.sides.begin(), layout.sides.end());
        labels.insert(labels.end(), layout.elevations.begin(), layout.elevations.end());
        for (std::size_t i = 0; i < labels.size(); ++i) {
            EXPECT_TRUE(view.contains(labels[i])) << w << "x" << h << " label " << i;
            EXPECT_FALSE(labels[i].intersects(layout.text)) << w << "x" << h << " label " << i;
            for (std::size_t j = 0; j < i; ++j)
                EXPECT_FALSE(labels[i].intersects(labels[j])) << w << "x" << h << " " << i << "/" << j;
        }
        for (const QRectF& side : layout.sides) {
            const QPointF d = side.center() - layout.centre;
            EXPECT_GT(std::hypot(d.x(), d.y()), layout.radius) << w << "x" << h;
        }
        EXPECT_TRUE(view.contains(layout.text)) << w << "x" << h;
        EXPECT_LE(layout.centre.y() + layout.radius, layout.text.top()) << w << "x" << h;
    }
}

// With no sky the view names the option that is off; Esc closes it.
TEST_F(WindowTest, TheSkyViewSaysWhatIsMissingAndEscCloses) {
    // columns: frasi complete, satelliti dalle orbite, rumore, what is said missing
    const std::vector<std::tuple<bool, bool, double, const char*>> rows{
        {false, false, 0.0, "mancano \"Satelliti dalle orbite\" (Opzioni > Cielo e ricevitore...) e \"Frasi complete\""},
        {true, false, 0.0, "manca \"Satelliti dalle orbite\" (Opzioni > Cielo e ricevitore...)"},
        {false, true, 0.0, "manca \"Frasi complete\" (Opzioni)"},
        {true, true, 0.0, "prossimo secondo"},
        {false, true, 5.0, "prossimo secondo"},
    };
    for (const auto& [complete, orbits, noise, said] : rows) {
        ReceiverOptions o;
        o.full_set = complete;
        o.sky_options.satellites = orbits;
        o.sky_options.noise = noise;
        EXPECT_TRUE(sky_missing(o).contains(q(said))) << sky_missing(o).toStdString();
    }
    window.open_sky();
    SkyView* view = window.sky_view();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(view->isVisible());
}

// The map read by an operator: labels and places' names that never overlap,
// routes split where the vehicle is and drawn from their index, the land and
// the borders; the tracks of the last hour, "Adatta" on where the vehicles
// are now, a vehicle told by pointing at it, routes given and drawn on the
// map. Street tiles: the tile maths against the map's plane and the tiles'
// address as tables of worked values; then from a tile server the test runs
// on 127.0.0.1, the tiles in view load where the map puts them, the second
// view comes from the disk cache, tiles of any side are decoded once at the
// side the map draws and the layer rests once they are in, and a server that
// fails (a tile that decodes to 95 MB, an answer trickled a byte at a time
// among them) is said once and asked no more.
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

// The banner of the street tiles goes where it covers no vehicle and not
// the scale bar: down the left side, then down the right; top left when
// nothing is free (the points are drawn over it then).
TEST(MapBanner, CoversNoVehicle) {
    const QSizeF area(600, 400);
    const QString text = q("Strade non disponibili: il server non risponde. Si mostra la mappa senza rete.");
    const QRectF top_left = note_box(area, text);
    ASSERT_EQ(top_left.topLeft(), QPointF(6, 6));
    ASSERT_LT(top_left.width(), 500.0);
    std::vector<QRectF> left_column;  // a vehicle every 10 pixels down the left
    for (double y = 0; y < 400; y += 10) left_column.push_back(QRectF(20, y, 9, 9));
    std::vector<QRectF> everywhere;
    for (double x = 0; x < 600; x += 40)
        for (double y = 0; y < 400; y += 10) everywhere.push_back(QRectF(x, y, 9, 9));
    // name, the vehicles' boxes, where the banner's left edge goes (-1: the right side)
    const std::tuple<const char*, std::vector<QRectF>, double> rows[] = {
        {"no vehicle", {}, 6},
        {"a vehicle under the top left", {QRectF(40, 8, 9, 9)}, 6},
        {"a vehicle on every line of the left", left_column, -1},
        {"vehicles everywhere", everywhere, 6},
    };
    for (const auto& [name, points, left] : rows) {
        const QRectF box = note_box(area, text, points);
        EXPECT_EQ(box.size(), top_left.size()) << name;
        EXPECT_EQ(box.left(), left < 0 ? area.width() - box.width() - 6 : left) << name;
        if (points.size() < everywhere.size()) {
            for (const QRectF& p : points) EXPECT_FALSE(box.intersects(p)) << name;
            for (const QRectF& kept : kept_clear(area)) EXPECT_FALSE(box.intersects(kept)) << name;
            EXPECT_TRUE(QRectF(QPointF(), area).contains(box)) << name;
        } else {
            EXPECT_EQ(box, top_left) << name;
        }
    }
    EXPECT_EQ(note_box(area, QString(), {}), QRectF()) << "no banner without a text";
}

// A dialog over the panel's middle; one larger than the panel in the
// screen's corner (no window manager) in the screen's middle instead,
// never in the corner over the panel's menus unless it fills the screen.
// A tool beside the panel, shrunk to the side with most room; on a small
// screen a centred panel leaves no side wide enough, so it starts in the
// corner. The panel's frame is 600 x 480 as it stands at 96 dpi.
TEST(ToolPlace, BesideThePanelNeverOverIt) {
    const QRect small(0, 0, 1024, 768), large(0, 0, 1600, 1000);
    // panel, tool, least, screen, where the tool goes
    const std::tuple<QRect, QSize, QSize, QRect, QRect, const char*> rows[] = {
        {{0, 0, 600, 480}, {700, 520}, {200, 150}, large, {600, 0, 700, 520}, "whole on the right"},
        {{0, 0, 600, 480}, {700, 520}, {200, 150}, small, {600, 0, 424, 520}, "the right keeps more than below"},
        {{0, 0, 600, 480}, {700, 520}, {500, 150}, small, {0, 480, 700, 288}, "below, shorter: the right too narrow"},
        {{212, 144, 600, 480}, {700, 520}, {200, 150}, small, {812, 144, 212, 520}, "narrow on the right"},
        {{212, 144, 600, 480}, {700, 520}, {480, 360}, small, {324, 144, 700, 520}, "no side holds it: over a corner"},
        {{0, 24, 600, 480}, {400, 300}, {200, 150}, QRect(0, 24, 1024, 744), {600, 24, 400, 300}, "under a top bar"},
    };
    for (const auto& [panel, tool, least, screen, placed, why] : rows) {
        const QRect got = beside_panel(panel, tool, least, screen);
        EXPECT_EQ(got, placed) << why;
        EXPECT_TRUE(screen.contains(got)) << why;
    }
    // panel, tool, screen, room beside it centred
    const std::tuple<QSize, QSize, QRect, bool> centred[] = {
        {{600, 480}, {480, 360}, small, false},
        {{600, 480}, {480, 360}, large, true},
        {{600, 480}, {200, 150}, small, true},
        {{1024, 768}, {200, 150}, small, false},
    };
    for (const auto& [panel, tool, screen, room] : centred) {
        EXPECT_EQ(room_beside_centred(panel, tool, screen), room) << screen.width() << " " << tool.width();
    }
}

TEST(DialogPlace, CentredOnThePanelOrElseOnTheScreen) {
    const QRect corner(0, 0, 594, 443);      // the panel with no window manager
    const QRect centred(215, 162, 594, 443);  // as a window manager puts it
    const QRect small(0, 0, 1024, 768);
    const QRect large(0, 0, 1600, 1000);
    // name, panel, dialog, screen, where the dialog's frame goes
    const std::tuple<const char*, QRect, QSize, QRect, QPoint> rows[] = {
        {"smaller than the panel", corner, {400, 297}, small, {97, 73}},
        {"smaller, the panel centred", centred, {400, 297}, small, {312, 235}},
        {"larger than the panel", corner, {804, 670}, small, {110, 49}},
        {"larger, a large screen", corner, {804, 670}, large, {398, 165}},
        {"larger, the panel centred", centred, {804, 670}, small, {110, 49}},
        {"larger than the screen", corner, {1100, 800}, small, {0, 0}},
        {"a screen beside another", QRect(1024, 0, 594, 443), {400, 297}, QRect(1024, 0, 1024, 768), {1121, 73}},
    };
    for (const auto& [name, panel, dialog, screen, at] : rows) {
        const QRect placed = dialog_place(panel, dialog, screen);
        EXPECT_EQ(placed.topLeft(), at) << name;
        EXPECT_EQ(placed.size(), dialog) << name;
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
    EXPECT_TRUE(europe.contains(q("Roma")) && europe.contains(q("Parigi"))) << "named in Italian";
    const auto earth = shown(view({20.0, 0.0}, 60000.0, {800, 600}));
    EXPECT_FALSE(earth.contains(q("Città del Vaticano"))) << "small places wait for a closer view";
    EXPECT_TRUE(earth.contains(q("Londra")));
    // close up, the towns round the vehicle have their names too
    const auto lombardy = shown(view({45.6, 9.3}, 130.0, {1024, 768}));
    for (const char* town : {"Milano", "Como", "Bergamo"}) EXPECT_TRUE(lombardy.contains(q(town))) << town;
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
    // a run of the route's index 0.9 pixels across is not within half a pixel: each point drawn
    Route zigzag("zigzag");
    for (int i = 0; i < 64; ++i) EXPECT_FALSE(zigzag.add({0.0, 0.0008 * (i % 2)}));
    EXPECT_EQ(legs_on_screen(map, zigzag, RouteRun{{RouteRun::Range{0, 63}}}).size(), 64);
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
    // the case, the route, where the vehicle is on it, the route's end, the view's centre and scale
    const std::tuple<const char*, const Route&, RouteProgress, RouteEnd, GeoPoint, double> rows[] = {
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
    for (const auto& [what, route, progress, end, centre, metres_per_pixel] : rows) {
        const MapProjection map = view(centre, metres_per_pixel, {640, 480});
        const auto here = route.position(static_cast<std::size_t>(progress.leg));
        const RouteParts parts = split_route(route, progress, {end, false, 0.0, false}, {here.lat, here.lon});
        for (const RouteRun* run : {&parts.done, &parts.left}) {
            EXPECT_LE(differing(picture(legs_on_screen(map, points_of(route, *run))),
                                picture(legs_on_screen(map, route, *run))),
                      5)
                << what;
        }
        // the points marked, as one by one
        std::vector<QRectF> one_by_one;
        const QRectF view(-8, -8, 656, 496);
        for (std::size_t i = 0; i < route.size() && one_by_one.size() < 400; ++i) {
            const auto p = route.position(i);
            const QPointF at = map.to_screen({p.lat, p.lon});
            if (!view.contains(at)) continue;
            if (!one_by_one.empty() && QLineF(one_by_one.back().center(), at).length() < 8.0) continue;
            one_by_one.emplace_back(at - QPointF(3, 3), QSizeF(6, 6));
        }
        EXPECT_EQ(point_marks(map, route, 3.0, 8.0, 8.0, 400), one_by_one) << what;
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

// The detail's lines: each the sum of its steps, in whole units of "passo".
TEST(MapDetail, ReadsLinesAndLeavesOutWhatItCannotUse) {
    const auto good = read_lines(R"({"passo":0.5,"linee":[[20,80,2,0,0,2,-2,-2],[1,1,1,1]]})");
    ASSERT_TRUE(good);
    ASSERT_EQ(good->size(), 2u);
    ASSERT_EQ((*good)[0].size(), 4u);
    EXPECT_DOUBLE_EQ((*good)[0][0].lon, 10.0);
    EXPECT_DOUBLE_EQ((*good)[0][0].lat, 40.0);
    EXPECT_DOUBLE_EQ((*good)[0][2].lon, 11.0) << "steps added up";
    EXPECT_DOUBLE_EQ((*good)[0][2].lat, 41.0);
    EXPECT_DOUBLE_EQ((*good)[0][3].lat, 40.0) << "and back";

    // the bytes, the lines read (-1: the file refused), why
    const std::tuple<const char*, int, const char*> rows[] = {
        {"", -1, "empty"},
        {"\x89PNG\r\n", -1, "not JSON"},
        {R"([[1,2,3,4]])", -1, "not an object"},
        {R"({"linee":[[0,0,1,1]]})", -1, "no step"},
        {R"({"passo":0,"linee":[[0,0,1,1]]})", -1, "a step of nothing"},
        {R"({"passo":-1,"linee":[[0,0,1,1]]})", -1, "a step backwards"},
        {R"({"passo":"0.1","linee":[[0,0,1,1]]})", -1, "a step in words"},
        {R"({"passo":0.1,"linee":{}})", -1, "lines not a list"},
        {R"({"passo":0.1,"linee":[]})", 0, "no lines"},
        {R"({"passo":0.1,"linee":[[0,0,1]]})", 0, "an odd count"},
        {R"({"passo":0.1,"linee":[[0,0]]})", 0, "a single point"},
        {R"({"passo":0.1,"linee":[[0,0,"1",1]]})", 0, "a step in words"},
        {R"({"passo":0.1,"linee":[[0,0,1,null]]})", 0, "a step of null"},
        {R"({"passo":0.1,"linee":[[0,900,0,1]]})", 0, "off the globe"},
        {R"({"passo":0.1,"linee":[[0,0,1e308,1e308,1e308,1e308]]})", 0, "steps past every number"},
        {R"({"passo":0.1,"linee":[7,[0,0,1,1],[0,0,1,1,1]]})", 1, "the good one of three"},
    };
    for (const auto& [bytes, lines, why] : rows) {
        const auto got = read_lines(QByteArray(bytes));
        EXPECT_EQ(got ? static_cast<int>(got->size()) : -1, lines) << why;
    }
    // a file larger than its bound is refused, not read to the end
    EXPECT_TRUE(read_lines(R"({"passo":0.1,"linee":[[0,0,1,1],[0,0,1,1]]})", 4));
    EXPECT_FALSE(read_lines(R"({"passo":0.1,"linee":[[0,0,1,1],[0,0,1,1,1,1]]})", 4));
}

// A view finds the lines whose box it meets, across the 180th meridian too.
TEST(MapDetail, AViewFindsItsOwnLines) {
    const LineSet set({{{45.0, 9.0}, {45.5, 9.5}},          // 0: Lombardy
                       {{-17.0, 179.5}, {-16.5, -179.5}},   // 1: Fiji, across the 180th
                       {{10.0, -80.0}, {10.5, -79.5}}});    // 2: Panama
    // centre, metres a pixel, the lines seen
    const std::tuple<GeoPoint, double, std::vector<std::size_t>> rows[] = {
        {{45.2, 9.2}, 100.0, {0}},
        {{45.2, 12.0}, 100.0, {}},
        {{-16.8, -179.9}, 100.0, {1}},
        {{-16.8, 179.9}, 100.0, {1}},
        {{-16.8, 0.0}, 100.0, {}},     // Fiji's latitude, the other side of the globe
        {{10.2, -79.8}, 200.0, {2}},
        {{0.0, 0.0}, 100000.0, {0, 1, 2}},
    };
    for (const auto& [centre, scale, seen] : rows) {
        EXPECT_EQ(set.in_view(view(centre, scale, {1024, 768})), seen) << centre.lat << ", " << centre.lon;
    }
}

// The lakes, the rivers and the 1:10m coast built in: Lake Geneva open
// water, a river through the Po valley, Genoa's harbour off its coast;
// the coast close up only, read once on a worker.
TEST(MapDetail, TheBuiltInDetail) {
    MapDetail detail = MapDetail::built_in();
    const MapProjection lake = view({46.45, 6.55}, 100.0, {1024, 768});
    WorldMap lakes;
    for (const std::size_t i : detail.lakes(lake).in_view(lake)) lakes.land.push_back(detail.lakes(lake).lines()[i]);
    EXPECT_TRUE(on_land(lakes, {46.45, 6.55})) << "Lago di Ginevra";
    EXPECT_TRUE(detail.lakes(view({46.45, 6.55}, 20000.0)).lines().empty()) << "no lakes from afar";
    const MapProjection po = view({45.1, 10.5}, 1000.0, {1024, 768});
    EXPECT_FALSE(detail.rivers(po).in_view(po).empty()) << "the Po";

    const MapProjection far = view({45.4, 12.3}, 2000.0, {1024, 768});
    const MapProjection close = view({45.4, 12.3}, 100.0, {1024, 768});
    int told = 0;
    detail.want_land(far, [&told] { ++told; });
    detail.wait_for_land();
    EXPECT_EQ(told, 0) << "not read for a view from afar";
    detail.want_land(close, [&told] { ++told; });
    detail.want_land(close, [&told] { ++told; });
    detail.wait_for_land();
    EXPECT_EQ(told, 1) << "read once";
    EXPECT_EQ(detail.land(far), nullptr) << "the world's land from afar";
    const LineSet* land = detail.land(close);
    ASSERT_NE(land, nullptr);
    WorldMap coast;
    coast.land = land->lines();
    EXPECT_TRUE(on_land(coast, {45.46, 9.19})) << "Milano";
    EXPECT_FALSE(on_land(coast, {44.0, 9.0})) << "Mar Ligure";
    EXPECT_FALSE(on_land(coast, {44.40, 8.92})) << "il porto di Genova";
}

// A layer that cannot be read (a resource broken) is left empty: the map
// draws the world's land as before, and says so once.
TEST(MapDetail, ALayerThatCannotBeReadIsLeftOut) {
    const auto broken = [] { return read_lines("{\"passo\":"); };
    MapDetail detail(broken, broken, broken);
    const MapProjection close = view({45.46, 9.19}, 50.0, {320, 240});
    int told = 0;
    detail.want_land(close, [&told] { ++told; });
    detail.wait_for_land();
    EXPECT_EQ(told, 1);
    EXPECT_EQ(detail.land(close), nullptr);
    EXPECT_TRUE(detail.lakes(close).lines().empty() && detail.rivers(close).lines().empty());
    const auto world = WorldMap::built_in();
    ASSERT_TRUE(world);
    QImage picture(320, 240, QImage::Format_RGB32);
    QPainter painter(&picture);
    draw_world(painter, close, *world, {320, 240}, &detail);
    painter.end();
    EXPECT_EQ(picture.pixelColor(160, 120), QColor(240, 236, 222)) << "Milano on the world's land";
}

// Close up, with no place on the view, the map says the nearest one and
// which way it lies from the view's centre.
TEST(PlaceNames, TheNearestPlaceWhenNoneIsInView) {
    const PlaceNames world(built_in_places());
    // centre, metres a pixel, what the map says
    const std::tuple<GeoPoint, double, const char*> rows[] = {
        {{45.4642, 9.19}, 2.0, "Vicino a Milano (1,3 km a NE)"},
        {{44.0333, 10.1333}, 2.0, "Vicino a Pisa (41 km a SE)"},
        {{45.4642, 9.19}, 20.0, ""},   // Milano on the view: its name is there
        {{40.0, -40.0}, 2.0, ""},      // mid-Atlantic: nothing within 60 km
    };
    for (const auto& [centre, scale, said] : rows) {
        EXPECT_EQ(world.nearby(view(centre, scale, {1024, 768})), q(said)) << centre.lat << ", " << centre.lon;
    }
}

// Thousands of places in one view, as close up over a crowded region: the
// names written never cover one another, a vehicle's label or the scale
// bar, never cross the edge, and no more claim room than a screen holds.
TEST(PlaceNames, ThousandsCloseUpNeverOverlap) {
    std::vector<Place> crowd;
    unsigned seed = 12345;
    const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) / 65536u % 10000u / 10000.0; };
    for (int i = 0; i < 5000; ++i) {
        // every other one a few metres from the one before (a town and its station)
        const GeoPoint at = i % 2 == 1 ? GeoPoint{crowd.back().at.lat + 0.00003, crowd.back().at.lon}
                                       : GeoPoint{45.40 + 0.12 * next(), 9.10 + 0.18 * next()};
        crowd.push_back({QStringLiteral("Borgo %1").arg(i), at, 8.0, i % 97 == 0});
    }
    const PlaceNames names(std::move(crowd));
    const MapProjection map = view({45.46, 9.19}, 20.0, {1024, 768});
    EXPECT_LE(names.candidates(map).size(), 400u) << "the most important claim room, not all";
    const QRectF scale_bar(6, 722, 132, 32), vehicle_label(500, 380, 80, 30);
    QImage picture(1024, 768, QImage::Format_RGB32);
    QPainter painter(&picture);
    const std::vector<QRectF> written = names.paint(painter, map, {scale_bar, vehicle_label});
    ASSERT_GT(written.size(), 40u) << "the screen has room for many";
    // boxes come in pairs, name then dot
    for (std::size_t i = 0; i < written.size(); ++i) {
        EXPECT_TRUE(i % 2 == 1 || QRectF(0, 0, 1024, 768).contains(written[i])) << "name " << i / 2 << " cut";
        EXPECT_FALSE(written[i].intersects(scale_bar) || written[i].intersects(vehicle_label)) << i / 2;
        for (std::size_t j = 0; j < written.size(); ++j) {
            if (i / 2 == j / 2) continue;
            ASSERT_FALSE(written[i].intersects(written[j])) << "boxes " << i << ", " << j;
        }
    }
}

// Vehicle 0 sent along 45.5 N in the last half minute; vehicle 1 ran far
// south for a while, then was set by hand beside vehicle 0; vehicle 2 sent
// last more than an hour ago.
class MapView : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
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
    EXPECT_GT(pixels[vehicle_colour(0).rgb()], 50);
    EXPECT_EQ(pixels[vehicle_colour(2).rgb()], 0) << "more than an hour old";
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
    // a notch of the wheel zooms in twice, through the scales between (drawn
    // as it goes), the place under the cursor held; two notches out, four
    // times; the view stays there
    const QPointF corner(canvas->width() / 4.0, canvas->height() / 4.0);
    const GeoPoint under = canvas->projection().to_geo(corner);
    // columns: notches, the scale after over the scale before
    const std::vector<std::tuple<int, double>> rows{{1, 0.5}, {-2, 4.0}, {3, 0.125}};
    for (const auto& [notches, ratio] : rows) {
        const double before = canvas->projection().metres_per_pixel();
        std::set<double> scales;
        QWheelEvent wheel(corner, canvas->mapToGlobal(corner), {}, {0, 120 * notches}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &wheel);
        EXPECT_TRUE(QTest::qWaitFor([&] {
            scales.insert(canvas->projection().metres_per_pixel());
            return std::fabs(canvas->projection().metres_per_pixel() - before * ratio) < 1e-9 * before;
        }, 3000)) << notches << ": " << canvas->projection().metres_per_pixel() / before;
        EXPECT_GE(scales.size(), 3u) << notches << ": smoothly, not in one jump";
        const QPointF still = canvas->projection().to_screen(under);
        EXPECT_NEAR(still.x(), corner.x(), 1e-6);
        EXPECT_NEAR(still.y(), corner.y(), 1e-6);
    }
    EXPECT_FALSE(canvas->following());
}

// "Adatta", and the map as it opens, frame the vehicles and the routes they
// follow, all of each route.
TEST_F(MapView, FitButtonFitsTheRoutesToo) {
    Route far("lontano");
    ASSERT_FALSE(far.add({45.5, 9.2}));
    ASSERT_FALSE(far.add({45.0, 10.5}));
    ASSERT_FALSE(routes.give(0, std::move(far), {RouteEnd::stop, false, 0.0, true}, nullptr));
    QTest::mouseClick(window.map_window()->findChild<QPushButton*>(q("adatta")), Qt::LeftButton);
    const QRectF inside(0, 0, canvas->width(), canvas->height());
    // columns: a point that must be in view
    for (const GeoPoint& p : {GeoPoint{45.0, 10.5}, GeoPoint{45.5, 9.2}, GeoPoint{45.51, 9.2}})
        EXPECT_TRUE(inside.contains(canvas->projection().to_screen(p))) << p.lat << " " << p.lon;
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

// With AIS targets on, every vehicle in use is drawn, also one whose
// track is old: a target as a triangle on its course (vehicle 1 heads east)
// in its colour, labelled with its name or its MMSI; pointing says why it is
// in use.
TEST_F(MapView, AisTargetsAreTrianglesOnTheirCourse) {
    window.set_ais([](std::size_t n) {
        AisIdentity identity = default_identity(n);
        if (n == 1) identity.name = "Alfa";
        return std::optional<AisIdentity>(identity);
    });
    rig.fleet.place(2, 45.505 * 3600.0, 9.21 * 3600.0, nullptr);
    rig.fleet.set_cycle(3, nullptr);
    rig.fleet.set_targets(true, nullptr);
    canvas->fit();
    EXPECT_EQ(canvas->shown_vehicles(), (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_TRUE(canvas->describe(1).startsWith(q("Mezzo 1 (bersaglio AIS)\n"))) << canvas->describe(1).toStdString();
    EXPECT_TRUE(canvas->describe(2).endsWith(q("\nMMSI 900000002")));
    const QImage image = canvas->grab().toImage();
    const QPointF at = canvas->projection().to_screen({45.51, 9.2});
    const auto colour = [&image, at](double ahead, double aside) {
        return image.pixelColor(QPoint(static_cast<int>(std::lround(at.x() + ahead)),
                                       static_cast<int>(std::lround(at.y() + aside))));
    };
    // the triangle, 7 px to its base behind the point and 10.5 to its apex ahead
    EXPECT_EQ(colour(0, 0), vehicle_colour(1)) << "the point itself";
    EXPECT_EQ(colour(-5, 2), vehicle_colour(1)) << "wide behind";
    EXPECT_NE(colour(5, 3), vehicle_colour(1)) << "narrow ahead";
    EXPECT_NE(colour(-9, 0), vehicle_colour(1)) << "nothing behind its base";
    bool vehicle_two = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) vehicle_two = vehicle_two || image.pixelColor(x, y) == vehicle_colour(2);
    }
    EXPECT_TRUE(vehicle_two) << "in use, drawn though its track is old";
}

// The triangle's apex on the course, north up; the label the name as the
// operator wrote it, else the MMSI's nine digits.
TEST(AisMark, TheApexGoesAlongTheCourseAndTheLabelIsTheNameOrMmsi) {
    // the course, where the apex lies from the centre (size 10: 15 px)
    const std::tuple<double, QPointF> rows[] = {{0, {0, -15}}, {90, {15, 0}}, {180, {0, 15}}, {270, {-15, 0}}};
    for (const auto& [course, apex] : rows) {
        const QPointF drawn = ais_triangle({100, 100}, course, 10.0).elementAt(0);
        EXPECT_NEAR(drawn.x(), 100 + apex.x(), 1e-9) << course;
        EXPECT_NEAR(drawn.y(), 100 + apex.y(), 1e-9) << course;
    }
    AisIdentity identity = default_identity(3);
    identity.mmsi = 2470123;
    EXPECT_EQ(ais_label(identity), q("002470123"));
    identity.name = "Nave è";
    EXPECT_EQ(ais_label(identity), q("Nave è"));
}

// "Strade...": an address without {y} is refused with its reason and the
// dialog stays; a good one turns the tiles on and is handed to be kept.
TEST_F(MapView, StreetsRefusesAnAddressItCannotUseAndKeepsAGoodOne) {
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
    window.set_ais([](std::size_t n) {
        AisIdentity identity = default_identity(n);
        identity.mmsi = static_cast<std::uint32_t>(247000000 + n);
        return std::optional<AisIdentity>(identity);
    });
    ASSERT_FALSE(rig.fleet.set_speed(0, 36.0, nullptr));
    emit canvas->reach(canvas->projection().to_geo({300, 100}));
    ASSERT_TRUE(routes.has_route(0));
    EXPECT_TRUE(routes.route(0)->options.from_here) << "driven to, not jumped to";
    emit canvas->append_to_route(canvas->projection().to_geo({300, 300}));
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
    // the case, how far the pointer moves with the button held, whether a point is added
    const std::tuple<const char*, QPoint, bool> rows[] = {
        {"a pixel's tremble", {1, 0}, true},
        {"just short of the drag distance", {reach - 1, 0}, true},
        {"the drag distance itself", {0, reach}, false},
        {"a real drag", {3 * reach, 2 * reach}, false},
    };
    for (const auto& [what, by, point_added] : rows) {
        canvas->start_drawing();
        const GeoPoint centre = canvas->projection().centre();
        // pressed, moved with the button held, released there
        const QPoint from(200, 150), to = from + by;
        QTest::mousePress(canvas, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), canvas->mapToGlobal(QPointF(to)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(canvas, &move);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
        EXPECT_EQ(canvas->sketch().size(), point_added ? 1u : 0u) << what;
        const GeoPoint now = canvas->projection().centre();
        EXPECT_EQ(now.lat != centre.lat || now.lon != centre.lon, !point_added) << what << ": panned";
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
    const MapProjection milan = view({45.4642, 9.19}, 25.0, {500, 400});
    const int count = static_cast<int>(tiles_in_view(milan, tile_zoom(milan)).size());
    EXPECT_EQ(tiles_in_view(milan, tile_zoom(milan), count).size(), static_cast<std::size_t>(count));
    EXPECT_TRUE(tiles_in_view(milan, tile_zoom(milan), count - 1).empty()) << "one more than a smaller cap";
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

// A picture in a format, as a server sends it.
QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray png_of(int width, int height, QColor colour = QColor(200, 120, 40)) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return encoded(image, "PNG");
}

std::uint32_t crc32_of(const QByteArray& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// 5000 x 5000 transparent RGBA pixels, 95 MB decoded, in about 97 KB of
// PNG: written by hand, made once.
const QByteArray& bomb_png() {
    static const QByteArray png = [] {
        const auto big_endian = [](std::uint32_t n) {
            QByteArray bytes;
            for (const int shift : {24, 16, 8, 0}) bytes.append(static_cast<char>((n >> shift) & 0xFFu));
            return bytes;
        };
        const auto chunk = [&](const QByteArray& kind, const QByteArray& data) {
            return big_endian(static_cast<std::uint32_t>(data.size())) + kind + data + big_endian(crc32_of(kind + data));
        };
        constexpr int side = 5000;
        // each row: filter 0, then 4 zero bytes a pixel
        const QByteArray rows(static_cast<qsizetype>(side) * (1 + 4 * side), '\0');
        const QByteArray header = big_endian(side) + big_endian(side) + QByteArray("\x08\x06\x00\x00\x00", 5);
        return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", qCompress(rows).mid(4)) +
               chunk("IEND", {});
    }();
    return png;
}

// An answer's header is read before it is decoded: a tile too large for a
// tile is refused there; a tile taken is held at the side the map draws
// it, whatever side the server sends. Qt's English warnings never come.
TEST(TileImage, TheHeaderIsReadFirstAndATileTakenIsScaledOnce) {
    using Outcome = DecodedTile::Outcome;
    QImage photo(300, 300, QImage::Format_RGB32);
    photo.fill(QColor(10, 200, 30));
    // what the server sends, the side asked, the outcome, the size held (an
    // image) or declared (too large), what the map says
    const std::tuple<const char*, QByteArray, int, Outcome, QSize, const char*> rows[] = {
        {"an ordinary tile", png_of(256, 256), 256, Outcome::image, {256, 256}, ""},
        {"a retina tile on an ordinary screen", png_of(512, 512), 256, Outcome::image, {256, 256}, ""},
        {"an ordinary tile on a screen of pixel ratio 2", png_of(256, 256), 512, Outcome::image, {512, 512}, ""},
        {"the largest side taken", png_of(1024, 1024), 256, Outcome::image, {256, 256}, ""},
        {"a JPEG", encoded(photo, "JPEG"), 256, Outcome::image, {256, 256}, ""},
        {"a side over the largest", png_of(1025, 1), 256, Outcome::too_large, {1025, 1},
         "il server manda tile di 1025×1 pixel, troppo grandi (al massimo 1024×1024)"},
        {"5000 x 5000 RGBA pixels in 97 KB", bomb_png(), 256, Outcome::too_large, {5000, 5000},
         "il server manda tile di 5000×5000 pixel, troppo grandi (al massimo 1024×1024)"},
        {"a picture in no tile's format", encoded(photo, "BMP"), 256, Outcome::not_image, {}, "il server non manda immagini"},
        {"a web page", "<html>no tile</html>", 256, Outcome::not_image, {}, "il server non manda immagini"},
        {"nothing", {}, 256, Outcome::not_image, {}, "il server non manda immagini"},
        {"a PNG cut in its header", png_of(256, 256).left(30), 256, Outcome::broken, {},
         "il server manda immagini guaste"},
        {"a PNG cut in its pixels", png_of(256, 256).chopped(30), 256, Outcome::broken, {},
         "il server manda immagini guaste"},
    };
    QStringList warnings;
    static QStringList* caught = nullptr;
    caught = &warnings;
    const QtMessageHandler before = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { caught->append(text); });
    for (const auto& [name, body, side, outcome, size, refusal] : rows) {
        const DecodedTile tile = decode_tile(body, side);
        EXPECT_EQ(tile.outcome, outcome) << name;
        EXPECT_EQ(tile_refusal(tile), QString::fromUtf8(refusal)) << name;
        if (outcome == Outcome::image) {
            EXPECT_EQ(tile.image.size(), size) << name;
            EXPECT_EQ(tile.image.format(), QImage::Format_ARGB32_Premultiplied) << name;
        } else if (outcome == Outcome::too_large) {
            EXPECT_EQ(tile.declared, size) << name;
            EXPECT_TRUE(tile.image.isNull()) << name;
        }
    }
    qInstallMessageHandler(before);
    caught = nullptr;
    EXPECT_EQ(warnings.filter(QStringLiteral("Rejecting")), QStringList()) << "Qt's refusal never reached";
    EXPECT_LT(bomb_png().size(), 120 * 1024) << "the bomb is small";
}

// ok-* files are taken, ko-* refused; any other (a find of the fuzzer)
// only has to hold what the fuzzer checks.
TEST(TileImage, EveryFileOfTheSeedCorpusHoldsWhatTheFuzzerChecks) {
    ASSERT_FALSE(std::filesystem::is_empty(VADREL_TILE_CORPUS));
    for (const auto& entry : std::filesystem::directory_iterator(VADREL_TILE_CORPUS)) {
        const std::string name = entry.path().filename().string();
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(fuzzing::check_tile(bytes), "") << name;
        const bool taken = decode_tile(QByteArray::fromStdString(bytes), 64).outcome == DecodedTile::Outcome::image;
        if (name.rfind("ok-", 0) == 0 || name.rfind("ko-", 0) == 0) {
            EXPECT_EQ(taken, name[1] == 'k') << name;
        }
    }
}

// Answers GET /z/x/y.png on 127.0.0.1, one request a connection: a tile of
// one colour and `side` pixels, cacheable for an hour, or as told 404, text
// called an image, far more than a tile, a tile that decodes to 95 MB, or
// an answer trickled a byte at a time.
class TileServer {
public:
    enum class Answer { tile, not_found, not_image, huge, bomb, trickle };
    Answer answer = Answer::tile;
    int side = tile_pixels;
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
        if (answer == Answer::trickle) {
            // a byte every 50 ms: never silent long enough for a timeout of silence
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 100000\r\n\r\n");
            auto* drip = new QTimer(socket);
            QObject::connect(drip, &QTimer::timeout, socket, [socket] { socket->write("x"); });
            drip->start(50);
            pending_.remove(socket);
            return;
        }
        if (answer == Answer::not_found) {
            status = "404 Not Found";
            body = "no";
        } else if (answer == Answer::not_image) {
            body = "<html>not a tile</html>";
        } else if (answer == Answer::bomb) {
            body = bomb_png();
        } else if (answer == Answer::tile) {
            const QList<QByteArray> zxy = request.split(' ').value(1).split('.').value(0).split('/');
            body = png_of(side, side, tile_colour(zxy.value(2).toInt(), zxy.value(3).toInt()));
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
QImage load_all(TileLayer& layer, const MapProjection& map, double pixel_ratio = 1.0) {
    QImage picture((map.viewport() * pixel_ratio).toSize(), QImage::Format_RGB32);
    picture.setDevicePixelRatio(pixel_ratio);
    const std::vector<TileKey> keys = tiles_in_view(map, tile_zoom(map));
    run_until([&] {
        QPainter painter(&picture);
        layer.paint(painter, map);
        return std::all_of(keys.begin(), keys.end(), [&](const TileKey& k) { return layer.holds(k); });
    });
    return picture;
}

// Paints the view until the layer has nothing in flight nor being decoded.
bool settle(TileLayer& layer, const MapProjection& map, QImage& picture) {
    return run_until([&] {
        QPainter painter(&picture);
        layer.paint(painter, map);
        return !layer.busy();
    });
}

TEST(TileLayer, LoadsTheTilesInViewWhereTheMapPutsThemThenFromTheDiskCache) {
    QTemporaryDir cache;
    TileServer server;
    const MapProjection map = view({45.4642, 9.19}, 25.0, {500, 400});
    const std::vector<TileKey> keys = tiles_in_view(map, tile_zoom(map));
    {
        TileLayer layer(cache.path());
        layer.set_source(true, server.address());
        QImage blank(500, 400, QImage::Format_RGB32);
        {
            QPainter painter(&blank);
            EXPECT_EQ(layer.paint(painter, map), 0) << "none in yet: no credit to show";
        }
        const QImage picture = load_all(layer, map);
        QPainter painter(&blank);
        EXPECT_EQ(layer.paint(painter, map), static_cast<int>(keys.size())) << "every tile drawn";
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

// Tiles of any side on a large map are decoded once, held at the side the
// map draws them and drawn from there: once they are in, painting the view
// again asks, decodes and announces nothing (the map rests); the memory
// holds what it is allowed, and a view larger than that takes a zoom
// further out rather than pushing its own tiles out.
TEST(TileLayer, TilesAreDecodedOnceAtTheMapsSideAndTheMapRestsOnceTheyAreIn) {
    constexpr qint64 mib = 1024 * 1024;
    // the side served, the screen's pixel ratio, the memory's cap, the side held
    const std::tuple<const char*, int, double, qint64, int> rows[] = {
        {"retina tiles on a 1600 x 1000 map", 512, 1.0, TileLayer::Limits{}.memory_bytes, 256},
        {"ordinary tiles on a screen of pixel ratio 2", 256, 2.0, TileLayer::Limits{}.memory_bytes, 512},
        {"retina tiles with room for 16 tiles only", 512, 1.0, 4 * mib, 256},
    };
    for (const auto& [name, served, ratio, cap, held] : rows) {
        QTemporaryDir cache;
        TileServer server;
        server.side = served;
        TileLayer::Limits limits;
        limits.memory_bytes = cap;
        TileLayer layer(cache.path(), limits);
        layer.set_source(true, server.address());
        const MapProjection map = view({45.4642, 9.19}, 25.0, {1600, 1000});
        QImage picture((map.viewport() * ratio).toSize(), QImage::Format_RGB32);
        picture.setDevicePixelRatio(ratio);
        ASSERT_TRUE(settle(layer, map, picture)) << name;
        EXPECT_EQ(layer.failure(), QString()) << name;
        const int asked = server.requests;
        EXPECT_GE(asked, 4) << name;
        EXPECT_EQ(layer.decoded(), asked) << name << ": one decoding a tile";
        EXPECT_LE(layer.held_bytes(), cap) << name;
        EXPECT_EQ(layer.held_bytes(), asked * held * held * 4) << name << ": every tile asked is held";
        int z = tile_zoom(map);
        while (tiles_in_view(map, z, static_cast<int>(cap / (held * held * 4))).empty()) --z;
        for (const TileKey& key : tiles_in_view(map, z)) EXPECT_EQ(layer.held_size(key), QSize(held, held)) << name;

        // the view painted again and again, the event loop turning between
        QSignalSpy announced(&layer, &TileLayer::updated);
        for (int paint = 0; paint < 20; ++paint) {
            QPainter painter(&picture);
            layer.paint(painter, map);
            painter.end();
            EXPECT_FALSE(layer.busy()) << name << ": asked again at paint " << paint;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        EXPECT_EQ(server.requests, asked) << name;
        EXPECT_EQ(layer.decoded(), asked) << name;
        EXPECT_EQ(announced.count(), 0) << name << ": a repaint asked for with nothing new";
    }
}

TEST(TileLayer, AFailureIsSaidOnceAndTheServerIsAskedNoMore) {
    // what the server answers, whether it is gone, what the layer says
    const std::tuple<const char*, TileServer::Answer, bool, const char*> rows[] = {
        {"HTTP error", TileServer::Answer::not_found, false, "il server risponde con il codice 404"},
        {"an answer that is no image", TileServer::Answer::not_image, false, "il server non manda immagini"},
        {"an answer far larger than a tile", TileServer::Answer::huge, false,
         "il server manda risposte troppo grandi per una tile"},
        {"a tile that decodes to 95 MB", TileServer::Answer::bomb, false,
         "il server manda tile di 5000×5000 pixel, troppo grandi (al massimo 1024×1024)"},
        {"a server that trickles its answers", TileServer::Answer::trickle, false,
         "il server non manda una tile intera in 0,5 secondi"},
        {"the server gone", TileServer::Answer::tile, true, "il server rifiuta la connessione"},
    };
    bomb_png();  // made before the server's clock runs
    for (const auto& [name, answer, stop, reason] : rows) {
        QTemporaryDir folder;
        TileServer failing;
        failing.answer = answer;
        if (stop) failing.stop();
        TileLayer::Limits limits;
        if (answer == TileServer::Answer::trickle) limits.deadline = std::chrono::milliseconds(500);
        TileLayer layer(folder.path(), limits);
        layer.set_source(true, failing.address());
        QSignalSpy said(&layer, &TileLayer::failed);
        MapProjection map = view({45.4642, 9.19}, 25.0, {500, 400});
        QImage picture(map.viewport().toSize(), QImage::Format_RGB32);
        for (int view = 0; view < 5; ++view) {
            QPainter painter(&picture);
            layer.paint(painter, map);  // asks for the tiles in view
            ASSERT_TRUE(run_until([&] { return !layer.busy(); })) << name;
            map.pan({300, 0});  // tiles nobody asked for yet
        }
        map.pan({-1500, 0});
        for (int again = 0; again < 3; ++again) {
            QPainter painter(&picture);
            layer.paint(painter, map);  // the first view again: its tiles failed
            EXPECT_FALSE(layer.busy()) << name << ": a tile that failed asked again, or its answer decoded again";
        }
        EXPECT_EQ(said.count(), 1) << name;
        EXPECT_EQ(layer.failure(), QString::fromUtf8(reason)) << name;
        EXPECT_LE(failing.requests, TileLayer::max_in_flight) << name << ": asked on after the failure";
        EXPECT_EQ(layer.decoded(), 0) << name;
        layer.set_source(true, failing.address());
        EXPECT_EQ(layer.failure(), QString()) << name << ": set again, it tries again";
    }
}

// The settings dialogs driven as an operator would: "Porta..." (devices the
// system lists, COM numbers mapped to them or to a path typed in, a relative
// path refused), "Uscite" over the real network outputs on the loopback,
// "Controllo..." and "Bersagli AIS...": what cannot be used is said and keeps
// the dialog open, what can is handed over once. The menu "Opzioni": each
// entry switches its option in the panel and hands the options over to be
// kept; its dialogs refuse what cannot be used, saying why. The menu
// "Registrazione", over the real recorder and replay on a fake port:
// recording on and off, a log replayed with its progress to the end, a log
// with a damaged line sent only when the operator says so, a log that cannot
// be sent at all.
// Replaces the text of a field as the operator does: select all, type.
void type(QWidget* field, const QString& text) {
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0) QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClicks(field, lines[i]);
    }
}

QString click(const QWidget& dialog, const char* button) {
    return said_after([&] { QTest::mouseClick(in<QPushButton>(dialog, button), Qt::LeftButton); });
}

const std::vector<SerialDevice> present = {
    {"/dev/ttyACM0", "ttyACM0", "u-blox GNSS receiver", "u-blox AG", ""},
    {"/dev/ttyUSB0", "ttyUSB0", "FT232R USB UART", "FTDI", "A10K3XYZ"},
};

TEST(PortDialog, TheOperatorMapsComNumbersToDevicesAndBack) {
    std::map<int, std::string> in_use{{1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}, {3, "/dev/gone"}, {4, "/dev/ttyS3"}};
    std::vector<PortSettings> kept;
    PortDialog dialog{[] { return present; }, [&in_use](int n) { return in_use[n]; },
                      [&](const PortSettings& s) {
                          kept.push_back(s);
                          for (const auto& [n, device] : s.devices) in_use[n] = device;
                          return Result<>();
                      }};
    dialog.set_virtual_path([&in_use](int n) { return in_use[n] == "pty" ? std::string("/dev/pts/7") : std::string(); });
    const auto com = [&dialog](int n) { return in<QComboBox>(dialog, ("com" + std::to_string(n)).c_str()); };
    dialog.open_on({.devices = {{3, "/dev/gone"}, {4, "/dev/ttyUSB0"}}});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    expect_whole_titles(dialog);
    auto* devices = in<QTreeWidget>(dialog, "dispositivi");
    ASSERT_EQ(devices->topLevelItemCount(), 2);
    EXPECT_EQ(devices->topLevelItem(1)->text(3), q("A10K3XYZ"));
    EXPECT_EQ(com(3)->currentText(), q("/dev/gone")) << "a device unplugged now stays as it was";
    EXPECT_TRUE(com(4)->currentText().startsWith(q("/dev/ttyUSB0 — FT232R USB UART, FTDI")));

    com(1)->setCurrentIndex(2);            // the u-blox receiver
    type(com(2)->lineEdit(), q("/dev/gps0"));  // a link of its own
    com(3)->setCurrentIndex(1);            // a virtual port
    type(com(4)->lineEdit(), q("dev/rel"));
    EXPECT_TRUE(click(dialog, "ok").startsWith(q("COM 4: vuole un percorso completo")));
    EXPECT_TRUE(kept.empty() && dialog.isVisible());
    type(com(4)->lineEdit(), q("ttyUSB1"));  // a bare name is looked for under /dev
    EXPECT_EQ(click(dialog, "ok"), QString());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(kept, (std::vector<PortSettings>{
                        {.devices = {{1, "/dev/ttyACM0"}, {2, "/dev/gps0"}, {3, "pty"}, {4, "ttyUSB1"}}}}));
    EXPECT_EQ(in<QLabel>(dialog, "com1_in_uso")->text(), q("/dev/ttyACM0"));
    // A virtual port's path is a click away from the program that reads it.
    EXPECT_FALSE(in<QPushButton>(dialog, "com1_copia")->isVisibleTo(&dialog));
    ASSERT_TRUE(in<QPushButton>(dialog, "com3_copia")->isVisibleTo(&dialog));
    QApplication::clipboard()->clear();
    dialog.open_on(kept.back());
    EXPECT_EQ(com(3)->currentIndex(), 1) << "the virtual port shown as chosen";
    QTest::mouseClick(in<QPushButton>(dialog, "com3_copia"), Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text(), q("/dev/pts/7"));
    dialog.reject();
    EXPECT_EQ(port_tooltip(1, "/dev/ttyUSB0", present),
              q("COM 1: /dev/ttyUSB0 — FT232R USB UART, FTDI, n. di serie A10K3XYZ"));
}

TEST(OutputsDialog, TheOperatorSwitchesTheOutputsOnAndSeesTheirClients) {
    NetworkOutputs network;
    std::vector<OutputSettings> kept;
    OutputsDialog dialog{network, [&](const OutputSettings& s) {
                              kept.push_back(s);
                              return said(reasons(network.apply(s)));
                          }};
    dialog.open_on_settings();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    expect_whole_titles(dialog);
    EXPECT_EQ(in<QSpinBox>(dialog, "tcp_porta")->value(), 10110);
    QUdpSocket receiver;
    ASSERT_TRUE(receiver.bind(QHostAddress::LocalHost));
    const QString target = QString("127.0.0.1:%1").arg(receiver.localPort());
    QString closed;  // a port nobody listens on
    {
        QUdpSocket probe;
        ASSERT_TRUE(probe.bind(QHostAddress::LocalHost));
        closed = QString("127.0.0.1:%1").arg(probe.localPort());
    }
    QTest::mouseClick(in<QCheckBox>(dialog, "tcp_attivo"), Qt::LeftButton, {}, QPoint(5, 5));
    type(in<QSpinBox>(dialog, "tcp_porta"), q("0"));
    QTest::mouseClick(in<QCheckBox>(dialog, "udp_attivo"), Qt::LeftButton, {}, QPoint(5, 5));
    type(in<QPlainTextEdit>(dialog, "udp_destinazioni"), closed + q("\n") + target + q("\nplotter senza porta"));
    const QString said = click(dialog, "ok");
    EXPECT_TRUE(said.startsWith(q("UDP: manca :PORTA"))) << said.toStdString();
    EXPECT_TRUE(dialog.isVisible()) << "OK closes only when all was done";
    ASSERT_EQ(kept.size(), 1u);
    ASSERT_TRUE(network.tcp().listening()) << "the server went on beside the bad target";

    // a client connects; after the next tick the dialog shows it, and the target
    QTcpSocket client;
    const std::string at = network.tcp().address();
    client.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(std::stoi(at.substr(at.rfind(':') + 1))));
    ASSERT_TRUE(client.waitForConnected(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return network.tcp().client_count() == 1; }, 5000));
    testing::FakePort serial;
    OutputFanOut fan_out(serial);
    network.add_to(fan_out);
    fan_out.send("$GPRMC\r\n");
    dialog.refresh();
    EXPECT_TRUE(in<QLabel>(dialog, "tcp_stato")->text().contains(q(": 1 client collegati (al massimo 64)")));
    auto* clients = in<QTreeWidget>(dialog, "tcp_client");
    ASSERT_EQ(clients->topLevelItemCount(), 1);
    EXPECT_EQ(clients->topLevelItem(0)->text(0), QString("127.0.0.1:%1").arg(client.localPort()));
    auto* targets = in<QTreeWidget>(dialog, "udp_stato");
    ASSERT_EQ(targets->topLevelItemCount(), 2);
    EXPECT_EQ(targets->topLevelItem(1)->text(1), q("1"));
    // each target's own state: the refusal the loopback answers within the
    // second (or by a later one on a busy machine), and the listener's after it
    EXPECT_TRUE(QTest::qWaitFor([&] {
        if (targets->topLevelItem(0)->text(3) == q("rifiutato dalla destinazione")) return true;
        fan_out.send("$GPRMC\r\n");
        dialog.refresh();
        return false;
    }, 5000));
    EXPECT_EQ(targets->topLevelItem(0)->text(0), closed);
    fan_out.send("$GPRMC\r\n");
    dialog.refresh();
    EXPECT_EQ(targets->topLevelItem(1)->text(3), q("ok"));

    // the bad line taken away: Applica applies and keeps the dialog; Annulla
    // closes it, and changes nothing
    type(in<QPlainTextEdit>(dialog, "udp_destinazioni"), target);
    EXPECT_EQ(click(dialog, "applica"), QString());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(kept.back().udp_targets, std::vector<std::string>{target.toStdString()});
    dialog.open_on_settings();
    QTest::mouseClick(in<QCheckBox>(dialog, "tcp_attivo"), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(kept.size(), 2u);
    EXPECT_TRUE(network.tcp().listening());
}

// Every dialog fits a 1024 x 768 screen, whatever its statuses and refusals
// say: each text that wraps given a page of words, the dialog asks for no
// more than the screen holds, and shown at that size every table stays inside
// its frame and every text can be read whole (it wraps, or scrolls).
TEST(Dialogs, EveryOneFitsASmallScreenWhateverItsTextsSay) {
    testing::Rig rig;
    NetworkOutputs network;
    VehicleRoutes routes{rig.fleet};
    const auto nothing = [](const auto&) { return std::string(); };
    const auto done = [](const auto&) { return Result<>(); };
    // columns: the dialog's name, the dialog
    std::vector<std::tuple<const char*, std::unique_ptr<QDialog>>> dialogs;
    dialogs.emplace_back("Rete", std::make_unique<OutputsDialog>(network, done));
    dialogs.emplace_back("Controllo", std::make_unique<ControlDialog>(done, [] { return std::string(); }));
    dialogs.emplace_back("Porta", std::make_unique<PortDialog>([] { return std::vector<SerialDevice>{}; },
                                                               [](int) { return std::string(); }, done));
    dialogs.emplace_back("Guasti", std::make_unique<FaultsDialog>(Faults{}, nullptr));
    dialogs.emplace_back("Cielo e ricevitore", std::make_unique<SkyDialog>(SkyOptions{}, nullptr));
    dialogs.emplace_back("Bersagli AIS", std::make_unique<AisDialog>(
                                             AisSettings{}, done, nullptr,
                                             EncounterActions{[](const EncounterAsk&) {
                                                                  return Result<std::vector<std::string>>(Failure("no"));
                                                              },
                                                              [](std::size_t) { return std::optional<Approach>(); }},
                                             StationActions{[] { return StationsOnAir{}; },
                                                            [](const StationsOnAir&) {
                                                                return Result<std::vector<std::string>>(Failure("no"));
                                                            }}));
    dialogs.emplace_back("Strumenti di bordo", std::make_unique<InstrumentDialog>(InstrumentSettings{}, done, nullptr));
    dialogs.emplace_back("Strade", std::make_unique<TileDialog>(nothing));
    dialogs.emplace_back("Percorso", std::make_unique<RouteDialog>(rig.fleet, routes, 0));
    dialogs.emplace_back("Vai a posizione", std::make_unique<GoToDialog>(rig.form));
    dialogs.emplace_back("Flotta per server",
                         std::make_unique<ServerFleetDialog>(
                             ServerFleetActions{{}, [] { return TrackerOverview{}; }, {}, {}}, 1));
    QString page;
    for (int i = 0; i < 120; ++i) page += q("non attivo su [2001:db8::1]:10110: indirizzo non disponibile; ");
    for (auto& [name, dialog] : dialogs) {
        SCOPED_TRACE(name);
        // its statuses and refusals: the texts that wrap and start empty
        std::vector<QLabel*> said;
        for (QLabel* label : dialog->findChildren<QLabel*>())
            if (label->wordWrap() && label->text().isEmpty()) said.push_back(label);
        for (QLabel* label : said) label->setText(page);
        const QSize wanted = dialog->sizeHint();
        EXPECT_LE(wanted.width(), 1024) << wanted.width();
        EXPECT_LE(wanted.height(), 768 - 60) << wanted.height() << " (a title bar above)";
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->resize(wanted);
        QApplication::processEvents();
        for (const QAbstractItemView* table : dialog->findChildren<QAbstractItemView*>()) {
            if (!table->isVisible() || qobject_cast<const QHeaderView*>(table) != nullptr) continue;
            const QRect frame = table->parentWidget()->rect();
            EXPECT_TRUE(frame.contains(table->geometry())) << table->objectName().toStdString();
            EXPECT_GE(table->height(), 60) << table->objectName().toStdString();
        }
        for (const QLabel* label : said) {
            if (!label->isVisible()) continue;
            // whole, or inside a scroll area whose bar reaches the rest
            const bool scrolls = qobject_cast<QScrollArea*>(label->parentWidget()->parentWidget()) != nullptr;
            EXPECT_TRUE(scrolls || label->height() >= label->heightForWidth(label->width()))
                << label->objectName().toStdString();
        }
        // every caption whole: as tall as its text needs at the width it got
        for (const QLabel* label : dialog->findChildren<QLabel*>()) {
            if (!label->isVisible() || label->text().isEmpty() || std::find(said.begin(), said.end(), label) != said.end())
                continue;
            const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->minimumSizeHint().height();
            EXPECT_GE(label->height(), needed) << label->text().toStdString();
        }
        dialog->hide();
    }
}

TEST(ControlDialog, TheOperatorSwitchesTheInterfaceOnAndSeesWhyNot) {
    std::vector<ControlSettings> kept;
    std::string refusal = "interfaccia di controllo non attiva su [::1]:0: indirizzo non disponibile";
    ControlDialog dialog([&](const ControlSettings& s) { return kept.push_back(s), said(refusal); },
                         [] { return std::string("Spenta."); });
    dialog.open_on(ControlSettings{});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(in<QSpinBox>(dialog, "controllo_porta")->value(), 8080);
    EXPECT_EQ(in<QLabel>(dialog, "controllo_stato")->text(), q("Spenta."));
    QTest::mouseClick(in<QCheckBox>(dialog, "controllo_attivo"), Qt::LeftButton, {}, QPoint(5, 5));
    type(in<QLineEdit>(dialog, "controllo_indirizzo"), q("[::1]"));
    type(in<QSpinBox>(dialog, "controllo_porta"), q("0"));
    EXPECT_EQ(click(dialog, "ok").toStdString(), refusal);
    EXPECT_TRUE(dialog.isVisible()) << "OK closes only when it was done";
    refusal.clear();
    QTest::mouseClick(in<QPushButton>(dialog, "ok"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(kept, (std::vector<ControlSettings>(2, ControlSettings{true, "::1", 0})))
        << "the brackets are not the address's";
}

// The instruments' numbers with the decimal comma, a point read too, a
// correction left empty not known; a refusal names its field and puts the
// cursor there; Applica hands over and stays, OK hands over and closes.
TEST(InstrumentDialog, CommaDecimalsRefusalsAndTheChange) {
    InstrumentSettings current;
    current.depth = 12.5;
    current.variation = -2.25;
    std::vector<InstrumentSettings> changes;
    InstrumentDialog dialog(current, [&](const InstrumentSettings& s) { return changes.push_back(s), said(""); }, nullptr);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(in<QLineEdit>(dialog, "profondita")->text(), q("12,5"));
    EXPECT_EQ(in<QLineEdit>(dialog, "variazione")->text(), q("-2,25"));
    EXPECT_EQ(in<QLineEdit>(dialog, "deviazione")->text(), q(""));
    // the field typed in, the text, the start of what is said after Applica ("" taken)
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"vento_nodi", "quindici", "vento_nodi: un numero"},
        {"vento_nodi", "250", "la velocità del vento in nodi va da 0 a 200"},
        {"vento_nodi", "15,5", ""},
        {"vento_direzione", "270.5", ""},
        {"variazione", "", ""},
    };
    for (const auto& [field, text, start] : rows) {
        type(in<QLineEdit>(dialog, field), q(text));
        if (*text == '\0') QTest::keyClick(in<QLineEdit>(dialog, field), Qt::Key_Delete);  // the selection typed over
        QTest::mouseClick(in<QPushButton>(dialog, "applica"), Qt::LeftButton);
        const std::string told = in<QLabel>(dialog, "problema")->text().toStdString();
        EXPECT_EQ(told.rfind(start, 0), 0u) << text << ": " << told;
        EXPECT_TRUE(*start == '\0' || in<QLineEdit>(dialog, field)->hasFocus()) << text;
        EXPECT_TRUE(dialog.isVisible()) << "Applica keeps the dialog";
    }
    ASSERT_EQ(changes.size(), 3u) << "only what was taken";
    EXPECT_EQ(changes.back().wind, (Flow{270.5, 15.5}));
    EXPECT_EQ(changes.back().variation, std::nullopt);
    EXPECT_EQ(changes.back().depth, 12.5);
    in<QCheckBox>(dialog, "strumenti_attivi")->setChecked(true);
    QTest::mouseClick(in<QPushButton>(dialog, "ok"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(changes.back().enabled);
}

// Each refusal is said under the table with the vehicle's number and the
// cell at fault selected; the program's own refusal too.
TEST(AisDialog, TheDialogRefusesWhatCannotBeSentAndHandsOverTheRest) {
    QMainWindow window;
    AisSettings current;
    current.vehicles[1].name = "Alfa";
    std::vector<AisSettings> changes;
    std::string program_says = "l'MMSI è già di un altro";
    add_ais_entry(*window.menuBar()->addMenu(q("&Opzioni")), [&] { return current; }, [&](const AisSettings& s) {
        changes.push_back(s);
        return said(std::exchange(program_says, ""));
    });
    // the column typed in, the text, what is said under the table after OK ("" when closed), the column
    // selected (-1: any)
    const std::tuple<int, const char*, const char*, int> rows[] = {
        {0, "12a", "Mezzo 3: l'MMSI ha nove cifre", 0},
        {0, "247000003", "Mezzo 3: la classe AIS è A o B, non \"C\"", 1},
        {1, "b", "Mezzo 3: il tipo di nave AIS va da 0 (non disponibile) a 99, non \"300\"", 3},
        {3, "37", "Mezzo 3: il nome AIS ha al massimo 20 caratteri", 2},
        {2, "Libeccio è bello", "l'MMSI è già di un altro", -1},
        {2, "Libeccio è bello", "", -1},
    };
    when_modal([&](QWidget* dialog) {
        auto* table = in<QTableWidget>(*dialog, "ais_mezzi");
        EXPECT_EQ(table->item(1, 2)->text(), q("Alfa"));
        in<QCheckBox>(*dialog, "ais_attivi")->setChecked(true);
        EXPECT_FALSE(in<QCheckBox>(*dialog, "ais_statici_subito")->isChecked());
        in<QCheckBox>(*dialog, "ais_statici_subito")->setChecked(true);
        table->item(3, 1)->setText(q("C"));
        table->item(3, 2)->setText(q("Un nome lungo più di venti"));
        table->item(3, 3)->setText(q("300"));
        for (const auto& [column, text, start, at_fault] : rows) {
            table->item(3, column)->setText(q(text));
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            const std::string said = in<QLabel>(*dialog, "problema")->text().toStdString();
            EXPECT_EQ(said.rfind(start, 0), 0u) << text << ": " << said;
            EXPECT_TRUE(at_fault < 0 || table->currentColumn() == at_fault) << text << ": column";
            if (dialog->isHidden()) return;
        }
        dialog->close();  // still open after the last row: said above, not waited for
    });
    in<QAction>(window, "opzione_ais")->trigger();
    ASSERT_EQ(changes.size(), 2u) << "the program's refusal kept the dialog open";
    EXPECT_EQ(changes[1].vehicles[3], (AisIdentity{247000003, AisClass::b, "Libeccio è bello", 37, "", {}}));
    EXPECT_TRUE(changes[1].enabled);
    EXPECT_TRUE(changes[1].statics_at_once);
    EXPECT_FALSE(changes[1].own_ship);
    EXPECT_EQ(changes[1].vehicles[1].name, "Alfa");
}

// The encounter's boxes as the operator types them: the decimal comma or
// point, the ranges the program takes, the side; a refusal names its box.
TEST(EncounterBox, TheBoxesAreReadAsTyped) {
    // vehicle, CPA, TCPA, side, the field refused ("" read), CPA and TCPA read, port
    const std::tuple<const char*, const char*, const char*, const char*, const char*, double, double, bool> rows[] = {
        {"3", "0,5", "6", "dritta", "", 0.5, 6.0, false},
        {" 20 ", "1.25", "12,5", "sinistra", "", 1.25, 12.5, true},
        {"1", "0", "0,1", "dritta", "", 0.0, 0.1, false},
        {"+2", "2e-1", " 7 ", "dritta", "", 0.2, 7.0, false},
        {"0", "0,5", "6", "dritta", "", 0.5, 6.0, false},  // the own ship: the program says so
        {"21", "0,5", "6", "dritta", "mezzo", 0, 0, false},
        {"-1", "0,5", "6", "dritta", "mezzo", 0, 0, false},
        {"1,5", "0,5", "6", "dritta", "mezzo", 0, 0, false},
        {"", "0,5", "6", "dritta", "mezzo", 0, 0, false},
        {"1", "", "6", "dritta", "cpa", 0, 0, false},
        {"1", "0,5,", "6", "dritta", "cpa", 0, 0, false},
        {"1", "1.000,5", "6", "dritta", "cpa", 0, 0, false},
        {"1", "-0,1", "6", "dritta", "cpa", 0, 0, false},
        {"1", "inf", "6", "dritta", "cpa", 0, 0, false},
        {"1", "0,5", "0", "dritta", "tcpa", 0, 0, false},
        {"1", "0,5", "-3", "dritta", "tcpa", 0, 0, false},
        {"1", "0,5", "sei", "dritta", "tcpa", 0, 0, false},
        {"1", "0,5", "6", "babordo", "lato", 0, 0, false},
    };
    for (const auto& [vehicle, cpa, tcpa, side, refused, miles, minutes, port] : rows) {
        const auto got = read_encounter_boxes(vehicle, cpa, tcpa, side);
        const std::string row = std::string(vehicle) + " " + cpa + " " + tcpa + " " + side;
        if (*refused != '\0') {
            ASSERT_TRUE(std::holds_alternative<Refusal>(got)) << row;
            EXPECT_EQ(std::get<Refusal>(got).field, refused) << row;
            EXPECT_FALSE(std::get<Refusal>(got).reason.empty()) << row;
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<EncounterAsk>(got)) << row << ": " << std::get<Refusal>(got).reason;
        const EncounterAsk& ask = std::get<EncounterAsk>(got);
        EXPECT_EQ(ask.vehicle, std::stoul(std::string(vehicle).substr(std::string(vehicle).find_first_of("0123456789"))))
            << row;
        EXPECT_DOUBLE_EQ(ask.cpa_miles, miles) << row;
        EXPECT_DOUBLE_EQ(ask.tcpa_minutes, minutes) << row;
        EXPECT_EQ(ask.side, port ? Side::port : Side::starboard) << row;
    }
}

// In "Bersagli AIS...": a wrong value said as it is typed with "Prepara
// incontro" off; Return in a box prepares (the dialog stays); the program's
// refusal said; once prepared, its CPA and TCPA told and told again each second.
TEST(EncounterBox, TypedPreparedAndFollowed) {
    std::vector<EncounterAsk> asked;
    std::string refusal = "il mezzo 2 è la nave propria";
    Approach now{0.5, 6.0};
    AisDialog dialog(AisSettings{}, [](const AisSettings&) { return Result<>(); }, nullptr,
                     EncounterActions{[&](const EncounterAsk& ask) -> Result<std::vector<std::string>> {
                                          asked.push_back(ask);
                                          if (!refusal.empty()) return Refusal{"incontro", std::exchange(refusal, "")};
                                          return std::vector<std::string>{"il mezzo 3 passa a 0,75 miglia"};
                                      },
                                      [&](std::size_t n) {
                                          EXPECT_EQ(n, 3u);
                                          return std::optional<Approach>(now);
                                      }});
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* said = in<QLabel>(dialog, "incontro_capito");
    auto* prepare = in<QPushButton>(dialog, "prepara_incontro");
    auto* cpa = in<QLineEdit>(dialog, "incontro_cpa");
    in<QComboBox>(dialog, "incontro_mezzo")->setCurrentText(q("2"));
    type(cpa, q("0,7x"));
    EXPECT_TRUE(said->text().startsWith(q("il CPA è un numero"))) << said->text().toStdString();
    EXPECT_FALSE(prepare->isEnabled());
    QTest::keyClick(cpa, Qt::Key_Backspace);
    QTest::keyClicks(cpa, q("5"));
    EXPECT_EQ(said->text(), q("Il mezzo 2 passerà a 0,75 miglia sulla dritta tra 6 minuti"));
    EXPECT_TRUE(prepare->isEnabled());
    QTest::keyClick(cpa, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "Return prepares, it is not OK";
    EXPECT_EQ(said->text(), q("il mezzo 2 è la nave propria"));
    EXPECT_TRUE(in<QLabel>(dialog, "incontro_ora")->text().isEmpty());
    in<QComboBox>(dialog, "incontro_mezzo")->setCurrentText(q("3"));
    in<QComboBox>(dialog, "incontro_lato")->setCurrentIndex(1);
    QTest::mouseClick(prepare, Qt::LeftButton);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], (EncounterAsk{2, 0.75, 6.0, Side::starboard}));
    EXPECT_EQ(asked[1], (EncounterAsk{3, 0.75, 6.0, Side::port}));
    EXPECT_EQ(said->text(), q("Fatto: il mezzo 3 passa a 0,75 miglia"));
    EXPECT_EQ(in<QLabel>(dialog, "incontro_ora")->text(), q("Mezzo 3: CPA 0,50 miglia, TCPA 6,0 minuti"));
    now = {0.52, -1.26};
    QTRY_COMPARE(in<QLabel>(dialog, "incontro_ora")->text(),
                 q("Mezzo 3: CPA 0,52 miglia, passato da 1,3 minuti"));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

// Buoys and the SART from "Bersagli AIS...": what is wrong said as it is
// typed, Return adds a buoy, the SART switched on at its position and off,
// a position it cannot read leaves it off; the program's refusal said.
TEST(StationsBox, BuoysAddedAndTheSartSwitched) {
    StationsOnAir on_air;
    std::vector<StationsOnAir> changes;
    std::string refusal;
    AisDialog dialog(AisSettings{}, [](const AisSettings&) { return Result<>(); }, nullptr, {},
                     StationActions{[&] { return on_air; },
                                    [&](const StationsOnAir& s) -> Result<std::vector<std::string>> {
                                        changes.push_back(s);
                                        if (!refusal.empty()) return Refusal{"boa", std::exchange(refusal, "")};
                                        on_air = s;
                                        return std::vector<std::string>{"1 boa"};
                                    }});
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* said = in<QLabel>(dialog, "stazioni_capito");
    auto* name = in<QLineEdit>(dialog, "boa_nome");
    auto* position = in<QLineEdit>(dialog, "boa_posizione");
    auto* sart = in<QCheckBox>(dialog, "sart_acceso");
    EXPECT_EQ(in<QLabel>(dialog, "stazioni_in_onda")->text(), q("Nessuna boa."));
    type(name, q("Boa Nord"));
    type(position, q("44 05 N"));
    EXPECT_EQ(said->text(), q("boa: servono latitudine e longitudine"));
    EXPECT_FALSE(in<QPushButton>(dialog, "aggiungi_boa")->isEnabled());
    QTest::keyClick(position, Qt::Key_Return);
    EXPECT_TRUE(changes.empty()) << "nothing to add";
    EXPECT_TRUE(dialog.isVisible()) << "Return in a box is not OK";
    type(position, q("44 05 N 9 49,5 E"));
    EXPECT_TRUE(said->text().startsWith(q("Boa \"Boa Nord\" a 44"))) << said->text().toStdString();
    QTest::keyClick(position, Qt::Key_Return);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(on_air.buoys, (std::vector<Buoy>{{"Boa Nord", (44 * 60 + 5) * 60.0, (9 * 60 + 49.5) * 60.0}}));
    EXPECT_EQ(said->text(), q("Fatto: 1 boa"));
    EXPECT_EQ(in<QLabel>(dialog, "stazioni_in_onda")->text(), q("Boe: Boa Nord."));
    refusal = "al più 50 boe, non 51";
    QTest::mouseClick(in<QPushButton>(dialog, "aggiungi_boa"), Qt::LeftButton);
    EXPECT_EQ(said->text(), q("al più 50 boe, non 51"));
    EXPECT_EQ(on_air.buoys.size(), 1u);
    // the SART: no position, then one
    sart->click();
    EXPECT_FALSE(sart->isChecked());
    EXPECT_TRUE(said->text().startsWith(q("SART: "))) << said->text().toStdString();
    type(in<QLineEdit>(dialog, "sart_posizione"), q("44,02 10"));
    QTest::keyClick(in<QLineEdit>(dialog, "sart_posizione"), Qt::Key_Return);
    ASSERT_TRUE(on_air.sart);
    EXPECT_EQ(*on_air.sart, (Sart{44.02 * 3600.0, 10 * 3600.0, default_sart_mmsi}));
    EXPECT_TRUE(sart->isChecked());
    EXPECT_EQ(on_air.buoys.size(), 1u) << "the buoys stay";
    sart->click();
    EXPECT_FALSE(on_air.sart);
    QTest::mouseClick(in<QPushButton>(dialog, "togli_boe"), Qt::LeftButton);
    EXPECT_TRUE(on_air.buoys.empty());
    EXPECT_FALSE(in<QPushButton>(dialog, "togli_boe")->isEnabled());
    EXPECT_EQ(changes.size(), 5u) << "added, refused, SART on, off, buoys taken away";
}

// ---- Opzioni ----

class OptionsMenuTest : public ::testing::Test {
protected:
    testing::Rig rig;
    QMainWindow window;
    std::vector<ReceiverOptions> kept;
    std::string problem;
    OptionsMenu menu{rig.form, *window.menuBar(), [this](const ReceiverOptions& o) {
                         kept.push_back(o);
                         return said(problem);
                     }};
    QAction& action(const char* name) { return *window.findChild<QAction*>(QString::fromLatin1(name)); }
};

TEST_F(OptionsMenuTest, EachEntrySwitchesItsOptionAndHandsItOverToBeKept) {
    const std::pair<const char*, bool ReceiverOptions::*> rows[] = {
        {"opzione_utc", &ReceiverOptions::utc},
        {"opzione_moto_reale", &ReceiverOptions::real_motion},
        {"opzione_frasi_complete", &ReceiverOptions::full_set},
        {"opzione_senza_fix", &ReceiverOptions::no_fix},
    };
    for (const auto& [name, option] : rows) {
        for (const bool on : {true, false}) {
            action(name).trigger();
            EXPECT_EQ(rig.transmitter.receiver().*option, on) << name;
            EXPECT_EQ(kept.back(), rig.transmitter.receiver()) << name;
            EXPECT_EQ(action(name).isChecked(), on) << name;
        }
    }
    ReceiverOptions lost = rig.transmitter.receiver();
    lost.no_fix = true;  // as SIGUSR1 does
    rig.transmitter.set_receiver(lost);
    menu.refresh();
    EXPECT_TRUE(action("opzione_senza_fix").isChecked());
    problem = "impossibile salvare vadrel.ini";
    action("opzione_utc").trigger();
    EXPECT_TRUE(rig.transmitter.receiver().utc) << "the option holds for this run all the same";
    ASSERT_EQ(rig.shell.messages.size(), 1u);
    EXPECT_NE(rig.shell.messages[0].find(problem), std::string::npos);
}

// "Ricevitore moderno": the three options of a receiver of today in one
// step, the others as they were, kept as any other entry.
TEST_F(OptionsMenuTest, ModernReceiverTurnsOnTheThreeAtOnce) {
    ReceiverOptions expected = rig.transmitter.receiver();
    expected.altitude = 120;
    rig.transmitter.set_receiver(expected);
    action("opzione_ricevitore_moderno").trigger();
    expected.utc = expected.real_motion = expected.full_set = true;
    EXPECT_EQ(rig.transmitter.receiver(), expected);
    EXPECT_EQ(kept, std::vector<ReceiverOptions>{expected});
    EXPECT_TRUE(action("opzione_moto_reale").isChecked());
}

// The receiver in force shares the status bar of a window of fixed width
// with the lines after it (the clock, the autopilot): it gives way, shown
// cut short with its whole text as the tip, and the others stay in sight.
TEST_F(OptionsMenuTest, TheReceiverInForceGivesWayToTheLinesAfterIt) {
    auto* client = new QWidget;
    client->setFixedSize(400, 100);
    window.setCentralWidget(client);
    window.layout()->setSizeConstraint(QLayout::SetFixedSize);
    QLabel& receiver = menu.receiver_label();
    window.statusBar()->addWidget(&receiver);
    receiver.show();
    menu.refresh();
    QLabel after(q("2026-12-08 04:00:52 UTC x1 Pausa Pilota: in attesa delle frasi"));
    window.statusBar()->addPermanentWidget(&after);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();
    EXPECT_LE(window.width(), 420);
    EXPECT_LE(after.geometry().right(), window.statusBar()->width()) << "the line after it is cut";
    EXPECT_LT(receiver.width(), receiver.sizeHint().width());
    receiver.grab();  // painted at that width
    EXPECT_EQ(receiver.toolTip(), receiver.text());
    EXPECT_EQ(receiver.text(), q("Ricevitore classico (modem radio): velocità e rotta sempre a zero"));
}

// The receiver in force is told whichever way it changes; "Ricevitore classico" goes back with the other options kept.
TEST_F(OptionsMenuTest, TheReceiverInForceIsAlwaysShown) {
    const auto shown = [this] { return window.findChild<QLabel*>(q("ricevitore_in_uso"))->text().toStdString(); };
    menu.refresh();
    EXPECT_EQ(shown(), "Ricevitore classico (modem radio): velocità e rotta sempre a zero");
    action("opzione_ricevitore_moderno").trigger();
    EXPECT_EQ(shown(), "Ricevitore moderno (gpsd, plotter): velocità e rotta reali");
    action("opzione_utc").trigger();
    EXPECT_EQ(shown(), "Ricevitore su misura: velocità e rotta reali");
    ReceiverOptions o = rig.transmitter.receiver();
    o.altitude = 33;
    rig.transmitter.set_receiver(o);
    action("opzione_ricevitore_classico").trigger();
    EXPECT_EQ(shown(), "Ricevitore classico (modem radio): velocità e rotta sempre a zero");
    EXPECT_EQ(rig.transmitter.receiver().altitude, 33);
    EXPECT_EQ(kept.back(), rig.transmitter.receiver());
    EXPECT_FALSE(action("opzione_moto_reale").isChecked());
}

// The first start's questions: each answer goes where it belongs, once; the
// question does not take the keyboard from the panel.
TEST(FirstStart, TheAnswersGoWhereTheyBelong) {
    QWidget panel;
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    std::vector<ReceiverKind> chosen;
    QPointer<FirstStartDialog> alone =
        new FirstStartDialog(panel, [&](ReceiverKind k) { chosen.push_back(k); }, {}, 2, "");
    alone->show();
    EXPECT_TRUE(alone->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(alone->findChild<QWidget*>(q("parte_porta")), nullptr) << "no port asked for";
    QTest::mouseClick(in<QPushButton>(*alone, "ricevitore_moderno"), Qt::LeftButton);
    EXPECT_EQ(chosen, std::vector<ReceiverKind>{ReceiverKind::modern});
    QTRY_VERIFY(alone.isNull());  // nothing else to ask: gone

    // name, what making the port gives (path, problem), what the dialog then shows
    const std::tuple<const char*, FirstStartDialog::Made, const char*> rows[] = {
        {"made", {"/dev/pts/9", ""}, "Porta virtuale pronta:"},
        {"refused", {"", "COM 2: porta virtuale non disponibile: openpty: troppi file aperti"},
         "COM 2: porta virtuale non disponibile: openpty: troppi file aperti"},
    };
    for (const auto& [name, made, said] : rows) {
        int asked = 0;
        FirstStartDialog both(panel, [&](ReceiverKind k) { chosen.push_back(k); },
                              [&, made = made] { return ++asked, made; }, 2, "porta inesistente: /dev/ttyS1");
        both.show();
        EXPECT_TRUE(both.findChild<QWidget*>(q("parte_porta"))->findChild<QLabel*>()->text().startsWith(
            q("La COM 2 non si apre: porta inesistente: /dev/ttyS1.")))
            << name;
        EXPECT_EQ(in<QPushButton>(both, "crea_porta_virtuale")->text(), q("Crea la &porta virtuale COM 2")) << name;
        QTest::mouseClick(in<QPushButton>(both, "ricevitore_classico"), Qt::LeftButton);
        EXPECT_EQ(chosen.back(), ReceiverKind::classic) << name;
        EXPECT_TRUE(both.isVisible()) << name << ": the port still to answer";
        EXPECT_FALSE(in<QWidget>(both, "parte_ricevitore")->isVisible()) << name;
        QTest::mouseClick(in<QPushButton>(both, "crea_porta_virtuale"), Qt::LeftButton);
        EXPECT_EQ(asked, 1) << name;
        EXPECT_EQ(in<QLabel>(both, "esito_porta")->text(), q(said)) << name;
        const bool ok = made.problem.empty();
        EXPECT_EQ(in<QLineEdit>(both, "percorso_porta")->isVisible(), ok) << name;
        EXPECT_EQ(in<QPushButton>(both, "crea_porta_virtuale")->isVisible(), !ok) << name << ": tried again";
        if (ok) {
            QTest::mouseClick(in<QPushButton>(both, "copia_percorso"), Qt::LeftButton);
            EXPECT_EQ(QApplication::clipboard()->text(), q("/dev/pts/9"));
        }
    }
    EXPECT_EQ(chosen.size(), 3u);
}

// "Cielo e ricevitore...": what cannot be used is refused with the command
// line's reason; what can is handed over whole.
TEST_F(OptionsMenuTest, TheSkyDialogTakesWhatTheCommandLineTakes) {
    QString refused;
    when_modal([&refused](QWidget* dialog) {
        QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        in<QCheckBox>(*dialog, "satelliti")->setChecked(true);
        in<QDoubleSpinBox>(*dialog, "maschera")->setValue(15);
        in<QComboBox>(*dialog, "frequenza")->setCurrentText(q("10"));
        in<QComboBox>(*dialog, "talker")->setCurrentText(q("GN"));
        in<QLineEdit>(*dialog, "ostacoli")->setText(q("200-340:40 ovest"));
        ok->click();
        refused = in<QLabel>(*dialog, "problema")->text();
        in<QLineEdit>(*dialog, "ostacoli")->setText(q("200-340:40  350-10:20"));
        in<QLineEdit>(*dialog, "elenco_frasi")->setText(q("rmc,gsv"));
        ok->click();
        dialog->close();  // refused again: said below, not waited for
    });
    action("opzione_cielo").trigger();
    EXPECT_TRUE(refused.contains(q("un ostacolo si scrive"))) << refused.toStdString();
    const SkyOptions expected{true, 15, {{200, 340, 40}, {350, 10, 20}}, 0, 10, Talker::gn,
                         {SentenceKind::rmc, SentenceKind::gsv}};
    EXPECT_EQ(rig.transmitter.receiver().sky_options, expected);
    EXPECT_EQ(kept, std::vector<ReceiverOptions>{rig.transmitter.receiver()}) << "handed over once";
}

TEST_F(OptionsMenuTest, TheFaultsDialogTakesOnlyRatesThatCanBeUsed) {
    QString refused;
    when_modal([&refused](QWidget* dialog) {
        QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        EXPECT_FALSE(in<QCheckBox>(*dialog, "guasti_attivi")->isChecked()) << "as they are: off";
        EXPECT_EQ(in<QDoubleSpinBox>(*dialog, "perdita")->text(), q("0,000")) << "with the comma";
        in<QCheckBox>(*dialog, "guasti_attivi")->setChecked(true);
        in<QDoubleSpinBox>(*dialog, "perdita")->setValue(0.2);
        in<QDoubleSpinBox>(*dialog, "checksum")->setValue(0.6);
        in<QDoubleSpinBox>(*dialog, "tronca")->setValue(0.5);
        in<QLineEdit>(*dialog, "seme")->setText(q("18446744073709551615"));
        ok->click();
        refused = in<QLabel>(*dialog, "problema")->text();
        in<QDoubleSpinBox>(*dialog, "tronca")->setValue(0.4);
        ok->click();
        dialog->close();  // refused again: said below, not waited for
    });
    action("opzione_guasti").trigger();
    EXPECT_TRUE(refused.contains(q("non possono superare 1"))) << refused.toStdString();
    const Faults expected{true, 0.2, 0.6, 0.4, 18446744073709551615ULL};
    EXPECT_EQ(rig.transmitter.receiver().faults, expected);
    EXPECT_TRUE(action("opzione_guasti").isChecked());
    EXPECT_EQ(kept.size(), 1u);
}

// "Quota..." writes and reads the height with the comma, as the panel does.
TEST_F(OptionsMenuTest, AltitudeWithTheComma) {
    // columns: typed, the height taken
    const std::vector<std::tuple<const char*, double>> rows{{"12,5", 12.5}, {"-3,2", -3.2}, {"100000", 100000.0}};
    double before = rig.transmitter.receiver().altitude;
    for (const auto& [typed, taken] : rows) {
        QString shown;
        when_modal([&shown, typed](QWidget* dialog) {
            auto* box = dialog->findChild<QDoubleSpinBox*>();
            shown = box->text();
            box->selectAll();
            QTest::keyClicks(box, q(typed));
            QTest::keyClick(box, Qt::Key_Return);
        });
        action("opzione_quota").trigger();
        EXPECT_EQ(shown, QLocale(QLocale::Italian).toString(before, 'f', 1).remove(QLatin1Char('.'))) << typed;
        EXPECT_TRUE(shown.contains(QLatin1Char(','))) << shown.toStdString();
        EXPECT_DOUBLE_EQ(rig.transmitter.receiver().altitude, taken) << typed;
        before = taken;
    }
}

// "Guasti..." while faults go out opens the dialog, as it does while they do
// not: a rate changed with one OK, the box that switches them off, Annulla.
TEST_F(OptionsMenuTest, FaultsAlwaysOpensTheDialogOnAndOffIsItsBox) {
    const Faults on{true, 0.2, 0.6, 0.4, 7};
    ReceiverOptions o = rig.transmitter.receiver();
    o.faults = on;
    rig.transmitter.set_receiver(o);
    menu.refresh();
    // columns: what the operator does in the dialog, the faults after, the check mark after
    const std::vector<std::tuple<std::function<void(QWidget&)>, Faults, bool>> rows{
        {[](QWidget& d) { in<QDoubleSpinBox>(d, "perdita")->setValue(0.3); }, Faults{true, 0.3, 0.6, 0.4, 7}, true},
        {[](QWidget& d) { in<QCheckBox>(d, "guasti_attivi")->setChecked(false); }, Faults{false, 0.3, 0.6, 0.4, 7},
         false},
        {[](QWidget& d) { in<QCheckBox>(d, "guasti_attivi")->setChecked(true); }, Faults{true, 0.3, 0.6, 0.4, 7}, true},
    };
    for (const auto& [act, after, checked] : rows) {
        bool opened = false;
        when_modal([this, &opened, &act](QWidget* dialog) {
            opened = true;
            EXPECT_EQ(in<QCheckBox>(*dialog, "guasti_attivi")->isChecked(), rig.transmitter.receiver().faults.enabled)
                << "the box as the faults are";
            act(*dialog);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        action("opzione_guasti").trigger();
        EXPECT_TRUE(opened) << "one click opens the dialog";
        EXPECT_EQ(rig.transmitter.receiver().faults, after);
        EXPECT_EQ(action("opzione_guasti").isChecked(), checked);
    }
    when_modal([](QWidget* dialog) {
        in<QCheckBox>(*dialog, "guasti_attivi")->setChecked(false);
        dialog->close();
    });
    action("opzione_guasti").trigger();
    EXPECT_TRUE(rig.transmitter.receiver().faults.enabled) << "Annulla changes nothing";
    EXPECT_TRUE(action("opzione_guasti").isChecked());
    EXPECT_EQ(kept.size(), 3u);
}

// ---- Registrazione ----

class RecordingMenuTest : public ::testing::Test {
protected:
    RecordingMenuTest() {
        port.force_open();
        fan_out.add(recorder);
        menu = std::make_unique<RecordingMenu>(
            *window.menuBar(),
            RecordingActions{[this](const std::string& p) { return recorder.start(p); }, [this] { recorder.stop(); },
                             [this] { return recorder.recording(); },
                             [this](const CheckedLog& log, double x, bool loop) { return replay.start(log, x, loop); },
                             [this] { replay.stop(); }, [this] { return replay.running(); },
                             [this] { return replay.progress(); },
                             [this](const std::string& p) { return tracks = p, Result<>(); },
                             [this](QWidget*, const QString&, const QString&, bool) { return chosen; },
                             [] { return false; },
                             [this] { tracks.clear(); },
                             [this] {
                                 return RecordingActions::Files{recorder.recording() ? recorder.path() : "",
                                                                replay.running() ? replay.path() : "", tracks};
                             }},
            &window);
        replay.on_tick = [this](const std::string&, const Delivery&) { menu->refresh(); };
        replay.on_finished = [this](const std::string&) { menu->refresh(); };
    }
    QAction* action(const char* name) { return in<QAction>(window, name); }
    // The file the file dialog gives, in the folder; made with `bytes`, if any.
    void choose(const char* name, const char* bytes = nullptr) {
        if (bytes != nullptr) folder.put(name, bytes);
        chosen = QString::fromStdString(folder.at(name));
    }

    testing::ScratchFolder folder;
    testing::FakePort port;
    OutputFanOut fan_out{port};
    Recorder recorder;
    Replay replay{fan_out};
    QMainWindow window;
    std::unique_ptr<RecordingMenu> menu;
    QString chosen;
    std::string tracks;  // the GPX file being written
};

// Recording on and off, what runs said beside the transmission status with
// the files in the tooltip; a running GPX export stops from the menu.
TEST_F(RecordingMenuTest, RecordOnAndOffAndWhatRunsIsSaid) {
    QLabel& said = menu->activity_label();
    chosen = QStringLiteral("/dev/null");  // refused: said, and nothing records
    const QString refused = said_after([this] { action("registra")->trigger(); });
    EXPECT_TRUE(refused.contains(QStringLiteral("non è un file normale"))) << refused.toStdString();
    EXPECT_FALSE(action("registra")->isChecked());
    EXPECT_EQ(said.text(), QString());
    EXPECT_FALSE(action("ferma_gpx")->isEnabled());
    choose("tracce.gpx");
    said_after([this] { action("esporta_gpx")->trigger(); });
    EXPECT_EQ(said.text(), QStringLiteral("Esporta GPX"));
    EXPECT_EQ(said.toolTip(), QStringLiteral("Tracce GPX in ") + chosen);
    choose("giro.nmea");
    action("registra")->trigger();
    EXPECT_TRUE(recorder.recording() && action("registra")->isChecked());
    EXPECT_EQ(said.text(), QStringLiteral("Reg · GPX"));
    EXPECT_TRUE(said.toolTip().startsWith(QStringLiteral("Registrazione in ") + chosen + QLatin1Char('\n')));
    action("ferma_gpx")->trigger();
    EXPECT_TRUE(tracks.empty());
    EXPECT_EQ(said.text(), QStringLiteral("Registra"));
    EXPECT_FALSE(action("ferma_gpx")->isEnabled());
    action("registra")->trigger();
    EXPECT_FALSE(recorder.recording() || action("registra")->isChecked());
    EXPECT_EQ(said.text(), QString());
}

TEST_F(RecordingMenuTest, ALogPlaysToTheEndWithItsProgress) {
    choose("giro.nmea", "# 2026-12-06T10:00:00.000Z\n$A*41\r\n# 2026-12-06T10:00:01.000Z\n$B*42\r\n");
    action("riproduci")->trigger();
    ASSERT_TRUE(menu->replay_dialog().isVisible());
    in<QCheckBox>(menu->replay_dialog(), "massima")->setChecked(true);
    QTest::mouseClick(in<QPushButton>(menu->replay_dialog(), "avvia"), Qt::LeftButton);
    EXPECT_FALSE(action("riproduci")->isEnabled());
    QTRY_VERIFY(!replay.running());
    EXPECT_EQ(port.written, (std::vector<std::string>{"$A*41\r\n", "$B*42\r\n"}));
    EXPECT_EQ(in<QProgressBar>(menu->replay_dialog(), "avanzamento")->value(), 1000);
    EXPECT_TRUE(action("riproduci")->isEnabled());
    EXPECT_TRUE(in<QPushButton>(menu->replay_dialog(), "avvia")->isEnabled());
}

TEST_F(RecordingMenuTest, DamagedLinesGoOnlyWhenTheOperatorSaysSo) {
    choose("rotto.nmea", "$GPZDA,100000,06,12,2026,00,00*4A\r\n$GPGSV*00\r\n");
    for (const auto button : {QMessageBox::No, QMessageBox::Yes}) {
        QString said;
        when_modal([&](QWidget* box) {
            said = static_cast<QMessageBox*>(box)->text();
            static_cast<QMessageBox*>(box)->button(button)->click();
        });
        action("riproduci")->trigger();
        EXPECT_TRUE(said.contains(QStringLiteral("riga 2: checksum errato"))) << said.toStdString();
        EXPECT_EQ(menu->replay_dialog().isVisible(), button == QMessageBox::Yes);
    }
    choose("vuoto.nmea", "");
    const QString said = said_after([this] { action("riproduci")->trigger(); });
    EXPECT_TRUE(said.contains(QStringLiteral("è vuoto"))) << said.toStdString();
    EXPECT_TRUE(port.written.empty());
}

// A large log: its reading shows how far it is once it takes more than half
// a second, and "Annulla" stops it with nothing said; so does the end of the program.
TEST_F(RecordingMenuTest, TheReadingOfALargeLogStopsWhenAsked) {
    choose("grande.nmea", "");
    ASSERT_EQ(::truncate(folder.at("grande.nmea").c_str(), 16LL << 30), 0);  // a hole, no room taken
    QString shown;
    when_modal([&](QWidget* modal) {
        shown = modal->objectName();
        if (auto* progress = qobject_cast<QProgressDialog*>(modal)) progress->cancel();
    });
    const QString said = said_after([this] { action("riproduci")->trigger(); });
    EXPECT_EQ(shown, QStringLiteral("lettura_registro"));
    EXPECT_EQ(said, QString()) << "cancelled: nothing to say";
    EXPECT_FALSE(menu->replay_dialog().isVisible());
    const CheckResult ended = examine_with_progress(folder.at("grande.nmea"), &window, [] { return true; });
    EXPECT_TRUE(std::holds_alternative<CheckInterrupted>(ended));
}

// The clock's line: the UTC to the second, the rate, the pause, the events.
TEST(ClockStatus, TheLineSaysTimeRatePauseAndEvents) {
    using Events = std::optional<std::pair<std::size_t, std::size_t>>;
    // name, line, text
    const std::vector<std::tuple<const char*, ClockLine, QString>> rows{
        {"wall clock", {"2026-12-08T00:10:05.250Z", 1.0, false, false, {}}, "2026-12-08 00:10:05 UTC  x1"},
        {"leap second", {"2016-12-31T23:59:60.500Z", 10.0, false, false, {}}, "2016-12-31 23:59:60 UTC  x10"},
        {"slow, paused", {"2016-12-31T23:59:59.000Z", 0.5, false, true, {}}, "2016-12-31 23:59:59 UTC  x0.5 (pausa)"},
        {"max, events", {"2016-12-31T23:59:59.000Z", 10.0, true, false, Events{{3, 7}}},
         "2016-12-31 23:59:59 UTC  max  evento 3/7"},
        {"no events", {"2016-12-31T23:59:59.000Z", 1000.0, false, false, Events{{0, 0}}},
         "2016-12-31 23:59:59 UTC  x1000  senza eventi"},
    };
    for (const auto& [name, line, text] : rows) EXPECT_EQ(clock_line_text(line), text) << name;
}

// The button pauses a running clock and resumes a paused one, as the
// clock says it is, not as the button last was.
TEST(ClockStatus, TheButtonAsksTheOppositeOfTheClock) {
    ClockLine line{"2016-12-31T23:59:59.000Z", 10.0, false, false, {}};
    std::vector<bool> asked;
    ClockStatus status([&] { return line; }, [&](bool pause) { asked.push_back(pause); });
    auto* button = status.findChild<QToolButton*>(QStringLiteral("tempo_pausa"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("Pausa"));
    button->click();
    line.paused = true;  // paused elsewhere (the control interface)
    status.refresh();
    EXPECT_EQ(button->text(), QStringLiteral("Riprendi"));
    button->click();
    EXPECT_EQ(asked, (std::vector<bool>{true, false}));
    EXPECT_EQ(status.findChild<QLabel*>(QStringLiteral("tempo_simulato"))->text(),
              QStringLiteral("2016-12-31 23:59:59 UTC  x10 (pausa)"));
}

// "Apri scenario...": the file read on another thread, played on this one;
// a second while one is read refused; a refusal told as it came.
TEST(ScenarioMenu, ReadsOffTheLoopPlaysOnItOneAtATime) {
    QMainWindow window;
    std::vector<std::string> told;
    std::vector<std::string> played;
    std::promise<void> gate;
    std::shared_future<void> open = gate.get_future().share();
    const std::thread::id loop = std::this_thread::get_id();
    std::atomic<bool> read_off_loop = true;
    ScenarioMenu menu(*window.menuBar(),
                      {[&, open](const std::string& path) -> ScenarioActions::Play {
                           read_off_loop = read_off_loop && std::this_thread::get_id() != loop;
                           if (path == "lento.yaml") open.wait();
                           return [&played, &read_off_loop, path, loop]() -> std::string {
                               if (std::this_thread::get_id() != loop) {
                                   read_off_loop = false;  // played where it was read
                                   return "played off the loop";
                               }
                               if (path == "rotto.yaml") return "rotto.yaml:3: velocita: non è una velocità";
                               played.push_back(path);
                               return "";
                           };
                       },
                       [&](const std::string& message) { told.push_back(message); },
                       [](QWidget*) { return QStringLiteral("lento.yaml"); }},
                      &window);
    QSignalSpy finished(&menu, &ScenarioMenu::finished);
    window.findChild<QAction*>(QStringLiteral("menu_apri_scenario"))->trigger();
    EXPECT_TRUE(menu.reading());
    EXPECT_FALSE(window.findChild<QAction*>(QStringLiteral("menu_apri_scenario"))->isEnabled());
    EXPECT_FALSE(menu.open_file("altro.yaml")) << "one at a time";
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("già in lettura"), std::string::npos);
    gate.set_value();
    ASSERT_TRUE(run_until([&] { return finished.size() == 1; }));
    EXPECT_EQ(played, (std::vector<std::string>{"lento.yaml"}));
    EXPECT_TRUE(menu.open_file("rotto.yaml"));
    ASSERT_TRUE(run_until([&] { return finished.size() == 2; }));
    EXPECT_EQ(finished.at(1).at(0).toString(), QStringLiteral("rotto.yaml:3: velocita: non è una velocità"));
    EXPECT_EQ(told.back(), "rotto.yaml:3: velocita: non è una velocità");
    EXPECT_EQ(played.size(), 1u) << "nothing played of a refused file";
    EXPECT_TRUE(read_off_loop) << "read on another thread, played on this one";
    EXPECT_TRUE(window.findChild<QAction*>(QStringLiteral("menu_apri_scenario"))->isEnabled());
}

// The fleet for tracking servers on the map: one dot a cell of the grid,
// however many devices fall in it; off the screen left out; close in, each
// device a dot of its own.
std::vector<DeviceDot> devices_in_square(std::size_t n, GeoPoint corner, double side_degrees) {
    std::vector<DeviceDot> devices;
    const auto across = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(n))));
    for (std::size_t i = 0; i < n; ++i) {
        const double lat = corner.lat + side_degrees * static_cast<double>(i / across) / static_cast<double>(across);
        const double lon = corner.lon + side_degrees * static_cast<double>(i % across) / static_cast<double>(across);
        devices.push_back({"d" + std::to_string(i), {lat, lon}, 0.0, 0.0});
    }
    return devices;
}

TEST(DeviceDots, ThinnedToOneDotACellByZoom) {
    const QSizeF screen(1024, 768);
    // columns: name, devices, view centre, metres per pixel, devices in view, most dots, thinned
    const std::vector<std::tuple<const char*, std::vector<DeviceDot>, GeoPoint, double, std::size_t, std::size_t, bool>>
        rows{
            {"10,000 over Piedmont seen from afar", devices_in_square(10000, {44.5, 7.0}, 1.5), {45.0, 8.0}, 20000.0,
             10000, 64, true},
            {"10,000 over Piedmont seen as a region", devices_in_square(10000, {44.5, 7.0}, 1.5), {45.2, 7.7}, 600.0,
             10000, 10000 / 2, true},
            {"10,000 a few pixels apart: wider cells, their dots bounded", devices_in_square(10000, {44.5, 7.0}, 1.5),
             {45.2, 7.7}, 300.0, 10000, most_device_dots, true},
            {"100 a kilometre apart, close in", devices_in_square(100, {45.0, 7.0}, 0.09), {45.045, 7.045}, 20.0, 100,
             100, false},
            {"two on one place", {{"a", {45.0, 7.0}, 0, 0}, {"b", {45.0, 7.0}, 0, 0}}, {45.0, 7.0}, 10.0, 2, 1, true},
            {"one beyond the edge", {{"a", {45.0, 7.0}, 0, 0}, {"b", {46.0, 7.0}, 0, 0}}, {45.0, 7.0}, 10.0, 1, 1, false},
            {"none", {}, {45.0, 7.0}, 10.0, 0, 0, false},
        };
    for (const auto& [name, devices, centre, scale, in_view, most, thinned] : rows) {
        SCOPED_TRACE(name);
        const MapProjection map = view(centre, scale, screen);
        const ThinnedDots dots = thin_dots(map, devices, screen);
        EXPECT_EQ(dots.in_view, in_view);
        EXPECT_LE(dots.cells.size(), most);
        EXPECT_EQ(dots.thinned(), thinned);
        EXPECT_GE(dots.cell, dot_cell_pixels);
        std::size_t counted = 0;
        std::set<std::pair<int, int>> cells;
        for (const DotCell& c : dots.cells) {
            counted += c.count;
            EXPECT_TRUE(QRectF(QPointF(0, 0), screen).contains(c.at));
            EXPECT_EQ(c.at, map.to_screen(devices[c.first].where)) << "the dot where its first device is";
            const std::pair cell{static_cast<int>(c.at.x() / dots.cell), static_cast<int>(c.at.y() / dots.cell)};
            EXPECT_TRUE(cells.insert(cell).second) << "one dot a cell";
        }
        EXPECT_EQ(counted, in_view) << "every device in view counted once";
    }
}

// The ids are written only when each device has its dot, never over a
// label or a kept-clear box; the count says the devices and the dots.
TEST(DeviceDots, LabelsOnlyCloseInAndTheCount) {
    const QSizeF screen(400, 300);
    const std::vector<DeviceDot> near = devices_in_square(9, {45.0, 7.0}, 0.01);
    const std::vector<DeviceDot> many = devices_in_square(10000, {44.5, 7.0}, 1.5);
    // columns: name, devices, centre, metres per pixel, labels written, the count's start and end
    const std::vector<std::tuple<const char*, const std::vector<DeviceDot>*, GeoPoint, double, bool, QString, QString>>
        rows{
            {"nine close in", &near, {45.005, 7.005}, 5.0, true, q("9 dispositivi della flotta"), q("flotta")},
            {"ten thousand far out", &many, {45.2, 7.7}, 2000.0, false, q("10.000 dispositivi della flotta in "),
             q(" punti (uno ogni 4 pixel): ingrandire per vederli uno a uno")},
        };
    for (const auto& [name, devices, centre, scale, labelled, starts, ends] : rows) {
        SCOPED_TRACE(name);
        const MapProjection map = view(centre, scale, screen);
        const DeviceDots dots(map, *devices, screen);
        EXPECT_TRUE(dots.count_text().startsWith(starts) && dots.count_text().endsWith(ends))
            << dots.count_text().toStdString();
        QImage picture(screen.toSize(), QImage::Format_ARGB32);
        picture.fill(Qt::white);
        QPainter painter(&picture);
        dots.paint_dots(painter);
        // a label already on the first dot's right: the id goes elsewhere
        const QPointF first = dots.thinned().cells.front().at;
        const QRectF taken(first + QPointF(-60, -60), QSizeF(120, 120));
        QImage before = picture;
        dots.paint_labels(painter, {taken});
        painter.end();
        int changed_outside = 0, changed_inside = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                if (picture.pixel(x, y) == before.pixel(x, y)) continue;
                (taken.contains(QPointF(x, y)) ? changed_inside : changed_outside)++;
            }
        }
        EXPECT_EQ(changed_inside, 0) << "no id over what is taken";
        EXPECT_EQ(changed_outside > 0, labelled);
    }
    const MapProjection map = view({45.0, 7.0}, 10.0, screen);
    EXPECT_EQ(DeviceDots(map, {{"a", {45.0, 7.0}, 0, 0}}, screen).count_text(), q("1 dispositivo della flotta"));
    EXPECT_EQ(DeviceDots(map, {{"a", {50.0, 7.0}, 0, 0}}, screen).count_text(), QString()) << "none in view";
}

// The map draws the devices beside the vehicles, tells about one pointed
// at, and "Adatta" frames them with the vehicles.
TEST_F(MapView, DrawsTheFleetForServersAndFitsIt) {
    canvas->tracked_devices = [] {
        return std::vector<DeviceDot>{{"taxi-1", {45.505, 9.21}, 90.0, 40.0}, {"taxi-2", {45.2, 9.6}, 0.0, 30.0}};
    };
    QTest::mouseClick(window.map_window()->findChild<QPushButton*>(q("adatta")), Qt::LeftButton);
    const QRectF inside(0, 0, canvas->width(), canvas->height());
    for (const GeoPoint& p : {GeoPoint{45.2, 9.6}, GeoPoint{45.5, 9.2}, GeoPoint{45.51, 9.2}})
        EXPECT_TRUE(inside.contains(canvas->projection().to_screen(p))) << p.lat << " " << p.lon;
    const QImage image = canvas->grab().toImage();
    int gold = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) gold += image.pixel(x, y) == QColor(255, 200, 0).rgb() ? 1 : 0;
    }
    EXPECT_GE(gold, 2 * 3) << "two dots";
    const QPointF at = canvas->projection().to_screen({45.2, 9.6});
    QMouseEvent hover(QEvent::MouseMove, at, canvas->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &hover);
    EXPECT_EQ(canvas->toolTip(), q("Dispositivo taxi-2 (flotta per server)\n45°12,000'N 9°36,000'E\n"
                                   "Velocità 30 Km/h, rotta 000°"));
}

// "Uscite > Flotta per server...": the file read off the loop and put in on
// it, a refusal told whole with nothing changed, the figures of the model
// (never a copy of the dialog's), "Ferma", Esc.
TEST(ServerFleetDialog, StartsOffTheLoopShowsTheFiguresAndStops) {
    QMainWindow panel;
    TrackerOverview model;
    std::vector<std::tuple<std::string, std::string, int>> read;
    std::vector<std::string> stopped;
    const std::thread::id loop = std::this_thread::get_id();
    std::atomic<bool> read_off_loop = true;
    const std::string refusal = "rotto.csv:4: lat: \"95\" è fuori campo (da -90 a 90)";
    ServerFleetDialog dialog(
        {[&](const std::string& path, const std::string& destination, int interval) -> ServerFleetActions::Install {
             read_off_loop = read_off_loop && std::this_thread::get_id() != loop;
             read.emplace_back(path, destination, interval);
             if (path == "rotto.csv") return [&refusal] { return refusal; };
             return [&model, &loop, path, destination]() -> std::string {
                 if (std::this_thread::get_id() != loop) return "put in off the loop";
                 const auto colon = destination.find(':');
                 model.servers.push_back({destination.substr(0, colon), destination.substr(colon + 1), path, 3, 0, 0, 3,
                                          "collegato"});
                 model.devices += 3;
                 return "";
             };
         },
         [&model] { return model; },
         [&](const std::string& destination) {
             stopped.push_back(destination);
             model = {};
             return true;
         },
         [](QWidget*) { return q("flotta.csv"); }},
        5, &panel);
    QSignalSpy finished(&dialog, &ServerFleetDialog::finished);
    dialog.open_beside(panel);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(in<QSpinBox>(dialog, "flotta_intervallo")->value(), 5) << "--flotta-intervallo first";
    EXPECT_EQ(click(dialog, "flotta_avvia"), q("Manca il file di flotta."));
    QTest::mouseClick(in<QPushButton>(dialog, "flotta_sfoglia"), Qt::LeftButton);
    EXPECT_EQ(in<QLineEdit>(dialog, "flotta_file")->text(), q("flotta.csv"));
    in<QComboBox>(dialog, "flotta_protocollo")->setCurrentIndex(0);
    EXPECT_EQ(in<QLineEdit>(dialog, "flotta_indirizzo")->placeholderText(), q("127.0.0.1:5005"));
    type(in<QLineEdit>(dialog, "flotta_indirizzo"), q("127.0.0.1:5005"));
    // nothing told: a refusal's box would be closed and said here
    EXPECT_EQ(said_after([&] {
                  QTest::mouseClick(in<QPushButton>(dialog, "flotta_avvia"), Qt::LeftButton);
                  run_until([&] { return finished.size() == 1; });
              }),
              QString());
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished.at(0).at(0).toString(), QString());
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0], std::make_tuple(std::string("flotta.csv"), std::string("traccar:127.0.0.1:5005"), 5));
    auto* servers = in<QTableWidget>(dialog, "flotta_server");
    ASSERT_EQ(servers->rowCount(), 1);
    EXPECT_EQ(servers->item(0, 6)->text(), q("collegato"));
    EXPECT_EQ(servers->item(0, 0)->text(), q("traccar:127.0.0.1:5005"));
    // the model moves on: shown within a second, whoever moved it
    model.sent = model.servers[0].sent = 12000;
    model.servers[0].state = "non collegato: connessione rifiutata; nuovo tentativo tra 2 s";
    ASSERT_TRUE(run_until([&] { return servers->item(0, 3)->text() == q("12.000"); }));
    EXPECT_EQ(in<QLabel>(dialog, "flotta_totali")->text(), q("Dispositivi: 3 · rapporti inviati: 12.000 · saltati: 0"));
    EXPECT_EQ(in<QLabel>(dialog, "flotta_errore")->text(),
              q("Ultimo errore: traccar:127.0.0.1:5005: non collegato: connessione rifiutata; nuovo tentativo tra 2 s"));
    // a refusal told whole, the fleet running left as it was
    type(in<QLineEdit>(dialog, "flotta_file"), q("rotto.csv"));
    const QString told = said_after([&] {
        QTest::mouseClick(in<QPushButton>(dialog, "flotta_avvia"), Qt::LeftButton);
        run_until([&] { return finished.size() == 2; });
    });
    EXPECT_EQ(told.toStdString(), refusal);
    EXPECT_EQ(model.servers.size(), 1u);
    EXPECT_TRUE(read_off_loop) << "read on another thread, put in on this one";
    QTest::mouseClick(in<QPushButton>(dialog, "flotta_ferma"), Qt::LeftButton);
    EXPECT_EQ(stopped, (std::vector<std::string>{"traccar:127.0.0.1:5005"}));
    EXPECT_EQ(servers->rowCount(), 0);
    EXPECT_FALSE(in<QPushButton>(dialog, "flotta_ferma")->isEnabled());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

// A fleet the command line started: the dialog opens on its server.
TEST(ServerFleetDialog, OpensOnAFleetStartedElsewhere) {
    QMainWindow panel;
    TrackerOverview model{2, 0, 0, {{"osmand", "http://127.0.0.1:5055", "flotta.json", 2, 0, 0, 1, "collegato"}}};
    ServerFleetDialog dialog({{}, [&model] { return model; }, {}, {}}, 1, &panel);
    dialog.open_beside(panel);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(in<QLineEdit>(dialog, "flotta_file")->text(), q("flotta.json"));
    EXPECT_EQ(in<QComboBox>(dialog, "flotta_protocollo")->currentText(), q("osmand"));
    EXPECT_EQ(in<QLineEdit>(dialog, "flotta_indirizzo")->text(), q("http://127.0.0.1:5055"));
    EXPECT_EQ(in<QTableWidget>(dialog, "flotta_server")->rowCount(), 1);
}

}  // namespace
}  // namespace vadrel::gui

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // as the window program sets it
    QImageReader::setAllocationLimit(vadrel::gui::tile_allocation_megabytes);
    return RUN_ALL_TESTS();
}
