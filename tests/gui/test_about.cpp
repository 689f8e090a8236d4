// The about text, and the about box opened by the real window shell.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "gui/about_window.h"
#include "gui/help_viewer.h"
#include "gui/main_window.h"
#include "gui/window_shell.h"
#include "modal.h"
#include "panel/about.h"
#include "panel/wiring.h"
#include "support/fakes.h"

namespace vadrel::gui {
namespace {

using test_helpers::when_modal;

TEST(TestoAbout, ElevenLinesJoinedByCrLf) {
    EXPECT_EQ(testo_about(),
              "Quorvel - Sistemi di navigazione\r\n"
              "vadrel - versione 1.4\r\n"
              "-------------------\r\n"
              "Progettazione software: Ufficio tecnico Quorvel\r\n"
              "-------------------\r\n"
              "Tel: +39 000 0000000\r\n"
              "Fax: +39 000 0000001\r\n"
              "E-MAIL: info@example.com\r\n"
              "===================\r\n"
              "Visitate il nostro sito Internet:\r\n"
              "https://www.example.com");
}

struct Seen {
    bool opened = false;
    QString text;
    QString focus;
    QString title;
    QSize size;
    QColor text_background;
    QRect text_place;
    QRect button_place;
    QString button_caption;
    double button_points = 0;
};

// Looks at the about box and closes it with "Chiudi", as the operator does.
std::function<void(QWidget*)> look_and_close(Seen& seen) {
    return [&seen](QWidget* about) {
        seen.opened = about->objectName() == QStringLiteral("formAbout");
        auto* text = about->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
        auto* button = about->findChild<QPushButton*>(QStringLiteral("Command1"));
        if (text == nullptr || button == nullptr) {
            about->close();
            return;
        }
        seen.text = text->toPlainText();
        seen.focus = about->focusWidget() ? about->focusWidget()->objectName() : QString();
        seen.title = about->windowTitle();
        seen.size = about->size();
        seen.text_background = text->palette().color(QPalette::Base);
        seen.text_place = text->geometry();
        seen.button_place = button->geometry();
        seen.button_caption = button->text();
        seen.button_points = button->font().pointSizeF();
        // Read-only: typing changes nothing.
        QTest::keyClicks(text, QStringLiteral("xyz"));
        if (text->toPlainText() != seen.text) seen.text = QStringLiteral("changed by typing");
        QTest::mouseClick(button, Qt::LeftButton);
    };
}

TEST(FinestraAbout, ShowsTheTextWithChiudiFocusedAndClosesOnIt) {
    WindowShell shell;
    Seen seen;
    when_modal(look_and_close(seen));
    shell.show_about();

    ASSERT_TRUE(seen.opened);
    const QStringList lines = seen.text.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 11) << seen.text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Quorvel - Sistemi di navigazione"));
    EXPECT_EQ(lines[10], QStringLiteral("https://www.example.com"));
    EXPECT_EQ(seen.focus, QStringLiteral("Command1"));
    EXPECT_TRUE(seen.title.isEmpty());
    EXPECT_EQ(seen.size, QSize(361, 214));
    EXPECT_EQ(seen.text_background, QColor(255, 255, 128));
    EXPECT_EQ(seen.text_place, QRect(8, 8, 345, 161));
    EXPECT_EQ(seen.button_place, QRect(248, 176, 105, 25));
    EXPECT_EQ(seen.button_caption, QStringLiteral("Chiudi"));
    EXPECT_DOUBLE_EQ(seen.button_points, 9.75);
    // Closed and destroyed: no about box is left among the windows.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_EQ(qobject_cast<formAbout*>(w), nullptr);
    }
}

TEST(FinestraAbout, TabGoesFromChiudiToTheText) {
    formAbout about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QWidget* first = about.focusWidget();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->objectName(), QStringLiteral("Command1"));
    EXPECT_EQ(first->nextInFocusChain()->objectName(), QStringLiteral("Text1"));
}

// The information menu of the real window opens the box; twice in a row shows
// the same text; F1 inside it opens the help viewer over it.
TEST(FinestraAbout, FromTheMenuTwiceAndF1Inside) {
    WindowShell shell;
    testing::FakePort port;
    testing::FakeClock clock;
    Form1 form{Platform{port, clock, shell, RegionalFormat::italian()}};
    collega_eventi(form);
    if (!form.menu_info.on_click) form.menu_info.on_click = [&shell] { shell.show_about(); };
    form.file_help = "/nessuna/cartella/vadrel.hlp";
    MainWindow window(form);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* menu = window.findChild<QAction*>(QStringLiteral("menu_info"));
    ASSERT_NE(menu, nullptr);

    Seen first;
    when_modal(look_and_close(first));
    menu->trigger();
    Seen second;
    when_modal(look_and_close(second));
    menu->trigger();
    ASSERT_TRUE(first.opened);
    ASSERT_TRUE(second.opened);
    EXPECT_EQ(first.text, second.text);

    QString help_text;
    bool help_was_modal = false;
    when_modal([&](QWidget* about) {
        QTest::keyClick(about->focusWidget(), Qt::Key_F1);
        if (HelpViewer* viewer = shell.help_viewer()) {
            help_text = viewer->shown_text();
            help_was_modal = viewer->isVisible() && viewer->isModal();
            viewer->close();
        }
        about->close();
    });
    menu->trigger();
    EXPECT_EQ(help_text,
              QStringLiteral("Impossibile aprire il file della guida: /nessuna/cartella/vadrel.hlp"));
    EXPECT_TRUE(help_was_modal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace vadrel::gui
