#include <gtest/gtest.h>

#include <cstdio>

#include "core/rmc.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

// The state of the worked example: 20.15.28 on 09/05/03 at 4400.6787 N 01007.7087 E.
void example_state(Rig& rig) {
    rig.form.rmc_lat = "4400.6787";
    rig.form.rmc_lon = "01007.7087";
    rig.clock.time = "20.15.28";
    rig.clock.date = "09/05/03";
}

TEST(FormaStringaRmc, WorkedExamples) {
    const struct {
        const char* name;
        bool multi;
        int vehicle;
        const char* expected;
    } rows[] = {
        {"standard", false, 0, "$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B"},
        {"multi-user vehicle 3", true, 3, "@3$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*5C"},
        {"multi-user vehicle 12", true, 12, "@12$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*6C"},
    };
    for (const auto& r : rows) {
        Rig rig;
        example_state(rig);
        if (r.multi) {
            rig.form.opt_multi.select();
            rig.form.txt_num_mezzi.set_text("19");
        }
        rig.form.mezzo_attuale = static_cast<std::int16_t>(r.vehicle);
        rig.form.txt_vel.set_text("120");  // the sentence's speed and course never change
        rig.form.txt_angolo.set_text("270");
        EXPECT_EQ(forma_stringa_rmc(rig.form), r.expected) << r.name;
        EXPECT_EQ(rig.form.rmc_checksum, std::string(r.expected).substr(std::string(r.expected).size() - 3)) << r.name;
    }
}

TEST(FormaStringaRmc, TimeAndDateFields) {
    const struct {
        const char *time, *date, *rmc_ora, *rmc_data;
    } rows[] = {
        {"9.05.03", "09/05/03", "090503", "090503"},
        {"0.00.00", "01/01/27", "000000", "010127"},
        {"23.59.59", "31/12/2026", "235959", "31122026"},
        {"12:30:45", "31-12-26", ":30:45", "31-12-26"},  // only "." and "/" are removed
    };
    for (const auto& r : rows) {
        Rig rig;
        rig.clock.time = r.time;
        rig.clock.date = r.date;
        forma_stringa_rmc(rig.form);
        EXPECT_EQ(rig.form.rmc_ora, r.rmc_ora) << r.time;
        EXPECT_EQ(rig.form.rmc_data, r.rmc_data) << r.date;
    }
}

TEST(FormaStringaRmc, ChecksumSkipsOnlyTheFirstCharacterAndKeepsLeadingZeros) {
    EXPECT_EQ(checksum_field("$"), "*00");
    EXPECT_EQ(checksum_field("$\x0A"), "*0A");
    EXPECT_EQ(checksum_field("x$\xFF"), "*DB");
    EXPECT_EQ(nmea_checksum("@3$"), '3' ^ '$');
}

TEST(FormaStringaRmc, MultiUserCycle) {
    const struct {
        const char* name;
        const char* num_mezzi;
        std::vector<std::string> prefixes;
        std::vector<std::string> shown_after;
        const char* num_mezzi_after;
    } rows[] = {
        {"three vehicles", "3", {"@0", "@1", "@2", "@0", "@1"}, {"1", "2", "0", "1", "2"}, "3"},
        {"zero serves vehicle 0", "0", {"@0", "@0", "@0"}, {"0", "0", "0"}, "0"},
        {"empty serves vehicle 0", "", {"@0", "@0"}, {"0", "0"}, ""},
        {"2,5 reads as 2", "2,5", {"@0", "@1", "@0"}, {"1", "0", "1"}, "2,5"},
        {"2.5 rounds to 2", "2.5", {"@0", "@1", "@0"}, {"1", "0", "1"}, "2.5"},
        {"25 is capped at 19", "25", std::vector<std::string>(1, "@0"), {"1"}, "19"},
        {"beyond the 16-bit range counts as the cap", "99999", {"@0", "@1"}, {"1", "2"}, "19"},
        {"very negative counts as 0", "-99999", {"@0", "@0"}, {"0", "0"}, "-99999"},
    };
    for (const auto& r : rows) {
        Rig rig;
        rig.form.opt_multi.select();
        rig.form.txt_num_mezzi.set_text(r.num_mezzi);
        for (std::size_t i = 0; i < r.prefixes.size(); ++i) {
            const std::string s = forma_stringa_rmc(rig.form);
            EXPECT_EQ(s.substr(0, s.find('$')), r.prefixes[i]) << r.name << " call " << i;
            EXPECT_EQ(rig.form.txt_mezzo_attuale.text(), r.shown_after[i]) << r.name << " call " << i;
        }
        EXPECT_EQ(rig.form.txt_num_mezzi.text(), r.num_mezzi_after) << r.name;
        EXPECT_EQ(rig.shell.pending_runs, static_cast<int>(r.prefixes.size())) << r.name;
        if (std::string(r.num_mezzi_after) == "19") {  // the cycle runs 0 .. 18
            rig.form.mezzo_attuale = 18;
            forma_stringa_rmc(rig.form);
            EXPECT_EQ(rig.form.mezzo_attuale, 0) << r.name;
        }
    }
}

TEST(FormaPacchettoRadio, FramesSevenSentences) {
    const std::string rmc = "$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B";
    const std::string burst = forma_pacchetto_radio(rmc);
    const std::string sep("\r\n\0\0\0\0\0", 7);
    EXPECT_EQ(burst.size() - rmc.size(), 372u);
    EXPECT_EQ(burst.substr(0, 13), sep + "$GPGSV");
    EXPECT_EQ(burst.substr(burst.size() - 7), sep);
    const std::string expected = sep + std::string(gsv_1) + sep + std::string(gsv_2) + sep +
                                 std::string(rme) + sep + rmc + sep + std::string(vtg) + sep +
                                 std::string(gga) + sep + std::string(gsa) + sep;
    EXPECT_EQ(burst, expected);
    std::size_t separators = 0;
    for (std::size_t at = burst.find(sep); at != std::string::npos; at = burst.find(sep, at + 1)) ++separators;
    EXPECT_EQ(separators, 8u);
}

TEST(FormaPacchettoRadio, EachFixedSentenceCarriesItsOwnChecksum) {
    for (const std::string_view sentence : {gsv_1, gsv_2, rme, vtg, gga, gsa}) {
        const std::size_t star = sentence.find('*');
        EXPECT_EQ(sentence.substr(star), checksum_field(sentence.substr(0, star))) << sentence;
    }
}

}  // namespace
}  // namespace vadrel
