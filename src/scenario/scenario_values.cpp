#include "scenario_values.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

#include "fleet/fleet.h"
#include "routes/iso_time.h"

namespace vadrel {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::optional<long> whole(std::string_view text) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// "hh:mm:ss" or "mm:ss", each part two digits at most past the first.
std::optional<double> clock_seconds(std::string_view text) {
    std::array<long, 3> parts{};
    std::size_t count = 0;
    while (true) {
        const std::size_t colon = text.find(':');
        const std::string_view part = text.substr(0, colon);
        const auto value = whole(part);
        if (!value || *value < 0 || count == parts.size() || part.size() > 7) return std::nullopt;
        parts[count++] = *value;
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
    }
    if (count < 2) return std::nullopt;
    double seconds = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0 && parts[i] > 59) return std::nullopt;
        seconds = seconds * 60.0 + static_cast<double>(parts[i]);
    }
    return seconds;
}

}  // namespace

std::optional<double> scenario_number(std::string_view text) {
    std::string point(trimmed(text));
    for (char& c : point) c = c == ',' ? '.' : c;
    if (!point.empty() && point.front() == '+') point.erase(0, 1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(point.data(), point.data() + point.size(), value);
    if (point.empty() || error != std::errc() || end != point.data() + point.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string number_text(double value) {
    std::array<char, 32> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return error == std::errc() ? std::string(buffer.data(), end) : std::string("?");
}

std::variant<double, std::string> read_scenario_seconds(std::string_view text) {
    text = trimmed(text);
    std::optional<double> seconds = text.find(':') != std::string_view::npos ? clock_seconds(text)
                                                                             : scenario_number(text);
    if (!seconds) return quoted(text) + " non è un numero di secondi né un'ora hh:mm:ss";
    if (*seconds < 0.0 || *seconds > longest_scenario) {
        return quoted(text) + " è fuori campo (da 0 a " + number_text(longest_scenario) + " secondi)";
    }
    return *seconds;
}

std::variant<ScenarioSpeed, std::string> read_scenario_speed(std::string_view text) {
    text = trimmed(text);
    static constexpr std::array<std::pair<std::string_view, double>, 5> units{
        {{"km/h", 1.0}, {"nodi", 1.0}, {"kn", 1.0}, {"m/s", 3.6}, {"", 1.0}}};
    for (const auto& [suffix, factor] : units) {
        if (!text.ends_with(suffix)) continue;
        const auto number = scenario_number(text.substr(0, text.size() - suffix.size()));
        if (!number) break;
        ScenarioSpeed speed{*number * factor, std::nullopt};
        if (!suffix.empty()) speed.unit = suffix == "nodi" || suffix == "kn" ? SpeedUnit::knots : SpeedUnit::kmh;
        if (auto problem = speed_problem(speed.value)) return quoted(text) + ": " + problem->reason;
        return speed;
    }
    return quoted(text) + " non è una velocità (un numero seguito da km/h, nodi o m/s)";
}

std::variant<double, std::string> read_time_rate(std::string_view text) {
    text = trimmed(text);
    if (text == "max") return 0.0;
    const auto rate = scenario_number(text);
    if (!rate || !(*rate >= slowest_time_rate && *rate <= fastest_time_rate)) {
        return quoted(text) + " non è una velocità del tempo (da 0.1 a 1000, oppure max)";
    }
    return *rate;
}

std::variant<std::int64_t, std::string> read_leap_second_day(std::string_view text) {
    text = trimmed(text);
    const auto midnight = text.size() == 10 ? read_iso_time(std::string(text) + "T00:00:00Z") : std::nullopt;
    if (!midnight) return quoted(text) + " non è una data AAAA-MM-GG";
    constexpr std::int64_t day_ms = 86400000;
    return *midnight + day_ms;
}

}  // namespace vadrel
