#include "numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vadrel {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Parses "digits[.digits]" already stripped of sign and grouping, in the C
// locale, so the host's locale never changes a reading.
double parse_plain(const std::string& digits) {
    if (digits.empty()) return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range) return HUGE_VAL;
    return value;
}

}  // namespace

ConversionError::ConversionError(const std::string& text)
    : std::runtime_error("valore non numerico: \"" + text + "\"") {}

OverflowError::OverflowError(double value)
    : std::runtime_error("valore fuori dall'intervallo a 16 bit: " + shortest_text(value)) {}

double leading_number(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_blank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    std::string digits;
    bool seen_point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (is_digit(c)) {
            digits += c;
        } else if (c == '.' && !seen_point) {
            seen_point = true;
            digits += c;
        } else {
            break;
        }
    }
    if (digits == ".") digits.clear();
    if (!digits.empty() && digits.front() == '.') digits.insert(digits.begin(), '0');
    if (!digits.empty() && digits.back() == '.') digits.pop_back();
    const double value = parse_plain(digits);
    return negative ? -value : value;
}

double regional_number(std::string_view text, RegionalFormat format) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && is_blank(text[begin])) ++begin;
    while (end > begin && is_blank(text[end - 1])) --end;
    std::string_view body = text.substr(begin, end - begin);

    bool negative = false;
    if (!body.empty() && (body.front() == '-' || body.front() == '+')) {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }

    std::string digits;
    bool seen_decimal = false;
    bool any_digit = false;
    char previous = '\0';
    for (const char c : body) {
        if (is_digit(c)) {
            digits += c;
            any_digit = true;
        } else if (c == format.decimal && !seen_decimal) {
            seen_decimal = true;
            digits += '.';
        } else if (c == format.grouping && !seen_decimal && is_digit(previous)) {
            // grouping only between digits of the whole part
        } else {
            throw ConversionError(std::string(text));
        }
        previous = c;
    }
    if (!any_digit || previous == format.grouping) throw ConversionError(std::string(text));
    if (digits.front() == '.') digits.insert(digits.begin(), '0');
    if (digits.back() == '.') digits.pop_back();
    const double value = parse_plain(digits);
    return negative ? -value : value;
}

double round_half_even(double value) {
    double rounded = std::floor(value);
    const double fraction = value - rounded;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) rounded += 1.0;
    return rounded;
}

std::int16_t to_int16(double value) {
    if (std::isnan(value)) throw OverflowError(value);
    const double rounded = round_half_even(value);
    if (rounded < -32768.0 || rounded > 32767.0) throw OverflowError(value);
    return static_cast<std::int16_t>(rounded);
}

std::optional<std::int16_t> int16_from_text(std::string_view text, NumberReading reading) {
    try {
        return to_int16(reading.regional ? regional_number(text, *reading.regional) : leading_number(text));
    } catch (const ConversionError&) {
        return std::nullopt;
    } catch (const OverflowError&) {
        return std::nullopt;
    }
}

std::string int_text(long long value) { return std::to_string(value); }

std::string shortest_text(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string option_number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace vadrel
