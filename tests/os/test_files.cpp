#include <gtest/gtest.h>

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "os/path_target.h"
#include "os/qt_file_error.h"
#include "os/system_error.h"
#include "support/scratch_folder.h"

namespace vadrel {
namespace {

// Every message the operator reads of a system error is Italian: a known
// error by its reason, any other by its symbolic name, never the C
// library's English text.
TEST(SystemError, EveryErrorReadsInItalian) {
    const std::pair<int, const char*> rows[] = {
        {ENOSPC, "il disco è pieno"},
        {EPROTO, "errore di sistema EPROTO (71)"},
    };
    for (const auto& [error, expected] : rows) {
        const std::string reason = italian_reason(error);
        EXPECT_EQ(reason.rfind(expected, 0), 0u) << error << ": " << reason;
        EXPECT_EQ(reason.find(std::strerror(error)), std::string::npos) << reason;
    }
    EXPECT_EQ(Failure("vadrel.cnf non si salva", EROFS).message(),
              "vadrel.cnf non si salva: il disco è di sola lettura");
    EXPECT_EQ(Failure("il registro r.nmea non si riproduce", std::string("riga 3 danneggiata")).message(),
              "il registro r.nmea non si riproduce: riga 3 danneggiata");
}

// Real failures of Qt's file classes read as the one table has them, never
// in Qt's English; without a system error, by Qt's class.
TEST(FileReason, QtsFileErrorsReadInItalian) {
    testing::ScratchFolder folder;
    folder.put("file", "x");
    const struct {
        const char* name;
        std::string path;
        bool save;
        const char* expected;
    } rows[] = {
        {"missing", folder.at("manca"), false, "il file o la cartella non esiste"},
        {"saved under a file taken for a folder", folder.at("file/tracce.gpx"), true,
         "una parte del percorso non è una cartella"},
    };
    for (const auto& r : rows) {
        QFile file(QString::fromStdString(r.path));
        QSaveFile saved(QString::fromStdString(r.path));
        errno = 0;
        const bool opened = r.save ? saved.open(QIODevice::WriteOnly) : file.open(QIODevice::ReadOnly);
        const int error = errno;
        ASSERT_FALSE(opened) << r.name;
        const std::string reason = file_reason(r.save ? saved.error() : file.error(), error);
        EXPECT_EQ(reason.rfind(r.expected, 0), 0u) << r.name << ": " << reason;
    }
    EXPECT_EQ(file_reason(QFileDevice::OpenError, 0), "il file non si apre");
}

// Where a path leads: the same file or the same new name however the path
// spells it, and what stands there.
TEST(PathTarget, LinksAndSpellingsLeadToOneTarget) {
    testing::ScratchFolder folder;
    folder.put("giro.nmea", "x");
    ::mkdir(folder.at("sub").c_str(), 0755);
    ASSERT_EQ(::symlink("../giro.nmea", folder.at("sub/su").c_str()), 0);
    ASSERT_EQ(::link(folder.at("giro.nmea").c_str(), folder.at("sub/fisso").c_str()), 0);
    ASSERT_EQ(::symlink("nuovo.gpx", folder.at("pendente").c_str()), 0);
    ASSERT_EQ(::symlink(folder.at("sub/ancora").c_str(), folder.at("sub/ancora").c_str()), 0);
    ASSERT_EQ(::mkfifo(folder.at("fifo").c_str(), 0600), 0);
    const PathTarget file = path_target(folder.at("giro.nmea"));
    const PathTarget fresh = path_target(folder.at("nuovo.gpx"));
    ASSERT_EQ(file.kind, PathTarget::Kind::regular);
    ASSERT_EQ(fresh.kind, PathTarget::Kind::new_name);
    struct Row {
        std::string path;
        PathTarget::Kind kind;
        const PathTarget* same;  // the target it must be, or none
        int error;
    };
    const Row rows[] = {
        {folder.at("sub/su"), PathTarget::Kind::regular, &file, 0},
        {folder.at("sub/fisso"), PathTarget::Kind::regular, &file, 0},  // a hard link
        {folder.at("sub/../giro.nmea"), PathTarget::Kind::regular, &file, 0},
        {folder.at("pendente"), PathTarget::Kind::new_name, &fresh, 0},  // a link to a name not there yet
        {folder.at("sub/../nuovo.gpx"), PathTarget::Kind::new_name, &fresh, 0},
        {folder.at("sub/nuovo.gpx"), PathTarget::Kind::new_name, nullptr, 0},  // same name, other folder
        {folder.at("fifo"), PathTarget::Kind::fifo, nullptr, 0},
        {folder.at("sub"), PathTarget::Kind::folder, nullptr, 0},
        {"/dev/null", PathTarget::Kind::device, nullptr, 0},
        {folder.at("sub/ancora"), PathTarget::Kind::unknown, nullptr, ELOOP},
        {folder.at("manca/giro.nmea"), PathTarget::Kind::unknown, nullptr, ENOENT},
        {folder.at("giro.nmea/x"), PathTarget::Kind::unknown, nullptr, ENOTDIR},
    };
    for (const Row& row : rows) {
        const PathTarget target = path_target(row.path);
        EXPECT_EQ(target.kind, row.kind) << row.path;
        EXPECT_EQ(target.error, row.error) << row.path;
        EXPECT_EQ(target.same_as(file), row.same == &file) << row.path;
        EXPECT_EQ(target.same_as(fresh), row.same == &fresh) << row.path;
    }
    EXPECT_EQ(path_target(folder.at("pendente")).resolved, folder.at("nuovo.gpx"));
}

}  // namespace
}  // namespace vadrel
