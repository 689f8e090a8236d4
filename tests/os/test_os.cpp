#include <gtest/gtest.h>

#include <QFile>
#include <QObject>
#include <QSaveFile>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "os/path_target.h"
#include "os/result.h"
#include "os/qt_file_error.h"
#include "os/second_timer.h"
#include "os/system_error.h"
#include "support/event_loop.h"
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

// A result is its value, a refusal of a value given, or a failure of the
// system, each said in its own words; a failure said whole stays as said.
TEST(Result, IsTheValueOrWhyNot) {
    const Result<int> value = 7;
    EXPECT_TRUE(value.ok());
    EXPECT_EQ(value.value(), 7);
    EXPECT_EQ(value.refusal(), nullptr);
    EXPECT_EQ(value.failure(), nullptr);
    // columns: the result, refused, the words for the operator
    const std::tuple<Result<>, bool, std::string> rows[] = {
        {Refusal{"porta", "la porta va da 1 a 4, non 5"}, true, "la porta va da 1 a 4, non 5"},
        {Failure("impossibile salvare vadrel.ini", ENOSPC), false, "impossibile salvare vadrel.ini: il disco è pieno"},
        {Failure("il server TCP non ascolta: porta occupata"), false, "il server TCP non ascolta: porta occupata"},
    };
    for (const auto& [result, refused, message] : rows) {
        EXPECT_FALSE(result.ok()) << message;
        EXPECT_EQ(result.refusal() != nullptr, refused) << message;
        EXPECT_EQ(result.failure() != nullptr, !refused) << message;
        EXPECT_EQ(result.message(), message);
    }
    EXPECT_TRUE(Result<>().ok());
}

// Real failures of Qt's file classes read as the one table has them, never
// in Qt's English; without a system error, by Qt's class.
TEST(FileReason, QtsFileErrorsReadInItalian) {
    testing::ScratchFolder folder;
    folder.put("file", "x");
    // what fails, the path, opened to be saved (else read), the reason
    const std::tuple<const char*, std::string, bool, const char*> rows[] = {
        {"missing", folder.at("manca"), false, "il file o la cartella non esiste"},
        {"saved under a file taken for a folder", folder.at("file/tracce.gpx"), true,
         "una parte del percorso non è una cartella"},
    };
    for (const auto& [name, path, save, expected] : rows) {
        QFile file(QString::fromStdString(path));
        QSaveFile saved(QString::fromStdString(path));
        errno = 0;
        const bool opened = save ? saved.open(QIODevice::WriteOnly) : file.open(QIODevice::ReadOnly);
        const int error = errno;
        ASSERT_FALSE(opened) << name;
        const std::string reason = file_reason(save ? saved.error() : file.error(), error);
        EXPECT_EQ(reason.rfind(expected, 0), 0u) << name << ": " << reason;
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
    // the path, what stands there, the target it must be (or none), the error
    const std::tuple<std::string, PathTarget::Kind, const PathTarget*, int> rows[] = {
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
    for (const auto& [path, kind, same, error] : rows) {
        const PathTarget target = path_target(path);
        EXPECT_EQ(target.kind, kind) << path;
        EXPECT_EQ(target.error, error) << path;
        EXPECT_EQ(target.same_as(file), same == &file) << path;
        EXPECT_EQ(target.same_as(fresh), same == &fresh) << path;
    }
    EXPECT_EQ(path_target(folder.at("pendente")).resolved, folder.at("nuovo.gpx"));
}


// The second-aligned timer: its schedule from fixed readings of the clock,
// and its real ticks on the timerfd and on the portable timer.
TEST(SecondSchedule, TheNextTickIsTheNextWholeSecondPlusTheOffset) {
    constexpr std::int64_t ms = 1'000'000, s = nanoseconds_per_second;
    constexpr std::int64_t t0 = 1'052'511'328 * s;  // 2003-05-09 20:15:28 UTC
    constexpr std::int64_t due = t0 + 2 * ms;       // the tick just handled was armed for it
    // now, not before, next
    const std::tuple<const char*, std::int64_t, std::int64_t, std::int64_t> rows[] = {
        {"started mid-second", t0 + 400 * ms, 0, t0 + s + 2 * ms},
        {"started between the whole second and its offset: that second's tick", t0 + ms, 0, t0 + 2 * ms},
        {"handled on time: no drift", due + 1'500'000, due + s, t0 + s + 2 * ms},
        {"handled 600 ms late (SIGSTOP, SIGCONT): the next second all the same", t0 + 602 * ms, due + s,
         t0 + s + 2 * ms},
        {"handled 3.5 s late: the seconds missed are skipped", t0 + 3 * s + 502 * ms, due + s, t0 + 4 * s + 2 * ms},
        {"fired a moment early: not its own second again", due - 100'000, due + s, t0 + s + 2 * ms},
        {"the clock set back an hour since: within two seconds, not an hour", t0 - 3600 * s + 400 * ms, due + s,
         t0 - 3598 * s + 2 * ms},
        {"clock set to .8, 700 ms after a tick: the next second comes", t0 + 800 * ms, t0 + 600 * ms, t0 + s + 2 * ms},
        {"clock set to .8, 100 ms after a tick: half a second between ticks", t0 + 800 * ms, t0 + s + 200 * ms,
         t0 + 2 * s + 2 * ms},
    };
    for (const auto& [situation, now, not_before, next] : rows)
        EXPECT_EQ(next_tick_ns(now, 2 * ms, not_before), next) << situation;
    // five ticks a second: the next fifth, a late one skipped, as whole seconds are
    EXPECT_EQ(next_tick_ns(t0 + 450 * ms, 0, 0, s / 5), t0 + 600 * ms);
    EXPECT_EQ(next_tick_ns(t0 + 750 * ms, 0, t0 + 400 * ms, s / 5), t0 + 800 * ms);
}

// The process's open timerfd descriptors.
int timer_descriptors() {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error).string() == "anon_inode:[timerfd]") ++n;
    }
    return n;
}

// Real ticks from the timerfd and from the portable timer, armed again after
// each one; at five a second each tick knows its place in the second.
using SecondTimerTest = WithEventLoop;

TEST_F(SecondTimerTest, TicksArriveFromTheTimerfdAndFromThePortableTimer) {
    for (const auto kind : {SecondTimer::Kind::best, SecondTimer::Kind::portable}) {
        const int before = timer_descriptors();
        SecondTimer timer(kind, std::chrono::milliseconds(0));
        EXPECT_EQ(timer_descriptors() - before, kind == SecondTimer::Kind::best ? 1 : 0);
        timer.set_rate(5);
        std::vector<int> places;
        QObject::connect(&timer, &SecondTimer::tick, [&] { places.push_back(timer.tick_in_second()); });
        timer.start();
        EXPECT_TRUE(run_until([&places] { return places.size() >= 10; })) << places.size();
        EXPECT_EQ(std::set<int>(places.begin(), places.end()), (std::set<int>{0, 1, 2, 3, 4}));
    }
}

}  // namespace
}  // namespace vadrel
