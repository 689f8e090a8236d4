// The program's set-piece AIS situations: encounters placed on the fleet,
// buoys and a SART on the air.

#include <algorithm>

#include "model/numbers.h"
#include "program.h"

namespace vadrel {

std::vector<std::string> Program::make_targets(std::size_t vehicles, const void* origin) {
    std::vector<std::string> done;
    if (!ais_.value().enabled) {
        AisSettings on = ais_.value();
        on.enabled = true;
        ais_.set_for_run(on, origin);
        done.emplace_back("bersagli AIS attivi per questa esecuzione");
    }
    if (fleet_.cycle() < static_cast<int>(vehicles)) {
        fleet_.set_cycle(static_cast<int>(vehicles), origin);
        done.push_back("\"Numero di mezzi mobili\" portato a " + std::to_string(vehicles));
    }
    if (fleet_.mode() == Mode::multi_user) done.emplace_back("nel modo multi i bersagli AIS non si inviano");
    return done;
}

std::variant<std::vector<std::string>, Refusal> Program::place_encounter(const EncounterAsk& ask,
                                                                         const void* origin) {
    if (!vehicle_exists(ask.vehicle)) return Refusal{"mezzo", "il mezzo è un numero " + vehicle_range()};
    const std::size_t own = fleet_.current();
    const auto placed = vadrel::place_encounter(fleet_.vehicle(own), own, fleet_.vehicle(ask.vehicle), ask);
    if (const auto* bad = std::get_if<Refusal>(&placed)) return *bad;
    std::vector<std::string> done = make_targets(std::max<std::size_t>(ask.vehicle + 1, own + 1), origin);
    const Vehicle& at = std::get<Vehicle>(placed);
    if (auto bad = fleet_.place(ask.vehicle, at.lat, at.lon, origin)) return *bad;
    encounter_targets_.set(ask.vehicle);
    done.push_back("il mezzo " + std::to_string(ask.vehicle) + " passa a " + shortest_text(ask.cpa_miles) +
                   " miglia sulla " + (ask.side == Side::starboard ? "dritta" : "sinistra") + " del mezzo " +
                   std::to_string(own) + " tra " + shortest_text(ask.tcpa_minutes) + " minuti");
    return done;
}

std::variant<std::vector<std::string>, Refusal> Program::set_stations(const StationsOnAir& stations,
                                                                      const void* origin) {
    if (auto bad = stations_problem(stations)) return *bad;
    fixed_stations_.set(stations.buoys, stations.sart);
    std::vector<std::string> done;
    if (!fixed_stations_.empty()) done = make_targets(0, origin);
    done.push_back(std::to_string(stations.buoys.size()) + (stations.buoys.size() == 1 ? " boa" : " boe") +
                   (stations.sart ? ", il SART in prova acceso" : ", nessun SART"));
    return done;
}

void Program::start_encounters() {
    fixed_stations_.set(options_.ais_buoys, options_.ais_sart);
    std::vector<std::string> done;
    if (!fixed_stations_.empty()) done = make_targets(0, this);
    // An encounter is judged from the own ship's $GPRMC: its speed and
    // course must be the real ones, unless the command line said otherwise.
    if (!options_.encounters.empty() && !receiver_.value().real_motion && !options_.real_motion) {
        ReceiverOptions real = receiver_.value();
        real.real_motion = true;
        receiver_.set_for_run(real, this);
        done.emplace_back("--incontro: il $GPRMC con la velocità e la rotta reali (--moto-reale) per questa esecuzione");
    }
    for (const EncounterAsk& ask : options_.encounters) {
        const auto placed = place_encounter(ask, this);
        if (const auto* bad = std::get_if<Refusal>(&placed)) {
            say("vadrel: --incontro " + std::to_string(ask.vehicle) + ": " + bad->reason);
            continue;
        }
        const auto& lines = std::get<std::vector<std::string>>(placed);
        done.insert(done.end(), lines.begin(), lines.end());
    }
    for (const std::string& line : done) say("vadrel: " + line);
}

}  // namespace vadrel
