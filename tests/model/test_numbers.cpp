#include <gtest/gtest.h>

#include "model/numbers.h"

namespace vadrel {
namespace {

TEST(LeadingNumber, ReadsTheLongestLeadingNumber) {
    const struct {
        const char* text;
        double expected;
    } rows[] = {
        {"12abc", 12}, {"1,5", 1}, {"2,5", 2}, {"", 0}, {"-", 0}, {"abc", 0}, {"  42", 42},
        {"-5", -5}, {"+7", 7}, {"12.7", 12.7}, {"1.2.3", 1.2}, {".5", 0.5}, {"-.5", -0.5},
        {"1,7775", 1}, {"365", 365}, {"5.", 5}, {".", 0}, {"1e5", 1},
    };
    for (const auto& row : rows) EXPECT_DOUBLE_EQ(leading_number(row.text), row.expected) << row.text;
}

TEST(RegionalNumber, ReadsTheWholeTextUnderEitherFormat) {
    const auto it = RegionalFormat::italian();
    const RegionalFormat en{'.', ','};
    const struct {
        const char* text;
        RegionalFormat format;
        double expected;
    } rows[] = {
        {"1,7775", it, 1.7775}, {"8,0623", it, 8.0623}, {" 44 ", it, 44}, {"-3", it, -3},
        {"+3", it, 3}, {"1.234", it, 1234}, {"1.234,5", it, 1234.5},
        {"1.7775", en, 1.7775}, {"1,7775", en, 17775}, {"1,234.5", en, 1234.5}, {",5", it, 0.5},
    };
    for (const auto& row : rows) {
        EXPECT_DOUBLE_EQ(regional_number(row.text, row.format), row.expected) << row.text;
    }
}

TEST(RegionalNumber, RefusesTextsThatAreNotNumbers) {
    for (const char* text : {"", " ", "-", "abc", "12abc", "1,2,3", "N", "1 2", ".5", "5."}) {
        EXPECT_THROW(regional_number(text, RegionalFormat::italian()), ConversionError) << text;
    }
}

TEST(ToInt16, RoundsHalfToEvenAndChecksTheRange) {
    const struct {
        double value;
        int expected;
    } rows[] = {
        {2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4}, {12.7, 13}, {12.5, 12}, {1.7775, 2},
        {32767.4, 32767}, {-32768.5, -32768}, {0.49, 0},
    };
    for (const auto& row : rows) EXPECT_EQ(to_int16(row.value), row.expected) << row.value;
    for (const double bad : {32767.5, 32768.0, -32769.0, 1e10, -1e300}) {
        EXPECT_THROW(to_int16(bad), OverflowError) << bad;
    }
}

// The one reading of a 16-bit number from a text, under each of its two
// readings; nothing where the text cannot be read or does not fit.
TEST(Int16FromText, ReadsRoundsAndRefuses) {
    const auto leading = NumberReading::leading();
    const auto regional = NumberReading::regional_in(RegionalFormat::italian());
    const struct {
        const char* text;
        NumberReading reading;
        std::optional<int> expected;
    } rows[] = {
        {"1,7775", leading, 1}, {"1,7775", regional, 2}, {"12.5", leading, 12}, {"13,5", regional, 14},
        {"-5", leading, -5}, {"", leading, 0}, {"", regional, std::nullopt}, {"abc", regional, std::nullopt},
        {"32767", leading, 32767}, {"32768", leading, std::nullopt}, {"-32768,4", regional, -32768},
        {"99999999999999999999", leading, std::nullopt}, {"1.000.000", regional, std::nullopt},
    };
    for (const auto& row : rows) {
        const auto read = int16_from_text(row.text, row.reading);
        EXPECT_EQ(read ? std::optional<int>(*read) : std::nullopt, row.expected)
            << '"' << row.text << '"' << (row.reading.regional ? " regional" : " leading");
    }
    EXPECT_EQ(int_text(-3), "-3");
    EXPECT_EQ(int_text(0), "0");
}

}  // namespace
}  // namespace vadrel
