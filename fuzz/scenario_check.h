#pragma once
// What must hold for any bytes read as a scenario: a refusal names the file
// and a reason in UTF-8, at a line the file has; a scenario read has its
// events in time order, within its duration and the bounds, each with what
// it does, and every setting as an option's words. The same bytes read
// twice give the same. Shared by the fuzzer and the corpus test.

#include <algorithm>
#include <string>
#include <string_view>
#include <variant>

#include "model/utf8.h"
#include "scenario/scenario_reader.h"
#include "scenario/scenario_values.h"

namespace vadrel::fuzzing {

inline std::string check_problem(const ScenarioProblem& problem, std::string_view bytes) {
    if (problem.file != "f.yaml" || problem.reason.empty()) return "a refusal without its file or reason";
    if (!is_utf8(problem.message())) return "a refusal not in UTF-8";
    const auto lines = std::count(bytes.begin(), bytes.end(), '\n') + 1;
    if (problem.place.line < 0 || problem.place.line > lines) return "a refusal past the file's lines";
    return {};
}

inline std::string check_events(const Scenario& scenario) {
    if (scenario.events.size() > max_scenario_events) return "more events than the bound";
    double last = 0.0;
    for (const ScenarioEvent& event : scenario.events) {
        if (!(event.at >= last) || event.at > longest_scenario) return "events out of order or range";
        if (scenario.duration && event.at > *scenario.duration) return "an event after the duration";
        if (event.text.empty() || event.place.line < 1) return "an event without its text or place";
        last = event.at;
    }
    return {};
}

inline std::string check_scenario(std::string_view bytes) {
    const ScenarioSource source{"f.yaml", "/cartella", {}};
    const auto read = read_scenario(bytes, source);
    if (read_scenario(bytes, source) != read) return "the same bytes read otherwise";
    if (const auto* problem = std::get_if<ScenarioProblem>(&read)) return check_problem(*problem, bytes);
    const Scenario& scenario = std::get<Scenario>(read);
    if (bytes.size() > max_scenario_bytes) return "a file past the size read";
    if (scenario.duration && !(*scenario.duration > 0.0 && *scenario.duration <= longest_scenario)) {
        return "a duration out of range";
    }
    if (scenario.time_rate && !(*scenario.time_rate == 0.0 || (*scenario.time_rate >= slowest_time_rate &&
                                                               *scenario.time_rate <= fastest_time_rate))) {
        return "a time rate out of range";
    }
    for (const ScenarioArgument& argument : scenario.arguments) {
        if (argument.words.empty() || argument.words.front().rfind("--", 0) != 0) return "a setting that is no option";
    }
    return check_events(scenario);
}

}  // namespace vadrel::fuzzing
