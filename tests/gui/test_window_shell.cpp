// The window shell's message box and its end of the program.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "gui/window_shell.h"
#include "modal.h"

namespace vadrel::gui {
namespace {

using test_helpers::when_modal;

TEST(WindowShellMessage, TextTitleOkOnlyAndNoIcon) {
    WindowShell shell;
    struct Row {
        const char* name;
        std::string caption;
        QString title;
    };
    const Row rows[] = {
        {"the program's title", "vadrel", QStringLiteral("vadrel")},
        {"no caption given", "", QStringLiteral("vadrel")},
    };
    for (const Row& row : rows) {
        QString text;
        QString title;
        int buttons = -1;
        QString button;
        int icon = -1;
        when_modal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                modal->close();
                return;
            }
            text = box->text();
            title = box->windowTitle();
            buttons = static_cast<int>(box->buttons().size());
            button = box->buttons().isEmpty() ? QString() : box->buttons().front()->text();
            icon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
        shell.message_box("Errore nell'apertura della seriale", row.caption);
        EXPECT_EQ(text, QStringLiteral("Errore nell'apertura della seriale")) << row.name;
        EXPECT_EQ(title, row.title) << row.name;
        EXPECT_EQ(buttons, 1) << row.name;
        EXPECT_EQ(button.remove(QLatin1Char('&')), QStringLiteral("OK")) << row.name;
        EXPECT_EQ(icon, QMessageBox::NoIcon) << row.name;
    }
}

TEST(WindowShellEnd, SaysWhyAndEndsAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    WindowShell shell;
    EXPECT_EXIT(shell.end_program_now("porta COM 2 persa"), ::testing::ExitedWithCode(1),
                "vadrel: porta COM 2 persa");
}

}  // namespace
}  // namespace vadrel::gui
