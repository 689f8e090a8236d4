#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "log/nmea_log.h"
#include "nmea/sentences.h"
#include "nmea_log_check.h"

namespace vadrel {
namespace {

using namespace std::string_literals;

// A sentence with its checksum and CR LF.
std::string nmea(const std::string& body) { return body + checksum_field(body) + "\r\n"; }

const std::string rmc1 = nmea("$GPRMC,120000.00,A,4400.0000,N,01000.0000,E,0.0,0.0,061226,,");
const std::string gga1 = nmea("$GNGGA,120000.00,4400.0000,N,01000.0000,E,1,05,1.0,10.0,M,47.0,M,,");
const std::string gsv = nmea("$GPGSV,1,1,01,04,47,228,46");
const std::string rmc2 = nmea("$GPRMC,120001.00,A,4400.0100,N,01000.0000,E,0.0,0.0,061226,,");
const std::string zda_late = nmea("$GPZDA,120003.50,06,12,2026,00,00");
// A receiver's $GPRMC at a time (hhmmss) and date (ddmmyy), with nothing else.
std::string rmc(const std::string& time, const std::string& date) {
    return nmea("$GPRMC," + time + ",A,,,,,,," + date + ",,");
}

struct Tick {
    double offset;
    std::string bytes;
};

// A source that hands the bytes over `size` at a time.
LogSource in_pieces(const std::string& bytes, std::size_t size) {
    return [&bytes, size, at = std::size_t{0}]() mutable {
        const std::string_view piece = std::string_view(bytes).substr(std::min(at, bytes.size()), size);
        at += piece.size();
        return piece;
    };
}

const std::string day = "# 2026-12-06T12:00:00.000Z\n";

// (A radio burst's NUL bytes before a comment belong to the second before:
// the radio recording replayed, integration.record_replay.)
TEST(LogReader, SecondsAndDamagedLines) {
    // A bad checksum, no checksum, no time, not NMEA, cut short.
    const std::string damaged = "$GPGSV,1,1,01*00\r\n$GPGSV,1,1,01\r\n" +
                                nmea("$GPGGA,,4400.0,N,01000.0,E,0,00,,,,,,,") + "hello\r\n" +
                                nmea("$GPGSV,1,1,01").substr(0, 10);
    const struct {
        const char* name;
        std::string log;
        std::vector<Tick> ticks;
        std::vector<long> damaged;  // the lines of its problems
        bool by_comments;
    } rows[] = {
        {"vadrel's comments time the seconds; the bytes stay as they are",
         "# 2026-12-06T12:00:00.000Z\n" + rmc1 + "# 2026-12-06T12:00:01.002Z\n" + nmea("@3$GPRMC,x"),
         {{0.0, rmc1}, {1.002, nmea("@3$GPRMC,x")}}, {}, true},
        {"a wall clock set back sends at once; the next second keeps its pace from there",
         "# 2026-12-06T23:59:59.500Z\n" + gsv + "# 2026-12-06T23:59:58.000Z\n" + gsv +
             "# 2026-12-07T00:00:00.500Z\n" + gsv,
         {{0.0, gsv}, {0.0, gsv}, {2.5, gsv}}, {}, true},
        {"a jump of ten years, or back by two hours, sends at once",
         day + gsv + "# 2036-12-06T12:00:00.000Z\n" + gsv + "# 2036-12-06T10:00:00.000Z\n" + gsv +
             "# 2036-12-06T10:00:01.000Z\n" + gsv,
         {{0.0, gsv}, {0.0, gsv}, {0.0, gsv}, {1.0, gsv}}, {3, 5}, true},
        {"a receiver's clock jumping two hours sends at once", rmc1 + rmc("140000", "061226") + rmc("140001", "061226"),
         {{0.0, rmc1}, {0.0, rmc("140000", "061226")}, {1.0, rmc("140001", "061226")}}, {2}, false},
        {"a receiver's log: sentences without a time go with the second before",
         gsv + rmc1 + gga1 + gsv + rmc2 + gsv + zda_late,
         {{0.0, gsv + rmc1 + gga1 + gsv}, {1.0, rmc2 + gsv}, {3.5, zda_late}}, {}, false},
        {"a leap second (23:59:60) in vadrel's comments and in a receiver's time is a second like the others",
         "# 2016-12-31T23:59:59.000Z\n" + gsv + "# 2016-12-31T23:59:60.000Z\n" + gsv + rmc("235960", "311216"),
         {{0.0, gsv}, {1.0, gsv + rmc("235960", "311216")}}, {}, true},
        {"a leap second in a receiver's own time, and midnight a second after it",
         rmc("235959", "311216") + rmc("235960", "311216") + rmc("000000", "010117"),
         {{0.0, rmc("235959", "311216")}, {1.0, rmc("235960", "311216")}, {2.0, rmc("000000", "010117")}}, {}, false},
        {"second 61 is no time", rmc1 + rmc("235961", "311216"), {{0.0, rmc1 + rmc("235961", "311216")}}, {2}, false},
        {"a receiver's log past midnight",
         rmc("235959", "061226") + rmc("000000", "071226"),
         {{0.0, rmc("235959", "061226")}, {1.0, rmc("000000", "071226")}}, {}, false},
        {"other comments and blank lines are not sent", "# gpsd log\n\n" + rmc1, {{0.0, "\n" + rmc1}}, {}, false},
        {"bad checksum, no checksum, no time, not NMEA, cut short",
         rmc1 + damaged, {{0.0, rmc1 + damaged}}, {2, 3, 4, 5, 6}, false},
        {"control bytes inside a line", rmc1 + "$GP\x01GSV*00\r\n", {{0.0, rmc1 + "$GP\x01GSV*00\r\n"}}, {2}, false},
        {"a line longer than any sentence is dropped", rmc1 + std::string(5000, 'x') + "\n" + gsv,
         {{0.0, rmc1 + gsv}}, {2}, false},
        {"a second's bytes stop at the limit; the next second starts afresh",
         day + std::string(LogReader::max_second - 1, '\n') + gsv + "\n\n" + "# 2026-12-06T12:00:01.000Z\n" + gsv,
         {{0.0, std::string(LogReader::max_second - 1, '\n')}, {1.0, gsv}}, {65508}, true},
    };
    for (const auto& r : rows) {
        // Whole, and a byte at a time: the same seconds.
        for (const std::size_t piece : {r.log.size() + 1, std::size_t{1}}) {
            LogReader reader(in_pieces(r.log, piece));
            std::size_t i = 0;
            for (LogTick tick; reader.next(tick); ++i) {
                ASSERT_LT(i, r.ticks.size()) << r.name;
                EXPECT_NEAR(tick.offset, r.ticks[i].offset, 1e-9) << r.name << " tick " << i;
                EXPECT_EQ(tick.bytes, r.ticks[i].bytes) << r.name << " tick " << i;
            }
            EXPECT_EQ(i, r.ticks.size()) << r.name;
            std::vector<long> problems;
            for (const LogProblem& p : reader.problems()) problems.push_back(p.line);
            EXPECT_EQ(problems, r.damaged) << r.name;
            EXPECT_EQ(reader.by_comments(), r.by_comments) << r.name;
        }
    }
}

TEST(LogReader, TimeLinesReadBack) {
    for (const std::int64_t ms : {0LL, 1796553767001LL, 951782400000LL /* 2000-02-29 */, 4102444799999LL}) {
        const std::string line = riga_ora(ms);
        ASSERT_EQ(line.back(), '\n');
        EXPECT_EQ(leggi_riga_ora(std::string_view(line).substr(0, line.size() - 1)), ms) << line;
    }
    EXPECT_EQ(riga_ora(1796553767001LL), "# 2026-12-06T10:42:47.001Z\n");
}

TEST(LogReader, WhyALogCannotBeReplayedAndWhatTheLeaveDoes) {
    const std::string jump = day + gsv + "# 2026-12-06T14:00:00.000Z\n" + gsv;
    const std::string too_long = rmc1 + std::string(5000, 'x') + "\n";
    const struct {
        const char* name;
        std::string log;
        LogLeave leave;
        std::vector<std::string> said;  // problems, or notes when the leave is enough
    } rows[] = {
        {"empty", "", {true, true}, {"il registro x.nmea è vuoto: non c'è niente da riprodurre"}},
        {"binary", "\x7f" "ELF\x02\x01\x01\0\0\0\n\x03\0>\0\x01\0\0\0\n"s, {true, true},
         {"il registro x.nmea non è un registro di frasi NMEA (sembra un file binario)"}},
        {"a hole: NULs with no end", std::string(5000, '\0'), {true, true},
         {"il registro x.nmea non è un registro di frasi NMEA (sembra un file binario)"}},
        {"no time anywhere", gsv + gsv, {true, true},
         {"il registro x.nmea non ha righe \"# ora\" né frasi con l'ora ($GPRMC, $GPGGA, $GPZDA): "
          "non si sa con che ritmo inviarlo"}},
        {"damaged", rmc1 + "$GPGSV*00\r\n", {false, true},
         {"il registro x.nmea ha 1 riga danneggiata (--invia-danneggiate le invia come sono):",
          "  riga 2: checksum errato (00 invece di 55)"}},
        {"damaged, sent as it stands", rmc1 + "$GPGSV*00\r\n", {true, false},
         {"il registro ha 1 riga danneggiata, inviata come sono"}},
        {"too long", too_long, {false, false},
         {"il registro x.nmea ha 1 riga che non si può inviare (--invia-danneggiate invia il resto):",
          "  riga 2: riga troppo lunga (oltre 4096 byte): non si invia"}},
        {"too long, the rest sent: said with its line", too_long, {true, false},
         {"1 riga del registro non si invia:", "  riga 2: riga troppo lunga (oltre 4096 byte): non si invia"}},
        {"a jump", jump, {true, false},
         {"il registro x.nmea ha 1 salto dell'ora oltre un'ora (--salti-subito invia subito il secondo dopo il salto):",
          "  riga 3: l'ora salta avanti di 2 h"}},
        {"a jump, sent at once", jump, {false, true},
         {"il registro ha 1 salto dell'ora oltre un'ora: il secondo dopo ciascuno si invia subito:",
          "  riga 3: l'ora salta avanti di 2 h"}},
        {"good", rmc1 + rmc2, {}, {}},
    };
    for (const auto& r : rows) {
        const LogSummary summary = esamina_registro(sorgente_testo(r.log));
        std::vector<std::string> said = problemi_registro("x.nmea", summary, r.leave);
        if (said.empty()) said = avvisi_registro(summary, r.leave);
        EXPECT_EQ(said, r.said) << r.name;
    }
}

// A run of lines past a second's limit is one problem; every line is counted.
TEST(LogReader, ASecondPastItsLimitIsOneProblemWithItsLines) {
    const std::string log = day + std::string(LogReader::max_second + 10, '\n') + "# 2026-12-06T12:00:01.000Z\n";
    LogReader reader(sorgente_testo(log));
    LogTick tick;
    while (reader.next(tick)) EXPECT_LE(tick.bytes.size(), LogReader::max_second);
    EXPECT_EQ(reader.dropped(), 10);
    ASSERT_EQ(reader.problems().size(), 1u);
    EXPECT_EQ(reader.problems()[0].line, 65509);
    EXPECT_EQ(reader.problems()[0].last_line, 65518);
}

// ok-* files can be replayed as they stand, ko-* cannot; any other (a find
// of the fuzzer) only has to hold what the fuzzer checks.
TEST(LogCorpus, EveryFileHoldsWhatTheFuzzerChecks) {
    ASSERT_FALSE(std::filesystem::is_empty(VADREL_NMEA_LOG_CORPUS)) << "the seed corpus is there";
    for (const auto& entry : std::filesystem::directory_iterator(VADREL_NMEA_LOG_CORPUS)) {
        const std::string name = entry.path().filename().string();
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(fuzzing::check_registro(bytes), "") << name;
        const bool whole = problemi_registro(name, esamina_registro(sorgente_testo(bytes)), {}).empty();
        if (name.rfind("ok-", 0) == 0 || name.rfind("ko-", 0) == 0) {
            EXPECT_EQ(whole, name[1] == 'k') << name;
        }
    }
}

}  // namespace
}  // namespace vadrel
