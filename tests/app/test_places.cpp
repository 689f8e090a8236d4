#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <unistd.h>

#include "app/places.h"

namespace vadrel {
namespace {

// A scratch tree: a build folder, an installed tree (bin and share/vadrel as
// the install rules lay them out), a folder of the operator's and a user's
// data folder. Folders are made on demand; help files only where a row says.
class Tree {
public:
    std::string path(const QString& relative) const {
        QDir().mkpath(dir_.filePath(relative));
        return dir_.filePath(relative).toStdString();
    }
    void help_in(const QString& relative) const {
        QFile file(QDir(QString::fromStdString(path(relative))).filePath("vadrel.hlp"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

private:
    QTemporaryDir dir_;
};

const QString bin = QStringLiteral("installed/" VADREL_BINDIR);
const QString share = QStringLiteral("installed/" VADREL_DATADIR "/vadrel");

TEST(Places, TheTableLivesWhereTheOperatorMayKeepIt) {
    struct Row {
        const char* name;
        bool cartella_given;
        QString exe_dir;
        bool read_only;
        const char* expected;  // "cartella", "exe" or "data"
    };
    const Row rows[] = {
        {"the folder of --cartella first", true, bin, false, "cartella"},
        {"a build folder keeps it beside the executable", false, "build", false, "exe"},
        {"an installed program, even where it may write", false, bin, false, "data"},
        {"a build folder the user may not write in", false, "build", true, "data"},
    };
    for (const Row& row : rows) {
        Tree tree;
        tree.help_in(share);
        const std::string exe_dir = tree.path(row.exe_dir);
        if (row.read_only) {
            if (geteuid() == 0) continue;  // root writes anywhere; the package check runs it as a user
            QFile::setPermissions(QString::fromStdString(exe_dir), QFile::ReadOwner | QFile::ExeOwner);
        }
        const std::string cartella = tree.path("mine");
        const std::string data = tree.path("home/.local/share/vadrel");
        const std::string chosen = cartella_tabella(
            row.cartella_given ? std::optional(cartella) : std::nullopt, exe_dir, data);
        const std::string expected = row.expected == std::string("cartella") ? cartella
                                     : row.expected == std::string("exe")    ? exe_dir
                                                                             : data;
        EXPECT_EQ(chosen, expected) << row.name;
    }
}

TEST(Places, TheHelpIsTheFirstOneFound) {
    struct Row {
        std::vector<QString> helps;  // folders holding a vadrel.hlp
        QString expected;            // empty: none
    };
    const Row rows[] = {
        {{"mine", bin, share}, "mine"},
        {{bin, share}, bin},
        {{share}, share},
        {{}, ""},
    };
    for (const Row& row : rows) {
        Tree tree;
        for (const QString& folder : row.helps) tree.help_in(folder);
        const auto help = [&](const QString& folder) {
            return QDir(QString::fromStdString(tree.path(folder))).filePath("vadrel.hlp");
        };
        const QString found = percorso_help(help("mine"), QString::fromStdString(tree.path(bin)));
        EXPECT_EQ(found, row.expected.isEmpty() ? QString() : help(row.expected)) << row.expected.toStdString();
    }
}

}  // namespace
}  // namespace vadrel
