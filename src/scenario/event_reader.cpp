#include "event_reader.h"

#include <filesystem>

#include "fleet/fleet.h"
#include "motion/position_text.h"
#include "scenario/scenario_values.h"

namespace vadrel {

namespace {

// The largest GPS week offset a receiver's fault may have: eight rollovers.
constexpr long largest_week_offset = 8192;

void append(std::string& text, const std::string& part) { text += (text.empty() ? "" : ", ") + part; }

double course_of(const ScenarioReading& reading, const YAML::Node& node, const std::string& key) {
    const std::string text = reading.scalar(node, key);
    const auto degrees = scenario_number(text);
    if (!degrees) reading.refuse(node.Mark(), key, "\"" + text + "\" non è una rotta (da 0 a 360 gradi)");
    if (auto problem = course_problem(*degrees)) reading.refuse(node.Mark(), key, problem->reason);
    return *degrees;
}

Drift drift_of(const ScenarioReading& reading, const YAML::Node& node) {
    Drift drift;
    bool speed = false;
    reading.for_each_key(node, "deriva", [&](const std::string& key, const YAML::Node& value) {
        if (key == "metri_al_secondo") {
            const std::string text = reading.scalar(value, key);
            const auto metres = scenario_number(text);
            if (!metres || *metres < 0.0 || *metres > 1000.0) {
                reading.refuse(value.Mark(), key, "\"" + text + "\" non è una velocità da 0 a 1000 m/s");
            }
            drift.metres_per_second = *metres;
            speed = true;
        } else if (key == "rotta") {
            drift.course = course_of(reading, value, key);
        } else {
            reading.refuse(value.Mark(), key, "chiave sconosciuta (valgono metri_al_secondo e rotta)");
        }
    });
    if (!speed) reading.refuse(node.Mark(), "deriva", "manca metri_al_secondo");
    return drift;
}

double jamming_of(const ScenarioReading& reading, const YAML::Node& node) {
    std::optional<double> seconds;
    reading.for_each_key(node, "disturbo", [&](const std::string& key, const YAML::Node& value) {
        if (key != "durata") reading.refuse(value.Mark(), key, "chiave sconosciuta (vale durata)");
        seconds = reading.value(value, key, read_scenario_seconds);
        if (*seconds <= 0.0) reading.refuse(value.Mark(), key, "la durata vuole più di 0 secondi");
    });
    if (!seconds) reading.refuse(node.Mark(), "disturbo", "manca la durata");
    return *seconds;
}

// The fields of a vehicle's change, checked by the fleet's rules.
bool vehicle_field(const ScenarioReading& reading, const std::string& key, const YAML::Node& value,
                   VehicleChange& change, std::string& text) {
    if (key == "posizione") {
        const std::string position = reading.scalar(value, key);
        auto read = read_position(position);
        if (auto* problem = std::get_if<std::string>(&read)) reading.refuse(value.Mark(), key, *problem);
        change.position = position;
        append(text, "posizione " + position);
    } else if (key == "rotta") {
        change.course = course_of(reading, value, key);
        append(text, "rotta " + number_text(*change.course));
    } else if (key == "velocita") {
        const ScenarioSpeed speed = reading.value(value, key, read_scenario_speed);
        change.speed = speed.value;
        change.unit = speed.unit;
        const char* unit = !speed.unit ? "" : *speed.unit == SpeedUnit::knots ? " nodi" : " km/h";
        append(text, "velocità " + number_text(speed.value) + unit);
    } else {
        return false;
    }
    return true;
}

ScenarioEvent event_of(const ScenarioReading& reading, const YAML::Node& node) {
    if (!node.IsMap()) reading.refuse(node.Mark(), "eventi", "ogni evento vuole chiavi e valori ({a: 5, ...})");
    ScenarioEvent event;
    event.place = reading.place(node.Mark());
    VehicleChange change;
    std::string fields;
    bool at = false;
    bool vehicle = false;
    reading.for_each_key(node, "eventi", [&](const std::string& key, const YAML::Node& value) {
        if (key == "a") {
            event.at = reading.value(value, key, read_scenario_seconds);
            at = true;
        } else if (key == "fix") {
            const std::string word = reading.scalar(value, key);
            if (word != "perso" && word != "ripreso") reading.refuse(value.Mark(), key, "vuole perso o ripreso");
            event.fix_lost = word == "perso";
            append(event.text, "fix " + word);
        } else if (key == "mezzo") {
            change.vehicle = static_cast<std::size_t>(reading.whole(value, key, 0, static_cast<long>(fleet_size) - 1));
            vehicle = true;
        } else if (key == "percorso") {
            auto read = read_route_argument(reading.route_argument(0, value));
            event.route = std::get<RouteArgument>(read);  // checked by route_argument
            event.route_place = reading.place(value.Mark());
        } else if (vehicle_field(reading, key, value, change, fields)) {
        } else if (key == "deriva") {
            event.drift = drift_of(reading, value);
            append(event.text, event.drift->metres_per_second > 0.0
                                   ? "deriva " + number_text(event.drift->metres_per_second) + " m/s verso " +
                                         number_text(event.drift->course)
                                   : "fine della deriva");
        } else if (key == "disturbo") {
            event.jamming_seconds = jamming_of(reading, value);
            append(event.text, "disturbo per " + number_text(*event.jamming_seconds) + " s");
        } else if (key == "settimana_gps") {
            event.gps_week_offset = static_cast<int>(reading.whole(value, key, -largest_week_offset, largest_week_offset));
            append(event.text, "settimana GPS " + std::to_string(*event.gps_week_offset));
        } else if (key == "secondo_intercalare") {
            event.leap_second_utc_ms = reading.value(value, key, read_leap_second_day);
            append(event.text, "secondo intercalare alla fine del " + reading.scalar(value, key));
        } else {
            reading.refuse(value.Mark(), key, "chiave sconosciuta in un evento");
        }
    });
    if (!at) reading.refuse(node.Mark(), "a", "manca il secondo dell'evento (a: secondi dall'inizio)");
    if (event.route) {
        event.route->vehicle = change.vehicle;
        const std::string options = options_text(event.route->request.options);
        append(fields, "percorso " + std::filesystem::path(event.route->file).filename().string() +
                           (options.empty() ? "" : " (" + options + ")"));
    }
    if (!fields.empty() && !vehicle) reading.refuse(node.Mark(), "mezzo", "manca il numero del mezzo a cui cambiare " + fields);
    if (vehicle) {
        if (fields.empty()) reading.refuse(node.Mark(), "mezzo", "manca che cosa cambia del mezzo");
        if (change.position || change.course || change.speed) event.vehicle = change;
        append(event.text, "mezzo " + std::to_string(change.vehicle) + ": " + fields);
    }
    if (event.text.empty()) reading.refuse(node.Mark(), "eventi", "l'evento non dice che cosa accade");
    return event;
}

}  // namespace

void read_events(ScenarioReading& reading, const YAML::Node& node, std::vector<ScenarioEvent>& events) {
    if (node.IsNull()) return;
    if (!node.IsSequence()) reading.refuse(node.Mark(), "eventi", "vuole un elenco di eventi (- a: ...)");
    for (const YAML::Node& item : node) {
        if (events.size() == max_scenario_events) {
            reading.refuse(item.Mark(), "eventi", "più di " + std::to_string(max_scenario_events) + " eventi");
        }
        events.push_back(event_of(reading, item));
    }
}

}  // namespace vadrel
