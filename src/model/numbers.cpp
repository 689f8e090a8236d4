#include "numbers.h"

#include <algorithm>
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

NumberRule number_rule(NumberSource source, RegionalFormat format) {
    using Blanks = NumberRule::Blanks;
    switch (source) {
    case NumberSource::panel_box:
        return {true, Blanks::spaces_tabs, format.decimal, false, format.grouping, false, true};
    case NumberSource::table_item: return {true, Blanks::spaces_tabs, '.', false, '\0', false, true};
    case NumberSource::command_line:
    case NumberSource::window_box: return {true, Blanks::spaces_tabs, ',', true, '\0', true, false};
    case NumberSource::route_file:
    case NumberSource::settings_item: return {true, Blanks::line_breaks_too, '.', false, '\0', true, false};
    case NumberSource::route_file_comma: break;
    }
    return {true, Blanks::line_breaks_too, ',', true, '\0', true, false};
}

std::string_view without_blanks(std::string_view text, NumberRule::Blanks blanks) {
    const auto blank = [blanks](char c) {
        if (blanks == NumberRule::Blanks::none) return false;
        return c == ' ' || c == '\t' || (blanks == NumberRule::Blanks::line_breaks_too && (c == '\r' || c == '\n'));
    };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<double> read_number(std::string_view text, NumberSource source, RegionalFormat format) {
    const NumberRule rule = number_rule(source, format);
    text = without_blanks(text, rule.blanks);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || (rule.plus && text.front() == '+'))) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // The plain form from_chars reads, in the C locale whatever the host's.
    std::string plain;
    bool seen_decimal = false;
    bool any_digit = false;
    long magnitude = 0;  // about the power of ten of the first digit that is not 0
    bool leading_zeros = true;
    char previous = '\0';
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (is_digit(c)) {
            any_digit = true;
            if (c != '0') leading_zeros = false;
            if (!seen_decimal && !leading_zeros) ++magnitude;
            if (seen_decimal && leading_zeros) --magnitude;
            plain += c;
        } else if (!seen_decimal && (c == rule.decimal || (rule.point_too && c == '.'))) {
            seen_decimal = true;
            plain += '.';
        } else if (rule.grouping != '\0' && c == rule.grouping && !seen_decimal && is_digit(previous)) {
            // grouping only between digits of the whole part
        } else {
            break;
        }
        previous = c;
    }
    if (!any_digit || (rule.grouping != '\0' && previous == rule.grouping)) return std::nullopt;
    if (rule.exponent && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += 'e';
        ++i;
        bool below = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            below = text[i] == '-';
            plain += text[i++];
        }
        const std::size_t digits = i;
        long power = 0;
        for (; i < text.size() && is_digit(text[i]); ++i) {
            plain += text[i];
            power = std::min(power * 10 + (text[i] - '0'), 1'000'000L);
        }
        if (i == digits) return std::nullopt;
        magnitude += below ? -power : power;
    }
    if (i != text.size()) return std::nullopt;
    double value = 0.0;
    const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too small to tell from zero, or past a double.
        if (magnitude > 0 && !rule.huge_past_range) return std::nullopt;
        value = magnitude > 0 ? HUGE_VAL : 0.0;
    } else if (result.ec != std::errc() || result.ptr != plain.data() + plain.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

double regional_number(std::string_view text, RegionalFormat format) {
    if (auto value = read_number(text, NumberSource::panel_box, format)) return *value;
    throw ConversionError(std::string(text));
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
