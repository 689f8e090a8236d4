#pragma once
// One reading of a scenario file: the checks each key's value goes
// through, and the refusal that stops the reading at the first problem,
// placed at its line with its key. Used by the reader's parts
// (scenario_reader.cpp, event_reader.cpp), not outside them.

#include <yaml-cpp/yaml.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "scenario/scenario_reader.h"

namespace vadrel {

// Thrown by ScenarioReading::refuse, caught by read_scenario.
struct ScenarioRefused {
    ScenarioProblem problem;
};

class ScenarioReading {
public:
    explicit ScenarioReading(const ScenarioSource& source) : source_(source) {}

    ScenarioPlace place(const YAML::Mark& mark) const;
    ScenarioProblem problem_at(const YAML::Mark& mark, const std::string& key, const std::string& reason) const;
    [[noreturn]] void refuse(const YAML::Mark& mark, const std::string& key, const std::string& reason) const;
    [[noreturn]] void refuse(const ScenarioPlace& place, const std::string& key, const std::string& reason) const;

    // Each key of a map in file order, each once; `what` names the map
    // for a refusal of the map itself ("" for the file).
    void for_each_key(const YAML::Node& node, const std::string& what,
                      const std::function<void(const std::string&, const YAML::Node&)>& each) const;
    // The text of a plain value (a number, a word, a quoted text).
    std::string scalar(const YAML::Node& node, const std::string& key) const;
    // true or false (also si/no, yes/no, on/off) written without quotes.
    static std::optional<bool> flag(const YAML::Node& node);

    template <typename T>
    T value(const YAML::Node& node, const std::string& key,
            std::variant<T, std::string> (*read)(std::string_view)) const {
        auto read_value = read(scalar(node, key));
        if (auto* problem = std::get_if<std::string>(&read_value)) refuse(node.Mark(), key, *problem);
        return std::get<T>(read_value);
    }
    std::int64_t instant(const YAML::Node& node, const std::string& key) const;
    std::uint64_t seed(const YAML::Node& node, const std::string& key) const;
    long whole(const YAML::Node& node, const std::string& key, long lowest, long highest) const;

    // The option `name` (a key, "_" for "-") with this value: a plain value,
    // true or false, or a list of plain values (the option once for each).
    void option(const std::string& name, const std::string& key, const YAML::Node& node,
                std::vector<ScenarioArgument>& arguments) const;
    // ricevitore: {guasti: {perdita: 0.1, seme: 7, perdita_fix: 30/300}}.
    ScenarioArgument faults_argument(const YAML::Node& node) const;
    // ricevitore: {ostacoli: "200-340:40,0-30:15"} or a list of them.
    void obstructions(const YAML::Node& node, std::vector<ScenarioArgument>& arguments) const;
    // One of mezzi: {numero, posizione, rotta, velocita, percorso}.
    void vehicle(const YAML::Node& node, std::vector<ScenarioArgument>& arguments) const;
    // A path of the file, taken against the scenario's folder.
    std::string path(const std::string& text) const;
    // A route as --percorso takes it ("3=/prove/giro.gpx,fine=ciclo"), from
    // `{file: giro.gpx, fine: ciclo}` or the text after "N=".
    std::string route_argument(std::size_t vehicle, const YAML::Node& node) const;

private:
    void add(ScenarioArgument argument, std::vector<ScenarioArgument>& arguments) const;

    const ScenarioSource& source_;
};

}  // namespace vadrel
