#include "line_settings.h"

#include "serial/ports.h"

#include <charconv>
#include <vector>

namespace vadrel {

namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> items;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            items.push_back(text.substr(start));
            return items;
        }
        items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

// A whole item of decimal digits only, no sign, no blanks.
std::optional<int> whole_number(std::string_view item) {
    if (item.empty() || item.size() > 9) return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
    if (error != std::errc{} || end != item.data() + item.size()) return std::nullopt;
    if (item.front() < '0' || item.front() > '9') return std::nullopt;
    return value;
}

std::optional<Parity> parity_of(std::string_view item) {
    if (item.size() != 1) return std::nullopt;
    switch (item.front()) {
        case 'N': case 'n': return Parity::none;
        case 'E': case 'e': return Parity::even;
        case 'O': case 'o': return Parity::odd;
        case 'M': case 'm': return Parity::mark;
        case 'S': case 's': return Parity::space;
        default: return std::nullopt;
    }
}

std::optional<StopBits> stop_bits_of(std::string_view item) {
    if (item == "1") return StopBits::one;
    if (item == "1.5") return StopBits::one_and_half;
    if (item == "2") return StopBits::two;
    return std::nullopt;
}

}  // namespace

std::optional<LineSettings> parse_line_settings(std::string_view text) {
    const std::vector<std::string_view> items = split(text, ',');
    if (items.size() != 4) return std::nullopt;

    const std::optional<int> baud = whole_number(items[0]);
    if (!baud || !valid_line_speed(*baud)) return std::nullopt;
    const std::optional<Parity> parity = parity_of(items[1]);
    if (!parity) return std::nullopt;
    const std::optional<int> data_bits = whole_number(items[2]);
    if (!data_bits || *data_bits < 5 || *data_bits > 8) return std::nullopt;
    const std::optional<StopBits> stop_bits = stop_bits_of(items[3]);
    if (!stop_bits) return std::nullopt;

    return LineSettings{*baud, *parity, *data_bits, *stop_bits};
}

std::string settings_text(const LineSettings& settings) {
    std::string text = std::to_string(settings.baud) + ",";
    switch (settings.parity) {
        case Parity::none: text += 'N'; break;
        case Parity::even: text += 'E'; break;
        case Parity::odd: text += 'O'; break;
        case Parity::mark: text += 'M'; break;
        case Parity::space: text += 'S'; break;
    }
    text += "," + std::to_string(settings.data_bits) + ",";
    switch (settings.stop_bits) {
        case StopBits::one: text += "1"; break;
        case StopBits::one_and_half: text += "1.5"; break;
        case StopBits::two: text += "2"; break;
    }
    return text;
}

}  // namespace vadrel
