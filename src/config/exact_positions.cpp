// The exact positions beside vadrel.cnf: writer and reader over bytes.

#include <charconv>
#include <cmath>

#include "vehicle_record.h"
#include "model/numbers.h"

namespace vadrel {

namespace {

// The next field of a line, after blanks; empty at its end.
std::string_view field(std::string_view& line) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    std::size_t end = 0;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    const std::string_view taken = line.substr(0, end);
    line.remove_prefix(end);
    return taken;
}

template <typename T>
std::optional<T> whole_field(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<double> seconds_field(std::string_view text, double limit) {
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (!std::isfinite(value) || std::fabs(value) > limit) return std::nullopt;
    return value;
}

}  // namespace

std::string positions_text(const std::array<SavedPosition, fleet_size>& positions) {
    std::string out =
        "# vadrel: posizioni esatte dei veicoli, in secondi d'arco (nord ed est positivi).\n"
        "# Una posizione vale solo dove, arrotondata, d\xC3\xA0 quella del suo veicolo in vadrel.cnf.\n";
    for (std::size_t i = 0; i < positions.size(); ++i) {
        out += std::to_string(i) + ' ' + shortest_text(positions[i].lat) + ' ' + shortest_text(positions[i].lon) + '\n';
    }
    return out;
}

SavedPositions read_positions_text(std::string_view text) {
    SavedPositions found{};
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const auto vehicle = whole_field<unsigned>(field(line));
        const auto lat = seconds_field(field(line), latitude_limit);
        const auto lon = seconds_field(field(line), longitude_limit);
        if (!vehicle || *vehicle >= found.size() || !lat || !lon || !field(line).empty()) continue;
        found[*vehicle] = SavedPosition{*lat, *lon};
    }
    return found;
}

}  // namespace vadrel
