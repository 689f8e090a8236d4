#pragma once
// The routes a scenario's events give, read with the scenario (before
// anything of it is played), each file once however many events name it:
// a file that cannot be read, a route it does not have or one that cannot
// be followed as asked refuses the scenario at the event's `percorso`.
//
//   if (auto problem = read_event_routes(scenario)) ... problem->message();
//       // s.yaml:12: percorso: giro.gpx: riga 3, colonna 7: ...

#include <optional>

#include "scenario/scenario.h"
#include "scenario/scenario_reader.h"

namespace vadrel {

std::optional<ScenarioProblem> read_event_routes(Scenario& scenario);

}  // namespace vadrel
