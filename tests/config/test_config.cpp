// The configuration file vadrel.cnf: reader and writer over bytes, the fuzzer's
// seed corpus replayed, and the file on a real disk.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <tuple>

#include "config_check.h"
#include "config/configurazione.h"
#include "support/fakes.h"

namespace vadrel::testing {
namespace {

using Tabella = std::array<veicolo, numero_mezzi>;
using Items = std::array<std::string, 11>;

// What a read leaves in a field it did not touch.
constexpr std::int16_t X = -7;
const veicolo untouched{X, X, X, "?", X, X, X, "?", X, X, X, X};
const Tabella sentinel = [] { Tabella t; t.fill(untouched); return t; }();

// The documented example: two vehicles, every other record never filled. The
// file does not keep the seconds: the tables here hold X in them, which a read
// leaves as it is.
Tabella worked_example_table() {
    Tabella t{};
    for (auto& v : t) v.lat_s = v.lon_s = X;
    t[0] = veicolo{44, 1, X, "N", 10, 8, X, "E", 30, 90, -1, 0};
    t[1] = veicolo{45, 30, X, "N", 9, 12, X, "E", 12, 270, 0, -1};
    return t;
}
std::string worked_example_text() {
    std::string text = "44,1,\"N\",,10,8,\"E\",30,90,#TRUE#,#FALSE#\r\n"
                       "45,30,\"N\",,9,12,\"E\",12,270,#FALSE#,#TRUE#\r\n";
    for (int i = 2; i < numero_mezzi; ++i) text += "0,0,\"\",,0,0,\"\",0,0,#FALSE#,#FALSE#\r\n";
    return text + "\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\"\r\n";
}

// Every record filled, each differently.
Tabella full_table() {
    Tabella t{};
    const auto n = [](int value) { return static_cast<std::int16_t>(value); };
    for (int i = 0; i < numero_mezzi; ++i) {
        t[static_cast<std::size_t>(i)] = veicolo{n(i * 4),       n(59 - i), X,           i % 2 ? "S" : "N",
                                                 n(179 - i * 8), n(i * 2),  X,           i % 3 ? "E" : "W",
                                                 n(i * 37 - 100), n(i * 17), n(-(i % 2)), n(i % 2 - 1)};
    }
    return t;
}

const Items A = {"44", "1", "\"N\"", "", "10", "8", "\"E\"", "30", "90", "#TRUE#", "#FALSE#"};
const Items B = {"45", "30", "\"N\"", "", "9", "12", "\"E\"", "12", "270", "#FALSE#", "#TRUE#"};
const veicolo a{44, 1, X, "N", 10, 8, X, "E", 30, 90, -1, 0};
const veicolo b{45, 30, X, "N", 9, 12, X, "E", 12, 270, 0, -1};

// A record's line with item k (0-based) holding `item`; item 4 is empty by default.
std::string line(Items items, std::size_t k = 3, const std::string& item = "") {
    items[k] = item;
    std::string text = items[0];
    for (std::size_t i = 1; i < items.size(); ++i) text += "," + items[i];
    return text;
}

std::string bytes_of(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

TEST(ConfigWriter, WritesTheWorkedExampleByteForByteAndEveryTableReadsBack) {
    EXPECT_EQ(testo_configurazione(worked_example_table()), worked_example_text());
    for (const Tabella& table : {worked_example_table(), full_table()}) {
        Tabella t = sentinel;
        EXPECT_EQ(leggi_configurazione_testo(testo_configurazione(table), t), 1);
        EXPECT_EQ(t, table);
    }
}

// Extremes, any non-zero flag, and texts a quoted item cannot hold as they are.
TEST(ConfigWriter, WritesOddValuesSoTheyReadBack) {
    Tabella t{};
    t[0] = veicolo{-3, -32768, 0, "S", 32767, 0, 0, "W", -1, 360, 1, -32768};
    const std::pair<std::string, std::string> texts[] = {
        {"a\"b", "a'b"}, {"N\r\nS", "N??S"}, {std::string("N\0S", 3), "N?S"}, {"\xC3\xA8", "??"}, {" a,# ", " a,# "}};
    for (std::size_t i = 0; i < std::size(texts); ++i) t[i + 1].lat_ns = t[i + 1].lon_ew = texts[i].first;
    const std::string text = testo_configurazione(t);
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "-3,-32768,\"S\",,32767,0,\"W\",-1,360,#TRUE#,#TRUE#");
    Tabella back = sentinel;
    ASSERT_EQ(leggi_configurazione_testo(text, back), 1);
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        EXPECT_EQ(back[i + 1].lat_ns + "|" + back[i + 1].lon_ew, texts[i].second + "|" + texts[i].second);
    }
}

// The result and the records a read leaves; records after `records` untouched.
// The seed corpus has the other shapes of file (marker only, byte order mark,
// blanks, records split over lines); here what a failed read has filled.
TEST(ConfigReader, FillsRecordsUpToTheMarkerOrTheFailure) {
    const std::string la = line(A), lb = line(B), full = testo_configurazione(full_table());
    const Tabella read_full = full_table();
    const std::tuple<const char*, std::string, int, std::vector<veicolo>> rows[] = {  // name, content, result, records
        {"lone LF, lone CR, no line end at the end", la + "\n" + lb + "\r#", 1, {a, b}},
        {"three records and no marker", la + "\r\n" + lb + "\r\n" + la + "\r\n", 0, {a, b, a}},
        {"a 22nd record", full.substr(0, full.find("\"#\"")) + la + "\r\n#", 0, {read_full.begin(), read_full.end()}},
        {"miglia a word: the record filled up to it", la + "\r\n" + line(B, 10, "si") + "\r\n#", 0,
         {a, {45, 30, X, "N", 9, 12, X, "E", 12, 270, 0, X}}},
        {"input ends mid record: that record untouched", la + "\r\n45,30,\"S\",,9,12,\"W\"", 0, {a}},
    };
    for (const auto& [name, content, result, records] : rows) {
        Tabella t = sentinel;
        EXPECT_EQ(leggi_configurazione_testo(content, t), result) << name;
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
            const bool read = leggi_configurazione_testo(line(B, k, row[0]) + "\r\n#", t) == 1;
            const std::string got = k == 2 ? t[0].lat_ns : std::to_string(k == 0 ? t[0].lat_g : t[0].km);
            EXPECT_EQ(row[c] == "*" ? "*" : read ? got : "-", row[c]) << row[0] << " as item " << k + 1;
        }
    }
}

// ok-* files must read to their marker, ko-* must not; any other (a find of
// the fuzzer) only has to read without harm.
TEST(ConfigCorpus, EveryFileReadsWithoutHarm) {
    ASSERT_FALSE(std::filesystem::is_empty(VADREL_CONFIG_CORPUS)) << "the seed corpus is there";
    for (const auto& entry : std::filesystem::directory_iterator(VADREL_CONFIG_CORPUS)) {
        const std::string name = entry.path().filename().string(), bytes = bytes_of(entry.path());
        EXPECT_EQ(fuzzing::check_configurazione(bytes), "") << name;
        Tabella table{};
        const int result = leggi_configurazione_testo(bytes, table);
        EXPECT_EQ(result, name.rfind("ok-", 0) == 0 ? 1 : name.rfind("ko-", 0) == 0 ? 0 : result) << name;
    }
}

// The program's folder: a temporary folder of its own per case.
struct Bench {
    FakePort port;
    OutputFanOut output{port};
    FakeClock clock;
    FakeShell shell;
    Form1 form{Platform{port, output, clock, shell, RegionalFormat::italian()}};
    QTemporaryDir dir;

    Bench() {
        form.cartella_programma = dir.path().toStdString();
        form.mezzi = sentinel;
    }
    std::string path(const char* name = nome_file_configurazione) const { return dir.filePath(name).toStdString(); }
    void put(const std::string& bytes) const { std::ofstream(path(), std::ios::binary) << bytes; }
    std::string get(const char* name = nome_file_configurazione) const { return bytes_of(path(name)); }
};

// Read from the program's folder (never the current directory), only its first MiB.
TEST(ConfigFile, ReadsTheFileInTheProgramsFolder) {
    const std::tuple<const char*, std::optional<std::string>, bool, int> rows[] = {  // name, bytes, a folder?, result
        {"missing", std::nullopt, false, 0}, {"a folder by that name", std::nullopt, true, 0},
        {"marker early, 2 MiB after it", worked_example_text() + std::string(2 << 20, 'x'), false, 1},
        {"2 MiB of blanks before the marker", std::string(2 << 20, ' ') + "#", false, 0},
    };
    for (const auto& [name, bytes, folder, result] : rows) {
        Bench b;
        if (bytes) b.put(*bytes);
        if (folder) { ASSERT_TRUE(QDir(b.dir.path()).mkdir(nome_file_configurazione)); }
        EXPECT_EQ(leggi_configurazione(b.form), result) << name;
        EXPECT_EQ(b.form.mezzi, result ? worked_example_table() : sentinel) << name;
        EXPECT_TRUE(b.shell.messages.empty()) << name;
    }
}

// No file, a good one longer than the new, a damaged one: each replaced whole, a
// damaged one kept as a copy first, and nothing else left in the folder.
TEST(ConfigFile, ASaveReplacesTheWholeFileKeepingADamagedOneAsACopy) {
    const std::string damaged = worked_example_text().substr(0, 70) + "boh";
    const std::string longer = testo_configurazione(full_table()) + std::string(10000, 'x');
    for (const std::string& before : {std::string(), longer, damaged}) {
        Bench b;
        if (!before.empty()) b.put(before);
        b.form.mezzi = worked_example_table();
        EXPECT_TRUE(scrivi_configurazione(b.form));
        EXPECT_TRUE(scrivi_configurazione(b.form)) << "the file is good now: no copy of it";
        EXPECT_EQ(b.get(), worked_example_text());
        const bool kept = before == damaged;
        EXPECT_EQ(QDir(b.dir.path()).count(), kept ? 4u : 3u) << "., .., the file and the copy if any";
        EXPECT_EQ(b.get(nome_copia_configurazione), kept ? damaged : "<missing>");
        const std::string told = "vadrel: Il file di configurazione " + b.path() + " non era leggibile per intero.\n" +
                                 "Una copia è stata conservata in " + b.path(nome_copia_configurazione) + ".";
        EXPECT_EQ(b.shell.messages, std::vector<std::string>(kept ? 1 : 0, told));
    }
}

// The operator is told; the previous file and the table stay as they were.
// A file size limit makes the write fail halfway as a full disk does.
TEST(ConfigFile, ASaveThatCannotBeDoneKeepsThePreviousFile) {
    // name, the program's folder, file size limit, reason
    const std::tuple<const char*, const char*, rlim_t, const char*> rows[] = {
        {"folder missing", "manca", RLIM_INFINITY, "non esiste.\nIl file non è stato creato."},
        {"disk full halfway", "", 100,
         "scrittura non riuscita: il file supera la dimensione consentita.\nIl file precedente è rimasto invariato."},
    };
    std::signal(SIGXFSZ, SIG_IGN);
    for (const auto& [name, folder, size_limit, reason] : rows) {
        Bench b;
        b.put(worked_example_text());
        b.form.cartella_programma = b.path(folder);
        b.form.mezzi = full_table();
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit small{std::min(size_limit, saved.rlim_cur), saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
        const bool saved_ok = scrivi_configurazione(b.form);
        setrlimit(RLIMIT_FSIZE, &saved);

        EXPECT_FALSE(saved_ok) << name;
        EXPECT_EQ(b.get(), worked_example_text()) << name;
        EXPECT_EQ(b.form.mezzi, full_table()) << name;
        ASSERT_EQ(b.shell.messages.size(), 1u) << name;
        const std::string message = b.shell.messages[0], file = percorso_configurazione(b.form);
        EXPECT_EQ(message.rfind("vadrel: Impossibile salvare la tabella dei veicoli nel file " + file + ": ", 0), 0u);
        EXPECT_NE(message.find(reason), std::string::npos) << message;
    }
}

}  // namespace
}  // namespace vadrel::testing
