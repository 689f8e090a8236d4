#pragma once
// Number readings shared by the whole panel: the leading-number reading, the
// regional conversion, 16-bit storage and the texts the panel writes.

#include <charconv>
#include <concepts>
#include <cstdint>
#include <optional>
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
};

// Where a number is read from. Each source has its one rule on a leading
// "+", the decimal comma, blanks around the number and an exponent, written
// once in number_rule():
//
//   source            "+"  blanks             decimal       exponent  past a double
//   panel_box         yes  space, tab         regional (with grouping)  no   huge
//   table_item        yes  space, tab         "."           no        huge
//   command_line      yes  space, tab         "." or ","    yes       refused
//   window_box        as command_line (a dialog's box, a cell of the vehicles' table)
//   route_file        yes  space, tab, CR, LF "."           yes       refused
//   route_file_comma  yes  space, tab, CR, LF "." or ","    yes       refused
//   settings_item     as route_file (vadrel.ini, the exact positions vadrel keeps)
//
// panel_box is a box of the operator's form; table_item an item of
// vadrel.cnf. A "-" is read everywhere; "inf", "nan", hexadecimal and an
// empty text nowhere. A value too small to tell from zero is 0 for every
// source.
enum class NumberSource : std::uint8_t {
    panel_box,
    table_item,
    command_line,
    window_box,
    route_file,
    route_file_comma,
    settings_item,
};

struct NumberRule {
    enum class Blanks : std::uint8_t { none, spaces_tabs, line_breaks_too };
    bool plus = false;
    Blanks blanks = Blanks::none;
    char decimal = '.';
    bool point_too = false;  // "." a decimal point besides `decimal`
    char grouping = '\0';    // between digits of the whole part; '\0': none
    bool exponent = false;
    bool huge_past_range = false;  // past a double's range: infinite, not refused
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

// The whole text as a panel's box reads it (read_number, panel_box) in the
// regional format: blanks around it, a sign, digit grouping in the whole part
// and the regional decimal separator. Anything else (the empty text
// included) throws ConversionError.
double regional_number(std::string_view text, RegionalFormat format);

// The rule of a source; the panel's boxes follow `format`.
NumberRule number_rule(NumberSource source, RegionalFormat format = RegionalFormat::italian());

// The one reader of numbers: the whole text as `source` reads it, or
// nothing. Finite, but for a source whose values past range are huge.
std::optional<double> read_number(std::string_view text, NumberSource source,
                                  RegionalFormat format = RegionalFormat::italian());

// The text without the blanks the rule drops around a number.
std::string_view without_blanks(std::string_view text, NumberRule::Blanks blanks);

// A whole number filling the text as `source` reads it ("+" and blanks
// by its rule; no point, no exponent), within Integer; or nothing.
template <std::integral Integer>
std::optional<Integer> read_whole(std::string_view text, NumberSource source) {
    const NumberRule rule = number_rule(source);
    text = without_blanks(text, rule.blanks);
    if (rule.plus && text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    Integer value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Rounds half to even (2.5 gives 2, 3.5 gives 4), with no range limit.
double round_half_even(double value);

// Rounds half to even into a 16-bit signed integer; outside -32768..32767
// throws OverflowError.
std::int16_t to_int16(double value);

// How a text is read as a number: the leading-number reading, or the whole
// text by the regional conversion in a format.
struct NumberReading {
    std::optional<RegionalFormat> regional;

    static constexpr NumberReading leading() { return {}; }
    static constexpr NumberReading regional_in(RegionalFormat format) { return {format}; }
};

// The one way a text becomes a 16-bit whole number: read as `reading` says,
// rounded half to even. Nothing when the text cannot be read or the value
// does not fit 16 bits; the callers keep what they held, so a field is never
// half-written.
std::optional<std::int16_t> int16_from_text(std::string_view text, NumberReading reading);

// Plain decimal text: a leading "-" when negative, no padding, no grouping.
std::string int_text(long long value);

// The shortest text that reads back as the very same value ("0.1", "5",
// "1e+20", "360.0000001"), as the files vadrel writes keep numbers; every
// refusal that names a number it was given names it so (at most 24 characters).
std::string shortest_text(double value);

// A value as an option would give it: "%g" (0.5, 120, 1e-05).
std::string option_number(double value);

}  // namespace vadrel
