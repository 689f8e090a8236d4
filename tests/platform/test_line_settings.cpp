// Line settings texts and the table of port failures.

#include <gtest/gtest.h>

#include <set>

#include "platform/line_settings.h"
#include "platform/port_errors.h"

namespace vadrel {
namespace {

struct Readable {
    const char* text;
    LineSettings expected;
};

TEST(LineSettings, ReadsTheTextsOfTheSpeedButtonsAndTheOtherLineForms) {
    const Readable rows[] = {
        {"2400,N,8,1", {2400, Parity::none, 8, StopBits::one}},
        {"4800,N,8,1", {4800, Parity::none, 8, StopBits::one}},
        {"9600,N,8,1", {9600, Parity::none, 8, StopBits::one}},
        {"9600,n,8,1", {9600, Parity::none, 8, StopBits::one}},
        {"1200,E,7,2", {1200, Parity::even, 7, StopBits::two}},
        {"19200,O,8,1", {19200, Parity::odd, 8, StopBits::one}},
        {"110,M,5,1.5", {110, Parity::mark, 5, StopBits::one_and_half}},
        {"115200,s,6,1", {115200, Parity::space, 6, StopBits::one}},
    };
    for (const Readable& row : rows) {
        const auto parsed = parse_line_settings(row.text);
        ASSERT_TRUE(parsed.has_value()) << row.text;
        EXPECT_EQ(*parsed, row.expected) << row.text;
    }
}

TEST(LineSettings, RefusesTextsThatAreNotALineSetting) {
    const char* rows[] = {
        "",             "4800",          "4800,N,8",      "4800,N,8,1,",   "4800,N,8,1,0",
        "4801,N,8,1",   "0,N,8,1",       "-4800,N,8,1",   "+4800,N,8,1",   "4800.0,N,8,1",
        "4800,X,8,1",   "4800,NN,8,1",   "4800,,8,1",     "4800,N,9,1",    "4800,N,4,1",
        "4800,N,8,3",   "4800,N,8,0",    "4800,N,8,1.0",  " 4800,N,8,1",   "4800, N,8,1",
        "4800,N,8,1 ",  "4800;N;8;1",    "9600,N,8,1\r\n", "99999999999,N,8,1",
    };
    for (const char* text : rows) EXPECT_FALSE(parse_line_settings(text).has_value()) << '"' << text << '"';
}

TEST(LineSettings, WritesTheSettingsBackAsText) {
    const char* rows[] = {"2400,N,8,1", "4800,N,8,1", "9600,N,8,1", "1200,E,7,2", "110,M,5,1.5", "38400,S,6,1"};
    for (const char* text : rows) {
        const auto parsed = parse_line_settings(text);
        ASSERT_TRUE(parsed.has_value()) << text;
        EXPECT_EQ(settings_text(*parsed), text);
    }
    EXPECT_EQ(settings_text(*parse_line_settings("9600,o,8,1")), "9600,O,8,1");
}

TEST(PortErrors, EveryNumberIsAPortFailureTheRuleRecognisesWithItsOwnItalianText) {
    std::set<int> numbers;
    std::set<std::string_view> texts;
    for (const PortErrorEntry& entry : port_error_table) {
        const int number = static_cast<int>(entry.error);
        EXPECT_GE(number, 8000) << entry.testo;
        EXPECT_LE(number, 8020) << entry.testo;
        EXPECT_TRUE(numbers.insert(number).second) << "numero ripetuto " << number;
        EXPECT_TRUE(texts.insert(entry.testo).second) << "testo ripetuto " << entry.testo;
        EXPECT_EQ(port_error_text(entry.error), entry.testo);
    }
}

TEST(PortErrors, TheFailureCarriesTheNumberTheTextAndTheDetail) {
    const PortFailure failure = port_failure(PortError::porta_inesistente, "/dev/ttyS2: No such file or directory");
    EXPECT_EQ(failure.number(), 8002);
    EXPECT_STREQ(failure.what(), "porta inesistente: /dev/ttyS2: No such file or directory");
    EXPECT_STREQ(port_failure(PortError::porta_persa, "").what(), "porta persa durante la scrittura");
    EXPECT_EQ(port_failure(PortError::impostazioni_non_valide, "x").number(), 8010);
}

}  // namespace
}  // namespace vadrel
