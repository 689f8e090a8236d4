#include <gtest/gtest.h>

#include <sstream>

#include "core/nmea_log.h"

namespace vadrel {
namespace {

using namespace std::string_literals;

// A sentence with its checksum and CR LF.
std::string nmea(const std::string& body) {
    unsigned sum = 0;
    for (std::size_t i = 1; i < body.size(); ++i) sum ^= static_cast<unsigned char>(body[i]);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return body + tail;
}

const std::string rmc1 = nmea("$GPRMC,120000.00,A,4400.0000,N,01000.0000,E,0.0,0.0,061226,,");
const std::string gga1 = nmea("$GNGGA,120000.00,4400.0000,N,01000.0000,E,1,05,1.0,10.0,M,47.0,M,,");
const std::string gsv = nmea("$GPGSV,1,1,01,04,47,228,46");
const std::string rmc2 = nmea("$GPRMC,120001.00,A,4400.0100,N,01000.0000,E,0.0,0.0,061226,,");
const std::string zda_late = nmea("$GPZDA,120003.50,06,12,2026,00,00");
const std::string radio = "\r\n\0\0\0\0\0"s + nmea("$GPGSA,A,3,,,,18,,,27,29,,,,,6.3,6.3,1.0").substr(0, 43) +
                          "\r\n\0\0\0\0\0"s;

struct Tick {
    double offset;
    std::string bytes;
};

TEST(LogReader, SecondsAndDamagedLines) {
    const struct {
        const char* name;
        std::string log;
        std::vector<Tick> ticks;
        std::vector<long> damaged;  // line numbers
        bool by_comments;
    } rows[] = {
        {"vadrel's comments time the seconds; the bytes stay as they are",
         "# 2026-12-06T12:00:00.000Z\n" + rmc1 + "# 2026-12-06T12:00:01.002Z\n" + nmea("@3$GPRMC,x"),
         {{0.0, rmc1}, {1.002, nmea("@3$GPRMC,x")}}, {}, true},
        {"the radio burst's NULs before a comment belong to the second before",
         "# 2026-12-06T12:00:00.000Z\n" + radio + "# 2026-12-06T12:00:01.000Z\n" + radio,
         {{0.0, radio}, {1.0, radio}}, {}, true},
        {"a wall clock set back sends at once, after midnight goes on",
         "# 2026-12-06T23:59:59.500Z\n" + gsv + "# 2026-12-06T23:59:58.000Z\n" + gsv +
             "# 2026-12-07T00:00:00.500Z\n" + gsv,
         {{0.0, gsv}, {0.0, gsv}, {1.0, gsv}}, {}, true},
        {"a receiver's log: sentences without a time go with the second before",
         gsv + rmc1 + gga1 + gsv + rmc2 + gsv + zda_late,
         {{0.0, gsv + rmc1 + gga1 + gsv}, {1.0, rmc2 + gsv}, {3.5, zda_late}}, {}, false},
        {"a receiver's log past midnight",
         nmea("$GPRMC,235959,A,,,,,,,061226,,") + nmea("$GPRMC,000000,A,,,,,,,071226,,"),
         {{0.0, nmea("$GPRMC,235959,A,,,,,,,061226,,")}, {1.0, nmea("$GPRMC,000000,A,,,,,,,071226,,")}}, {}, false},
        {"other comments and blank lines are not sent", "# gpsd log\n\n" + rmc1, {{0.0, "\n" + rmc1}}, {}, false},
        {"bad checksum, no checksum, no time, not NMEA, cut short",
         rmc1 + "$GPGSV,1,1,01*00\r\n" + "$GPGSV,1,1,01\r\n" + nmea("$GPGGA,,4400.0,N,01000.0,E,0,00,,,,,,,") +
             "hello\r\n" + nmea("$GPGSV,1,1,01").substr(0, 10),
         {{0.0, rmc1 + "$GPGSV,1,1,01*00\r\n$GPGSV,1,1,01\r\n" + nmea("$GPGGA,,4400.0,N,01000.0,E,0,00,,,,,,,") +
                    "hello\r\n" + nmea("$GPGSV,1,1,01").substr(0, 10)}},
         {2, 3, 4, 5, 6}, false},
        {"control bytes inside a line", rmc1 + "$GP\x01GSV*00\r\n", {{0.0, rmc1 + "$GP\x01GSV*00\r\n"}}, {2}, false},
        {"a line longer than any sentence is dropped", rmc1 + std::string(5000, 'x') + "\n" + gsv,
         {{0.0, rmc1 + gsv}}, {2}, false},
    };
    for (const auto& r : rows) {
        std::istringstream in(r.log);
        LogReader reader(in);
        std::vector<Tick> ticks;
        LogTick tick;
        while (reader.next(tick)) ticks.push_back({tick.offset, tick.bytes});
        ASSERT_EQ(ticks.size(), r.ticks.size()) << r.name;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_NEAR(ticks[i].offset, r.ticks[i].offset, 1e-9) << r.name << " tick " << i;
            EXPECT_EQ(ticks[i].bytes, r.ticks[i].bytes) << r.name << " tick " << i;
        }
        std::vector<long> damaged;
        for (const LogProblem& p : reader.problems()) damaged.push_back(p.line);
        EXPECT_EQ(damaged, r.damaged) << r.name;
        EXPECT_EQ(reader.damaged(), static_cast<long>(r.damaged.size())) << r.name;
        EXPECT_EQ(reader.by_comments(), r.by_comments) << r.name;
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

TEST(LogReader, WhyALogCannotBeReplayed) {
    const struct {
        const char* name;
        std::string log;
        bool send_damaged;
        const char* first;  // words of the first problem; nullptr when it can
    } rows[] = {
        {"empty", "", false, "è vuoto"},
        {"binary", "\x7f" "ELF\x02\x01\x01\0\0\0\n\x03\0>\0\x01\0\0\0\n"s, false, "file binario"},
        {"no time anywhere", gsv + gsv, false, "non ha righe \"# ora\""},
        {"damaged", rmc1 + "$GPGSV*00\r\n", false, "1 riga danneggiata"},
        {"damaged, to be sent as it stands", rmc1 + "$GPGSV*00\r\n", true, nullptr},
        {"good", rmc1 + rmc2, false, nullptr},
    };
    for (const auto& r : rows) {
        std::istringstream in(r.log);
        const auto problems = problemi_registro("x.nmea", esamina_registro(in), r.send_damaged);
        if (!r.first) {
            EXPECT_TRUE(problems.empty()) << r.name << ": " << (problems.empty() ? "" : problems[0]);
        } else {
            ASSERT_FALSE(problems.empty()) << r.name;
            EXPECT_NE(problems[0].find(r.first), std::string::npos) << r.name << ": " << problems[0];
        }
    }
}

}  // namespace
}  // namespace vadrel
