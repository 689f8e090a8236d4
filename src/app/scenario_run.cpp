#include "scenario_run.h"

#include "app/program.h"

namespace vadrel {

ScenarioRun::ScenarioRun(Program& program) : program_(program) {
    program.before_tick = [this] { step(); };
}

ScenarioRun::~ScenarioRun() {
    program_.before_tick = nullptr;
    program_.transmitter().set_effects(nullptr);
}

void ScenarioRun::play(const Scenario& scenario) {
    program_.transmitter().set_effects(nullptr);
    // The scenario's clock; the command line's --inizio and
    // --velocita-tempo, applied at the start, win over it.
    SimulatedClock& clock = program_.simulated_clock();
    if (scenario.start_utc_ms) clock.start_at(static_cast<double>(*scenario.start_utc_ms) / 1000.0);
    if (scenario.time_rate && *scenario.time_rate == 0.0) clock.set_max();
    if (scenario.time_rate && *scenario.time_rate > 0.0) clock.set_rate(*scenario.time_rate);
    player_.emplace(scenario, program_.fleet(), program_.simulated_clock(), *this);
    player_->marked = [this](const std::string& line) { marked(line); };
    over_ = false;
    if (scenario.seed) {
        ReceiverOptions options = program_.receiver();
        options.faults.seed = *scenario.seed;
        program_.receiver_settings().set_for_run(options, this);
    }
    program_.transmitter().set_effects(&player_->threats());
}

void ScenarioRun::step() {
    if (!player_ || over_) return;
    if (player_->step()) {
        over_ = true;
        ended();
    }
}

std::optional<ScenarioState> ScenarioRun::state() const {
    if (!player_) return std::nullopt;
    const ScenarioProgress p = player_->progress();
    return ScenarioState{p.file, p.elapsed, p.duration, p.done, p.events, p.next_at, p.next};
}

void ScenarioRun::set_fix_lost(bool lost) {
    ReceiverOptions options = program_.receiver();
    options.no_fix = lost;
    program_.receiver_settings().set_for_run(options, this);
}

void ScenarioRun::set_week_offset(int weeks) { program_.simulated_clock().set_week_offset(weeks); }

std::string ScenarioRun::give_route(std::size_t n, const Route& route, const FollowOptions& options) {
    const Result<> given = program_.control_target().give_route(n, route, options);
    return given ? std::string() : given.message();
}

bool ScenarioRun::add_leap_second(std::int64_t day_after) { return program_.simulated_clock().add_leap_second(day_after); }

}  // namespace vadrel
