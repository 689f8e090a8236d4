#include "places.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <array>

#include "model/platform.h"

namespace vadrel {

namespace {

QString help_in(const QString& folder) { return QDir(folder).filePath(QStringLiteral("vadrel.hlp")); }

// The shared data folder of the installed tree the executable sits in
// (bin/../share/vadrel).
QString installed_data(const QString& exe_dir) {
    return QDir::cleanPath(QDir(exe_dir).filePath(QStringLiteral(VADREL_DATA_FROM_BIN)));
}

}  // namespace

std::string table_folder_of(const std::optional<std::string>& folder, const std::string& exe_dir,
                             const std::string& user_data) {
    if (folder) return *folder;
    const QString dir = QFile::decodeName(exe_dir.c_str());
    // Installed: its help was installed under share/. Even root, who may
    // write in /usr/bin, keeps the table in a data folder of its own.
    const bool installed = QFileInfo(help_in(installed_data(dir))).isFile();
    if (!installed && QFileInfo(dir).isWritable()) return exe_dir;
    return user_data;
}

QString route_help(const QString& own, const QString& exe_dir) {
    const std::array candidates = {own, help_in(exe_dir), help_in(installed_data(exe_dir))};
    for (const QString& file : candidates) {
        if (QFileInfo(file).isFile()) return file;
    }
    return {};
}

std::string user_data_folder() {
    // The application's data folder, named "vadrel" whichever of the two
    // executables asks.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QFile::encodeName(QDir(data).filePath(QString::fromLatin1(program_title))).toStdString();
}

}  // namespace vadrel
