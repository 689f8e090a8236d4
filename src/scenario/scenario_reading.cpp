#include "scenario_reading.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <set>

#include "fleet/fleet.h"
#include "motion/position_text.h"
#include "routes/iso_time.h"
#include "routes/route_text.h"
#include "scenario/scenario_values.h"

namespace vadrel {

namespace {

// The options whose value is a file of this machine.
bool names_a_file(const std::string& name) {
    static const std::set<std::string> files{"registra", "traccia", "riproduci", "cartella", "flotta"};
    return files.contains(name);
}

std::string dashed(std::string name) {
    std::replace(name.begin(), name.end(), '_', '-');
    return "--" + name;
}

}  // namespace

ScenarioPlace ScenarioReading::place(const YAML::Mark& mark) const {
    if (mark.is_null()) return {};
    return {mark.line + 1, mark.column + 1};
}

ScenarioProblem ScenarioReading::problem_at(const YAML::Mark& mark, const std::string& key,
                                            const std::string& reason) const {
    return {source_.file, place(mark), key, reason};
}

void ScenarioReading::refuse(const YAML::Mark& mark, const std::string& key, const std::string& reason) const {
    throw ScenarioRefused{problem_at(mark, key, reason)};
}

void ScenarioReading::refuse(const ScenarioPlace& where, const std::string& key, const std::string& reason) const {
    throw ScenarioRefused{{source_.file, where, key, reason}};
}

void ScenarioReading::for_each_key(const YAML::Node& node, const std::string& what,
                                   const std::function<void(const std::string&, const YAML::Node&)>& each) const {
    if (node.IsNull() && !what.empty()) return;
    if (!node.IsMap()) refuse(node.Mark(), what, "vuole chiavi e valori ({chiave: valore})");
    std::set<std::string> seen;
    for (auto item = node.begin(); item != node.end(); ++item) {
        // Copies: the iterator's pair is a temporary of its own.
        const YAML::Node key = item->first;
        const YAML::Node value = item->second;
        if (!key.IsScalar()) refuse(key.Mark(), what, "una chiave vuole un nome semplice");
        const std::string name = key.Scalar();
        if (!seen.insert(name).second) refuse(key.Mark(), name, "la chiave è data due volte");
        each(name, value);
    }
}

std::string ScenarioReading::scalar(const YAML::Node& node, const std::string& key) const {
    if (!node.IsScalar()) refuse(node.Mark(), key, "vuole un valore semplice (un numero o un testo)");
    return node.Scalar();
}

std::optional<bool> ScenarioReading::flag(const YAML::Node& node) {
    if (!node.IsScalar() || node.Tag() == "!") return std::nullopt;
    static const std::set<std::string> yes{"true", "True", "TRUE", "si", "sì", "yes", "on"};
    static const std::set<std::string> no{"false", "False", "FALSE", "no", "off"};
    if (yes.contains(node.Scalar())) return true;
    if (no.contains(node.Scalar())) return false;
    return std::nullopt;
}

std::int64_t ScenarioReading::instant(const YAML::Node& node, const std::string& key) const {
    const std::string text = scalar(node, key);
    const auto ms = read_iso_time(text);
    if (!ms) refuse(node.Mark(), key, "\"" + text + "\" non è un istante ISO 8601 (2016-12-31T23:59:50Z)");
    return *ms;
}

std::uint64_t ScenarioReading::seed(const YAML::Node& node, const std::string& key) const {
    const std::string text = scalar(node, key);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        refuse(node.Mark(), key, "\"" + text + "\" non è un numero intero da 0 a 18446744073709551615");
    }
    return value;
}

long ScenarioReading::whole(const YAML::Node& node, const std::string& key, long lowest, long highest) const {
    const std::string text = scalar(node, key);
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < lowest ||
        value > highest) {
        refuse(node.Mark(), key,
               "\"" + text + "\" non è un numero intero da " + std::to_string(lowest) + " a " + std::to_string(highest));
    }
    return value;
}

std::string ScenarioReading::path(const std::string& text) const {
    const std::filesystem::path given(text);
    if (given.is_absolute() || source_.folder.empty()) return text;
    return (std::filesystem::path(source_.folder) / given).lexically_normal().string();
}

void ScenarioReading::add(ScenarioArgument argument, std::vector<ScenarioArgument>& arguments) const {
    if (source_.check) {
        if (auto problem = source_.check(argument)) {
            refuse(ScenarioPlace(argument.place), argument.key, *problem);
        }
    }
    arguments.push_back(std::move(argument));
}

void ScenarioReading::option(const std::string& name, const std::string& key, const YAML::Node& node,
                             std::vector<ScenarioArgument>& arguments) const {
    const std::string option = dashed(name);
    if (node.IsSequence()) {
        for (const YAML::Node& item : node) {
            std::string text = scalar(item, key);
            add({{option, names_a_file(name) ? path(text) : text}, key, place(item.Mark())}, arguments);
        }
        return;
    }
    if (const auto on = flag(node)) {
        add({{*on ? option : option + "=no"}, key, place(node.Mark())}, arguments);
        return;
    }
    std::string text = scalar(node, key);
    if (name == "percorso") text = route_argument(0, node);
    add({{option, names_a_file(name) ? path(text) : text}, key, place(node.Mark())}, arguments);
}

ScenarioArgument ScenarioReading::faults_argument(const YAML::Node& node) const {
    std::string list;
    for_each_key(node, "guasti", [&](const std::string& key, const YAML::Node& value) {
        std::string name = key;
        std::replace(name.begin(), name.end(), '_', '-');
        list += (list.empty() ? "" : ",") + name + "=" + scalar(value, key);
    });
    if (list.empty()) refuse(node.Mark(), "guasti", "manca almeno un guasto (perdita, checksum, tronca, perdita_fix)");
    ScenarioArgument argument{{"--guasti", list}, "guasti", place(node.Mark())};
    std::vector<ScenarioArgument> checked;
    add(argument, checked);
    return argument;
}

void ScenarioReading::obstructions(const YAML::Node& node, std::vector<ScenarioArgument>& arguments) const {
    std::vector<YAML::Node> items;
    if (node.IsSequence()) {
        for (const YAML::Node& item : node) items.push_back(item);
    } else {
        items.push_back(node);
    }
    add({{"--ostacolo", "no"}, "ostacoli", place(node.Mark())}, arguments);
    for (const YAML::Node& item : items) {
        const std::string text = scalar(item, "ostacoli");
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find(',', start);
            if (end == std::string::npos) end = text.size();
            add({{"--ostacolo", text.substr(start, end - start)}, "ostacoli", place(item.Mark())}, arguments);
            start = end + 1;
        }
    }
}

std::string ScenarioReading::route_argument(std::size_t vehicle, const YAML::Node& node) const {
    std::string text;
    if (node.IsScalar()) {
        text = node.Scalar();
        // The text after "N=" (its options may hold "=" too), or with it.
        const std::size_t digits = text.find_first_not_of("0123456789");
        if (digits == 0 || digits == std::string::npos || text[digits] != '=') {
            text = std::to_string(vehicle) + "=" + text;
        }
    } else {
        std::string file;
        std::string rest;
        for_each_key(node, "percorso", [&](const std::string& key, const YAML::Node& value) {
            if (key == "file") {
                file = scalar(value, key);
            } else if (key == "nome" || key == "fine" || key == "ritmo" || key == "virata" || key == "da") {
                rest += "," + key + "=" + scalar(value, key);
            } else {
                refuse(value.Mark(), key, "chiave sconosciuta (valgono file, nome, fine, ritmo, virata e da)");
            }
        });
        if (file.empty()) refuse(node.Mark(), "percorso", "manca il file");
        text = std::to_string(vehicle) + "=" + file + rest;
    }
    auto read = read_route_argument(text);
    if (auto* problem = std::get_if<std::string>(&read)) refuse(node.Mark(), "percorso", *problem);
    const RouteArgument& route = std::get<RouteArgument>(read);
    const std::size_t file_start = text.find('=') + 1;
    return text.substr(0, file_start) + path(route.file) + text.substr(file_start + route.file.size());
}

void ScenarioReading::vehicle(const YAML::Node& node, std::vector<ScenarioArgument>& arguments) const {
    if (!node.IsMap()) refuse(node.Mark(), "mezzi", "ogni mezzo vuole chiavi e valori ({numero: 0, ...})");
    const YAML::Node number = node["numero"];
    if (!number) refuse(node.Mark(), "mezzi", "manca il numero del mezzo (numero: da 0 a 20)");
    const long n = whole(number, "numero", 0, static_cast<long>(fleet_size) - 1);
    const std::string prefix = std::to_string(n) + "=";
    for_each_key(node, "mezzi", [&](const std::string& key, const YAML::Node& value) {
        const ScenarioPlace at = place(value.Mark());
        if (key == "numero") return;
        if (key == "posizione") {
            const std::string text = scalar(value, key);
            auto read = read_position(text);
            if (auto* problem = std::get_if<std::string>(&read)) refuse(value.Mark(), key, *problem);
            add({{"--mezzo", prefix + text}, key, at}, arguments);
        } else if (key == "rotta") {
            const std::string text = scalar(value, key);
            const auto degrees = scenario_number(text);
            if (!degrees) refuse(value.Mark(), key, "\"" + text + "\" non è una rotta (da 0 a 360 gradi)");
            if (auto problem = course_problem(*degrees)) refuse(value.Mark(), key, problem->reason);
            add({{"--rotta", prefix + number_text(*degrees)}, key, at}, arguments);
        } else if (key == "velocita") {
            const ScenarioSpeed speed = this->value(value, key, read_scenario_speed);
            const char* unit = !speed.unit ? "" : *speed.unit == SpeedUnit::knots ? "nodi" : "km/h";
            add({{"--velocita-mezzo", prefix + number_text(speed.value) + unit}, key, at}, arguments);
        } else if (key == "percorso") {
            add({{"--percorso", route_argument(static_cast<std::size_t>(n), value)}, key, at}, arguments);
        } else {
            refuse(value.Mark(), key, "chiave sconosciuta (valgono numero, posizione, rotta, velocita e percorso)");
        }
    });
}

}  // namespace vadrel
