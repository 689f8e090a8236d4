// The window on a real desktop, driven as an operator would: widgets found by
// name, keys and clicks sent with QTest, the panel model checked behind them.
// What the keys mean is the panel's business; here only what the window adds:
// the main window, the window shell's message box, the about box, the help
// and the menu bar it names.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>
#include <stdexcept>

#include "app/program.h"
#include "app/window_menus.h"
#include "gui/help_viewer.h"
#include "gui/keys.h"
#include "gui/monitor.h"
#include "gui/window_shell.h"
#include "finestra.h"
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
    EXPECT_EQ(find("Frame1")->geometry(), QRect(8, 2, 182, 112));
    // Start/Stop lies over its frame, where a click lands on it.
    EXPECT_EQ(window.childAt(find("Command9")->mapTo(&window, QPoint(5, 5))), find("Command9"));
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
        QTest::keyClicks(find(row.box), q(row.typed));
        EXPECT_EQ(box(row.box).text(), row.after) << row.box << " typed " << row.typed;
        EXPECT_EQ(find<QLineEdit>(row.box)->text().toStdString(), row.after) << row.box;
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
    QWidget* edit = find("txt_num_mezzi");
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
    QWidget* edit = find("txt_num_mezzi");  // "0"
    for (const Qt::Key key : {Qt::Key_Home, Qt::Key_5, Qt::Key_Right}) QTest::keyClick(edit, key);
    QTest::keyClick(edit, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_3);
    EXPECT_EQ(rig.form.vehicle_count_box.text(), "53");
    for (const Qt::Key key : {Qt::Key_Home, Qt::Key_Delete}) QTest::keyClick(edit, key);
    EXPECT_EQ(rig.form.vehicle_count_box.text(), "3");
}

TEST_F(Finestra, ButtonsGoThroughTheModel) {
    QTest::mouseClick(find("Command9"), Qt::LeftButton);
    auto* label = find<QLabel>("Label11");
    EXPECT_EQ(label->text(), q("Stop"));
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    QTest::keyClick(find("Command9"), Qt::Key_Return);  // Enter clicks a button
    EXPECT_TRUE(rig.fleet.transmitting());
    // Clicking the selected mode button again leaves it selected.
    for (int click = 1; click <= 2; ++click) QTest::mouseClick(find("opt_tx_radio"), Qt::LeftButton);
    EXPECT_TRUE(find<QRadioButton>("opt_tx_radio")->isChecked());
    EXPECT_FALSE(find<QRadioButton>("Opt_gps_standard")->isChecked());
}

// A port that cannot be opened: the reason where the port's state is shown.
TEST_F(Finestra, TheReasonOfNoTxIsTheTooltipOfTheTransmissionState) {
    rig.port.failing_ports = {3};
    QTest::mouseClick(find("opt_com3"), Qt::LeftButton);
    EXPECT_EQ(find("Frame5")->toolTip(), q("porta inesistente"));
    QTest::mouseClick(find("opt_com4"), Qt::LeftButton);
    EXPECT_EQ(find("Label11")->toolTip(), QString());
}

TEST_F(Finestra, RenderShowsTheModel) {
    rig.form.status_label.set_visible(false);
    rig.form.monitor.print(std::string("$GPRMC,A\0x", 10));
    window.render();
    EXPECT_TRUE(find("Label11")->isHidden());
    EXPECT_EQ(find<Monitor>("Picture1")->lines(), QStringList(q("$GPRMC,A\xE2\x90\x80x")));
}

// As many lines as the panel prints before it clears the box: the newest
// shows whole, its descenders above the box's foot.
TEST_F(Finestra, TheMonitorsNewestLineShowsWhole) {
    auto* monitor = find<Monitor>("Picture1");
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
    for (auto name : {"txt_vel", "Command9", "txt_lat_ns"}) QTest::keyClick(find(name), Qt::Key_F1);
    QKeyEvent held(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(find("txt_vel"), &held);
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
    const std::unique_ptr<QMenu> menu(find<QLineEdit>("txt_vel")->createStandardContextMenu());
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

    QFile file(QStringLiteral(VADREL_HELP_FILE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QTextDocument help;
    help.setHtml(QString::fromUtf8(file.readAll()));
    const QString text = help.toPlainText().simplified();

    const QStringList names = entries(window.menuBar()->actions());
    EXPECT_GE(names.size(), 25) << names.join(QStringLiteral(" | ")).toStdString();
    for (const QString& name : names) EXPECT_TRUE(text.contains(name)) << name.toStdString();
}

}  // namespace
}  // namespace vadrel::gui
