#pragma once
// The events of a scenario, "eventi:", one map each:
//
//   - a: 5                        # seconds from the start, or "00:10:00"
//     fix: perso                  # perso | ripreso
//   - {a: 12, mezzo: 0, velocita: 50 km/h, rotta: 180, posizione: "45 30 0 N 9 12 0 E"}
//   - {a: 16, deriva: {metri_al_secondo: 10, rotta: 0}}   # 0 m/s ends it
//   - {a: 20, disturbo: {durata: 30}}
//   - {a: 24, settimana_gps: -1024}
//   - {a: 30, secondo_intercalare: 2016-12-31}
//
// An event may do several of these at once; every value is checked as the
// fleet and the receiver will take it.

#include <vector>

#include "scenario/scenario.h"
#include "scenario/scenario_reading.h"

namespace vadrel {

void read_events(ScenarioReading& reading, const YAML::Node& node, std::vector<ScenarioEvent>& events);

}  // namespace vadrel
