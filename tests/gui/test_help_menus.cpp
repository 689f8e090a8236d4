// The help names every entry of the window's menu bar, as the program builds
// it: a new entry without its line in vadrel.hlp fails here.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTextDocument>

#include "app/options.h"
#include "app/program.h"
#include "app/window_menus.h"
#include "support/fakes.h"
#include "support/scratch_folder.h"

namespace vadrel {
namespace {

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
    gui::MainWindow window(program.form());
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
}  // namespace vadrel
