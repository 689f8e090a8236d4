#include <gtest/gtest.h>

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

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

}  // namespace
}  // namespace vadrel
