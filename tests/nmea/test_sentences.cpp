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

// The instruments' kinds, each with its sensor's talker; the checksums
// worked out apart from the builder. A gyro's HDT keeps its own talker.
TEST(Sentence, InstrumentKinds) {
    // built, expected
    const std::pair<std::string, const char*> rows[] = {
        {sentence(Hdg{"351.7", "1.5", "E", "2.0", "E"}), "$HCHDG,351.7,1.5,E,2.0,E*44"},
        {sentence(Hdg{"0.0", "", "", "", ""}), "$HCHDG,0.0,,,,*42"},
        {sentence(Hdt{"355.2", "HE"}), "$HEHDT,355.2,T*2E"},
        {sentence(Rot{"-12.0"}), "$TIROT,-12.0,A*25"},
        {sentence(Vhw{"355.2", "", "10.2", "18.9"}), "$VWVHW,355.2,T,,M,10.2,N,18.9,K*78"},
        {sentence(Mwv{"303.7", "R", "18.0"}), "$WIMWV,303.7,R,18.0,N,A*1D"},
        {sentence(Mwd{"270.0", "268.0", "15.0", "7.7"}), "$WIMWD,270.0,T,268.0,M,15.0,N,7.7,M*67"},
        {sentence(Dbt{"41.0", "12.5", "6.8"}), "$SDDBT,41.0,f,12.5,M,6.8,F*0B"},
        {sentence(Dpt{"12.5", "0.5"}), "$SDDPT,12.5,0.5*64"},
        {sentence(Mtw{"14.0"}), "$SDMTW,14.0,C*01"},
        {sentence(Vlw{"3.25", "3.25"}), "$VWVLW,3.25,N,3.25,N*4C"},
    };
    for (const auto& [built, expected] : rows) EXPECT_EQ(built, expected) << expected;
}

}  // namespace
}  // namespace vadrel
