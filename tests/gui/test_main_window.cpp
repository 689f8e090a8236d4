// The main window driven as an operator would: widgets found by name, keys
// and clicks sent with QTest, the panel model checked behind them.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTextBrowser>
#include <memory>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <stdexcept>

#include "gui/main_window.h"
#include "gui/monitor.h"
#include "support/fakes.h"

namespace vadrel::gui {
namespace {

using vadrel::testing::Rig;

class Finestra : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    template <typename W>
    W* find(const char* name) {
        W* w = window.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    Rig rig;
    MainWindow window{rig.form};
};

TEST_F(Finestra, ClientAreaIs594By407PixelsAndFixed) {
    EXPECT_EQ(window.centralWidget()->size(), QSize(594, 407));
    EXPECT_EQ(window.height(), 407 + window.menuBar()->height());
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8(window_caption));
    EXPECT_TRUE(window.windowTitle().contains(QStringLiteral("Quorvel")));
}

TEST_F(Finestra, WidgetsSitAtTheirPlaceInTheirContainer) {
    struct Row {
        const char* name;
        const char* container;
        QRect place;  // pixels inside the container
    };
    // Inside Picture2 the places count from inside its 2-pixel border.
    const Row rows[] = {
        {"Command11", "Form1", {516, 384, 15, 20}},
        {"Command10", "Form1", {498, 384, 15, 20}},
        {"txt_mezzo_attuale", "Form1", {447, 384, 49, 19}},
        {"Command9", "Form1", {513, 336, 73, 21}},
        {"Picture2", "Form1", {0, 0, 593, 323}},
        {"Frame6", "Form1", {8, 360, 296, 29}},
        {"Frame1", "Picture2", {8, 2, 182, 112}},
        {"Frame7", "Picture2", {383, 2, 202, 112}},
        {"Picture1", "Picture2", {2, 116, 601, 203}},
        {"txt_lat_g", "Frame1", {60, 17, 29, 20}},
        {"Command1", "Frame1", {117, 17, 15, 20}},
        {"Command7", "Frame2", {100, 40, 15, 22}},
        {"txt_angolo", "Frame7", {140, 84, 47, 19}},
        {"Label11", "Frame5", {6, 15, 92, 15}},
        {"opt_com4", "Frame3", {175, 14, 57, 15}},
    };
    for (const Row& row : rows) {
        QWidget* w = find<QWidget>(row.name);
        ASSERT_NE(w, nullptr) << row.name;
        EXPECT_EQ(w->geometry(), row.place) << row.name;
        EXPECT_EQ(w->parentWidget()->objectName(), QString::fromLatin1(row.container)) << row.name;
    }
}

TEST_F(Finestra, EveryVisibleControlHasAWidgetOfItsKind) {
    for (const Control* control : rig.form.controls()) {
        const std::string& name = control->name();
        QWidget* w = window.control_widget(name);
        switch (control->kind()) {
            case ControlKind::timer:
            case ControlKind::serial_component:
            case ControlKind::menu_entry:
                EXPECT_EQ(w, nullptr) << name;
                EXPECT_EQ(window.findChild<QWidget*>(QString::fromStdString(name)), nullptr) << name;
                continue;
            case ControlKind::text_box: {
                auto* edit = qobject_cast<QLineEdit*>(w);
                ASSERT_NE(edit, nullptr) << name;
                const auto& box = static_cast<const TextBox&>(*control);
                EXPECT_EQ(edit->text().toStdString(), box.text()) << name;
                EXPECT_EQ(edit->isReadOnly(), box.locked()) << name;
                break;
            }
            case ControlKind::option_button: {
                auto* radio = qobject_cast<QRadioButton*>(w);
                ASSERT_NE(radio, nullptr) << name;
                const auto& option = static_cast<const OptionButton&>(*control);
                EXPECT_EQ(radio->text().toStdString(), option.caption()) << name;
                EXPECT_EQ(radio->isChecked(), option.selected()) << name;
                break;
            }
            case ControlKind::command_button: {
                auto* push = qobject_cast<QPushButton*>(w);
                ASSERT_NE(push, nullptr) << name;
                EXPECT_EQ(push->text().toStdString(),
                          static_cast<const CommandButton&>(*control).caption())
                    << name;
                break;
            }
            case ControlKind::label: {
                auto* label = qobject_cast<QLabel*>(w);
                ASSERT_NE(label, nullptr) << name;
                EXPECT_EQ(label->text().toStdString(), static_cast<const Label&>(*control).caption())
                    << name;
                break;
            }
            case ControlKind::frame: {
                auto* frame = qobject_cast<QGroupBox*>(w);
                ASSERT_NE(frame, nullptr) << name;
                EXPECT_EQ(frame->title().toStdString(), static_cast<const Frame&>(*control).caption())
                    << name;
                break;
            }
            case ControlKind::picture_box:
                ASSERT_NE(qobject_cast<QFrame*>(w), nullptr) << name;
                break;
        }
        EXPECT_EQ(w->objectName().toStdString(), name);
    }
}

TEST_F(Finestra, AtCreationShowsGpsStandardKmh4800AndCom2) {
    for (const char* name : {"Opt_gps_standard", "opt_km", "Option2", "opt_com2"}) {
        EXPECT_TRUE(find<QRadioButton>(name)->isChecked()) << name;
    }
    for (const char* name : {"opt_tx_radio", "opt_multi", "opt_miglia", "Option1", "Option3",
                             "opt_com1", "opt_com3", "opt_com4"}) {
        EXPECT_FALSE(find<QRadioButton>(name)->isChecked()) << name;
    }
}

TEST_F(Finestra, FontsAreTheStatedOnes) {
    struct Row {
        const char* name;
        double points;
        bool bold;
    };
    const Row rows[] = {
        {"Command11", 12.0, false}, {"Command2", 12.0, false}, {"Command18", 12.0, false},
        {"Label11", 9.75, true},    {"Label7", 8.0, false},    {"Command9", 8.0, false},
        {"txt_angolo", 8.0, false}, {"opt_com1", 8.0, false},
    };
    for (const Row& row : rows) {
        QWidget* w = find<QWidget>(row.name);
        ASSERT_NE(w, nullptr) << row.name;
        EXPECT_DOUBLE_EQ(w->font().pointSizeF(), row.points) << row.name;
        EXPECT_EQ(w->font().bold(), row.bold) << row.name;
        // The font really exists: no fallback to boxes.
        EXPECT_EQ(QFontInfo(w->font()).family(), QStringLiteral("DejaVu Sans")) << row.name;
    }
    const auto* monitor = find<Monitor>("Picture1");
    EXPECT_DOUBLE_EQ(monitor->font().pointSizeF(), 8.0);
    EXPECT_TRUE(QFontInfo(monitor->font()).fixedPitch());
}

TEST_F(Finestra, BackgroundIsLightGrey) {
    const QImage shot = window.centralWidget()->grab().toImage();
    // An empty corner of the panel, right of the vehicle buttons.
    EXPECT_EQ(shot.pixel(590, 400), qRgb(192, 192, 192));
    EXPECT_EQ(window.centralWidget()->palette().color(QPalette::Window), QColor(192, 192, 192));
}

TEST_F(Finestra, MenuBarHasTheTwoEntries) {
    const QList<QAction*> entries = window.menuBar()->actions();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0]->objectName(), QStringLiteral("menu_info"));
    EXPECT_EQ(entries[0]->text(), QStringLiteral("Informazioni sul programma"));
    EXPECT_EQ(entries[1]->objectName(), QStringLiteral("menu_help"));
    EXPECT_EQ(entries[1]->text(), QStringLiteral("Help --> Premi F1"));
}

TEST_F(Finestra, InformationMenuClicksTheModelsEntry) {
    int clicks = 0;
    rig.form.menu_info.on_click = [&clicks] { ++clicks; };
    find<QAction>("menu_info")->trigger();
    EXPECT_EQ(clicks, 1);
}

TEST_F(Finestra, CourseBoxTyped365Keeps36) {
    auto* edit = find<QLineEdit>("txt_angolo");
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);  // select all
    QTest::keyClicks(edit, QStringLiteral("365"));
    EXPECT_EQ(rig.form.txt_angolo.text(), "36");
    EXPECT_EQ(edit->text(), QStringLiteral("36"));
    EXPECT_EQ(rig.form.mezzi[0].angolo, 36);
}

TEST_F(Finestra, CourseBoxRefusesLetters) {
    auto* edit = find<QLineEdit>("txt_angolo");
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, QStringLiteral("1x2"));
    EXPECT_EQ(rig.form.txt_angolo.text(), "12");
    EXPECT_EQ(edit->text(), QStringLiteral("12"));
}

TEST_F(Finestra, HemisphereBoxesTakeTheirLetters) {
    struct Row {
        const char* box;
        char key;
        const char* before;
        const char* after;
    };
    const Row rows[] = {
        {"txt_lat_ns", 'S', "N", "S"}, {"txt_lat_ns", 's', "N", "S"},
        {"txt_lat_ns", 'N', "S", "N"}, {"txt_lat_ns", 'E', "S", "S"},
        {"txt_lon_ew", 'W', "E", "W"}, {"txt_lon_ew", 'e', "W", "E"},
        {"txt_lon_ew", 'N', "W", "W"}, {"txt_lon_ew", '7', "E", "E"},
    };
    for (const Row& row : rows) {
        auto* box = static_cast<TextBox*>(rig.form.find(row.box));
        box->set_text(row.before);
        window.render();
        auto* edit = find<QLineEdit>(row.box);
        QTest::keyClick(edit, row.key);
        const std::string label = std::string(row.box) + " key " + row.key;
        EXPECT_EQ(box->text(), row.after) << label;
        EXPECT_EQ(edit->text().toStdString(), row.after) << label;
    }
    EXPECT_EQ(rig.form.mezzi[0].lon_ew, "E");
}

TEST_F(Finestra, LockedBoxesRefuseTyping) {
    for (const char* name : {"txt_lat_g", "txt_lat_p", "txt_lat_s", "txt_lon_g", "txt_lon_p",
                             "txt_lon_s", "txt_mezzo_attuale"}) {
        auto* edit = find<QLineEdit>(name);
        const std::string before = static_cast<TextBox*>(rig.form.find(name))->text();
        QTest::keyClicks(edit, QStringLiteral("12"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClick(edit, Qt::Key_Delete);
        EXPECT_EQ(static_cast<TextBox*>(rig.form.find(name))->text(), before) << name;
        EXPECT_EQ(edit->text().toStdString(), before) << name;
    }
}

TEST_F(Finestra, StepButtonChangesThePositionBox) {
    rig.form.txt_lat_g.set_text("44");
    window.render();
    QTest::mouseClick(find<QPushButton>("Command1"), Qt::LeftButton);  // latitude degrees +
    EXPECT_EQ(rig.form.txt_lat_g.text(), "45");
    EXPECT_EQ(find<QLineEdit>("txt_lat_g")->text(), QStringLiteral("45"));
    EXPECT_EQ(rig.form.mezzi[0].lat_g, 45);
}

TEST_F(Finestra, StartStopShowsStopInRed) {
    rig.form.Label11.set_visible(false);
    window.render();
    auto* label = find<QLabel>("Label11");
    EXPECT_TRUE(label->isHidden());
    QTest::mouseClick(find<QPushButton>("Command9"), Qt::LeftButton);
    EXPECT_EQ(rig.form.tx_attiva, 0);
    EXPECT_EQ(label->text(), QStringLiteral("Stop"));
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    EXPECT_FALSE(label->isHidden());
}

TEST_F(Finestra, StartStopButtonLiesOverItsFrame) {
    auto* button = find<QPushButton>("Command9");
    const QPoint centre = button->mapTo(window.centralWidget(), button->rect().center());
    EXPECT_EQ(window.centralWidget()->childAt(centre), button);
}

TEST_F(Finestra, ModeButtonsExcludeEachOtherThroughTheModel) {
    auto* radio = find<QRadioButton>("opt_tx_radio");
    QTest::mouseClick(radio, Qt::LeftButton);
    EXPECT_TRUE(rig.form.opt_tx_radio.selected());
    EXPECT_FALSE(rig.form.Opt_gps_standard.selected());
    EXPECT_TRUE(radio->isChecked());
    EXPECT_FALSE(find<QRadioButton>("Opt_gps_standard")->isChecked());
    // Clicking the selected button leaves it selected.
    QTest::mouseClick(radio, Qt::LeftButton);
    EXPECT_TRUE(rig.form.opt_tx_radio.selected());
    EXPECT_TRUE(radio->isChecked());
}

TEST_F(Finestra, PortButtonsCanAllBeClear) {
    rig.form.opt_com2.clear();
    window.render();
    for (const char* name : {"opt_com1", "opt_com2", "opt_com3", "opt_com4"}) {
        EXPECT_FALSE(find<QRadioButton>(name)->isChecked()) << name;
    }
}

TEST_F(Finestra, MonitorShowsThePrintedLines) {
    rig.form.Picture1.print("$GPRMC,201528,A,4401.7775,N,01008.0623,E,0.0,000.0,090503,000.0,W*6A");
    rig.form.Picture1.print(std::string("@3", 2) + '\0' + "x");
    window.render();
    const QStringList lines = find<Monitor>("Picture1")->lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0],
              QStringLiteral("$GPRMC,201528,A,4401.7775,N,01008.0623,E,0.0,000.0,090503,000.0,W*6A"));
    EXPECT_EQ(lines[1], QString::fromUtf8("@3\xE2\x90\x80x"));
}

TEST_F(Finestra, RenderShowsTheModelWithoutRunningItsHandlers) {
    int changes = 0;
    rig.form.txt_num_mezzi.on_change = [&changes] { ++changes; };
    rig.form.txt_num_mezzi.set_text("5");
    EXPECT_EQ(changes, 1);
    window.render();
    EXPECT_EQ(find<QLineEdit>("txt_num_mezzi")->text(), QStringLiteral("5"));
    EXPECT_EQ(changes, 1);
}

TEST_F(Finestra, F1OpensTheHelpFileFromAnyWidget) {
    rig.form.file_help = "/opt/vadrel/vadrel.hlp";
    QTest::keyClick(find<QLineEdit>("txt_vel"), Qt::Key_F1);
    QTest::keyClick(find<QPushButton>("Command9"), Qt::Key_F1);
    QTest::keyClick(find<QLineEdit>("txt_lat_ns"), Qt::Key_F1);
    EXPECT_EQ(rig.shell.help_files, (std::vector<std::string>(3, "/opt/vadrel/vadrel.hlp")));
    EXPECT_EQ(rig.form.txt_lat_ns.text(), "N");
}

TEST_F(Finestra, KeysReachTheBoxInTheToolkitsOrder) {
    TextBox& box = rig.form.txt_num_mezzi;
    std::vector<std::string> log;
    box.on_key_down = [&log](int key, bool) { log.push_back("down " + std::to_string(key)); };
    box.on_key_press = [&log](char32_t c) {
        log.push_back("press " + std::to_string(static_cast<int>(c)));
        return true;
    };
    box.on_change = [&log, &box] { log.push_back("change " + box.text()); };
    box.on_key_up = [&log](int key, bool) { log.push_back("up " + std::to_string(key)); };
    auto* edit = find<QLineEdit>("txt_num_mezzi");

    // A held "7": the key repeats down and press, and goes up once.
    auto send = [edit](QEvent::Type type, bool repeat) {
        QKeyEvent event(type, Qt::Key_7, Qt::NoModifier, QStringLiteral("7"), repeat);
        QApplication::sendEvent(edit, &event);
    };
    send(QEvent::KeyPress, false);
    send(QEvent::KeyRelease, true);
    send(QEvent::KeyPress, true);
    send(QEvent::KeyRelease, false);
    QTest::keyClick(edit, Qt::Key_Backspace);

    const std::vector<std::string> expected = {
        "down 55", "press 55", "change 07",  "down 55", "press 55", "change 077",
        "up 55",   "down 8",   "press 8",    "change 07", "up 8",
    };
    EXPECT_EQ(log, expected);
    EXPECT_EQ(edit->text(), QStringLiteral("07"));
}

TEST_F(Finestra, TypingGoesAtTheWidgetsCaret) {
    auto* edit = find<QLineEdit>("txt_num_mezzi");
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_5);
    EXPECT_EQ(rig.form.txt_num_mezzi.text(), "50");
    EXPECT_EQ(edit->cursorPosition(), 1);
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Left, Qt::ShiftModifier);  // select the "0"
    QTest::keyClick(edit, Qt::Key_3);
    EXPECT_EQ(rig.form.txt_num_mezzi.text(), "53");
}

TEST_F(Finestra, DeleteKeyEditsThroughTheModel) {
    int changes = 0;
    rig.form.txt_num_mezzi.on_change = [&changes] { ++changes; };
    auto* edit = find<QLineEdit>("txt_num_mezzi");
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_EQ(rig.form.txt_num_mezzi.text(), "");
    EXPECT_EQ(changes, 1);
}

TEST_F(Finestra, AFailureOfAHandlerIsShownNotFatal) {
    rig.form.Command9.on_click = [] { throw std::runtime_error("valore fuori intervallo"); };
    QTest::mouseClick(find<QPushButton>("Command9"), Qt::LeftButton);
    ASSERT_EQ(rig.shell.messages.size(), 1u);
    EXPECT_EQ(rig.shell.messages[0], "vadrel: Operazione non riuscita: valore fuori intervallo");
}

TEST_F(Finestra, EnterOnTheFocusedButtonClicksIt) {
    auto* button = find<QPushButton>("Command9");
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    EXPECT_EQ(rig.form.tx_attiva, 0);
}

// The editing menus Qt builds for the boxes and the help viewer speak Italian.
TEST_F(Finestra, EditingMenusAreItalian) {
    const QStringList italian = {
        QStringLiteral("&Annulla"), QStringLiteral("&Ripeti"),  QStringLiteral("&Taglia"),
        QStringLiteral("&Copia"),   QStringLiteral("I&ncolla"), QStringLiteral("Elimina"),
        QStringLiteral("Seleziona tutto"),
        QStringLiteral("Copia l'indirizzo del co&llegamento"),
        QStringLiteral("Inserisci carattere di controllo Unicode"),
    };
    QTextBrowser browser;
    browser.setHtml(QStringLiteral("<a href=\"https://www.example.com\">sito</a>"));
    const std::unique_ptr<QMenu> menus[] = {
        std::unique_ptr<QMenu>(find<QLineEdit>("txt_vel")->createStandardContextMenu()),
        std::unique_ptr<QMenu>(browser.createStandardContextMenu(QPoint(2, 2))),
    };
    for (const auto& menu : menus) {
        int entries = 0;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator() || action->menu() != nullptr) continue;
            const QString text = action->text().section(QLatin1Char('\t'), 0, 0);
            EXPECT_TRUE(italian.contains(text)) << text.toStdString();
            ++entries;
        }
        EXPECT_GE(entries, 2);
    }
}

TEST_F(Finestra, ClosingRunsTheShutDownOnce) {
    int closes = 0;
    window.set_on_close([&closes] { ++closes; });
    EXPECT_TRUE(window.close());
    EXPECT_EQ(closes, 1);
}

}  // namespace
}  // namespace vadrel::gui
