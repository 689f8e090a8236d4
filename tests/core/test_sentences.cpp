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

}  // namespace
}  // namespace vadrel
