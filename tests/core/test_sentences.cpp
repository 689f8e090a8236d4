#include <gtest/gtest.h>

#include "core/rmc.h"

namespace vadrel {
namespace {

// The radio burst's fixed sentences come out of the builders byte for byte
// as the receivers behind the radio modems have always had them.
TEST(Frase, TheBurstsFixedSentencesAreAsTheyHaveAlwaysBeen) {
    const std::pair<std::string, const char*> rows[] = {
        {gsv_1, "$GPGSV,2,1,08,04,47,228,46,14,05,121,,16,16,303,39,18,57,057,46*7C"},
        {gsv_2, "$GPGSV,2,2,08,19,64,163,46,22,09,040,41,27,39,196,44,29,33,067,46*7C"},
        {rme, "$PGRME,297.9,M,300.0,M,297.9,M*2D"},
        {vtg, "$GPVTG,327.9,T,327.4,M,03.0,N,05.5,K*40"},
        {gga, "$GPGGA,201528,4400.6787,N,01007.7087,E,1,03,6.3,254.5,M,47.9,M,,*44"},
        {gsa, "$GPGSA,A,3,,,,18,,,27,29,,,,,6.3,6.3,1.0*34"},
    };
    for (const auto& [built, expected] : rows) EXPECT_EQ(built, expected);
}

// The kinds the full set added, and a $GPGSV with fewer than four
// satellites: the blocks after its last satellite are left out.
TEST(Frase, NewKindsAndShortGroups) {
    Gsv last{"3", "3", "09", {}};
    last.satelliti[0] = {"29", "33", "067", "46"};
    Gsv middle_empty{"1", "1", "02", {{{"04", "47", "228", ""}, {}, {"19", "64", "163", "46"}, {}}}};
    const std::pair<std::string, const char*> rows[] = {
        {frase(Gll{"4400.6787", "N", "01007.7087", "E", "201528", "A", "A"}),
         "$GPGLL,4400.6787,N,01007.7087,E,201528,A,A*4B"},
        {frase(Hdt{"327.9"}), "$GPHDT,327.9,T*3A"},
        {frase(last), "$GPGSV,3,3,09,29,33,067,46*48"},
        {frase(Gsv{"1", "1", "00", {}}), "$GPGSV,1,1,00*79"},
        {frase(middle_empty), "$GPGSV,1,1,02,04,47,228,,,,,,19,64,163,46*78"},
    };
    for (const auto& [built, expected] : rows) EXPECT_EQ(built, expected);
}

}  // namespace
}  // namespace vadrel
