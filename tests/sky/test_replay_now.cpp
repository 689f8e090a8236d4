#include <gtest/gtest.h>

#include <string>

#include "sky/replay_now.h"

namespace vadrel {
namespace {

constexpr std::int64_t day = 86'400;

// Time and date fields moved, the checksum made again, every other byte as
// it was; what cannot be moved, as it was.
TEST(ReplayNow, MovesTimeAndDateFields) {
    const struct {
        const char* name;
        const char* in;
        std::int64_t seconds;
        const char* out;  // nullptr: as it was
    } rows[] = {
        {"RMC a day and a second on", "$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B",
         day + 1, "$GPRMC,201529,A,4400.6787,N,01007.7087,E,0.0,000.0,100503,000.0,W,*42"},
        {"RMC over a new year, decimals kept", "$GNRMC,235959.50,A,4400.6787,N,01007.7087,E,0.0,,311299,,,A*6B", 1,
         "$GNRMC,000000.50,A,4400.6787,N,01007.7087,E,0.0,,010100,,,A*6B"},
        {"RMC to a 29 February", "$GPRMC,120000,A,,,,,,,280224,,*2B", day, "$GPRMC,120000,A,,,,,,,290224,,*2A"},
        {"2000 had a 29 February", "$GPRMC,120000,A,,,,,,,280200,,*2D", day, "$GPRMC,120000,A,,,,,,,290200,,*2C"},
        {"2100 will not", "$GPZDA,120000,28,02,2100,00,00*40", day, "$GPZDA,120000,01,03,2100,00,00*4A"},
        {"RMC of 1999 to 2026", "$GPRMC,120000,A,,,,,,,010199,,*25", 9862 * day, "$GPRMC,120000,A,,,,,,,010126,,*21"},
        {"RMC without a date: the time alone", "$GPRMC,235959,V,,,,,,,,,*30", 2, "$GPRMC,000001,V,,,,,,,,,*30"},
        {"GGA back over midnight", "$GPGGA,000010.25,4400.6787,N,01007.7087,E,1,08,0.9,254.5,M,,M,,*73", -20,
         "$GPGGA,235950.25,4400.6787,N,01007.7087,E,1,08,0.9,254.5,M,,M,,*7A"},
        {"GLL, its fifth field", "$GPGLL,4400.6787,N,01007.7087,E,201528,A,A*4B", 3600,
         "$GPGLL,4400.6787,N,01007.7087,E,211528,A,A*4A"},
        {"ZDA with its date", "$GPZDA,235959,31,12,2025,00,00*4D", 1, "$GPZDA,000000,01,01,2026,00,00*4E"},
        {"multi-user prefix and line end", "@3$GPGGA,201528,,,,,0,00,,,,,,,*7D\r\n", 1,
         "@3$GPGGA,201529,,,,,0,00,,,,,,,*7C\r\n"},
        {"no checksum: none added", "$GPGGA,201528,,,,,0,00,,,,,,,", 1, "$GPGGA,201529,,,,,0,00,,,,,,,"},
        {"a sentence without a time", "$GPHDT,045.0,T*34", 1, nullptr},
        {"a lower-case checksum read", "$GPGLL,4400.6787,N,01007.7087,E,201528,A,A*4b", 3600,
         "$GPGLL,4400.6787,N,01007.7087,E,211528,A,A*4A"},
        {"damaged: wrong checksum", "$GPGGA,201528,,,,,0,00,,,,,,,*6B", 1, nullptr},
        {"damaged: cut short", "$GPGGA,2015", 1, nullptr},
        {"no time", "$GPGGA,,,,,,0,00,,,,,,,*66", 1, nullptr},
        {"a time that is not one", "$GPGGA,251528,,,,,0,00,,,,,,,*6F", 1, nullptr},
        {"a leap second moved: its day's last second again", "$GPGGA,235960,,,,,0,00,,,,,,,*6D", 1,
         "$GPGGA,000000,,,,,0,00,,,,,,,*66"},
        {"a leap second moved by whole days: still one", "$GPRMC,235960,A,,,,,,,311216,,*2B", day,
         "$GPRMC,235960,A,,,,,,,010117,,*2B"},
        {"second 60 before the day's last minute", "$GPGGA,235860,,,,,0,00,,,,,,,*6C", 1, nullptr},
        {"decimals that are not", "$GPGGA,201528.x,,,,,0,00,,,,,,,*3C", 1, nullptr},
        {"RMC with a 31 June: its time moves, its date stays", "$GPRMC,120000,A,,,,,,,310624,,*27", 1,
         "$GPRMC,120001,A,,,,,,,310624,,*26"},
        {"ZDA beyond 9999", "$GPZDA,235959,31,12,9999,00,00*48", 1, nullptr},
        {"a move of more than ten thousand years", "$GPGGA,201528,,,,,0,00,,,,,,,*6A", 400'000'000'000LL, nullptr},
        {"proprietary", "$PGRME,297.9,M,300.0,M,297.9,M*2D", 1, nullptr},
        {"not a sentence", "hello, world", 1, nullptr},
        {"empty", "", 1, nullptr},
    };
    for (const auto& r : rows) EXPECT_EQ(moved_in_time(r.in, r.seconds), r.out ? r.out : r.in) << r.name;

    // A line of a radio log: the burst's NULs before the sentence, outside its checksum.
    using namespace std::string_literals;
    EXPECT_EQ(moved_in_time("\0\0\0\0\0$GPGGA,201528,,,,,0,00,,,,,,,*6A\r"s, 1),
              "\0\0\0\0\0$GPGGA,201529,,,,,0,00,,,,,,,*6B\r"s);
    EXPECT_EQ(moved_in_time("\0\0\0"s, 1), "\0\0\0"s);
}

// The offset to now from a log's first timed sentence: from its date and
// time, or from its time of day alone; whole seconds, so the decimals stay,
// never beyond now, so a client does not see a fix from the future.
TEST(ReplayNow, SecondsToNow) {
    const std::int64_t now = 1'780'272'000'000 + 36'000'600;  // 2026-06-01 10:00:00.6 UTC
    const auto rmc = sentence_time("$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B");
    ASSERT_TRUE(rmc && rmc->dated);
    EXPECT_EQ(rmc->ms, 1'052'511'328'000);  // 2003-05-09 20:15:28 UTC
    const std::int64_t by = seconds_to_now(*rmc, now);
    EXPECT_EQ(moved_in_time("$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B", by),
              "$GPRMC,100000,A,4400.6787,N,01007.7087,E,0.0,000.0,010626,000.0,W,*4A");

    const auto gga = sentence_time("$GPGGA,201528.50,,,,,0,00,,,,,,,*41");
    ASSERT_TRUE(gga && !gga->dated);
    EXPECT_EQ(gga->ms, 72'928'500);
    EXPECT_EQ(seconds_to_now(*gga, now), day - 10 * 3600 - 15 * 60 - 28);  // to 10:00:00.5 the next morning
    EXPECT_EQ(seconds_to_now(*rmc, rmc->ms - 1500), -2) << "a log from the future: back to now, not after it";
    EXPECT_FALSE(sentence_time("$GPGSV,1,1,00*79"));
    EXPECT_FALSE(sentence_time("$GPGGA,,,,,,0,00,,,,,,,*66"));
}

}  // namespace
}  // namespace vadrel
