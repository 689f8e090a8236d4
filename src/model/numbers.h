#pragma once
// Number readings shared by the whole panel: the leading-number reading, the
// regional conversion, 16-bit storage and the texts the panel writes.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vadrel {

// Decimal separator and digit grouping of the operator's regional format.
// Passed around as a value; nothing reads it from the host.
struct RegionalFormat {
    char decimal = ',';
    char grouping = '.';

    static constexpr RegionalFormat italian() { return {',', '.'}; }
    static constexpr RegionalFormat decimal_point() { return {'.', ','}; }
};

// A text that is not a number in the regional format.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const std::string& text);
};

// A value that does not fit a 16-bit signed integer.
class OverflowError : public std::runtime_error {
public:
    explicit OverflowError(double value);
};

// The longest leading number of the text: blanks skipped, an optional sign,
// digits and "." as the only decimal point. "12abc" is 12, "2,5" is 2, a text
// that does not begin with a number is 0. Independent of the regional format.
double leading_number(std::string_view text);

// The whole text as a number in the regional format: blanks around it, a sign,
// digit grouping in the whole part and the regional decimal separator.
// Anything else (the empty text included) throws ConversionError.
double regional_number(std::string_view text, RegionalFormat format);

// Rounds half to even (2.5 gives 2, 3.5 gives 4), with no range limit.
double round_half_even(double value);

// Rounds half to even into a 16-bit signed integer; outside -32768..32767
// throws OverflowError.
std::int16_t to_int16(double value);

// Stores what the text reads as into a 16-bit field: by the regional
// conversion, or by the leading-number reading. A text that cannot be read,
// or reads beyond 16 bits, leaves the field as it was.
void store_regional(std::string_view text, RegionalFormat format, std::int16_t& field);
void store_leading(std::string_view text, std::int16_t& field);

// 16-bit signed arithmetic that throws OverflowError instead of wrapping.
std::int16_t add16(std::int16_t a, std::int16_t b);
std::int16_t sub16(std::int16_t a, std::int16_t b);

// Plain decimal text: a leading "-" when negative, no padding, no grouping.
std::string int_text(long long value);

// A single-precision reading written in the general number format (at most
// seven significant digits) and read back as a double: 72928.47f gives
// 72928.47, not the float's exact binary value.
double seven_digit_value(float value);

}  // namespace vadrel
