#pragma once
// A scenario as read from its file: what the run starts with and the events
// at their seconds. Plain values, no Qt; read_scenario (scenario_reader.h)
// makes them, the program and the timeline use them.
//
//   inizio: 2016-12-31T23:59:50Z
//   seme: 7
//   durata: 3600
//   ricevitore: {utc: true}
//   eventi:
//     - {a: 5, fix: perso}
//
//   -> start_utc_ms 1483228790000, seed 7, duration 3600,
//      arguments {{"--utc"}, line 4}, events {{5 s, line 7, fix_lost true}}

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fleet/vehicle.h"
#include "routes/route.h"
#include "routes/route_text.h"

namespace vadrel {

// Where a value stands in the file: lines and columns from 1.
struct ScenarioPlace {
    int line = 0;
    int column = 0;
    bool operator==(const ScenarioPlace&) const = default;
};

// One setting of the start as the command line says it ({"--tcp",
// "127.0.0.1:10110"}, {"--utc"}, {"--utc=no"}), with the key that gave it
// ("tcp"), the group that holds the key ("uscite"; "" at the top) and its
// place: the program checks it with its own option table and refuses it
// there with the place.
struct ScenarioArgument {
    std::vector<std::string> words;
    std::string key;
    ScenarioPlace place;
    std::string group = {};
    // "uscite.tcp", or the key alone at the top.
    std::string name() const { return group.empty() ? key : group + "." + key; }
    bool operator==(const ScenarioArgument&) const = default;
};

// A change of one vehicle's fields, each checked by the fleet's rules when
// read: a position as "Vai a posizione" reads it (a jump), the course, the
// speed in its unit.
struct VehicleChange {
    std::size_t vehicle = 0;
    std::optional<std::string> position;
    std::optional<double> course;
    std::optional<double> speed;
    std::optional<SpeedUnit> unit;
    bool operator==(const VehicleChange&) const = default;
};

// Spoofing: the position sent moves away from the true one at this speed
// and course; the speed and course sent stay the true ones.
struct Drift {
    double metres_per_second = 0.0;
    double course = 0.0;  // degrees
    bool operator==(const Drift&) const = default;
};

struct ScenarioEvent {
    double at = 0.0;  // simulated seconds from the start
    ScenarioPlace place;
    std::optional<bool> fix_lost;              // fix: perso (true) | ripreso (false)
    std::optional<VehicleChange> vehicle;      // mezzo: N with its fields
    std::optional<Drift> drift;                // deriva: {...}; metres_per_second 0 ends it
    std::optional<double> jamming_seconds;     // disturbo: {durata: S}
    std::optional<int> gps_week_offset;        // settimana_gps: -1024
    std::optional<std::int64_t> leap_second_utc_ms;  // secondo_intercalare: the end of that day
    // percorso: the route vehicle `route->vehicle` follows from this second,
    // as --percorso names it (the file against the scenario's folder); the
    // route itself, read and checked with the file (read_event_routes).
    std::optional<RouteArgument> route;
    ScenarioPlace route_place;
    std::shared_ptr<const Route> route_read;
    // What the event does, in Italian, for the monitor and the control
    // interface: "fix perso", "mezzo 0: velocità 50 km/h, rotta 180".
    std::string text;
    bool operator==(const ScenarioEvent&) const = default;
};

struct Scenario {
    std::string file;                          // as given, for messages
    std::optional<std::int64_t> start_utc_ms;  // inizio; nothing: now
    std::optional<std::uint64_t> seed;         // seme
    std::optional<double> time_rate;           // velocita_tempo; 0: as fast as the outputs take
    std::optional<double> duration;            // durata, simulated seconds
    std::vector<ScenarioArgument> arguments;   // the start's settings, in file order
    std::vector<ScenarioEvent> events;         // in time order (file order within a second)
    bool operator==(const Scenario&) const = default;
};

}  // namespace vadrel
