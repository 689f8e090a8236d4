// Where the program keeps its table and finds its help, in a scratch tree:
// a build folder, an installed tree (bin and share/vadrel as the install
// rules lay them out), a folder of the operator's and a user's data folder.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/places.h"

namespace vadrel {
namespace {

const QString bin = QStringLiteral("installed/" VADREL_BINDIR);
const QString share = QStringLiteral("installed/" VADREL_DATADIR "/vadrel");

// Folders made on demand; help files only where a row says.
struct Tree {
    QTemporaryDir dir;
    std::string path(const QString& relative) const {
        QDir().mkpath(dir.filePath(relative));
        return dir.filePath(relative).toStdString();
    }
    QString help(const QString& folder) const { return QDir(QString::fromStdString(path(folder))).filePath("vadrel.hlp"); }
};

TEST(Places, TheTableLivesWhereTheOperatorMayKeepIt) {
    const std::tuple<const char*, bool, QString, bool, const char*> rows[] = {
        // name, --cartella given, the executable's folder, read-only, where the table goes
        {"the folder of --cartella first", true, bin, false, "mine"},
        {"a build folder keeps it beside the executable", false, "build", false, "build"},
        {"an installed program, even where it may write", false, bin, false, "data"},
        {"a build folder the user may not write in", false, "build", true, "data"},
    };
    for (const auto& [name, given, exe, read_only, expected] : rows) {
        if (read_only && geteuid() == 0) continue;  // root writes anywhere; the package check runs it as a user
        Tree tree;
        QFile(tree.help(share)).open(QIODevice::WriteOnly);
        const std::string exe_dir = tree.path(exe), data = tree.path("data");
        if (read_only) QFile::setPermissions(QString::fromStdString(exe_dir), QFile::ReadOwner | QFile::ExeOwner);
        const std::string chosen = cartella_tabella(given ? std::optional(tree.path("mine")) : std::nullopt, exe_dir, data);
        EXPECT_EQ(chosen, tree.path(expected)) << name;
    }
}

TEST(Places, TheHelpIsTheFirstOneFound) {
    const std::pair<std::vector<QString>, QString> rows[] = {  // folders holding a vadrel.hlp, the one found ("" none)
        {{"mine", bin, share}, "mine"},
        {{bin, share}, bin},
        {{share}, share},
        {{}, ""},
    };
    for (const auto& [helps, expected] : rows) {
        Tree tree;
        for (const QString& folder : helps) QFile(tree.help(folder)).open(QIODevice::WriteOnly);
        const QString found = percorso_help(tree.help("mine"), QString::fromStdString(tree.path(bin)));
        EXPECT_EQ(found, expected.isEmpty() ? QString() : tree.help(expected)) << expected.toStdString();
    }
}

}  // namespace
}  // namespace vadrel
