#pragma once
// Reading a scenario: YAML (JSON too, as its subset) with Italian keys, every
// key checked, every refusal placed in the file:
//
//   auto read = read_scenario(bytes, {"s.yaml", "/home/a/prove", check});
//   if (auto* problem = std::get_if<ScenarioProblem>(&read))
//       problem->message();   // s.yaml:5: velocita: "cento" non è una velocità (...)
//
// The start's settings are the command line's options under their names
// (uscite: {tcp: ...} is --tcp, ricevitore: {moto_reale: true} is
// --moto-reale, ais: {nave_propria: true} is --ais-nave-propria, pilota:
// {attivo: true, virata: 10} is --pilota --pilota-virata 10, any other
// key at the top its option); `check` asks the program whether it takes
// each one. Paths are taken against the scenario's folder.
//
// Bounded: at most max_scenario_bytes, max_scenario_depth levels of
// nesting, max_scenario_events events; no anchors or aliases (so no value
// is ever expanded twice), one document, UTF-8 without NUL. The time is in
// proportion to the length.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "scenario/scenario.h"

namespace vadrel {

inline constexpr std::size_t max_scenario_bytes = 1024 * 1024;
inline constexpr int max_scenario_depth = 16;
// Below what the size allows (an event takes 20 bytes at least), so that
// it bounds the events on its own.
inline constexpr std::size_t max_scenario_events = 50000;

struct ScenarioProblem {
    std::string file;
    ScenarioPlace place;  // line 0: not placed
    std::string key;      // "" for the file as a whole
    std::string reason;   // Italian
    // "s.yaml:5: velocita: reason", "s.yaml: reason".
    std::string message() const;
    bool operator==(const ScenarioProblem&) const = default;
};

// Why the program would refuse a start setting; nothing when it takes it.
using ScenarioOptionCheck = std::function<std::optional<std::string>(const ScenarioArgument&)>;

struct ScenarioSource {
    std::string file;    // the name the messages give
    std::string folder;  // where relative paths start; "" for the current folder
    ScenarioOptionCheck check = {};
};

std::variant<Scenario, ScenarioProblem> read_scenario(std::string_view bytes, const ScenarioSource& source);

}  // namespace vadrel
