#include <gtest/gtest.h>

#include "model/numbers.h"

namespace vadrel {
namespace {

TEST(LeadingNumber, ReadsTheLongestLeadingNumber) {
    const struct {
        const char* text;
        double expected;
    } rows[] = {
        {"12abc", 12}, {"2,5", 2}, {"", 0}, {"-", 0}, {"abc", 0}, {"  42", 42}, {"-5", -5}, {"+7", 7},
        {"1.2.3", 1.2}, {".5", 0.5}, {"-.5", -0.5}, {"5.", 5}, {".", 0}, {"1e5", 1},
    };
    for (const auto& row : rows) EXPECT_DOUBLE_EQ(leading_number(row.text), row.expected) << row.text;
}

// The whole text under either format, or nothing.
TEST(RegionalNumber, ReadsTheWholeTextOrRefusesIt) {
    const auto it = RegionalFormat::italian();
    const RegionalFormat en{'.', ','};
    const struct {
        const char* text;
        RegionalFormat format;
        std::optional<double> expected;
    } rows[] = {
        {"1,7775", it, 1.7775}, {" 44 ", it, 44}, {"-3", it, -3}, {"+3", it, 3}, {"1.234", it, 1234},
        {"1.234,5", it, 1234.5}, {"1.7775", en, 1.7775}, {"1,7775", en, 17775}, {"1,234.5", en, 1234.5},
        {",5", it, 0.5}, {"", it, {}}, {" ", it, {}}, {"-", it, {}}, {"12abc", it, {}}, {"1,2,3", it, {}},
        {"1 2", it, {}}, {".5", it, {}}, {"5.", it, {}},
    };
    for (const auto& row : rows) {
        std::optional<double> read;
        try {
            read = regional_number(row.text, row.format);
        } catch (const ConversionError&) {
        }
        EXPECT_EQ(read, row.expected) << '"' << row.text << '"';
    }
}

// The one reading of a 16-bit number from a text, under each of its two
// readings, rounded half to even; nothing where the text cannot be read or
// does not fit.
TEST(Int16FromText, ReadsRoundsAndRefuses) {
    const auto leading = NumberReading::leading();
    const auto regional = NumberReading::regional_in(RegionalFormat::italian());
    const struct {
        const char* text;
        NumberReading reading;
        std::optional<int> expected;
    } rows[] = {
        {"1,7775", leading, 1}, {"1,7775", regional, 2}, {"12.5", leading, 12}, {"13,5", regional, 14},
        {"-2,5", regional, -2}, {"-3,5", regional, -4}, {"0,49", regional, 0}, {"-5", leading, -5},
        {"", leading, 0}, {"", regional, {}}, {"abc", regional, {}}, {"32767", leading, 32767},
        {"32767,4", regional, 32767}, {"32767,5", regional, {}}, {"32768", leading, {}},
        {"-32768,5", regional, -32768}, {"-32769", regional, {}}, {"99999999999999999999", leading, {}},
        {"1.000.000", regional, {}},
    };
    for (const auto& row : rows) {
        const auto read = int16_from_text(row.text, row.reading);
        EXPECT_EQ(read ? std::optional<int>(*read) : std::nullopt, row.expected)
            << '"' << row.text << '"' << (row.reading.regional ? " regional" : " leading");
    }
}

}  // namespace
}  // namespace vadrel
