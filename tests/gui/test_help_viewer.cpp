// The help viewer and the help file shipped with the program.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "gui/help_viewer.h"
#include "gui/window_shell.h"

namespace vadrel::gui {
namespace {

const QString prefix = QStringLiteral("Impossibile aprire il file della guida: ");

TEST(LeggiGuida, ReportsEveryFileItCannotShow) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString good = dir.filePath(QStringLiteral("vadrel.hlp"));
    {
        QFile f(good);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<html><body><h1>Guida</h1></body></html>");
    }
    struct Row {
        const char* name;
        QString path;
        qint64 limit;
        bool loads;
        QString error;
    };
    const QString missing = dir.filePath(QStringLiteral("manca.hlp"));
    const Row rows[] = {
        {"good file", good, 1024, true, QString()},
        {"missing file", missing, 1024, false, prefix + missing},
        {"a folder", dir.path(), 1024, false, prefix + dir.path()},
        {"no name", QString(), 1024, false, prefix},
        {"too big", good, 10, false, prefix + good + QStringLiteral(" (file troppo grande)")},
    };
    for (const Row& row : rows) {
        QString html;
        QString error;
        EXPECT_EQ(leggi_guida(row.path, html, error, row.limit), row.loads) << row.name;
        EXPECT_EQ(error, row.error) << row.name;
        if (row.loads) {
            EXPECT_TRUE(html.contains(QStringLiteral("<h1>Guida</h1>"))) << row.name;
        }
    }
}

TEST(HelpViewer, MissingFileIsReportedInTheViewer) {
    HelpViewer viewer;
    EXPECT_FALSE(viewer.open(QStringLiteral("/non/esiste/vadrel.hlp")));
    EXPECT_EQ(viewer.shown_text(), prefix + QStringLiteral("/non/esiste/vadrel.hlp"));
}

TEST(HelpViewer, ShowsTheProgramsHelpFile) {
    HelpViewer viewer;
    ASSERT_TRUE(viewer.open(QStringLiteral(VADREL_HELP_FILE)));
    const QString text = viewer.shown_text();
    for (const char* words : {"GPS standard", "TX radio", "Multiutente", "COM 1", "vadrel.cnf",
                              "--com", "F1", "Start/Stop"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(words))) << words;
    }
}

TEST(WindowShell, HelpOpensOneViewerAndReusesIt) {
    WindowShell shell;
    EXPECT_EQ(shell.help_viewer(), nullptr);
    shell.show_help(VADREL_HELP_FILE);
    HelpViewer* viewer = shell.help_viewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_FALSE(viewer->isModal());
    shell.show_help("/non/esiste/vadrel.hlp");
    EXPECT_EQ(shell.help_viewer(), viewer);
    EXPECT_EQ(viewer->shown_text(), prefix + QStringLiteral("/non/esiste/vadrel.hlp"));
}

}  // namespace
}  // namespace vadrel::gui
