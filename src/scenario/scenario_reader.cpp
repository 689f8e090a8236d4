#include "scenario_reader.h"

#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <sstream>

#include "model/utf8.h"
#include "scenario/event_reader.h"
#include "scenario/scenario_values.h"

namespace vadrel {

std::string ScenarioProblem::message() const {
    std::string text = file;
    if (place.line > 0) text += ":" + std::to_string(place.line);
    text += ": ";
    if (!key.empty()) text += key + ": ";
    return text + reason;
}

namespace {

// The file's structure before its values: refused at the first anchor or
// alias, past the depth, at a second document.
class Bounds : public YAML::EventHandler {
public:
    explicit Bounds(ScenarioReading& reading) : reading_(reading) {}
    void OnDocumentStart(const YAML::Mark& mark) override {
        if (++documents_ > 1) reading_.refuse(mark, "", "il file contiene più di un documento YAML");
    }
    void OnDocumentEnd() override {}
    void OnNull(const YAML::Mark& mark, YAML::anchor_t anchor) override { leaf(mark, anchor); }
    void OnAlias(const YAML::Mark& mark, YAML::anchor_t) override { no_anchors(mark); }
    void OnScalar(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor, const std::string&) override {
        leaf(mark, anchor);
    }
    void OnSequenceStart(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor,
                         YAML::EmitterStyle::value) override {
        open(mark, anchor);
    }
    void OnSequenceEnd() override { --depth_; }
    void OnMapStart(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor,
                    YAML::EmitterStyle::value) override {
        open(mark, anchor);
    }
    void OnMapEnd() override { --depth_; }

private:
    void leaf(const YAML::Mark& mark, YAML::anchor_t anchor) {
        if (anchor != YAML::NullAnchor) no_anchors(mark);
    }
    void open(const YAML::Mark& mark, YAML::anchor_t anchor) {
        leaf(mark, anchor);
        if (++depth_ > max_scenario_depth) {
            reading_.refuse(mark, "", "i valori sono annidati più di " + std::to_string(max_scenario_depth) + " livelli");
        }
    }
    void no_anchors(const YAML::Mark& mark) {
        reading_.refuse(mark, "", "ancore e alias (& e *) non valgono in uno scenario");
    }

    ScenarioReading& reading_;
    int documents_ = 0;
    int depth_ = 0;
};

// The command-line option a key of a group stands for.
std::string option_key(const std::string& group, const std::string& key) {
    if (group == "ais") return key == "attivi" ? "ais" : "ais_" + key;
    // pilota: {attivo, virata, declinazione, udp_ascolto}
    if (group == "pilota") return key == "attivo" ? "pilota" : key == "udp_ascolto" ? key : "pilota_" + key;
    return key;
}

// The arguments from `first` on belong to `group`.
void in_group(Scenario& scenario, std::size_t first, const std::string& group) {
    for (std::size_t i = first; i < scenario.arguments.size(); ++i) scenario.arguments[i].group = group;
}

void read_group(ScenarioReading& reading, const std::string& group, const YAML::Node& node, Scenario& scenario) {
    const std::size_t first = scenario.arguments.size();
    reading.for_each_key(node, group, [&](const std::string& key, const YAML::Node& value) {
        if (group == "ricevitore" && key == "guasti" && value.IsMap()) {
            scenario.arguments.push_back(reading.faults_argument(value));
        } else if (group == "ricevitore" && key == "ostacoli") {
            reading.obstructions(value, scenario.arguments);
        } else {
            reading.option(option_key(group, key), key, value, scenario.arguments);
        }
    });
    in_group(scenario, first, group);
}

void read_top(ScenarioReading& reading, const YAML::Node& root, Scenario& scenario) {
    static const std::set<std::string> not_here{"scenario", "help", "version", "durata_registro"};
    reading.for_each_key(root, "", [&](const std::string& key, const YAML::Node& value) {
        if (key == "inizio") {
            scenario.start_utc_ms = reading.instant(value, key);
        } else if (key == "seme") {
            scenario.seed = reading.seed(value, key);
        } else if (key == "velocita_tempo") {
            scenario.time_rate = reading.value(value, key, read_time_rate);
        } else if (key == "durata") {
            const double seconds = reading.value(value, key, read_scenario_seconds);
            if (seconds <= 0.0) reading.refuse(value.Mark(), key, "la durata vuole più di 0 secondi");
            scenario.duration = seconds;
        } else if (key == "mezzi" && value.IsSequence()) {
            const std::size_t first = scenario.arguments.size();
            for (const YAML::Node& item : value) reading.vehicle(item, scenario.arguments);
            in_group(scenario, first, key);
        } else if (key == "eventi") {
            read_events(reading, value, scenario.events);
        } else if (key == "ricevitore" || key == "uscite" || key == "ais" || key == "pilota") {
            read_group(reading, key, value, scenario);
        } else if (not_here.contains(key)) {
            reading.refuse(value.Mark(), key, "non vale in uno scenario");
        } else {
            reading.option(key, key, value, scenario.arguments);
        }
    });
}

// What the whole file must hold, once every key is read.
void check_whole(ScenarioReading& reading, Scenario& scenario) {
    for (const ScenarioEvent& event : scenario.events) {
        if (scenario.duration && event.at > *scenario.duration) {
            reading.refuse(event.place, "a",
                           "l'evento alle " + number_text(event.at) + " s viene dopo la durata dello scenario (" +
                               number_text(*scenario.duration) + " s)");
        }
        if (event.leap_second_utc_ms && scenario.start_utc_ms && *event.leap_second_utc_ms <= *scenario.start_utc_ms) {
            reading.refuse(event.place, "secondo_intercalare", "la data è prima dell'inizio dello scenario");
        }
    }
    std::stable_sort(scenario.events.begin(), scenario.events.end(),
                     [](const ScenarioEvent& a, const ScenarioEvent& b) { return a.at < b.at; });
}

void check_bytes(ScenarioReading& reading, std::string_view bytes) {
    if (bytes.size() > max_scenario_bytes) {
        reading.refuse(ScenarioPlace{}, "", "il file supera " + std::to_string(max_scenario_bytes / 1024) + " KiB");
    }
    if (const std::size_t nul = bytes.find('\0'); nul != std::string_view::npos) {
        const auto line = 1 + std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(nul), '\n');
        reading.refuse(ScenarioPlace{static_cast<int>(line), 0}, "", "il file contiene un byte NUL (non è testo)");
    }
    if (!is_utf8(bytes)) reading.refuse(ScenarioPlace{}, "", "il file non è testo UTF-8");
}

}  // namespace

std::variant<Scenario, ScenarioProblem> read_scenario(std::string_view bytes, const ScenarioSource& source) {
    ScenarioReading reading(source);
    Scenario scenario;
    scenario.file = source.file;
    try {
        check_bytes(reading, bytes);
        const std::string text(bytes);
        {
            std::istringstream stream(text);
            YAML::Parser parser(stream);
            Bounds bounds(reading);
            while (parser.HandleNextDocument(bounds)) {
            }
        }
        const YAML::Node root = YAML::Load(text);
        if (!root.IsMap()) {
            reading.refuse(root.IsDefined() && !root.IsNull() ? root.Mark() : YAML::Mark::null_mark(), "",
                           "il file non contiene uno scenario (chiavi e valori)");
        }
        read_top(reading, root, scenario);
        check_whole(reading, scenario);
    } catch (const ScenarioRefused& refused) {
        return refused.problem;
    } catch (const YAML::Exception& error) {
        return reading.problem_at(error.mark, "", "YAML non valido (" + error.msg + ")");
    }
    return scenario;
}

}  // namespace vadrel
