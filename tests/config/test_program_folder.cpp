// The program's folder on a real disk: what makes it refused, the lock
// against a second vadrel, the temporaries a killed save leaves, and the
// outputs that may not go onto its files.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <optional>
#include <tuple>

#include "config/output_path.h"
#include "config/program_folder.h"
#include "support/event_loop.h"
#include "support/scratch_folder.h"

namespace vadrel::testing {
namespace {

// What opening the folder says: "" when it is used, else the refusal.
std::string opening(const std::string& path) {
    try {
        ProgramFolder folder(path);
        return "";
    } catch (const FolderRefused& e) {
        return e.what();
    }
}

// A link to the user's own file, or a file, under a name; made by another
// user where `others`. "" when the folder is used.
TEST(ProgramFolder, IsRefusedWhenOneOfItsNamesIsALinkOrAnotherUsersFile) {
    const std::tuple<const char*, bool, bool, const char*> rows[] = {  // name, a link, others', told
        {"vadrel.cnf", true, false, "vadrel.cnf è un collegamento simbolico a "},
        {"vadrel.lock", true, false, "vadrel.lock è un collegamento simbolico a "},
        {"vadrel.cnf.bak", true, true, "vadrel.cnf.bak è un collegamento simbolico a "},
        {"vadrel.ini", false, true, "vadrel.ini appartiene all'utente nobody"},
        {"vadrel.cnf.bak.7", false, true, "vadrel.cnf.bak.7 appartiene all'utente nobody"},
        {"vadrel.cnf.orig", false, true, ""},
        {"vadrel.cnf.bak.x", true, false, ""},
        {"vadrel.percorso.0.gpx", true, false, "vadrel.percorso.0.gpx è un collegamento simbolico a "},
        {"vadrel.percorso.20", false, true, "vadrel.percorso.20 appartiene all'utente nobody"},
        {"vadrel.percorso.03", true, false, ""},
    };
    for (const auto& [name, link, others, told] : rows) {
        if (others && !can_give_files_away()) continue;
        ScratchFolder f;
        f.put("mine", "del proprietario");
        ASSERT_EQ(link ? symlink(f.at("mine").c_str(), f.at(name).c_str()) : (f.put(name, ""), 0), 0);
        ASSERT_EQ(others ? lchown(f.at(name).c_str(), other_user, other_user) : 0, 0);
        const std::string said = opening(f.path());
        const std::string refused = "La cartella " + f.path() + " non viene usata: " + f.at(told);
        EXPECT_TRUE(*told ? said.rfind(refused, 0) == 0 && said.find("--cartella") != std::string::npos : said.empty())
            << name << ": " << said;
        EXPECT_EQ(std::pair(f.get("mine"), f.mode("mine")), std::pair(std::string("del proprietario"), 0644u)) << name;
    }
}

TEST(ProgramFolder, IsRefusedWhenItIsNotAFolder) {
    ScratchFolder f;
    f.put("file", "");
    EXPECT_EQ(opening(f.at("manca")).rfind("La cartella " + f.at("manca") + " non esiste.", 0), 0u);
    EXPECT_EQ(opening(f.at("file")).rfind(f.at("file") + " non è una cartella.", 0), 0u);
}

// Only names of vadrel's own temporaries, only regular files of the user.
TEST(ProgramFolder, RemovesTheTemporariesOfAKilledSave) {
    ScratchFolder f;
    for (const char* name : {"vadrel.cnf.tmp-a1B2c3", "vadrel.cnf.tmp-a1B2c", "vadrel.cnf.tmp-a1B2c3d",
                             "vadrel.cnf.tmp-a1B2.3", "vadrel.cnf.backup", "vadrel.cnf.XYZ123", "x.tmp-a1B2c3"}) {
        f.put(name, "resto");
    }
    ASSERT_TRUE(QDir(f.dir.path()).mkdir("vadrel.cnf.tmp-cartel"));
    {
        ProgramFolder folder(f.path());
        EXPECT_EQ(f.names(),
                  (std::vector<std::string>{"vadrel.cnf.XYZ123", "vadrel.cnf.backup", "vadrel.cnf.tmp-a1B2.3",
                                            "vadrel.cnf.tmp-a1B2c", "vadrel.cnf.tmp-a1B2c3d", "vadrel.cnf.tmp-cartel",
                                            "vadrel.lock", "x.tmp-a1B2c3"}));
    }
    EXPECT_EQ(f.get("vadrel.lock"), "<missing>") << "the lock goes with the program";
}

void age(const std::string& path, int seconds) {
    const timespec when[2] = {{time(nullptr) - seconds, 0}, {time(nullptr) - seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), when, AT_SYMLINK_NOFOLLOW), 0);
}

// In one process two holders are as good as two programs: the second is
// told who holds the folder, however long it has held it; once the first is
// gone the folder is free.
TEST(ProgramFolder, IsHeldByOneProgramAtATime) {
    ScratchFolder f;
    std::optional<ProgramFolder> first(std::in_place, f.path());
    EXPECT_TRUE(first->locked());
    age(f.at("vadrel.lock"), 3600);
    const std::string told = opening(f.path());
    EXPECT_EQ(told.rfind("La cartella " + f.path() + " è già usata da un altro vadrel (", 0), 0u) << told;
    EXPECT_NE(told.find("processo " + std::to_string(getpid()) + " su "), std::string::npos) << told;
    EXPECT_NE(told.find("--cartella"), std::string::npos) << told;
    first.reset();
    EXPECT_EQ(opening(f.path()), "");
}

// A lock file with nothing in it: a vadrel starting this instant, or one
// that died before it could write its name.
TEST(ProgramFolder, TakesOverAnEmptyLockOnlyOnceItIsOld) {
    for (const int seconds : {0, 60}) {
        ScratchFolder f;
        f.put("vadrel.lock", "");
        age(f.at("vadrel.lock"), seconds);
        EXPECT_EQ(opening(f.path()).empty(), seconds > 0) << seconds;
    }
}

// Whatever comes under a name while the program runs, a link is never
// followed: not read, not copied, and replaced as a name.
TEST(ProgramFolder, NeverFollowsALink) {
    ScratchFolder f;
    ProgramFolder folder(f.path());
    f.put("mine", "del proprietario");
    ASSERT_EQ(symlink(f.at("mine").c_str(), f.at("vadrel.cnf").c_str()), 0);
    EXPECT_EQ(folder.read("vadrel.cnf", 100), std::nullopt);
    EXPECT_TRUE(folder.copy("vadrel.cnf", "vadrel.cnf.bak.1"));
    EXPECT_FALSE(folder.replace("vadrel.cnf", "tabella"));
    EXPECT_EQ(f.get("mine"), "del proprietario");
    EXPECT_EQ(f.get("vadrel.cnf"), "tabella");
    EXPECT_EQ(f.names(), (std::vector<std::string>{"mine", "vadrel.cnf", "vadrel.lock"}));
}

// A kept route is written and read a piece at a time: the pieces land whole
// and in order; what is not a regular file of ours, or not there, does not open.
TEST(ProgramFolder, WritesAndOpensAFileAPieceAtATime) {
    ScratchFolder f;
    ProgramFolder folder(f.path());
    EXPECT_FALSE(folder.replace_with("vadrel.percorso.3.gpx", [](const ProgramFolder::PieceWriter& put) {
        for (const char* piece : {"<gpx>", "", "<rte/>", "</gpx>"}) EXPECT_TRUE(put(piece));
    }));
    EXPECT_EQ(f.get("vadrel.percorso.3.gpx"), "<gpx><rte/></gpx>");
    int error = -1;
    const Descriptor file = folder.open_own("vadrel.percorso.3.gpx", &error);
    EXPECT_EQ(std::pair(read_bytes(file.get(), 5), error), std::pair(std::string("<gpx>"), 0));
    ASSERT_EQ(mkfifo(f.at("vadrel.percorso.4.gpx").c_str(), 0600), 0);
    EXPECT_FALSE(folder.open_own("vadrel.percorso.4.gpx", &error)) << "a FIFO is not opened for reading";
    EXPECT_EQ(error, 0);
    EXPECT_FALSE(folder.open_own("vadrel.percorso.5.gpx", &error));
    EXPECT_EQ(error, ENOENT);
}

// An output path against the program's own files and the log replayed:
// refused with both paths named, however the path reaches them. (By their
// plain names, and the other output: integration.record_replay_files,
// refused_outputs.)
TEST(OutputPath, OwnFilesAndTheReplayedLogAreRefused) {
    ScratchFolder program, elsewhere;
    program.put("vadrel.cnf", "tabella");
    program.put("vadrel.ini", "[porte]\n");
    ProgramFolder folder(program.path());  // makes vadrel.lock
    elsewhere.put("viaggio.nmea", "# registro\n");
    ASSERT_EQ(::symlink(program.at("vadrel.cnf").c_str(), elsewhere.at("tabella.gpx").c_str()), 0);
    ASSERT_EQ(::link(program.at("vadrel.ini").c_str(), elsewhere.at("copia.nmea").c_str()), 0);
    ASSERT_EQ(::symlink("viaggio.nmea", elsewhere.at("altro.nmea").c_str()), 0);
    ASSERT_EQ(::mkfifo(elsewhere.at("fifo").c_str(), 0600), 0);
    const std::vector<RoleFile> others = {{FileRole::replay, elsewhere.at("viaggio.nmea")}};
    const auto own = [&program](const std::string& name) {
        return "è un file del programma (" + program.at(name) + ")";
    };
    const std::tuple<std::string, FileRole, std::string> rows[] = {
        // path, role, what is said after the path ("" allowed)
        {elsewhere.at("tabella.gpx"), FileRole::tracks, own("vadrel.cnf")},
        {elsewhere.at("copia.nmea"), FileRole::recording, own("vadrel.ini")},
        {program.at("vadrel.lock"), FileRole::tracks, own("vadrel.lock")},
        // names of the program's own that are not there yet
        {program.at("vadrel.cnf.bak.9"), FileRole::recording, own("vadrel.cnf.bak.9")},
        {elsewhere.at("../" + program.path().substr(program.path().rfind('/') + 1) + "/vadrel.cnf.nuovo.2"),
         FileRole::tracks, own("vadrel.cnf.nuovo.2")},
        {elsewhere.at("altro.nmea"), FileRole::recording,
         "è il registro che si riproduce (" + elsewhere.at("viaggio.nmea") + ")"},
        {elsewhere.at("fifo"), FileRole::tracks, "è un FIFO, non un file normale"},
        {"/dev/null", FileRole::recording, "è un dispositivo, non un file normale o un FIFO"},
        {elsewhere.path(), FileRole::tracks, "è una cartella, non un file normale"},
        {elsewhere.at("manca/giro.nmea"), FileRole::recording, "il file o la cartella non esiste"},
        {elsewhere.at("fifo"), FileRole::recording, ""},
        {elsewhere.at("nuovo.nmea"), FileRole::recording, ""},
        {program.at("tracce.gpx"), FileRole::tracks, ""},
    };
    for (const auto& [path, role, refusal] : rows) {
        const std::string start = role == FileRole::recording ? "la registrazione non può andare in "
                                                              : "le tracce GPX non possono andare in ";
        EXPECT_EQ(output_refusal(path, role, folder, others), refusal.empty() ? "" : start + path + ": " + refusal)
            << path;
    }
    EXPECT_EQ(program.get("vadrel.cnf"), "tabella") << "nothing opened for writing";
}

}  // namespace
}  // namespace vadrel::testing
