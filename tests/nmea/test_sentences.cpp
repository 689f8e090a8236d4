#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "nmea/sentences.h"

namespace vadrel {
namespace {

// The kinds the full set added, and a $GPGSV with fewer than four
// satellites: the blocks after its last satellite are left out. The checksum
// covers every byte after the first (the "$", or whatever stands there), as
// it is.
TEST(Sentence, NewKindsShortGroupsAndTheChecksum) {
    Gsv last{"3", "3", "09", {}};
    last.satellites[0] = {"29", "33", "067", "46"};
    Gsv middle_empty{"1", "1", "02", {{{"04", "47", "228", ""}, {}, {"19", "64", "163", "46"}, {}}}};
    const std::pair<std::string, const char*> rows[] = {
        {sentence(Gll{"4400.6787", "N", "01007.7087", "E", "201528", "A", "A"}),
         "$GPGLL,4400.6787,N,01007.7087,E,201528,A,A*4B"},
        {sentence(Hdt{"327.9"}), "$GPHDT,327.9,T*3A"},
        {sentence(last), "$GPGSV,3,3,09,29,33,067,46*48"},
        {sentence(Gsv{"1", "1", "00", {}}), "$GPGSV,1,1,00*79"},
        {sentence(middle_empty), "$GPGSV,1,1,02,04,47,228,,,,,,19,64,163,46*78"},
        {checksum_field("$\x0A"), "*0A"},
        {checksum_field("x$\xFF"), "*DB"},
    };
    for (const auto& [built, expected] : rows) EXPECT_EQ(built, expected) << expected;
}

}  // namespace
}  // namespace vadrel
