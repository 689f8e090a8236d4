#include "scenario_start.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "os/descriptor.h"
#include "os/system_error.h"
#include "scenario/event_routes.h"
#include "scenario/scenario_reader.h"

namespace vadrel {

namespace {

// The file's bytes, at most one more than a scenario may have: a regular
// file only (a FIFO or a device would hold the start), opened without
// waiting.
struct FileBytes {
    std::string bytes;
    std::string problem;  // why not, "" when read
};

FileBytes file_bytes(const std::string& path) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.valid()) return {{}, italian_reason(errno)};
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) return {{}, italian_reason(errno)};
    if (!S_ISREG(status.st_mode)) return {{}, "non è un file normale"};
    std::string bytes;
    char buffer[65536];
    while (bytes.size() <= max_scenario_bytes) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return {{}, italian_reason(errno)};
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return {bytes, {}};
}

}  // namespace

namespace {

// The words as the command line takes them: false for an option that takes
// a value is its "no" (--tcp no), for a switch its "=no" (--utc=no).
std::vector<std::string> option_words(const ScenarioArgument& argument) {
    const std::string& first = argument.words.front();
    if (argument.words.size() == 1 && first.ends_with("=no") &&
        std::holds_alternative<std::string>(parse_options(argument.words))) {
        return {first.substr(0, first.size() - 3), "no"};
    }
    return argument.words;
}

// The scenario's settings, then `after` (the command line's, which win).
std::variant<Options, std::string> options_of(const Scenario& scenario, const std::vector<std::string>& after) {
    std::vector<std::string> words;
    for (const ScenarioArgument& argument : scenario.arguments) {
        const std::vector<std::string> taken = option_words(argument);
        words.insert(words.end(), taken.begin(), taken.end());
    }
    words.insert(words.end(), after.begin(), after.end());
    return parse_options(words);
}

}  // namespace

std::optional<std::string> scenario_option_problem(const ScenarioArgument& argument) {
    const auto parsed = parse_options(option_words(argument));
    const auto* problem = std::get_if<std::string>(&parsed);
    if (problem == nullptr) return std::nullopt;
    if (problem->starts_with("opzione sconosciuta")) return "chiave sconosciuta";
    return *problem;
}

namespace {

// The options a running program takes from a scenario, each through the
// change the control interface makes (ProgramControl::apply_scenario).
bool changes_while_running(const std::string& option) {
    static const std::set<std::string> running{
        "--modo", "--mezzi", "--mezzo", "--rotta", "--velocita-mezzo", "--ais", "--ais-nave-propria",
        "--ais-statici-subito", "--ricevitore", "--utc", "--moto-reale", "--frasi", "--quota", "--senza-fix",
        "--guasti", "--satelliti", "--maschera", "--ostacolo", "--rumore", "--frequenza", "--talker",
        "--elenco-frasi", "--strumenti", "--vento", "--corrente", "--profondita", "--temperatura-acqua",
        "--pilota", "--pilota-virata"};
    return running.contains(option);
}

// Why a running program does not take an option: where the control
// interface has another way, it is named.
std::string start_only(const std::string& option) {
    static const std::map<std::string, std::string> ways{
        {"--pilota-declinazione", "; nel programma avviato PATCH /api/v1/pilota cambia attivo e virata"},
        {"--udp-ascolto", ": la porta UDP del pilota si apre all'avvio"},
        {"--incontro", "; nel programma avviato un incontro si chiede con POST /api/v1/ais/incontri"},
        {"--percorso", "; nel programma avviato un percorso si dà con un evento (a: 0, mezzo: N, percorso: ...)"},
        {"--flotta", "; nel programma avviato la flotta si sostituisce con PUT /api/v1/flotta"},
    };
    const auto way = ways.find(option);
    return "vale solo all'avvio del programma (vadrel --scenario FILE)" + (way == ways.end() ? "" : way->second);
}

}  // namespace

std::variant<ScenarioStart, ScenarioProblem> read_running_scenario(std::string_view bytes, const std::string& file,
                                                                   const std::string& folder) {
    auto read = read_scenario(bytes, {file, folder, scenario_option_problem});
    if (auto* problem = std::get_if<ScenarioProblem>(&read)) return *problem;
    ScenarioStart start{{}, std::get<Scenario>(std::move(read))};
    // Refused whole, before anything changes: nothing is taken and ignored.
    for (const ScenarioArgument& argument : start.scenario.arguments) {
        const std::string& word = argument.words.front();
        const std::string option = word.substr(0, word.find('='));
        if (!changes_while_running(option)) {
            return ScenarioProblem{file, argument.place, argument.name(), start_only(option)};
        }
    }
    if (auto problem = read_event_routes(start.scenario)) return *problem;
    auto options = options_of(start.scenario, {});
    if (auto* problem = std::get_if<std::string>(&options)) return ScenarioProblem{file, {}, "", *problem};
    start.options = std::get<Options>(std::move(options));
    return start;
}

std::variant<ScenarioStart, ScenarioProblem> read_running_scenario_file(const std::string& path) {
    const std::filesystem::path file(path);
    const FileBytes file_read = file_bytes(path);
    if (!file_read.problem.empty()) return ScenarioProblem{file.filename().string(), {}, "", file_read.problem};
    return read_running_scenario(file_read.bytes, file.filename().string(), file.parent_path().string());
}

std::variant<ScenarioStart, std::string> start_scenario(const std::string& path, const std::vector<std::string>& args) {
    const FileBytes file_read = file_bytes(path);
    if (!file_read.problem.empty()) return path + ": " + file_read.problem;
    const std::filesystem::path file(path);
    const ScenarioSource source{file.filename().string(), file.parent_path().string(), scenario_option_problem};
    auto read = read_scenario(file_read.bytes, source);
    if (auto* problem = std::get_if<ScenarioProblem>(&read)) return problem->message();
    ScenarioStart start{{}, std::get<Scenario>(std::move(read))};
    if (auto problem = read_event_routes(start.scenario)) return problem->message();
    auto options = options_of(start.scenario, args);
    if (auto* problem = std::get_if<std::string>(&options)) return source.file + ": " + *problem;
    start.options = std::get<Options>(std::move(options));
    // The scenario's seed is the fleet's too, unless --seme says otherwise.
    if (!start.options.seed) start.options.seed = start.scenario.seed;
    return start;
}

}  // namespace vadrel
