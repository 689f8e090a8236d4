#pragma once
// The start of a run with a scenario (--scenario FILE): the file read and
// every key checked before anything opens, its settings as options under
// the command line's.
//
//   auto start = start_scenario("/home/a/s.yaml", args);
//   if (auto* why = std::get_if<std::string>(&start)) ...  // s.yaml:5: velocita: ...; exit 2

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/options.h"
#include "scenario/scenario.h"
#include "scenario/scenario_reader.h"

namespace vadrel {

struct ScenarioStart {
    Options options;
    Scenario scenario;
};

// `path` as --scenario gave it (absolute), `args` the command line.
std::variant<ScenarioStart, std::string> start_scenario(const std::string& path, const std::vector<std::string>& args);

// Whether the command line takes this setting of a scenario: nothing when
// it does, else why not ("chiave sconosciuta" for a key no option has).
std::optional<std::string> scenario_option_problem(const ScenarioArgument& argument);

// A scenario sent to the running program (PUT /api/v1/scenario): only the
// settings a running program can change (the mode and its cycle, the
// vehicles, the receiver, the AIS targets), paths taken against the current
// folder (the program's) unless `folder` is given. The refusal places the
// problem in the bytes. Touches nothing but its arguments: runs on any thread.
std::variant<ScenarioStart, ScenarioProblem> read_running_scenario(std::string_view bytes,
                                                                   const std::string& file = "scenario",
                                                                   const std::string& folder = "");
// The same from a file the window opens: a regular file only, its paths
// taken against its own folder, its refusals naming it (s.yaml:5: ...).
std::variant<ScenarioStart, ScenarioProblem> read_running_scenario_file(const std::string& path);

}  // namespace vadrel
