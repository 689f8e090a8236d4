#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "model/simulated_clock.h"
#include "model/track_history.h"
#include "nmea/sentences.h"
#include "scenario_check.h"
#include "scenario/event_routes.h"
#include "scenario/scenario_player.h"
#include "scenario/scenario_reader.h"
#include "scenario/scenario_values.h"
#include "sky/constellation.h"
#include "support/fakes.h"
#include "support/scratch_folder.h"
#include "tick/second_sentences.h"
#include "tick/tick_scheduler.h"
#include "tick/transmitter.h"

namespace vadrel {
namespace {

using testing::FakeClock;
using testing::Rig;

// The local zone of the scenario's clocks: UTC.
int utc_zone(std::int64_t /*posix*/) { return 0; }

std::variant<Scenario, ScenarioProblem> read(const std::string& text, ScenarioOptionCheck check = {}) {
    return read_scenario(text, {"s.yaml", "/prove", std::move(check)});
}

Scenario good(const std::string& text) {
    auto scenario = read(text);
    if (auto* problem = std::get_if<ScenarioProblem>(&scenario)) ADD_FAILURE() << problem->message();
    return std::get<Scenario>(scenario);
}

// Every refusal names its line and key; the reason is checked by a part of it.
TEST(ScenarioReader, RefusesABadFileAtItsLineAndKey) {
    // name, file, line, key, part of the reason
    const std::vector<std::tuple<const char*, std::string, int, std::string, std::string>> rows{
        {"speed in words", "durata: 10\nmezzi:\n  - numero: 0\n    velocita: cento\n", 4, "velocita",
         "\"cento\" non è una velocità"},
        {"event after the end", "durata: 10\neventi:\n  - a: 5\n    fix: perso\n  - a: 11\n    fix: ripreso\n", 5,
         "a", "dopo la durata dello scenario (10 s)"},
        {"event after the end, durata last", "eventi:\n  - {a: \"00:01:00\", fix: perso}\ndurata: 59\n", 2, "a",
         "dopo la durata"},
        {"unknown event key", "eventi:\n  - a: 1\n    pioggia: forte\n", 3, "pioggia", "chiave sconosciuta"},
        {"fix word", "eventi:\n  - {a: 1, fix: forse}\n", 2, "fix", "perso o ripreso"},
        {"event without a time", "eventi:\n  - fix: perso\n", 2, "a", "manca il secondo"},
        {"event that does nothing", "eventi:\n  - a: 3\n", 2, "eventi", "non dice che cosa"},
        {"vehicle field without a vehicle", "eventi:\n  - {a: 3, rotta: 10}\n", 2, "mezzo", "manca il numero"},
        {"vehicle past the fleet", "eventi:\n  - {a: 3, mezzo: 21, rotta: 10}\n", 2, "mezzo", "da 0 a 20"},
        {"course past 360", "eventi:\n  - {a: 3, mezzo: 1, rotta: 400}\n", 2, "rotta", "400"},
        {"position unread", "mezzi:\n  - {numero: 2, posizione: \"45 N 200 E\"}\n", 2, "posizione", ""},
        {"time of day", "eventi:\n  - {a: \"00:61:00\", fix: perso}\n", 2, "a", "hh:mm:ss"},
        {"negative time", "eventi:\n  - {a: -1, fix: perso}\n", 2, "a", "fuori campo"},
        {"time rate", "velocita_tempo: 2000\n", 1, "velocita_tempo", "da 0.1 a 1000"},
        {"start", "inizio: ieri\n", 1, "inizio", "ISO 8601"},
        {"seed", "seme: -3\n", 1, "seme", "numero intero"},
        {"zero duration", "durata: 0\n", 1, "durata", "più di 0"},
        {"key twice", "seme: 1\nseme: 2\n", 2, "seme", "due volte"},
        {"drift speed", "eventi:\n  - a: 1\n    deriva: {metri_al_secondo: 2000}\n", 3, "metri_al_secondo", "1000"},
        {"drift without speed", "eventi:\n  - a: 1\n    deriva: {rotta: 3}\n", 3, "deriva", "metri_al_secondo"},
        {"jamming length", "eventi:\n  - {a: 1, disturbo: {durata: 0}}\n", 2, "durata", "più di 0"},
        {"week offset", "eventi:\n  - {a: 1, settimana_gps: 10000}\n", 2, "settimana_gps", "-8192 a 8192"},
        {"leap second date", "eventi:\n  - {a: 1, secondo_intercalare: 2016-13-31}\n", 2, "secondo_intercalare",
         "AAAA-MM-GG"},
        {"leap second before the start", "inizio: 2017-01-02T00:00:00Z\neventi:\n  - {a: 1, secondo_intercalare: 2016-12-31}\n",
         3, "secondo_intercalare", "prima dell'inizio"},
        {"not for a scenario", "scenario: altro.yaml\n", 1, "scenario", "non vale"},
        {"vehicle without number", "mezzi:\n  - {rotta: 3}\n", 2, "mezzi", "manca il numero"},
        {"unknown vehicle key", "mezzi:\n  - {numero: 3, colore: rosso}\n", 2, "colore", "chiave sconosciuta"},
        {"route without file", "mezzi:\n  - {numero: 3, percorso: {fine: ciclo}}\n", 2, "percorso", "manca il file"},
        {"route option", "mezzi:\n  - {numero: 3, percorso: {file: g.gpx, fine: mai}}\n", 2, "percorso", ""},
        {"group not a map", "ricevitore: 3\n", 1, "ricevitore", "chiavi e valori"},
        {"list as a value", "mezzi:\n  - {numero: 3, rotta: [1, 2]}\n", 2, "rotta", "valore semplice"},
        {"events not a list", "eventi: 3\n", 1, "eventi", "elenco"},
        {"anchor", "a: &x 3\nb: *x\n", 1, "", "ancore e alias"},
        {"alias only", "b: *x\n", 1, "", ""},
        {"second document", "seme: 1\n---\nseme: 2\n", 2, "", "più di un documento"},
        {"not a map", "- 1\n- 2\n", 1, "", "non contiene uno scenario"},
        {"empty", "", 0, "", "non contiene uno scenario"},
        {"broken YAML", "seme: [1, 2\n", 2, "", "YAML non valido"},
        {"NUL byte", std::string("seme: 1\nx\0y: 2\n", 14), 2, "", "NUL"},
        {"not UTF-8", "seme: \xff\n", 0, "", "UTF-8"},
        {"too deep", "x: " + std::string(17, '[') + std::string(17, ']') + "\n", 1, "", "annidati più di 16"},
    };
    for (const auto& [name, text, line, key, reason] : rows) {
        const auto result = read(text);
        const auto* problem = std::get_if<ScenarioProblem>(&result);
        ASSERT_NE(problem, nullptr) << name;
        EXPECT_EQ(problem->place.line, line) << name << ": " << problem->message();
        EXPECT_EQ(problem->key, key) << name << ": " << problem->message();
        EXPECT_NE(problem->reason.find(reason), std::string::npos) << name << ": " << problem->message();
        EXPECT_EQ(problem->file, "s.yaml") << name;
    }
}

TEST(ScenarioReader, MessageNamesFileLineAndKey) {
    EXPECT_EQ((ScenarioProblem{"s.yaml", {5, 3}, "velocita", "\"cento\" non è una velocità"}.message()),
              "s.yaml:5: velocita: \"cento\" non è una velocità");
    EXPECT_EQ((ScenarioProblem{"s.yaml", {}, "", "il file supera 1024 KiB"}.message()),
              "s.yaml: il file supera 1024 KiB");
}

TEST(ScenarioReader, BoundsSizeAndEvents) {
    const auto big = read("# " + std::string(max_scenario_bytes, 'x') + "\n");
    ASSERT_TRUE(std::holds_alternative<ScenarioProblem>(big));
    EXPECT_NE(std::get<ScenarioProblem>(big).reason.find("supera"), std::string::npos);

    std::string many = "eventi:\n";
    for (std::size_t i = 0; i <= max_scenario_events; ++i) many += "- {a: 1,fix: perso}\n";
    const auto refused = read(many);
    ASSERT_TRUE(std::holds_alternative<ScenarioProblem>(refused));
    EXPECT_EQ(std::get<ScenarioProblem>(refused).place.line, static_cast<int>(max_scenario_events) + 2);
}

// The start's settings are the options' words; each goes to the check with its place.
TEST(ScenarioReader, SettingsBecomeTheOptionsWords) {
    const Scenario s = good(
        "inizio: 2016-12-31T23:59:50Z\n"
        "seme: 7\n"
        "velocita_tempo: max\n"
        "durata: \"01:00:00\"\n"
        "modo: multi\n"
        "ricevitore: {utc: true, moto_reale: false, frasi: complete, guasti: {perdita: 0.1, perdita_fix: 30/300}, "
        "ostacoli: \"200-340:40,0-30:15\"}\n"
        "ais: {attivi: true, nave_propria: true}\n"
        "pilota: {attivo: true, virata: 10, udp_ascolto: 10111}\n"
        "uscite: {tcp: \"127.0.0.1:10110\", udp: [\"127.0.0.1:1\", \"127.0.0.1:2\"]}\n"
        "registra: reg/s.log\n"
        "mezzi:\n"
        "  - {numero: 1, posizione: \"45 30 0 N 9 12 0 E\", rotta: 90, velocita: 5 m/s, percorso: {file: giro.gpx, fine: ciclo}}\n");
    EXPECT_EQ(s.start_utc_ms, 1483228790000);
    EXPECT_EQ(s.seed, 7u);
    EXPECT_EQ(s.time_rate, 0.0);
    EXPECT_EQ(s.duration, 3600.0);
    // words, key, line
    const std::vector<std::tuple<std::vector<std::string>, std::string, int>> expected{
        {{"--modo", "multi"}, "modo", 5},
        {{"--utc"}, "utc", 6},
        {{"--moto-reale=no"}, "moto_reale", 6},
        {{"--frasi", "complete"}, "frasi", 6},
        {{"--guasti", "perdita=0.1,perdita-fix=30/300"}, "guasti", 6},
        {{"--ostacolo", "no"}, "ostacoli", 6},
        {{"--ostacolo", "200-340:40"}, "ostacoli", 6},
        {{"--ostacolo", "0-30:15"}, "ostacoli", 6},
        {{"--ais"}, "attivi", 7},
        {{"--ais-nave-propria"}, "nave_propria", 7},
        {{"--pilota"}, "attivo", 8},
        {{"--pilota-virata", "10"}, "virata", 8},
        {{"--udp-ascolto", "10111"}, "udp_ascolto", 8},
        {{"--tcp", "127.0.0.1:10110"}, "tcp", 9},
        {{"--udp", "127.0.0.1:1"}, "udp", 9},
        {{"--udp", "127.0.0.1:2"}, "udp", 9},
        {{"--registra", "/prove/reg/s.log"}, "registra", 10},
        {{"--mezzo", "1=45 30 0 N 9 12 0 E"}, "posizione", 12},
        {{"--rotta", "1=90"}, "rotta", 12},
        {{"--velocita-mezzo", "1=18km/h"}, "velocita", 12},
        {{"--percorso", "1=/prove/giro.gpx,fine=ciclo"}, "percorso", 12},
    };
    ASSERT_EQ(s.arguments.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [words, key, line] = expected[i];
        EXPECT_EQ(s.arguments[i].words, words) << i;
        EXPECT_EQ(s.arguments[i].key, key) << i;
        EXPECT_EQ(s.arguments[i].place.line, line) << i;
    }
}

// The own ship's instruments are options at the top, as the command line
// writes them.
TEST(ScenarioReader, TheInstrumentsAreOptionsAtTheTop) {
    const Scenario s = good("strumenti: true\nvento: 270@15\ncorrente: 90@1.5nodi\nprofondita: \"12.5,0.5\"\n"
                            "temperatura_acqua: 14\n");
    // words, key
    const std::vector<std::tuple<std::vector<std::string>, std::string>> expected{
        {{"--strumenti"}, "strumenti"},
        {{"--vento", "270@15"}, "vento"},
        {{"--corrente", "90@1.5nodi"}, "corrente"},
        {{"--profondita", "12.5,0.5"}, "profondita"},
        {{"--temperatura-acqua", "14"}, "temperatura_acqua"},
    };
    ASSERT_EQ(s.arguments.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(s.arguments[i].words, std::get<0>(expected[i])) << i;
        EXPECT_EQ(s.arguments[i].key, std::get<1>(expected[i])) << i;
    }
}

TEST(ScenarioReader, TheChecksRefusalIsPlaced) {
    const auto refused = read("seme: 1\npippo: 3\n", [](const ScenarioArgument& a) -> std::optional<std::string> {
        if (a.words.front() == "--pippo") return "chiave sconosciuta";
        return std::nullopt;
    });
    ASSERT_TRUE(std::holds_alternative<ScenarioProblem>(refused));
    EXPECT_EQ(std::get<ScenarioProblem>(refused).message(), "s.yaml:2: pippo: chiave sconosciuta");
}

// JSON is read as YAML; events are put in time order, file order within a second.
TEST(ScenarioReader, JsonAndEventOrder) {
    const Scenario s = good(
        R"({"durata": 30, "eventi": [{"a": 20, "disturbo": {"durata": 5}}, {"a": "00:00:08", "fix": "ripreso"},)"
        R"( {"a": 8, "mezzo": 0, "velocita": "50 km/h", "rotta": 180, "posizione": "45.5 9.2"},)"
        R"( {"a": 3, "deriva": {"metri_al_secondo": 10, "rotta": 0}}, {"a": 4, "settimana_gps": -1024},)"
        R"( {"a": 5, "secondo_intercalare": "2016-12-31"}]})");
    ASSERT_EQ(s.events.size(), 6u);
    // at, text
    const std::vector<std::pair<double, std::string>> expected{
        {3, "deriva 10 m/s verso 0"},
        {4, "settimana GPS -1024"},
        {5, "secondo intercalare alla fine del 2016-12-31"},
        {8, "fix ripreso"},
        {8, "mezzo 0: velocità 50 km/h, rotta 180, posizione 45.5 9.2"},
        {20, "disturbo per 5 s"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(s.events[i].at, expected[i].first) << i;
        EXPECT_EQ(s.events[i].text, expected[i].second) << i;
    }
    EXPECT_EQ(s.events[2].leap_second_utc_ms, 1483228800000);
    EXPECT_EQ(s.events[4].vehicle->unit, SpeedUnit::kmh);
}

// ok-* files must read, ko-* must be refused; any other (a find of the
// fuzzer) only has to hold what the fuzzer checks.
TEST(ScenarioReader, EveryFileOfTheSeedCorpusHoldsWhatTheFuzzerChecks) {
    ASSERT_FALSE(std::filesystem::is_empty(VADREL_SCENARIO_CORPUS));
    for (const auto& entry : std::filesystem::directory_iterator(VADREL_SCENARIO_CORPUS)) {
        const std::string name = entry.path().filename().string();
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(fuzzing::check_scenario(bytes), "") << name;
        const bool read_whole = std::holds_alternative<Scenario>(read(bytes));
        if (name.rfind("ok-", 0) == 0 || name.rfind("ko-", 0) == 0) {
            EXPECT_EQ(read_whole, name[1] == 'k') << name;
        }
    }
}

TEST(ScenarioValues, SpeedsAndSeconds) {
    // text, value, unit (none: the vehicle's), or refused
    const std::vector<std::tuple<const char*, double, std::optional<SpeedUnit>, bool>> speeds{
        {"100 km/h", 100, SpeedUnit::kmh, true}, {"12,5nodi", 12.5, SpeedUnit::knots, true},
        {"10 m/s", 36, SpeedUnit::kmh, true},    {"7", 7, std::nullopt, true},
        {"20 kn", 20, SpeedUnit::knots, true},   {"cento", 0, std::nullopt, false},
        {"km/h", 0, std::nullopt, false},        {"40000 km/h", 0, std::nullopt, false},
    };
    for (const auto& [text, value, unit, ok] : speeds) {
        const auto read_speed = read_scenario_speed(text);
        ASSERT_EQ(std::holds_alternative<ScenarioSpeed>(read_speed), ok) << text;
        if (!ok) continue;
        EXPECT_DOUBLE_EQ(std::get<ScenarioSpeed>(read_speed).value, value) << text;
        EXPECT_EQ(std::get<ScenarioSpeed>(read_speed).unit, unit) << text;
    }
    // text, seconds (-1: refused)
    const std::vector<std::pair<const char*, double>> seconds{
        {"5", 5}, {"2,5", 2.5}, {"00:10:00", 600}, {"1:30", 90}, {"10:00:00", 36000},
        {"1:60", -1}, {"1::2", -1}, {":", -1}, {"1:2:3:4", -1}, {"x", -1}, {"3000000", -1},
    };
    for (const auto& [text, value] : seconds) {
        const auto read_seconds = read_scenario_seconds(text);
        if (value < 0) {
            EXPECT_TRUE(std::holds_alternative<std::string>(read_seconds)) << text;
        } else {
            ASSERT_TRUE(std::holds_alternative<double>(read_seconds)) << text;
            EXPECT_EQ(std::get<double>(read_seconds), value) << text;
        }
    }
}

// The events come at their seconds on the clock, each once, and the
// duration ends the run.
struct FakeReceiver : ScenarioReceiver {
    void set_fix_lost(bool lost) override { changes.push_back(lost); }
    void set_week_offset(int weeks) override { week_offset = weeks; }
    bool add_leap_second(std::int64_t day_after) override {
        leap_days.push_back(day_after);
        return day_after > 17167;  // the clock's last: 2017-01-01
    }
    std::string give_route(std::size_t n, const Route& route, const FollowOptions& options) override {
        routes.push_back({n, route.size(), options});
        return n == 20 ? "il mezzo 20 non segue percorsi" : "";
    }
    struct Given {
        std::size_t n;
        std::size_t points;
        FollowOptions options;
    };
    std::vector<Given> routes;
    std::vector<bool> changes;
    int week_offset = 0;
    std::vector<std::int64_t> leap_days;
};

// The clock's events reach the clock at their seconds: the week offset, and
// a leap second (the day after it, in days since 1970), refused and marked
// so when it is not after the clock's last.
TEST(ScenarioPlayer, TheClocksEventsReachTheClock) {
    const Scenario s = good(
        "inizio: 2030-06-30T23:59:00Z\n"
        "eventi:\n"
        "  - {a: 1, settimana_gps: -1024}\n"
        "  - {a: 2, secondo_intercalare: 2030-06-30}\n");
    FakeClock wall;
    SimulatedClock clock(wall, utc_zone);
    Fleet fleet;
    FakeReceiver receiver;
    ScenarioPlayer player(s, fleet, clock, receiver);
    std::vector<std::string> marks;
    player.marked = [&](const std::string& line) { marks.push_back(line); };
    // The seconds count from inizio: the second sent at inizio + 1 plays the event at 1.
    const double start = static_cast<double>(*s.start_utc_ms) / 1000.0;
    wall.utc = start + 1.0;
    player.step();
    EXPECT_EQ(receiver.week_offset, -1024);
    EXPECT_TRUE(receiver.leap_days.empty()) << "the event at 2 waits for its second";
    wall.utc = start + 2.0;
    player.step();
    EXPECT_EQ(receiver.leap_days, (std::vector<std::int64_t>{22096}));  // 2030-07-01
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(marks[1].find("rifiutato"), std::string::npos) << marks[1];
}

TEST(ScenarioPlayer, EventsAtTheirSecondsOnAFakeClock) {
    const Scenario s = good(
        "durata: 10\n"
        "eventi:\n"
        "  - {a: 0, mezzo: 2, rotta: 45}\n"
        "  - {a: 5, fix: perso}\n"
        "  - {a: 8, fix: ripreso}\n"
        "  - {a: 8, mezzo: 2, velocita: 20 nodi}\n");
    FakeClock wall;
    SimulatedClock clock(wall, utc_zone);
    Fleet fleet;
    FakeReceiver receiver;
    ScenarioPlayer player(s, fleet, clock, receiver);
    std::vector<std::string> marks;
    player.marked = [&](const std::string& line) { marks.push_back(line); };
    // seconds from the start, marks so far, fix changes so far, over
    const std::vector<std::tuple<double, std::size_t, std::size_t, bool>> steps{
        {0.0, 1, 0, false}, {4.999, 1, 0, false}, {5.0, 2, 1, false}, {6.0, 2, 1, false},
        {8.5, 4, 2, false}, {9.9, 4, 2, false},   {10.0, 4, 2, true},
    };
    const double start = wall.utc;
    for (const auto& [at, count, fixes, over] : steps) {
        wall.utc = start + at;
        EXPECT_EQ(player.step(), over) << at;
        EXPECT_EQ(marks.size(), count) << at;
        EXPECT_EQ(receiver.changes.size(), fixes) << at;
    }
    EXPECT_EQ(receiver.changes, (std::vector<bool>{true, false}));
    EXPECT_EQ(fleet.vehicle(2).course, 45.0);
    EXPECT_EQ(fleet.vehicle(2).speed, 20.0);
    EXPECT_EQ(fleet.vehicle(2).unit, SpeedUnit::knots);
    EXPECT_EQ(marks[1], "scenario 5 s: fix perso");
    const ScenarioProgress progress = player.progress();
    EXPECT_EQ(progress.done, 4u);
    EXPECT_EQ(progress.events, 4u);
    EXPECT_FALSE(progress.next_at);
}

TEST(ScenarioPlayer, ProgressTellsTheNextEvent) {
    const Scenario s = good("eventi:\n  - {a: 1, fix: perso}\n  - {a: 3, disturbo: {durata: 4}}\n");
    FakeClock wall;
    SimulatedClock clock(wall, utc_zone);
    Fleet fleet;
    FakeReceiver receiver;
    ScenarioPlayer player(s, fleet, clock, receiver);
    player.step();
    wall.utc += 2;
    player.step();
    const ScenarioProgress progress = player.progress();
    EXPECT_EQ(progress.done, 1u);
    EXPECT_EQ(progress.next_at, 3.0);
    EXPECT_EQ(progress.next, "disturbo per 4 s");
    EXPECT_EQ(progress.elapsed, 2.0);
}

// A scenario played on a fake clock, a fleet and a fake receiver; at(s)
// steps it at s seconds from its first step.
struct Played {
    explicit Played(const Scenario& scenario) : player(scenario, fleet, clock, receiver) { player.step(); }
    void at(double seconds) {
        wall.utc = start + seconds;
        player.step();
    }
    FakeClock wall;
    SimulatedClock clock{wall, utc_zone};
    Fleet fleet;
    FakeReceiver receiver;
    double start = wall.utc;
    ScenarioPlayer player;
};

// What each event did goes to the events' WebSocket too: its index in the
// scenario, its second, its text; each mark once.
TEST(ScenarioPlayer, MarksEachEventOnceWithItsIndex) {
    const Scenario s =
        good("eventi:\n  - {a: 1, fix: perso}\n  - {a: 1, secondo_intercalare: 2015-06-30}\n  - {a: 4, fix: ripreso}\n");
    Played played(s);
    ScenarioPlayer& player = played.player;
    EXPECT_TRUE(player.take_marks().empty());
    played.at(2);
    const std::vector<ScenarioMark> marks = player.take_marks();
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(marks[0], (ScenarioMark{0, 1.0, "fix perso"}));
    EXPECT_EQ(marks[1].index, 1u);
    EXPECT_NE(marks[1].text.find("rifiutato"), std::string::npos) << marks[1].text;
    EXPECT_TRUE(player.take_marks().empty()) << "taken once";
    played.at(5);
    EXPECT_EQ(player.take_marks(), (std::vector<ScenarioMark>{{2, 4.0, "fix ripreso"}}));
}

// A scenario run the way the program ticks it: the clock started at its
// inizio and stepped second by second as fast as the outputs take them, the
// events played before each second's sentences; its receiver's changes
// (the fix, a leap second) reach the clock and the transmitter.
struct TickedRun : ScenarioReceiver {
    // `restart`: the clock started again at that instant after the scenario
    // is given, as --inizio on the command line does.
    TickedRun(const Scenario& scenario, std::optional<std::int64_t> restart_ms) {
        port.force_open();
        ReceiverOptions options;
        options.utc = true;
        transmitter.set_receiver(options);
        clock.start_at(static_cast<double>(*scenario.start_utc_ms) / 1000.0);
        clock.set_max();
        ScenarioPlayer player(scenario, fleet, clock, *this);
        transmitter.set_effects(&player.threats());
        if (restart_ms) clock.start_at(static_cast<double>(*restart_ms) / 1000.0);
        // The start's own second first, then each after it, as the ticker's.
        double due = clock.atomic_seconds() - 1e-5;
        for (bool over = false; !over && rmc.size() < 100;) {
            due = next_simulated_tick(due, 1.0, 0.002);
            clock.step_to(due);
            clock.hold(due);
            over = player.step();
            transmitter.tick();
            clock.hold(std::nullopt);
            for (const std::string& bytes : std::exchange(port.written, {})) {
                for (std::size_t at = bytes.find("$GPRMC"); at != std::string::npos; at = bytes.find("$GPRMC", at + 1)) {
                    rmc.push_back(bytes.substr(at, bytes.find('\r', at) - at));
                }
            }
        }
        transmitter.set_effects(nullptr);
    }
    void set_fix_lost(bool lost) override {
        ReceiverOptions options = transmitter.receiver();
        options.no_fix = lost;
        transmitter.set_receiver(options);
    }
    void set_week_offset(int weeks) override { clock.set_week_offset(weeks); }
    bool add_leap_second(std::int64_t day_after) override { return clock.add_leap_second(day_after); }
    std::string give_route(std::size_t, const Route&, const FollowOptions&) override { return {}; }
    // "hhmmss ddmmyy" of a $GPRMC.
    static std::string stamp(const std::string& line) {
        std::vector<std::string> fields(1);
        for (const char c : line) {
            if (c == ',') {
                fields.emplace_back();
            } else {
                fields.back().push_back(c);
            }
        }
        return fields.size() > 9 ? fields[1] + " " + fields[9] : line;
    }
    // The stamp of the first second sent without a fix; "" when none is.
    std::string first_lost() const {
        for (const std::string& line : rmc) {
            if (line.find(",V,") != std::string::npos) return stamp(line);
        }
        return {};
    }

    FakeClock wall;
    SimulatedClock clock{wall, utc_zone};
    testing::FakePort port;
    OutputFanOut output{port};
    testing::FakeDevices devices;
    Link link{port, devices};
    Fleet fleet;
    TrackHistory tracks{fleet_size};
    Transmitter transmitter{fleet, link, tracks, output, clock};
    std::vector<std::string> rmc;  // each second's $GPRMC, in order
};

// The scenario's seconds are elapsed ones, as the receiver's clock runs: a
// leap second is one of them, so `durata: 12` sends inizio's own second and
// the twelve after it, and an event at `a: 10` comes with the tenth after
// inizio, whatever the UTC labels say.
TEST(ScenarioPlayer, SecondsAreElapsedOnesAcrossALeapSecond) {
    const char* events = "durata: 12\neventi:\n  - {a: 10, fix: perso}\n";
    // name, the file's start and events, the clock restarted at (ms; 0: not),
    // seconds sent, the stamp (time and date) of the first without a fix, the last's
    const std::vector<std::tuple<const char*, std::string, std::int64_t, std::size_t, const char*, const char*>> rows{
        {"the leap second of 2016", std::string("inizio: 2016-12-31T23:59:50Z\n") + events, 0, 13, "235960 311216",
         "000001 010117"},
        {"a leap second the scenario adds",
         std::string("inizio: 2030-06-30T23:59:50Z\n") + events + "  - {a: 1, secondo_intercalare: 2030-06-30}\n", 0,
         13, "235960 300630", "000001 010730"},
        {"no leap second", std::string("inizio: 2017-12-31T23:59:50Z\n") + events, 0, 13, "000000 010118",
         "000002 010118"},
        {"--inizio wins over inizio", std::string("inizio: 2017-12-31T23:59:50Z\n") + events,
         1483228795000 /* 2016-12-31T23:59:55Z */, 13, "000004 010117", "000006 010117"},
    };
    for (const auto& [name, text, restart, sent, lost, last] : rows) {
        const TickedRun run(good(text), restart != 0 ? std::optional(restart) : std::nullopt);
        EXPECT_EQ(run.rmc.size(), sent) << name;
        EXPECT_EQ(run.first_lost(), lost) << name;
        ASSERT_FALSE(run.rmc.empty()) << name;
        EXPECT_EQ(TickedRun::stamp(run.rmc.back()), last) << name << ": " << run.rmc.back();
    }
}

// Jamming lasts its elapsed seconds across a leap second too: three from
// 23:59:59, its last third (the fix lost) on 00:00:00 alone.
TEST(ScenarioPlayer, JammingLastsItsElapsedSecondsAcrossALeapSecond) {
    const TickedRun run(good("inizio: 2016-12-31T23:59:50Z\ndurata: 12\neventi:\n  - {a: 9, disturbo: {durata: 3}}\n"),
                        std::nullopt);
    std::vector<std::string> lost;
    for (const std::string& line : run.rmc) {
        if (line.find(",V,") != std::string::npos) lost.push_back(TickedRun::stamp(line));
    }
    EXPECT_EQ(lost, (std::vector<std::string>{"000000 010117"}));
}

constexpr const char* two_point_gpx =
    "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
    "<rte><name>Andata</name><rtept lat=\"45.5\" lon=\"9.2\"/><rtept lat=\"45.6\" lon=\"9.3\"/>"
    "<rtept lat=\"45.7\" lon=\"9.3\"/></rte>\n</gpx>\n";

// An event gives a route: read with the scenario, against its folder, and
// given at the event's second with its options.
TEST(ScenarioPlayer, AnEventGivesARouteAtItsSecond) {
    const testing::ScratchFolder folder;
    folder.put("giro.gpx", two_point_gpx);
    auto read = read_scenario("eventi:\n  - {a: 3, mezzo: 4, percorso: {file: giro.gpx, fine: ciclo, virata: 2}}\n"
                              "  - {a: 5, mezzo: 20, percorso: \"giro.gpx,fine=indietro\"}\n",
                              {"s.yaml", folder.path(), {}});
    ASSERT_TRUE(std::holds_alternative<Scenario>(read)) << std::get<ScenarioProblem>(read).message();
    Scenario s = std::get<Scenario>(std::move(read));
    ASSERT_FALSE(read_event_routes(s));
    EXPECT_EQ(s.events[0].text, "mezzo 4: percorso giro.gpx (fine=ciclo,virata=2)");
    ASSERT_TRUE(s.events[0].route_read);
    EXPECT_EQ(s.events[0].route_read->size(), 3u);
    Played played(s);
    const FakeReceiver& receiver = played.receiver;
    played.at(2.5);
    EXPECT_TRUE(receiver.routes.empty()) << "not before its second";
    played.at(5.5);
    ASSERT_EQ(receiver.routes.size(), 2u);
    EXPECT_EQ(receiver.routes[0].n, 4u);
    EXPECT_EQ(receiver.routes[0].points, 3u);
    EXPECT_EQ(receiver.routes[0].options.end, RouteEnd::loop);
    EXPECT_EQ(receiver.routes[0].options.turn_rate, 2.0);
    EXPECT_EQ(receiver.routes[1].options.end, RouteEnd::back) << "the text after N= with its options";
    const std::vector<ScenarioMark> marks = played.player.take_marks();
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_NE(marks[1].text.find("[rifiutato: il mezzo 20 non segue percorsi]"), std::string::npos) << marks[1].text;
}

// A route that cannot be given refuses the scenario at its percorso's line.
TEST(ScenarioReader, RefusesAnEventsRouteAtItsLine) {
    const testing::ScratchFolder folder;
    folder.put("giro.gpx", two_point_gpx);
    folder.put("rotto.gpx", "<gpx version=\"1.1\">\n<rte><rtept lat=\"95\" lon=\"9\"/></rte></gpx>\n");
    // name, the event's route, the line, part of the reason (empty: read at once)
    const std::vector<std::tuple<const char*, std::string, int, std::string>> rows{
        {"missing file", "{mezzo: 1, percorso: manca.gpx}", 3, "manca.gpx: "},
        {"bad point", "{mezzo: 1, percorso: rotto.gpx}", 3, "rotto.gpx: riga 2"},
        {"no such route", "{mezzo: 1, percorso: {file: giro.gpx, nome: Ritorno}}", 3, "Ritorno"},
        {"no vehicle", "{percorso: giro.gpx}", 0, "manca il numero del mezzo"},
        {"unknown option", "{mezzo: 1, percorso: {file: giro.gpx, fine: mai}}", 0, "fine"},
        {"no file", "{mezzo: 1, percorso: {fine: ciclo}}", 0, "manca il file"},
    };
    for (const auto& [name, route, line, part] : rows) {
        auto read = read_scenario("eventi:\n  - {a: 1, fix: perso}\n  - {a: 2, " + route.substr(1),
                                  {"s.yaml", folder.path(), {}});
        std::optional<ScenarioProblem> problem;
        if (auto* refused = std::get_if<ScenarioProblem>(&read)) {
            problem = *refused;
        } else {
            problem = read_event_routes(std::get<Scenario>(read));
        }
        ASSERT_TRUE(problem) << name;
        EXPECT_NE(problem->message().find(part), std::string::npos) << name << ": " << problem->message();
        if (line != 0) {
            EXPECT_EQ(problem->place.line, line) << name;
            EXPECT_EQ(problem->key, "percorso") << name;
        }
    }
}

// The field of a sentence ("$GPGGA,...": field 0 is the name).
std::string field(const std::string& sentence, std::size_t n) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < n; ++i) start = sentence.find(',', start) + 1;
    return sentence.substr(start, sentence.find_first_of(",*", start) - start);
}

const std::string* find(const std::vector<std::string>& sentences, const std::string& name) {
    for (const std::string& s : sentences) {
        if (s.compare(0, name.size(), name) == 0) return &s;
    }
    return nullptr;
}

SecondOfVehicle second_at(std::int64_t utc_ms, bool satellites) {
    Vehicle v;
    v.lat = 45.5 * 3600;
    v.lon = 9.2 * 3600;
    v.course = 90;
    v.speed = 36;
    v.unit = SpeedUnit::kmh;
    ReceiverOptions options = modern_receiver({});
    options.sky_options.satellites = satellites;
    SecondOfVehicle s{v, {}, Mode::gps_standard, options, {}};
    s.time.utc_ms = utc_ms;
    s.time.civil = {2016, 12, 31, 12, 0, 0};
    s.time.time = "120000";
    s.time.date = "311216";
    if (satellites) s.sky = observe(constellation_at(utc_ms), observer_of(v, 0.0), {});
    return s;
}

// Spoofing: the position moves away at the drift's speed and course, the
// speed and course sent stay the true ones, every figure alike.
TEST(Threats, DriftMovesOnlyThePositionAndEvensTheFigures) {
    const std::int64_t start = 1483185600000;
    Threats threats;
    threats.drift({10.0, 0.0}, start);
    SecondOfVehicle s = second_at(start + 100000, true);
    const SecondOfVehicle truth = s;
    threats.affect(s, 0);
    const std::vector<std::string> sentences = second_sentences(s);
    const std::vector<std::string> true_sentences = second_sentences(truth);
    // 1000 m north: 32.4 seconds of arc of latitude at 45.5° (a degree is 111.1 km there).
    EXPECT_NEAR((s.vehicle.lat - truth.vehicle.lat), 32.4, 0.2);
    EXPECT_DOUBLE_EQ(s.vehicle.lon, truth.vehicle.lon);
    const std::string* rmc = find(sentences, "$GPRMC");
    const std::string* true_rmc = find(true_sentences, "$GPRMC");
    ASSERT_TRUE(rmc && true_rmc);
    EXPECT_NE(field(*rmc, 3), field(*true_rmc, 3)) << "the latitude sent moves";
    EXPECT_EQ(field(*rmc, 7), field(*true_rmc, 7)) << "the speed sent stays";
    EXPECT_EQ(field(*rmc, 8), field(*true_rmc, 8)) << "the course sent stays";
    EXPECT_EQ(field(*find(sentences, "$GPGGA"), 2), field(*rmc, 3)) << "one position in every sentence";
    for (const SatelliteInView& sat : s.sky->satellites) {
        if (sat.snr > 0) {
            EXPECT_EQ(sat.snr, spoofed_snr) << sat.prn;
        }
    }
    threats.drift({0.0, 0.0}, start + 200000);
    SecondOfVehicle after = second_at(start + 300000, true);
    const SecondOfVehicle untouched = after;
    threats.affect(after, 0);
    EXPECT_EQ(after.vehicle.lat, untouched.vehicle.lat) << "a drift of 0 m/s ends it";
}

// Jamming: the figures fall, the fix goes 2D, then is lost, and comes back.
TEST(Threats, JammingTakesTheFixAwayAndGivesItBack) {
    const std::int64_t start = 1483185600000;
    Threats threats;
    threats.jam(30.0, start);
    // seconds into it, fix, GGA quality, GSA mode
    const std::vector<std::tuple<int, FixKind, std::string, std::string>> rows{
        {-1, FixKind::three_d, "1", "3"}, {0, FixKind::three_d, "1", "3"}, {12, FixKind::two_d, "1", "2"},
        {19, FixKind::two_d, "1", "2"},   {21, FixKind::none, "0", "1"},   {29, FixKind::none, "0", "1"},
        {30, FixKind::three_d, "1", "3"},
    };
    const SecondOfVehicle open = second_at(start, true);
    int open_total = 0;
    for (const SatelliteInView& sat : open.sky->satellites) open_total += sat.snr;
    for (const auto& [at, fix, quality, mode] : rows) {
        SecondOfVehicle s = second_at(start + at * 1000, true);
        threats.affect(s, 0);
        const std::vector<std::string> sentences = second_sentences(s);
        const FixKind told = s.options.no_fix ? FixKind::none : s.sky->fix;
        EXPECT_EQ(told, fix) << at;
        EXPECT_EQ(field(*find(sentences, "$GPGGA"), 6), quality) << at;
        EXPECT_EQ(field(*find(sentences, "$GPGSA"), 2), mode) << at;
        EXPECT_EQ(field(*find(sentences, "$GPRMC"), 2), fix == FixKind::none ? "V" : "A") << at;
    }
    // The $GPRMC alone, with neither the sky nor the full set: lost in the last third.
    for (const auto& [at, status] : {std::pair{12, "A"}, std::pair{25, "V"}, std::pair{31, "A"}}) {
        SecondOfVehicle plain = second_at(start + at * 1000, false);
        plain.options = {};
        threats.affect(plain, 0);
        EXPECT_EQ(field(second_sentences(plain).front(), 2), status) << at;
    }
    SecondOfVehicle falling = second_at(start + 9000, true);
    threats.affect(falling, 0);
    int total = 0;
    for (const SatelliteInView& sat : falling.sky->satellites) total += sat.snr;
    EXPECT_LT(total, open_total) << "the figures fall";
}

// Through the transmitter: every vehicle's second, and the position it
// reports on its track.
TEST(Threats, TheTransmitterAsksForEachSecond) {
    Rig r;
    r.port.force_open();
    Threats threats;
    r.transmitter.set_effects(&threats);
    threats.drift({100.0, 90.0}, static_cast<std::int64_t>(r.clock.utc * 1000) - 10000);
    r.tick();
    ASSERT_TRUE(r.transmitter.reported(0));
    EXPECT_GT(r.transmitter.reported(0)->lon, r.fleet.vehicle(0).lon) << "1000 m east of the truth";
    r.transmitter.set_effects(nullptr);
}

}  // namespace
}  // namespace vadrel
