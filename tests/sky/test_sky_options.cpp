#include <gtest/gtest.h>

#include "sky/sky_options.h"

namespace vadrel {
namespace {

template <typename T>
std::string problem(const std::variant<T, std::string>& read) {
    return std::holds_alternative<std::string>(read) ? std::get<std::string>(read) : "";
}

// Every value the options take, and the ones they refuse with a reason in
// Italian that names what was given.
TEST(SkyOptions, ReadOrRefused) {
    const struct {
        const char* name;
        std::string problem;
        const char* says;  // "" when read
    } rows[] = {
        {"mask 5", problem(read_mask("5")), ""},
        {"mask 12,5", problem(read_mask("12,5")), ""},
        {"mask 91", problem(read_mask("91")), "da 0 a 90 gradi, non \"91\""},
        {"mask -1", problem(read_mask("-1")), "non \"-1\""},
        {"mask nan", problem(read_mask("nan")), "non \"nan\""},
        {"through north", problem(read_obstruction("350-10:20")), ""},
        {"all round", problem(read_obstruction("0-360:15.5")), ""},
        {"no elevation", problem(read_obstruction("200-340")), "AZIMUT1-AZIMUT2:ELEVAZIONE"},
        {"negative azimuth", problem(read_obstruction("-10-20:30")), "da 0 a 360 gradi"},
        {"elevation 91", problem(read_obstruction("0-30:91")), "da 0 a 90 gradi"},
        {"extra part", problem(read_obstruction("0-30:40:5")), "AZIMUT1-AZIMUT2:ELEVAZIONE"},
        {"noise 5", problem(read_noise("5")), ""},
        {"noise 1001", problem(read_noise("1001")), "da 0 a 1000 metri"},
        {"noise inf", problem(read_noise("inf")), "da 0 a 1000 metri"},
        {"rate 10", problem(read_rate("10")), ""},
        {"rate 3", problem(read_rate("3")), "1, 2, 5 o 10"},
        {"rate 1.0", problem(read_rate("1.0")), "1, 2, 5 o 10"},
        {"talker gn", problem(read_talker("gn")), ""},
        {"talker GL", problem(read_talker("GL")), "GP"},
        {"outage 30/300", problem(read_fix_outage("30/300")), ""},
        {"outage 300/300", problem(read_fix_outage("300/300")), "meno di OGNI"},
        {"outage 1/86401", problem(read_fix_outage("1/86401")), "da 2 a 86400"},
        {"outage 30", problem(read_fix_outage("30")), "DURATA/OGNI"},
        {"outage 1.5/300", problem(read_fix_outage("1.5/300")), "DURATA/OGNI"},
        {"sentences", problem(read_sentence_list("RMC,GGA,VTG,GSA,GSV,ZDA,GLL,HDT")), ""},
        {"sentences unknown", problem(read_sentence_list("RMC,GSV,XYZ")), "\"XYZ\" non è una frase"},
        {"sentences twice", problem(read_sentence_list("RMC,GGA,GGA")), "GGA è data due volte"},
        {"sentences without RMC", problem(read_sentence_list("GGA,GSA")), "comprende sempre RMC"},
        {"sentences lower case", problem(read_sentence_list("rmc")), "\"rmc\" non è una frase"},
    };
    for (const auto& r : rows) {
        if (*r.says == '\0') {
            EXPECT_EQ(r.problem, "") << r.name;
        } else {
            EXPECT_NE(r.problem.find(r.says), std::string::npos) << r.name << ": " << r.problem;
        }
    }
}

// The forms read and written apart from the plain numbers: a decimal comma
// read, a point written; the sentences in the order given.
TEST(SkyOptions, ValuesAndTheirTexts) {
    EXPECT_EQ(std::get<Obstruction>(read_obstruction("350-10,5:20")), (Obstruction{350, 10.5, 20}));
    EXPECT_EQ(obstruction_text({350, 10.5, 20}), "350-10.5:20");
    const auto list = std::get<std::vector<SentenceKind>>(read_sentence_list("RMC,GSV,GLL,HDT"));
    EXPECT_EQ(sentence_list_text(list), "RMC,GSV,GLL,HDT");
}

}  // namespace
}  // namespace vadrel
