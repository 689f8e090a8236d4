// The configuration file vadrel.cnf: reader and writer over bytes, the fuzzer's
// seed corpus replayed, the table over the fleet, and the file on a real disk.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <tuple>

#include "config_check.h"
#include "config/table_file.h"
#include "os/descriptor_reserve.h"
#include "support/descriptor_limit.h"
#include "support/scratch_folder.h"
#include "config/vehicle_table.h"

namespace vadrel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;
using Tabella = VehicleRecords;
using Items = std::array<std::string, 11>;

// What a read leaves in a field it did not touch.
constexpr std::int16_t X = -7;
const VehicleRecord untouched{X, X, X, "?", X, X, X, "?", X, X, X, X};
const Tabella sentinel = [] { Tabella t; t.fill(untouched); return t; }();

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

Tabella worked_example_table() {
    Tabella t{};
    for (auto& v : t) v.lat_seconds = v.lon_seconds = X;
    t[0] = a;
    t[1] = b;
    return t;
}
const std::string worked_example_text = cnf_text(line(A) + "\r\n" + line(B) + "\r\n");

// Every record filled, each differently.
Tabella full_table() {
    Tabella t{};
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
    for (const Tabella& table : {worked_example_table(), full_table()}) {
        Tabella t = sentinel;
        EXPECT_EQ(read_table_text(table_text(table), t), 1);
        EXPECT_EQ(t, table);
    }
}

// Extremes, any non-zero flag, and texts a quoted item cannot hold as they are.
TEST(ConfigWriter, WritesOddValuesSoTheyReadBack) {
    Tabella t{};
    t[0] = VehicleRecord{-3, -32768, 0, "S", 32767, 0, 0, "W", -1, 360, 1, -32768};
    const std::pair<std::string, std::string> texts[] = {
        {"a\"b", "a'b"}, {"N\r\nS", "N??S"}, {std::string("N\0S", 3), "N?S"}, {"\xC3\xA8", "??"}, {" a,# ", " a,# "}};
    for (std::size_t i = 0; i < std::size(texts); ++i)
        t[i + 1].lat_hemisphere = t[i + 1].lon_hemisphere = texts[i].first;
    const std::string text = table_text(t);
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "-3,-32768,\"S\",,32767,0,\"W\",-1,360,#TRUE#,#TRUE#");
    Tabella back = sentinel;
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
    const Tabella read_full = full_table();
    const std::tuple<const char*, std::string, int, std::vector<VehicleRecord>> rows[] = {
        // name, content, result, records
        {"lone LF, lone CR, no line end at the end", la + "\n" + lb + "\r#", 1, {a, b}},
        {"three records and no marker", la + "\r\n" + lb + "\r\n" + la + "\r\n", 0, {a, b, a}},
        {"a 22nd record", full.substr(0, full.find("\"#\"")) + la + "\r\n#", 0, {read_full.begin(), read_full.end()}},
        {"miglia a word: the record filled up to it", la + "\r\n" + line(B, 10, "si") + "\r\n#", 0,
         {a, {45, 30, X, "N", 9, 12, X, "E", 12, 270, 0, X}}},
        {"input ends mid record: that record untouched", la + "\r\n45,30,\"S\",,9,12,\"W\"", 0, {a}},
    };
    for (const auto& [name, content, result, records] : rows) {
        Tabella t = sentinel;
        EXPECT_EQ(read_table_text(content, t), result) << name;
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
            Tabella t = sentinel;
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
        EXPECT_EQ(fuzzing::check_configurazione(bytes), "") << name;
        Tabella table{};
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
    EXPECT_EQ(fleet.vehicle(0).lat, 44 * 3600.0);
    EXPECT_EQ(fleet.vehicle(1).lat, 46 * 3600.0);
    EXPECT_EQ(table.text().substr(0, table.text().find("\r\n")), "44,0,\"N\",,10,0,\"E\",0,0,#FALSE#,#FALSE#");
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
    const std::string path = f.at(nome_file_configurazione);
    const std::string about = "Il file di configurazione " + path;  // how each message about it starts

    explicit Bench(const std::string& before = "") {
        if (!before.empty()) f.put(nome_file_configurazione, before);
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
    void use(const Tabella& records) { table.load(records, true); }
    int load() { return load_table(table, *file, tell); }
    bool save() { return save_table(table, *file, tell); }
    void autosave() { save_table_if_changed(table, *file, tell); }
    std::string cnf() const { return f.get(nome_file_configurazione); }
    ino_t inode() const {
        struct stat st {};
        return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    }
    // The names in the folder besides vadrel.cnf, the positions beside it and the lock.
    std::vector<std::string> others() const {
        std::vector<std::string> names = f.names();
        std::erase_if(names, [](const std::string& n) {
            return n == nome_file_configurazione || n == nome_file_posizioni || n == "vadrel.lock";
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
        if (bytes.size() > 1) b.f.put(nome_file_configurazione, bytes);
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
        EXPECT_EQ(std::tuple(b.cnf(), b.f.mode(nome_file_configurazione), b.others()),
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
        {"damaged, no room for a copy", [&](Bench& b) { b.f.put(nome_file_configurazione, big); }, 16 << 10,
         "non era leggibile per intero e non è stato possibile conservarne una copia in ", false},
        {"a folder in its place", [](Bench& b) { mkdir(b.path.c_str(), 0755); }, RLIM_INFINITY,
         "al suo posto c'è una cartella", false},
        {"a link put there while running",
         [](Bench& b) { ASSERT_EQ(symlink(b.f.at("mine").c_str(), b.path.c_str()), 0); }, RLIM_INFINITY,
         "è un collegamento simbolico a ", true},
        {"another user's file put there while running",
         [](Bench& b) {
             b.f.put(nome_file_configurazione, "suo");
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
        if (!removed) {
            EXPECT_EQ(b.others(), std::vector<std::string>{}) << name << ": nothing beside it";
        }
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
        {"vadrel.cnf moved to another minute by hand", nome_file_configurazione,
         cnf_text("44,2,\"N\",,10,8,\"W\",30,90,#TRUE#,#FALSE#\r\n"), 158520.0},
        {"vadrel.cnf in the other hemisphere", nome_file_configurazione,
         cnf_text("44,1,\"N\",,10,8,\"E\",30,90,#TRUE#,#FALSE#\r\n"), 158460.0},
        {"no positions file", nome_file_posizioni, "", 158460.0},
        {"a damaged positions file", nome_file_posizioni, "0 158473,4 x\n", 158460.0},
    };
    for (const auto& [name, changed, bytes, expected] : rows) {
        Bench b;
        b.use(worked_example_table());
        b.fleet.place(0, lat, lon, nullptr);
        ASSERT_TRUE(b.save()) << name;
        if (changed && bytes.empty()) std::filesystem::remove(b.f.at(changed));
        if (changed && !bytes.empty()) b.f.put(changed, bytes);
        b.table.load(Tabella{}, true);
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
        EXPECT_EQ(std::tuple(b.cnf(), b.inode(), b.f.mode(nome_file_configurazione), b.others()),
                  std::tuple(worked_example_text, inode, 0444u, std::vector<std::string>{}))
            << at_start;
        EXPECT_FALSE(std::filesystem::exists(b.f.at(nome_file_posizioni))) << at_start;
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

}  // namespace
}  // namespace vadrel::testing
