#pragma once
// The values a scenario's keys take, each read from its text or refused
// with an Italian reason (the reader puts the file, line and key before it).
//
//   read_scenario_seconds("00:10:00");   // 600
//   read_scenario_speed("100 km/h");     // {100, kmh}
//   read_scenario_speed("5 m/s");        // {18, kmh}
//   read_time_rate("max");               // 0

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "fleet/vehicle.h"

namespace vadrel {

// The longest run, in simulated seconds (as --durata).
inline constexpr double longest_scenario = 2147483.0;
// Simulated seconds per real second, besides "max" (0).
inline constexpr double slowest_time_rate = 0.1;
inline constexpr double fastest_time_rate = 1000.0;

// Seconds as a number (a decimal point or comma), or "hh:mm:ss" / "mm:ss";
// 0 to longest_scenario.
std::variant<double, std::string> read_scenario_seconds(std::string_view text);

// A speed: a number and a unit, km/h, nodi (kn) or m/s, with or without a
// blank between; without a unit the vehicle's own. m/s become km/h. Within
// what the fleet takes.
struct ScenarioSpeed {
    double value = 0.0;
    std::optional<SpeedUnit> unit;
    bool operator==(const ScenarioSpeed&) const = default;
};
std::variant<ScenarioSpeed, std::string> read_scenario_speed(std::string_view text);

// 0.1 to 1000, or "max" (0).
std::variant<double, std::string> read_time_rate(std::string_view text);

// A finite number with a decimal point or comma.
std::optional<double> scenario_number(std::string_view text);

// A date "2016-12-31": the instant its last second ends (the next day's
// midnight, UTC), where a leap second goes.
std::variant<std::int64_t, std::string> read_leap_second_day(std::string_view text);

// A number as the messages write it: "12.5", "3600".
std::string number_text(double value);

}  // namespace vadrel
