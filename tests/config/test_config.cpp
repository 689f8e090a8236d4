// The configuration on a real disk. The program's folder: what makes it
// refused, the lock against a second vadrel, the temporaries a killed save
// leaves, and the outputs that may not go onto its files. The vehicle table
// vadrel.cnf: reader and writer over bytes, the fuzzer's seed corpus
// replayed, the table over the fleet, and the file on a real disk. The
// settings vadrel.ini: each group written and read back beside the others,
// what a hand-edited file holds that cannot be used, and the files it must
// not write over.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <tuple>

#include "config/ais_settings.h"
#include "config/control_settings.h"
#include "config/instrument_settings_model.h"
#include "config/output_path.h"
#include "config/output_settings.h"
#include "config/program_folder.h"
#include "config/receiver_settings.h"
#include "config/settings_model.h"
#include "config/table_file.h"
#include "config/tile_settings.h"
#include "config/vehicle_table.h"
#include "config_check.h"
#include "os/descriptor_reserve.h"
#include "settings_check.h"
#include "support/descriptor_limit.h"
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
        {"vadrel.percorso.5.0123456789abcdef.gpx", true, false, "vadrel.percorso.5.0123456789abcdef.gpx è un collegamento"},
        {"vadrel.percorso.5.0123456789ABCDEF.gpx", true, false, ""},
        {"vadrel.percorso.5.0123456789abcde.gpx", true, false, ""},
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
// gone the folder is free. A lock file with nothing in it is a vadrel
// starting this instant, or one that died before it could write its name:
// taken over only once it is old.
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
    f.put("vadrel.lock", "");
    EXPECT_NE(opening(f.path()), "") << "an empty lock just made";
    age(f.at("vadrel.lock"), 60);
    EXPECT_EQ(opening(f.path()), "") << "an empty lock a minute old";
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

using ::testing::ElementsAre;
using ::testing::StartsWith;
using Table = VehicleRecords;
using Items = std::array<std::string, 11>;

// What a read leaves in a field it did not touch.
constexpr std::int16_t X = -7;
const VehicleRecord untouched{X, X, X, "?", X, X, X, "?", X, X, X, X};
const Table sentinel = [] { Table t; t.fill(untouched); return t; }();

// The documented example: two vehicles, every other record never filled. The
// file does not keep the seconds: the tables here hold X in them, which a read
// leaves as it is.
const Items A = {"44", "1", "\"N\"", "", "10", "8", "\"E\"", "30", "90", "#TRUE#", "#FALSE#"};
const Items B = {"45", "30", "\"N\"", "", "9", "12", "\"E\"", "12", "270", "#FALSE#", "#TRUE#"};
const VehicleRecord a{44, 1, X, "N", 10, 8, X, "E", 30, 90, -1, 0};
const VehicleRecord b{45, 30, X, "N", 9, 12, X, "E", 12, 270, 0, -1};

// A record's line with item k (0-based) holding `item`; item 4 is empty by default.
std::string line(Items items, std::size_t k = 3, const std::string& item = "") {
    items[k] = item;
    std::string text = items[0];
    for (std::size_t i = 1; i < items.size(); ++i) text += "," + items[i];
    return text;
}

Table worked_example_table() {
    Table t{};
    for (auto& v : t) v.lat_seconds = v.lon_seconds = X;
    t[0] = a;
    t[1] = b;
    return t;
}
const std::string worked_example_text = cnf_text(line(A) + "\r\n" + line(B) + "\r\n");

// Every record filled, each differently.
Table full_table() {
    Table t{};
    const auto n = [](int value) { return static_cast<std::int16_t>(value); };
    for (int i = 0; i < static_cast<int>(fleet_size); ++i) {
        t[static_cast<std::size_t>(i)] = VehicleRecord{n(i * 4),        n(59 - i), X,           i % 2 ? "S" : "N",
                                                       n(179 - i * 8),  n(i * 2),  X,           i % 3 ? "E" : "W",
                                                       n(i * 37 - 100), n(i * 17), n(-(i % 2)), n(i % 2 - 1)};
    }
    return t;
}

TEST(ConfigWriter, WritesTheWorkedExampleByteForByteAndEveryTableReadsBack) {
    EXPECT_EQ(table_text(worked_example_table()), worked_example_text);
    for (const Table& table : {worked_example_table(), full_table()}) {
        Table t = sentinel;
        EXPECT_EQ(read_table_text(table_text(table), t), 1);
        EXPECT_EQ(t, table);
    }
}

// Extremes, any non-zero flag, and texts a quoted item cannot hold as they are.
TEST(ConfigWriter, WritesOddValuesSoTheyReadBack) {
    Table t{};
    t[0] = VehicleRecord{-3, -32768, 0, "S", 32767, 0, 0, "W", -1, 360, 1, -32768};
    const std::pair<std::string, std::string> texts[] = {
        {"a\"b", "a'b"}, {"N\r\nS", "N??S"}, {std::string("N\0S", 3), "N?S"}, {"\xC3\xA8", "??"}, {" a,# ", " a,# "}};
    for (std::size_t i = 0; i < std::size(texts); ++i)
        t[i + 1].lat_hemisphere = t[i + 1].lon_hemisphere = texts[i].first;
    const std::string text = table_text(t);
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "-3,-32768,\"S\",,32767,0,\"W\",-1,360,#TRUE#,#TRUE#");
    Table back = sentinel;
    ASSERT_EQ(read_table_text(text, back), 1);
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        EXPECT_EQ(back[i + 1].lat_hemisphere + "|" + back[i + 1].lon_hemisphere,
                  texts[i].second + "|" + texts[i].second);
    }
}

// The result and the records a read leaves; records after `records` untouched.
// The seed corpus has the other shapes of file (marker only, byte order mark,
// blanks, records split over lines); here what a failed read has filled.
TEST(ConfigReader, FillsRecordsUpToTheMarkerOrTheFailure) {
    const std::string la = line(A), lb = line(B), full = table_text(full_table());
    const Table read_full = full_table();
    const std::tuple<const char*, std::string, int, std::vector<VehicleRecord>> rows[] = {
        // name, content, result, records (as many as it reached)
        {"the marker alone: no record reached", "\"#\",\"#\"\r\n", 1, {}},
        {"lone LF, lone CR, no line end at the end", la + "\n" + lb + "\r#", 1, {a, b}},
        {"three records and no marker", la + "\r\n" + lb + "\r\n" + la + "\r\n", 0, {a, b, a}},
        {"a 22nd record", full.substr(0, full.find("\"#\"")) + la + "\r\n#", 0, {read_full.begin(), read_full.end()}},
        {"miglia a word: the record filled up to it", la + "\r\n" + line(B, 10, "si") + "\r\n#", 0,
         {a, {45, 30, X, "N", 9, 12, X, "E", 12, 270, 0, X}}},
        {"input ends mid record: that record untouched", la + "\r\n45,30,\"S\",,9,12,\"W\"", 0, {a}},
    };
    for (const auto& [name, content, result, records] : rows) {
        Table t = sentinel;
        EXPECT_EQ(read_table(content, t), (TableRead{static_cast<std::int16_t>(result), records.size()})) << name;
        for (std::size_t i = 0; i < t.size(); ++i) {
            EXPECT_EQ(t[i], i < records.size() ? records[i] : untouched) << name << ' ' << i;
        }
    }
}

// One item read as a number (item 1), a text (item 3) and a flag (item 10);
// "-": refused, "*": not looked at.
TEST(ConfigReader, ReadsAnItemAsItsFieldWants) {
    const std::array<std::string, 4> rows[] = {
        {"", "0", "", "0"}, {"1.50", "2", "1.5", "-1"}, {"2.5", "2", "2.5", "-1"}, {"3.5", "4", "3.5", "-1"},
        {"\"\"", "-", "", "-"}, {"\"44\"", "44", "44", "-1"}, {"-32768", "-32768", "-32768", "-1"},
        {"32768", "-", "32768", "-1"}, {"\"abc\"", "-", "abc", "-"}, {"12abc", "-", "-", "-"},
        {"#TRUE#", "-", "-", "-1"}, {"#FALSE#", "-", "-", "0"}, {"#true#", "-", "-", "-"},
        {std::string(400, '9'), "-", "*", "-1"}, {"0." + std::string(400, '0') + "1", "0", "*", "0"}};
    for (const auto& row : rows) {
        for (std::size_t c = 1; c < 4; ++c) {
            const std::size_t k = std::array<std::size_t, 4>{0, 0, 2, 9}[c];
            Table t = sentinel;
            const bool read = read_table_text(line(B, k, row[0]) + "\r\n#", t) == 1;
            const std::string got = k == 2 ? t[0].lat_hemisphere : std::to_string(k == 0 ? t[0].lat_degrees : t[0].kmh);
            EXPECT_EQ(row[c] == "*" ? "*" : read ? got : "-", row[c]) << row[0] << " as item " << k + 1;
        }
    }
}

// ok-* files must read to their marker, ko-* must not; any other (a find of
// the fuzzer) only has to read without harm.
TEST(ConfigCorpus, EveryFileReadsWithoutHarm) {
    ASSERT_FALSE(std::filesystem::is_empty(VADREL_CONFIG_CORPUS)) << "the seed corpus is there";
    for (const auto& entry : std::filesystem::directory_iterator(VADREL_CONFIG_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string name = entry.path().filename().string(), bytes(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(fuzzing::check_table(bytes), "") << name;
        Table table{};
        const int result = read_table_text(bytes, table);
        EXPECT_EQ(result, name.rfind("ok-", 0) == 0 ? 1 : name.rfind("ko-", 0) == 0 ? 0 : result) << name;
    }
}

// Written so that they read back to the same double. A line that is not a
// vehicle's three numbers in range is none.
TEST(ExactPositions, ReadBackToTheSameDoubleAndOnlyInRange) {
    std::array<SavedPosition, fleet_size> positions{};
    positions[0] = {158473.4000000001, 36538.6};
    positions[1] = {-163815.2, -0.0};
    const SavedPositions read = read_positions_text(positions_text(positions));
    for (std::size_t i = 0; i < fleet_size; ++i) EXPECT_EQ(read[i], positions[i]) << i;
    EXPECT_TRUE(std::signbit(read[1]->lon)) << "west of the meridian on it";

    const std::pair<const char*, std::optional<SavedPosition>> lines[] = {
        {"3 1.5 -2e3", SavedPosition{1.5, -2000.0}}, {"3\t-324000  648000\r", SavedPosition{-324000, 648000}},
        {"3 324000.5 0", std::nullopt},  {"3 0 -648001", std::nullopt}, {"3 nan 0", std::nullopt},
        {"3 1e400 0", std::nullopt},     {"3 1 2 4", std::nullopt},     {"3 1", std::nullopt},
        {"21 0 0", std::nullopt},        {"-1 0 0", std::nullopt},      {"3 0x1 0", std::nullopt},
        {"# 3 1 2", std::nullopt},
    };
    for (const auto& [line, expected] : lines) {
        EXPECT_EQ(read_positions_text(std::string("# vadrel\n") + line + "\n")[3], expected) << line;
    }
}

// The vehicle table over the fleet: what a record reads as, and what it writes.
constexpr const char* empty_line = "0,0,\"\",,0,0,\"\",0,0,#FALSE#,#FALSE#";

// The line vadrel.cnf writes for vehicle 1 after it was read as `read` and
// then `after` happened.
TEST(VehicleTable, ARecordStaysAsReadWhileItsVehicleIsWhatItReadsAs) {
    const std::tuple<const char*, const char*, std::function<void(Fleet&)>, const char*> rows[] = {
        // name, the record read, what happens after, the record written
        {"odd letters, minutes past 59, both flags: untouched", "44,75,\"n\",,10,8,\"E \",0,400,#TRUE#,#TRUE#",
         [](Fleet&) {}, "44,75,\"n\",,10,8,\"E \",0,400,#TRUE#,#TRUE#"},
        {"the same, once the current vehicle: letters and flags as the panel shows them",
         "44,75,\"n\",,10,8,\"E \",0,400,#TRUE#,#TRUE#",
         [](Fleet& f) {
             f.set_current(1, nullptr);
             f.set_current(0, nullptr);
         },
         "44,75,\"N\",,10,8,\"E\",0,400,#FALSE#,#TRUE#"},
        {"never filled: as read", empty_line, [](Fleet&) {}, empty_line},
        {"never filled, once the current vehicle", empty_line, [](Fleet& f) { f.set_current(1, nullptr); },
         "0,0,\"N\",,0,0,\"E\",0,0,#FALSE#,#FALSE#"},
        {"moved: as the panel shows it, to the whole second", "44,75,\"n\",,10,8,\"E \",0,400,#TRUE#,#TRUE#",
         [](Fleet& f) { f.place(1, std::nullopt, -0.4, nullptr); }, "45,15,\"N\",,0,0,\"W\",0,400,#FALSE#,#TRUE#"},
        {"a speed set", "45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#",
         [](Fleet& f) { f.set_speed(1, 12.5, nullptr); }, "45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#"},
        {"a unit set", "45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#",
         [](Fleet& f) { f.set_unit(1, SpeedUnit::kmh, nullptr); }, "45,30,\"S\",,9,12,\"W\",12,270,#TRUE#,#FALSE#"},
    };
    for (const auto& [name, read, after, written] : rows) {
        Fleet fleet;
        VehicleTable table(fleet);
        VehicleRecords records{};
        ASSERT_EQ(read_table_text(cnf_text(std::string(empty_line) + "\r\n" + read + "\r\n"), records), 1);
        table.load(records, true);
        after(fleet);
        const std::string text = table.text();
        const std::size_t second = text.find("\r\n") + 2;
        EXPECT_EQ(text.substr(second, text.find("\r\n", second) - second), written) << name;
    }
}

// What a record reads as, and back.
TEST(VehicleTable, RecordsAndVehicles) {
    const VehicleRecord south{0, 0, 0, "S", 0, 0, 0, "W", -5, 360, 0, 0};
    const Vehicle v = vehicle_of(south);
    EXPECT_TRUE(std::signbit(v.lat) && std::signbit(v.lon)) << "on the lines, south and west";
    EXPECT_EQ(v.unit, SpeedUnit::none);
    EXPECT_EQ(record_of(v), south);
    EXPECT_EQ(vehicle_of({0, 0, 0, "N", 0, 0, 0, "E", 0, 0, -1, -1}).unit, SpeedUnit::knots);
    const VehicleRecord rounded = record_of(Vehicle{-(44 * 3600 + 59 * 60 + 59.5), 1.0, 12.5, 13.5, SpeedUnit::kmh});
    EXPECT_EQ(rounded, (VehicleRecord{45, 0, 0, "S", 0, 0, 1, "E", 14, 12, -1, 0}));
}

// A file not read whole leaves vehicle 0 to the panel; the others get what
// it filled.
TEST(VehicleTable, AFileNotReadWhole) {
    Fleet fleet;
    fleet.place(0, 44 * 3600.0, 10 * 3600.0, nullptr);
    VehicleTable table(fleet);
    VehicleRecords records{};
    EXPECT_EQ(read_table_text("45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#\r\n"
                              "46,0,\"N\",,1,0,\"E\",1,1,#TRUE#,#FALSE#\r\n1,2",
                              records),
              0);
    table.load(records, false);
    EXPECT_EQ(fleet.vehicle(1).lat, 46 * 3600.0);
    EXPECT_EQ(table.text().substr(0, table.text().find("\r\n")), "44,0,\"N\",,10,0,\"E\",0,0,#FALSE#,#FALSE#");
}

// A vehicle whose record the file does not reach keeps what it held, to
// the last fraction of a second, and so does its record.
TEST(VehicleTable, AVehicleTheFileDoesNotReachKeepsWhatItHeld) {
    const std::string marker = "\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\"\r\n";
    std::string five;
    for (int i = 0; i < 5; ++i) five += line(i % 2 ? B : A) + "\r\n";
    five += marker;
    // name, vadrel.cnf, result, vehicle 0 kept, vehicle 7 kept
    const std::tuple<const char*, std::string, int, bool, bool> rows[] = {
        {"the marker alone", marker, 1, true, true},
        {"the marker alone, unquoted, blanks before it, no line end", "  #", 1, true, true},
        {"five records and the marker", five, 1, false, true},
        {"the whole worked example", worked_example_text, 1, false, false},
        {"two records, cut short", line(A) + "\r\n" + line(B) + "\r\n", 0, true, true},
    };
    const double lat = (44 * 60 + 1.7775) * 60, lon = (10 * 60 + 8.0623) * 60;
    for (const auto& [name, content, result, zero_kept, seven_kept] : rows) {
        Fleet fleet;
        VehicleTable table(fleet);
        fleet.place(0, lat, lon, nullptr);
        fleet.place(7, -lat, -lon, nullptr);
        const VehicleRecords before = table.records();
        VehicleRecords records{};
        const TableRead read = read_table(content, records);
        ASSERT_EQ(read.result, result) << name;
        table.load(records, read.result == 1, read.reached);
        EXPECT_EQ(fleet.vehicle(0).lat == lat && fleet.vehicle(0).lon == lon, zero_kept) << name;
        EXPECT_EQ(fleet.vehicle(7).lat == -lat && fleet.vehicle(7).lon == -lon, seven_kept) << name;
        EXPECT_EQ(table.records()[0] == before[0], zero_kept) << name;
        EXPECT_EQ(table.records()[7] == before[7], seven_kept) << name;
    }
}

// vadrel.cnf in a real folder of its own per case.
struct Bench {
    ScratchFolder f;
    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<TableFile> file;
    Fleet fleet;
    VehicleTable table{fleet};
    std::vector<std::string> messages;
    const Tell tell = [this](const QString& message) { messages.push_back(message.toStdString()); };
    const std::string path = f.at(table_file_name);
    const std::string about = "Il file di configurazione " + path;  // how each message about it starts

    explicit Bench(const std::string& before = "") {
        if (!before.empty()) f.put(table_file_name, before);
        run();
    }
    // A new run of the program in the same folder.
    void run() {
        file.reset();
        folder.reset();
        folder = std::make_unique<ProgramFolder>(f.path());
        file = std::make_unique<TableFile>(*folder);
    }
    // The fleet as these records read.
    void use(const Table& records) { table.load(records, true); }
    int load() { return load_table(table, *file, tell); }
    bool save() { return save_table(table, *file, tell); }
    void autosave() { save_table_if_changed(table, *file, tell); }
    std::string cnf() const { return f.get(table_file_name); }
    ino_t inode() const {
        struct stat st {};
        return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    }
    // The names in the folder besides vadrel.cnf, the positions beside it and the lock.
    std::vector<std::string> others() const {
        std::vector<std::string> names = f.names();
        std::erase_if(names, [](const std::string& n) {
            return n == table_file_name || n == positions_file_name || n == "vadrel.lock";
        });
        return names;
    }
};

const std::string damaged = worked_example_text.substr(0, 70) + "boh";
// Over a MiB and without an end marker, every byte value in it.
const std::string big_damaged = [] {
    std::string bytes(3 << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7919) >> 3);
    return bytes;
}();

// The marker alone, at start-up and at the save after it: vehicle 0 stays
// where the panel's start-up texts put it ("44", "1,7775" as 44° 2' N; "10",
// "8,0623" as 10° 8' E; km/h), and so does its record in the file written back.
TEST(ConfigFile, AFileOfTheMarkerAloneChangesNoVehicle) {
    Bench b("\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\"\r\n");
    const double lat = (44 * 60 + 2) * 60, lon = (10 * 60 + 8) * 60;
    b.fleet.place(0, lat, lon, nullptr);
    b.fleet.set_unit(0, SpeedUnit::kmh, nullptr);
    EXPECT_EQ(b.load(), 1);
    EXPECT_EQ(std::pair(b.fleet.vehicle(0).lat, b.fleet.vehicle(0).lon), std::pair(lat, lon));
    EXPECT_TRUE(b.save());
    EXPECT_EQ(b.cnf().substr(0, b.cnf().find("\r\n")), "44,2,\"N\",,10,8,\"E\",0,0,#TRUE#,#FALSE#");
}

// Read from the program's folder, never the current directory, and only its
// first MiB.
TEST(ConfigFile, ReadsTheFileInTheProgramsFolder) {
    // name, bytes ("" none, "/" a folder, "|" a fifo), result
    const std::tuple<const char*, std::string, int> rows[] = {
        {"missing", "", 0}, {"a folder by that name", "/", 0}, {"a fifo by that name", "|", 0},
        {"marker early, 2 MiB after it", worked_example_text + std::string(2 << 20, 'x'), 1},
        {"2 MiB of blanks before the marker", std::string(2 << 20, ' ') + "#", 0},
    };
    for (const auto& [name, bytes, result] : rows) {
        Bench b;
        ASSERT_EQ(bytes == "/" ? mkdir(b.path.c_str(), 0755) : bytes == "|" ? mkfifo(b.path.c_str(), 0644) : 0, 0);
        if (bytes.size() > 1) b.f.put(table_file_name, bytes);
        EXPECT_EQ(b.load(), result) << name;
        EXPECT_EQ(b.table.text() == worked_example_text, result == 1) << name;
        EXPECT_EQ(b.messages, std::vector<std::string>{}) << name;
    }
}

// One that does not read back is first copied, byte for byte and with its
// mode, under a number no copy had, the newest few kept. (No file, or a good
// one, is replaced with no copy: integration.files.)
TEST(ConfigFile, ASaveKeepsADamagedFileAsAVerifiedCopyFirst) {
    using Names = std::vector<std::string>;
    const std::tuple<const char*, std::string, unsigned, Names, const char*, Names> rows[] = {
        // name, the file before, its mode, other names before ("d:" a folder), the copy, other names after
        {"damaged, over a MiB, private", big_damaged, 0600, {}, "vadrel.cnf.bak.1", {"vadrel.cnf.bak.1"}},
        {"a folder and an old copy in the way", damaged, 0640, {"d:vadrel.cnf.bak.1", "vadrel.cnf.bak"},
         "vadrel.cnf.bak.2", {"vadrel.cnf.bak", "vadrel.cnf.bak.1", "vadrel.cnf.bak.2"}},
        {"five copies already, and a folder that is none", damaged, 0644,
         {"vadrel.cnf.bak.3", "vadrel.cnf.bak.4", "vadrel.cnf.bak.5", "vadrel.cnf.bak.6", "vadrel.cnf.bak.7",
          "d:vadrel.cnf.bak.20"},
         "vadrel.cnf.bak.21",
         {"vadrel.cnf.bak.20", "vadrel.cnf.bak.21", "vadrel.cnf.bak.4", "vadrel.cnf.bak.5", "vadrel.cnf.bak.6",
          "vadrel.cnf.bak.7"}},
    };
    for (const auto& [name, before, mode, present, copy, after] : rows) {
        Bench b(before);
        for (const std::string& there : present) {
            if (there.rfind("d:", 0) == 0) {
                ASSERT_EQ(mkdir(b.f.at(there.substr(2)).c_str(), 0755), 0);
            } else {
                b.f.put(there, "earlier copy");
            }
        }
        chmod(b.path.c_str(), mode);
        b.use(worked_example_table());
        EXPECT_TRUE(b.save()) << name;
        EXPECT_TRUE(b.save()) << name << ": the file is good now: no copy of it";
        EXPECT_EQ(std::tuple(b.cnf(), b.f.mode(table_file_name), b.others()),
                  std::tuple(worked_example_text, mode, after))
            << name;
        EXPECT_THAT(b.messages, ElementsAre(b.about + " non era leggibile per intero.\nUna copia è stata conservata "
                                                      "in " + b.f.at(copy) + "."))
            << name;
        EXPECT_TRUE(b.f.get(copy) == before) << name << ": the copy is byte-identical";
        EXPECT_EQ(b.f.mode(copy), mode) << name;
        EXPECT_TRUE(present.size() != 2 || b.f.get("vadrel.cnf.bak") == "earlier copy") << name;
    }
}

// A vadrel.cnf that cannot be replaced without harm stays as it is; the
// table goes beside it, under a name of each run's own.
TEST(ConfigFile, AFileThatMustStayIsLeftAndTheTableIsSavedBesideIt) {
    const std::string big = damaged + std::string(64 << 10, 'x');
    const std::tuple<const char*, std::function<void(Bench&)>, rlim_t, const char*, bool> rows[] = {
        // name, what is in the way once the program runs, file size limit, why, whether the next run is refused
        {"damaged, no room for a copy", [&](Bench& b) { b.f.put(table_file_name, big); }, 16 << 10,
         "non era leggibile per intero e non è stato possibile conservarne una copia in ", false},
        {"a folder in its place", [](Bench& b) { mkdir(b.path.c_str(), 0755); }, RLIM_INFINITY,
         "al suo posto c'è una cartella", false},
        {"a link put there while running",
         [](Bench& b) { ASSERT_EQ(symlink(b.f.at("mine").c_str(), b.path.c_str()), 0); }, RLIM_INFINITY,
         "è un collegamento simbolico a ", true},
        {"another user's file put there while running",
         [](Bench& b) {
             b.f.put(table_file_name, "suo");
             ASSERT_EQ(lchown(b.path.c_str(), other_user, other_user), 0);
         },
         RLIM_INFINITY, "appartiene all'utente nobody", true},
    };
    for (const auto& [name, in_the_way, file_size_limit, why, next_run_refused] : rows) {
        if (std::string(name).rfind("another user", 0) == 0 && !can_give_files_away()) continue;
        Bench b;
        b.f.put("mine", "del proprietario");
        in_the_way(b);
        const std::string before = b.cnf();
        b.use(full_table());
        const FileSizeLimit limit(file_size_limit);
        // Twice in one run, then once in the next run, if the folder is
        // still one a run may use.
        for (const std::string beside : {"vadrel.cnf.nuovo.1", "vadrel.cnf.nuovo.1", "vadrel.cnf.nuovo.2"}) {
            if (beside == "vadrel.cnf.nuovo.2") {
                if (next_run_refused) {
                    EXPECT_THROW(b.run(), FolderRefused) << name;
                    break;
                }
                b.run();
            }
            b.messages.clear();
            EXPECT_FALSE(b.save()) << name;
            EXPECT_EQ(b.cnf(), before) << name;
            EXPECT_EQ(b.f.get(beside), table_text(full_table())) << name << ' ' << beside;
            const auto left = StartsWith(b.about + " è stato lasciato com'è: " + why);
            const auto saved_beside =
                ::testing::HasSubstr("La tabella dei veicoli è stata salvata in " + b.f.at(beside) + ".");
            EXPECT_THAT(b.messages, ElementsAre(::testing::AllOf(left, saved_beside))) << name;
        }
        EXPECT_EQ(b.f.get("mine"), "del proprietario") << name;
        for (const std::string& left : b.f.names()) EXPECT_FALSE(ProgramFolder::is_temporary(left)) << left;
    }
}

// The operator is told; the previous file and the table stay as they were.
// With no descriptor left (network clients took them all, say), a table
// file given the program's reserve saves all the same, and takes the
// reserve back after.
TEST(ConfigFile, ASaveThatCannotBeDoneKeepsThePreviousFile) {
    const std::string kept = "\nIl file precedente è rimasto invariato.";
    // name, file size limit, folder removed, no descriptor left, the program's reserve given, the reason ("" saved)
    const std::tuple<const char*, rlim_t, bool, bool, bool, std::string> rows[] = {
        {"disk full halfway", 100, false, false, false,
         "scrittura non riuscita: il file supera la dimensione consentita." + kept},
        {"the folder removed while running", RLIM_INFINITY, true, false, false,
         "impossibile creare il file: il file o la cartella non esiste.\nIl file non è stato creato."},
        {"no descriptor left, the reserve given", RLIM_INFINITY, false, true, true, ""},
        {"no descriptor left", RLIM_INFINITY, false, true, false, "troppi file aperti dal programma." + kept},
    };
    for (const auto& [name, size_limit, removed, no_descriptor, with_reserve, told] : rows) {
        Bench b(worked_example_text);
        if (removed) std::filesystem::remove_all(b.f.path());
        DescriptorReserve reserve;
        TableFile file(*b.folder, with_reserve ? &reserve : nullptr);
        b.use(full_table());
        const FileSizeLimit limit(size_limit);
        std::optional<DescriptorLimit> none;
        if (no_descriptor) none.emplace(0);
        const bool saved = save_table(b.table, file, b.tell);
        none.reset();
        const std::string after = told.empty() ? table_text(full_table()) : worked_example_text;
        EXPECT_EQ(b.cnf(), removed ? "<missing>" : after) << name;
        EXPECT_EQ(std::pair(saved, b.table.text()), std::pair(told.empty(), table_text(full_table()))) << name;
        EXPECT_EQ(reserve.holding(), DescriptorReserve::held) << name;
        const std::string said = "Impossibile salvare la tabella dei veicoli nel file " + file.path() + ": " + told;
        EXPECT_EQ(b.messages, told.empty() ? std::vector<std::string>{} : std::vector<std::string>{said}) << name;
        EXPECT_EQ(removed ? std::vector<std::string>{} : b.others(), std::vector<std::string>{})
            << name << ": nothing beside it";
    }
}

// Written only when what the file keeps has changed (not the seconds it
// does not keep); a failure told once until a save works again.
TEST(ConfigFile, TheAutosaveWritesOnlyAChangedTableAndTellsAFailureOnce) {
    Bench b(worked_example_text);
    ASSERT_EQ(b.load(), 1);
    const ino_t first = b.inode();
    b.fleet.place(0, b.fleet.vehicle(0).lat + 31.0, std::nullopt, nullptr);
    b.autosave();
    EXPECT_EQ(b.inode(), first) << "the file as read is the table: not written";
    b.fleet.set_speed(3, 12, nullptr);
    b.autosave();
    EXPECT_EQ(b.cnf(), b.table.text());
    EXPECT_NE(b.inode(), first);
    const std::tuple<const char*, double, rlim_t, std::size_t> steps[] = {  // name, speed, size limit, messages
        {"fails", 13, 100, 1}, {"fails the same way", 14, 100, 1}, {"fails again unchanged", 14, 100, 1},
        {"works", 14, RLIM_INFINITY, 1}, {"fails anew", 15, 100, 2}};
    for (const auto& [name, speed, size_limit, messages] : steps) {
        b.fleet.set_speed(3, speed, nullptr);
        const FileSizeLimit limit(size_limit);
        b.autosave();
        EXPECT_EQ(b.messages.size(), messages) << name;
        EXPECT_EQ(b.cnf() == b.table.text(), size_limit == RLIM_INFINITY) << name;
    }
}

// A restart goes on from the exact position, the seconds vadrel.cnf does not
// keep included; vadrel.cnf stays the truth: where it says otherwise, or no
// positions file is there (an older folder), the vehicle starts from its record.
TEST(ConfigFile, ARestartGoesOnFromTheExactPositionWhereVadrelCnfAgrees) {
    const double lat = 158473.40000000002, lon = -36538.6;  // 44 1 13.4 N, 10 8 58.6 W
    const std::tuple<const char*, const char*, std::string, double> rows[] = {
        // name, the file changed between the runs (none: nothing changed), its bytes ("": removed), latitude
        {"as saved", nullptr, "", lat},
        {"vadrel.cnf moved to another minute by hand", table_file_name,
         cnf_text("44,2,\"N\",,10,8,\"W\",30,90,#TRUE#,#FALSE#\r\n"), 158520.0},
        {"vadrel.cnf in the other hemisphere", table_file_name,
         cnf_text("44,1,\"N\",,10,8,\"E\",30,90,#TRUE#,#FALSE#\r\n"), 158460.0},
        {"no positions file", positions_file_name, "", 158460.0},
        {"a damaged positions file", positions_file_name, "0 158473,4 x\n", 158460.0},
    };
    for (const auto& [name, changed, bytes, expected] : rows) {
        Bench b;
        b.use(worked_example_table());
        b.fleet.place(0, lat, lon, nullptr);
        ASSERT_TRUE(b.save()) << name;
        if (changed && bytes.empty()) std::filesystem::remove(b.f.at(changed));
        if (changed && !bytes.empty()) b.f.put(changed, bytes);
        b.table.load(Table{}, true);
        b.run();
        EXPECT_EQ(b.load(), 1) << name;
        EXPECT_EQ(b.fleet.vehicle(0).lat, expected) << name;
        EXPECT_TRUE(expected != lat || b.fleet.vehicle(0).lon == lon) << name;
        EXPECT_EQ(b.table.text(), b.cnf()) << name << ": vadrel.cnf as it was";
        EXPECT_EQ(b.messages, std::vector<std::string>{}) << name;
    }
}

// Made read-only by its owner, at start-up or while running: said once,
// the program runs on, and neither vadrel.cnf nor anything beside it is
// written, whatever the autosave and the exit find.
TEST(ConfigFile, AFileMadeReadOnlyStaysAsItIsAndThatIsSaidOnce) {
    for (const bool at_start : {true, false}) {
        Bench b(worked_example_text);
        if (at_start) chmod(b.path.c_str(), 0444);
        b.run();
        ASSERT_EQ(b.load(), 1);
        if (!at_start) chmod(b.path.c_str(), 0444);
        const ino_t inode = b.inode();
        b.use(full_table());
        b.autosave();
        b.autosave();
        EXPECT_TRUE(b.save()) << at_start;
        EXPECT_EQ(std::tuple(b.cnf(), b.inode(), b.f.mode(table_file_name), b.others()),
                  std::tuple(worked_example_text, inode, 0444u, std::vector<std::string>{}))
            << at_start;
        EXPECT_FALSE(std::filesystem::exists(b.f.at(positions_file_name))) << at_start;
        EXPECT_THAT(b.messages, ElementsAre(b.about + " è di sola lettura: è lasciato com'è e le modifiche alla "
                                                      "tabella dei veicoli non saranno salvate."))
            << at_start;
    }
}

// A vadrel.cnf there that cannot be read at start-up (no descriptor left)
// may hold a good table: said at once, and the table this run saves goes
// beside it even when it reads again by then.
TEST(ConfigFile, AFileThatCouldNotBeReadAtStartUpIsNeverReplaced) {
    Bench b(worked_example_text);
    std::optional<DescriptorLimit> none(std::in_place, 0);
    EXPECT_EQ(b.load(), 0);
    none.reset();
    const std::string no_descriptor = "(troppi file aperti dal programma)";
    EXPECT_THAT(b.messages, ElementsAre(b.about + " non si può leggere " + no_descriptor +
                                        ": la tabella dei veicoli parte da capo e il file sarà lasciato com'è."));
    b.use(full_table());
    EXPECT_FALSE(b.save());
    EXPECT_EQ(b.cnf(), worked_example_text);
    EXPECT_EQ(b.f.get("vadrel.cnf.nuovo.1"), table_text(full_table()));
    EXPECT_THAT(b.messages.back(), StartsWith(b.about + " è stato lasciato com'è: all'avvio non si poteva leggere " +
                                              no_descriptor + "."));
}

// A program folder whose vadrel.ini holds `text` (none when empty).
struct Ini {
    ScratchFolder folder;
    std::optional<ProgramFolder> place;
    std::vector<std::string> problems;

    explicit Ini(const std::string& text = "") {
        if (!text.empty()) folder.put("vadrel.ini", text);
        place.emplace(folder.path());
    }
    // What a group's reader makes of the file as it is now.
    template <typename Settings>
    Settings read(GroupRead<Settings> (*reader)(const SettingsFile&)) {
        GroupRead<Settings> read = reader(SettingsFile(*place));
        problems = std::move(read.problems);
        return std::move(read.value);
    }
    // Saved by the group's writer: whether the save worked.
    template <typename Settings>
    bool save(Result<> (*writer)(SettingsFile&, const Settings&), const Settings& settings) {
        SettingsFile file(*place);
        const Result<> saved = writer(file, settings);
        EXPECT_TRUE(saved.ok()) << saved.message();
        return saved.ok();
    }
    // The one problem named, or what was named instead.
    std::string problem() const {
        return problems.size() == 1 ? problems[0] : std::to_string(problems.size()) + " problemi";
    }
};

TEST(SettingsFile, EachGroupIsSavedAndReadBackBesideTheOtherGroups) {
    Ini ini("[ricevitore]\nutc=true\n\n[uscite]\nvecchia=1\n");
    OutputSettings outputs;
    outputs.tcp = outputs.udp = true;
    outputs.tcp_address = "::";
    outputs.tcp_port = 2000;
    outputs.tcp_max = 1000;
    outputs.udp_targets = {"192.168.1.255:10110", "[ff02::1]:10110"};
    EXPECT_EQ(ini.read(read_control_settings), ControlSettings{}) << "off unless the file says so";
    EXPECT_TRUE(ini.save(save_output_settings, outputs));
    const std::string text = ini.folder.get("vadrel.ini");
    EXPECT_NE(text.find("[ricevitore]\nutc=true"), std::string::npos) << text;
    EXPECT_EQ(text.find("vecchia"), std::string::npos) << "the group is replaced as a whole";

    const ControlSettings control{true, "::", 0};
    const ReceiverOptions receiver{
        .utc = true, .real_motion = true, .full_set = true, .altitude = -12.5, .no_fix = true,
        .faults = {true, 0.125, 0.25, 0.5, 18446744073709551615ULL, {30, 300}},
        .sky_options = {true, 12.5, {{200, 340, 40}, {350, 10, 20.5}}, 3, 5, Talker::gn,
                  {SentenceKind::rmc, SentenceKind::gsv, SentenceKind::gll}}};
    AisSettings ais;
    ais.enabled = ais.own_ship = ais.statics_at_once = true;
    ais.vehicles[3] = {247000003, AisClass::b, "Libeccio, è bella", 37, "IABC", {}};
    ais.vehicles[20].name = "Ultimo";
    const TileSettings tiles{true, "http://127.0.0.1:8080/{z}/{x}/{y}.png"};
    EXPECT_TRUE(ini.save(save_control_settings, control) && ini.save(save_receiver_settings, receiver) &&
                ini.save(save_ais_settings, ais) && ini.save(save_tile_settings, tiles));
    EXPECT_EQ(ini.folder.get("vadrel.ini").find("mezzo0_"), std::string::npos) << "only the vehicles set written";
    ini.place.emplace(ini.folder.path());  // a new run, once this one has let the folder go
    EXPECT_EQ(ini.read(read_output_settings), outputs);
    EXPECT_EQ(ini.read(read_control_settings), control);
    EXPECT_EQ(ini.read(read_receiver_settings), receiver);
    EXPECT_EQ(ini.read(read_ais_settings), ais);
    EXPECT_EQ(ini.read(read_tile_settings), tiles);
    EXPECT_EQ(ini.problems, std::vector<std::string>{});

    // written by hand: one target, and a comma left after it
    ini.folder.put("vadrel.ini", "[uscite]\nudp=true\nudp_destinazioni=10.0.0.255:10110,\n");
    EXPECT_EQ(ini.read(read_output_settings).udp_targets, std::vector<std::string>{"10.0.0.255:10110"});
}

// An empty list is written empty, as a person writes "none", never as
// QSettings' own marker of no value; a file with that marker from an
// earlier run still reads as no list.
TEST(SettingsFile, AnEmptyListIsWrittenEmptyAndTheOldMarkerStillReads) {
    Ini ini;
    OutputSettings outputs;
    outputs.udp = true;
    EXPECT_TRUE(ini.save(save_output_settings, outputs));
    const std::string text = ini.folder.get("vadrel.ini");
    EXPECT_EQ(text.find("@Invalid"), std::string::npos) << text;
    EXPECT_NE(text.find("\nudp_destinazioni=\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\ntcp_verso=\n"), std::string::npos) << text;
    ini.place.emplace(ini.folder.path());
    EXPECT_EQ(ini.read(read_output_settings), outputs);
    for (const char* old : {"udp_destinazioni=@Invalid()\ntcp_verso=@Invalid()", "udp_destinazioni=\ntcp_verso="}) {
        ini.folder.put("vadrel.ini", std::string("[uscite]\nudp=true\n") + old + "\n");
        ini.place.emplace(ini.folder.path());
        const OutputSettings read = ini.read(read_output_settings);
        EXPECT_EQ(std::pair(read.udp_targets, read.send_to),
                  std::pair(std::vector<std::string>{}, std::vector<std::string>{})) << old;
        EXPECT_EQ(ini.problems, std::vector<std::string>{}) << old;
    }
}

// A value that cannot be used is named (file, group, key, value) and leaves
// its output off, not running on a default the file did not ask for.
// (A port out of range: integration.files, settings_out_of_range.)
TEST(SettingsFile, AValueThatCannotBeUsedIsNamedAndLeavesItsOutputOff) {
    const std::tuple<const char*, const char*, bool, bool> rows[] = {
        // text, what is named ("" nothing), tcp, udp
        {"tcp=true\ntcp_porta=2000\nudp=1", "", true, true},
        {"tcp=true\ntcp_porta=10,110", "[uscite] tcp_porta vuole un numero da 0 a 65535, non \"10,110\"", false, false},
        {"tcp=true\ntcp_max_client=0", "[uscite] tcp_max_client vuole un numero da 1 a 1000000, non \"0\"", false,
         false},
        {"tcp=forse\nudp=true", "[uscite] tcp vuole true o false, non \"forse\"", false, true},
        {"tcp=true\nudp=si", "[uscite] udp vuole true o false, non \"si\"", true, false},
    };
    for (const auto& [text, named, tcp, udp] : rows) {
        Ini ini(std::string("[uscite]\n") + text + "\n");
        const OutputSettings read = ini.read(read_output_settings);
        EXPECT_EQ(std::pair(read.tcp, read.udp), std::pair(tcp, udp)) << text;
        const std::vector<std::string> said = {ini.folder.at("vadrel.ini") + ": " + named};
        EXPECT_EQ(ini.problems, *named ? said : std::vector<std::string>{}) << text;
    }
    Ini control("[controllo]\nattivo=true\nporta=99999\n");
    EXPECT_FALSE(control.read(read_control_settings).on);
    EXPECT_EQ(control.problem(),
              control.folder.at("vadrel.ini") + ": [controllo] porta vuole un numero da 0 a 65535, non \"99999\"");
}

// Each receiver value that cannot be used leaves its option off, with a line
// naming the file, the key and the value; faults with one such value stay off.
// A row for each way a value is read: a sky option's own reader (the mask,
// the rate, the list of sentences) goes the way the obstructions go; a flag
// and a height out of range: integration.files, settings_out_of_range.
TEST(SettingsFile, AReceiverValueThatCannotBeUsedLeavesItsOptionOff) {
    const std::pair<const char*, const char*> rows[] = {
        {"frasi=tutte", "frasi vuole rmc o complete"},
        {"quota=alta", "quota vuole un numero, non \"alta\""},
        {"guasti=true\nguasti_perdita=2", "guasti: perdita vuole una frazione da 0 a 1"},
        {"guasti=true\nguasti_perdita=0.1\nguasti_seme=-3", "guasti_seme vuole un numero intero"},
        {"guasti=true\nguasti_perdita_fix=30", "guasti_perdita_fix: perdita-fix vuole DURATA/OGNI"},
        {"ostacoli=\"200-340:40,ovest\"", "ostacoli: un ostacolo si scrive"},
    };
    ReceiverOptions expected;
    expected.real_motion = true;
    for (const auto& [text, named] : rows) {
        Ini ini(std::string("[ricevitore]\n") + text + "\nmoto_reale=1\n");
        EXPECT_EQ(ini.read(read_receiver_settings), expected) << text;
        EXPECT_NE(ini.problem().find(std::string("vadrel.ini: [ricevitore] ") + named), std::string::npos)
            << ini.problem();
    }
}

// An AIS vehicle's value that cannot be used leaves that vehicle as by
// default, with a line naming the file, the group and the key; the others
// are read.
TEST(SettingsFile, AnAisValueThatCannotBeUsedLeavesItsVehicleAsByDefault) {
    const std::tuple<const char*, std::size_t, const char*> rows[] = {
        // text, the vehicle left as by default, named
        {"mezzo2_mmsi=12345678901", 2, "mezzo2_mmsi vuole un MMSI di nove cifre"},
        {"mezzo2_classe=C", 2, "mezzo2_classe vuole A o B, non \"C\""},
        {"mezzo2_tipo=100", 2, "mezzo2_tipo vuole un numero da 0 a 99"},
        {"mezzo2_nome=Nave Grande e Lunga Oltre Venti", 2, "mezzo2_nome: il nome AIS ha al massimo 20 caratteri"},
        {"mezzo2_nominativo=I@X", 2, "mezzo2_nominativo: «@» non si trasmette in AIS"},
        {"mezzo2_mmsi=900000005", 2,
         "l'MMSI 900000005 è sia del mezzo 2 sia del mezzo 5: il mezzo 2 torna a 900000002"},
        {"mezzo7_mmsi=247000001", 7, "sia del mezzo 1 sia del mezzo 7: il mezzo 7 torna a 900000007"},
    };
    for (const auto& [text, vehicle, named] : rows) {
        Ini ini(std::string("[ais]\nattivi=true\nmezzo1_mmsi=247000001\n") + text + "\n");
        const AisSettings read = ini.read(read_ais_settings);
        EXPECT_TRUE(read.enabled && read.vehicles[1].mmsi == 247000001u) << text;
        EXPECT_EQ(read.vehicles[vehicle], default_identity(vehicle)) << text;
        EXPECT_NE(ini.problem().find(named), std::string::npos) << ini.problem();
        EXPECT_EQ(ini.problem().rfind(ini.folder.at("vadrel.ini") + ": [ais] ", 0), 0u) << ini.problem();
    }
}

// The map's street tiles: a hand-written address that cannot be used leaves
// them off, and each reason an address cannot be used.
TEST(SettingsFile, TheStreetTilesAreOffWhenTheAddressCannotBeUsed) {
    const std::tuple<const char*, TileSettings, const char*> rows[] = {  // text, read, named ("" nothing)
        {"", TileSettings{}, ""},
        {"strade=true\n", TileSettings{true, default_tile_address}, ""},
        {"strade=true\nindirizzo=file:///etc/{z}/{x}/{y}\n", TileSettings{}, "[mappa] indirizzo"},
        {"strade=forse\n", TileSettings{}, "[mappa] strade"},
    };
    for (const auto& [text, read, named] : rows) {
        Ini ini(std::string("[mappa]\n") + text);
        EXPECT_EQ(ini.read(read_tile_settings), read) << text;
        EXPECT_EQ(ini.problems.size(), *named ? 1u : 0u) << text;
        EXPECT_NE(ini.problem().find(named), std::string::npos) << ini.problem();
    }
    const std::pair<const char*, const char*> addresses[] = {  // address, why it cannot be used ("" it can)
        {"http://127.0.0.1:8080/{z}/{y}/{x}", ""},
        {" \t", "manca l'indirizzo"},
        {"https://tile.openstreetmap.org/{z}/{x}.png", "l'indirizzo non contiene {y}"},
        {"ftp://example.org/{z}/{x}/{y}.png", "l'indirizzo non comincia con http:// o https://"},
        {"HTTPS:///{z}/{x}/{y}.png", "l'indirizzo non ha un server"},
        {"http://127.0.0.1:99999/{z}/{x}/{y}.png", "l'indirizzo non è scritto come un indirizzo web"},
    };
    for (const auto& [address, why] : addresses) EXPECT_EQ(tile_address_problem(address), why) << address;
}

// A save that cannot be done says why, naming the file, and changes nothing:
// a file that does not read as settings (QSettings would write over it), one
// too big to read whole (its tail would be lost), one its owner made
// read-only, a folder where nothing can be written (as root every folder is
// writable: a folder in the file's place stands for it then).
TEST(SettingsFile, ASaveThatCannotBeDoneSaysWhyAndChangesNothing) {
    enum class Case { unreadable, too_big, read_only, no_writing };
    for (const Case c : {Case::unreadable, Case::too_big, Case::read_only, Case::no_writing}) {
        ScratchFolder folder;
        const std::string path = folder.at("vadrel.ini");
        const std::string before = c == Case::unreadable ? "[uscite\ntcp=1\n"
                                   : c == Case::too_big  ? "[ricevitore]\n" + std::string(1 << 20, ';') + "\nutc=1\n"
                                                         : "[uscite]\ntcp=true\n";
        if (c != Case::no_writing) {
            folder.put("vadrel.ini", before);
            if (c == Case::read_only) chmod(path.c_str(), 0444);
        } else if (::geteuid() == 0) {
            ASSERT_TRUE(QDir().mkdir(QString::fromStdString(path)));
        } else {
            QFile::setPermissions(folder.dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
        ProgramFolder place(folder.path());
        SettingsFile file(place);
        const Result<> saved = save_output_settings(file, OutputSettings{});
        ASSERT_FALSE(saved.ok());
        ASSERT_NE(saved.failure(), nullptr) << "the system's operation failed, no value was refused";
        const std::string why = saved.message();
        EXPECT_NE(why.find(path), std::string::npos) << why;
        EXPECT_EQ(why.find("reso di sola lettura dal suo proprietario") != std::string::npos, c == Case::read_only)
            << why;
        if (c != Case::no_writing) {
            EXPECT_EQ(file.problem() != "", c == Case::unreadable || c == Case::too_big) << why;
            EXPECT_EQ(folder.get("vadrel.ini"), before) << why;
        }
        QFile::setPermissions(folder.dir.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

// ok-* files have nothing to name, ko-* something; any other (a find of the
// fuzzer) only has to hold what the fuzzer checks, on a real disk.
TEST(SettingsFile, EveryFileOfTheSeedCorpusHoldsWhatTheFuzzerChecks) {
    ASSERT_FALSE(std::filesystem::is_empty(VADREL_SETTINGS_CORPUS));
    for (const auto& entry : std::filesystem::directory_iterator(VADREL_SETTINGS_CORPUS)) {
        const std::string name = entry.path().filename().string();
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        ScratchFolder folder;
        std::size_t named = 0;
        EXPECT_EQ(fuzzing::check_settings(bytes, folder.path(), &named), "") << name;
        if (name.rfind("ok-", 0) == 0 || name.rfind("ko-", 0) == 0) {
            EXPECT_EQ(named == 0, name[1] == 'k') << name;
        }
    }
}


// ---- the settings groups as models ----

// A group model over a plain value, its writer and its program's `apply`
// faked: what each was given, in order.
struct ModelRig {
    struct Value {
        int a = 0;
        int b = 0;
        bool operator==(const Value&) const = default;
    };
    std::vector<Value> saved;
    std::vector<std::string> events;
    std::optional<std::string> save_fails, apply_fails;
    SettingsModel<Value> model{rules()};
    const int me = 0;

    SettingsModel<Value>::Rules rules() {
        SettingsModel<Value>::Rules r;
        r.check = [](const Value& v) -> std::optional<Refusal> {
            if (v.a < 0) return Refusal{"a", "a va da 0 in su"};
            return std::nullopt;
        };
        // The file keeps b only when the change touches it.
        r.keep = [](const Value& before, const Value& after, Value& kept) {
            kept.a = after.a;
            if (before.b != after.b) kept.b = after.b;
        };
        r.save = [this](const Value& kept) -> Result<> {
            events.push_back("save");
            if (save_fails) return Failure("impossibile salvare vadrel.ini", *save_fails);
            saved.push_back(kept);
            return {};
        };
        return r;
    }
    ModelRig() {
        model.load({1, 1}, {1, 9});  // the file's b, and this run's over it
        model.watch([this](const void* origin) { events.push_back(origin == &me ? "told me" : "told"); });
        model.set_apply([this](const Value& wanted, const void*) -> Result<> {
            events.push_back("apply " + std::to_string(model.value().a) + "->" + std::to_string(wanted.a));
            if (apply_fails) return Failure(*apply_fails);
            return {};
        });
    }
};

TEST(SettingsModel, OneChangePathChecksAppliesTellsAndKeeps) {
    using Value = ModelRig::Value;
    enum Ends { done, refused, failed };
    // columns: the change, the apply's failure, the save's failure, how it ends,
    // in force after, in the file after, what happened in order
    const std::tuple<Value, const char*, const char*, Ends, Value, std::vector<Value>, std::vector<std::string>>
        rows[] = {
            {{2, 9}, nullptr, nullptr, done, {2, 9}, {{2, 1}}, {"apply 1->2", "told me", "save"}},
            {{2, 3}, nullptr, nullptr, done, {2, 3}, {{2, 3}}, {"apply 1->2", "told me", "save"}},
            {{-1, 9}, nullptr, nullptr, refused, {1, 9}, {}, {}},
            {{2, 9}, "la porta è occupata", nullptr, failed, {2, 9}, {}, {"apply 1->2", "told me"}},
            {{2, 9}, nullptr, "il disco è pieno", failed, {2, 9}, {}, {"apply 1->2", "told me", "save"}},
        };
    for (const auto& [wanted, apply_fails, save_fails, ends, in_force, saved, events] : rows) {
        ModelRig rig;
        if (apply_fails) rig.apply_fails = apply_fails;
        if (save_fails) rig.save_fails = save_fails;
        const Result<> result = rig.model.change(wanted, &rig.me);
        const std::string row = std::to_string(wanted.a) + "," + std::to_string(wanted.b) + " " +
                                (apply_fails ? apply_fails : "") + (save_fails ? save_fails : "");
        EXPECT_EQ(result.ok(), ends == done) << row;
        EXPECT_EQ(result.refusal() != nullptr, ends == refused) << row;
        EXPECT_EQ(result.failure() != nullptr, ends == failed) << row;
        EXPECT_EQ(rig.model.value(), in_force) << row;
        EXPECT_EQ(rig.saved, saved) << row;
        EXPECT_EQ(rig.events, events) << row;
    }
    ModelRig rig;
    rig.save_fails = "il disco è pieno";
    EXPECT_EQ(rig.model.change({2, 9}, nullptr).message(), "impossibile salvare vadrel.ini: il disco è pieno");
    EXPECT_EQ(rig.model.change({-2, 9}, nullptr).message(), "a va da 0 in su");
}

TEST(SettingsModel, AChoiceForThisRunIsToldAndNeverWritten) {
    ModelRig rig;
    rig.model.set_for_run({5, 5}, &rig.me);
    EXPECT_EQ(rig.model.value(), (ModelRig::Value{5, 5}));
    EXPECT_EQ(rig.model.kept(), (ModelRig::Value{1, 1}));
    EXPECT_EQ(rig.events, std::vector<std::string>{"told me"}) << "neither applied nor saved";
}

// The receiver's file keeps what a change touches; the command line's
// choices the change leaves alone stay out of it; the fault rates and the
// seed go together.
// An empty program's folder and its vadrel.ini.
struct EmptyIni {
    ScratchFolder folder;
    ProgramFolder place{folder.path()};
    SettingsFile file{place};
};

TEST(SettingsModel, TheReceiversFileKeepsWhatAChangeTouches) {
    EmptyIni ini;
    ReceiverSettingsModel model(receiver_rules(ini.file));
    ReceiverOptions in_file;
    in_file.no_fix = true;
    in_file.faults = {false, 0.5, 0, 0, 7, {}};
    ReceiverOptions for_run = in_file;
    for_run.no_fix = false;   // --senza-fix=no
    for_run.faults.enabled = true;  // --guasti
    for_run.faults.loss = 0.25;
    model.load(in_file, for_run);
    ReceiverOptions wanted = for_run;
    wanted.utc = true;
    ASSERT_TRUE(model.change(wanted, nullptr).ok());
    ReceiverOptions expected = in_file;
    expected.utc = true;
    EXPECT_EQ(model.kept(), expected) << "the run's senza_fix and faults stay out";
    wanted.faults.seed = 8;
    ASSERT_TRUE(model.change(wanted, nullptr).ok());
    expected.faults = {false, 0.25, 0, 0, 8, {}};
    EXPECT_EQ(model.kept(), expected) << "the rates go with the seed, the switch stays the file's";
    EXPECT_EQ(read_receiver_settings(SettingsFile(ini.place)).value, expected);
}

// [strumenti]: what is written reads back the same, a correction not known
// as an empty value; a value out of range or no number gives its default,
// named with the file and the group, the others read.
TEST(SettingsFile, TheInstrumentsReadBackAndAValueOutOfRangeGivesItsDefault) {
    Ini ini;
    InstrumentSettings saved;
    saved.enabled = true;
    saved.wind = {270, 15.5};
    saved.current = {90, 1.25};
    saved.depth = 12.5;
    saved.transducer_offset = -0.8;
    saved.water_temperature = -1.5;
    saved.variation = -2.25;
    ASSERT_TRUE(ini.save(save_instrument_settings, saved));
    EXPECT_NE(ini.folder.get("vadrel.ini").find("deviazione="), std::string::npos);
    EXPECT_EQ(ini.read(read_instrument_settings), saved);
    EXPECT_EQ(ini.problems, std::vector<std::string>{});

    const InstrumentSettings d;
    const std::tuple<const char*, const char*> rows[] = {  // text, the key named
        {"vento_nodi=250", "vento_nodi"},
        {"vento_direzione=-1", "vento_direzione"},
        {"corrente_nodi=nan", "corrente_nodi"},
        {"profondita=-3", "profondita"},
        {"offset_trasduttore=100.5", "offset_trasduttore"},
        {"temperatura_acqua=80", "temperatura_acqua"},
        {"variazione=est", "variazione"},
        {"deviazione=91", "deviazione"},
    };
    for (const auto& [text, key] : rows) {
        Ini bad(std::string("[strumenti]\nattivi=true\nvento_direzione=45\nprofondita=7\n") + text + "\n");
        InstrumentSettings read = bad.read(read_instrument_settings);
        EXPECT_TRUE(read.enabled) << text;
        EXPECT_EQ(read.wind.direction, std::string(key) == "vento_direzione" ? d.wind.direction : 45.0) << text;
        EXPECT_EQ(read.depth, std::string(key) == "profondita" ? d.depth : 7.0) << text;
        EXPECT_EQ(read.wind.speed_knots, d.wind.speed_knots) << text;
        EXPECT_EQ(read.deviation, std::nullopt) << text;
        EXPECT_NE(bad.problem().find(key), std::string::npos) << bad.problem();
        EXPECT_EQ(bad.problem().rfind(bad.folder.at("vadrel.ini") + ": [strumenti] ", 0), 0u) << bad.problem();
    }
}

TEST(SettingsModel, TheInstrumentsFileKeepsTheSwitchOnlyWhenAChangeTurnsIt) {
    EmptyIni ini;
    InstrumentSettingsModel model(instrument_rules(ini.file));
    InstrumentSettings for_run;
    for_run.enabled = true;  // --strumenti
    for_run.wind = {270, 15};  // --vento 270@15
    model.load(InstrumentSettings{}, for_run);
    InstrumentSettings wanted = for_run;
    wanted.depth = 30;
    ASSERT_TRUE(model.change(wanted, nullptr).ok());
    EXPECT_FALSE(model.kept().enabled) << "--strumenti stays out of the file";
    EXPECT_EQ(model.kept().depth, 30.0);
    EXPECT_EQ(model.kept().wind, (Flow{270, 15})) << "a change keeps every value in force";
    wanted.wind.speed_knots = 201;
    const Result<> refused = model.change(wanted, nullptr);
    ASSERT_NE(refused.refusal(), nullptr);
    EXPECT_EQ(refused.refusal()->field, "vento_nodi");
    EXPECT_EQ(model.value().wind.speed_knots, 15.0) << "a refusal changes nothing";
    wanted = model.value();
    wanted.enabled = false;
    ASSERT_TRUE(model.change(wanted, nullptr).ok());
    wanted.enabled = true;
    ASSERT_TRUE(model.change(wanted, nullptr).ok());
    EXPECT_TRUE(model.kept().enabled) << "turned by a change: kept";
    EXPECT_EQ(read_instrument_settings(SettingsFile(ini.place)).value, model.kept());
}

TEST(SettingsModel, TheAisFileKeepsTheSwitchesAChangeTouchesAndRefusesASharedMmsi) {
    EmptyIni ini;
    AisSettingsModel model(ais_rules(ini.file));
    AisSettings for_run;
    for_run.enabled = true;  // --ais
    model.load(AisSettings{}, for_run);
    AisSettings wanted = for_run;
    wanted.vehicles[2].mmsi = wanted.vehicles[1].mmsi;
    const Result<> refused = model.change(wanted, nullptr);
    ASSERT_NE(refused.refusal(), nullptr);
    EXPECT_EQ(refused.refusal()->field, "mmsi");
    EXPECT_EQ(model.value(), for_run) << "a refusal changes nothing";
    wanted = for_run;
    wanted.own_ship = true;
    wanted.vehicles[3].name = "Libeccio";
    ASSERT_TRUE(model.change(wanted, nullptr).ok());
    EXPECT_FALSE(model.kept().enabled) << "--ais stays out of the file";
    EXPECT_TRUE(model.kept().own_ship);
    EXPECT_EQ(model.kept().vehicles[3].name, "Libeccio");
}

}  // namespace
}  // namespace vadrel::testing
