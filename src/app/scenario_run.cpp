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
    player_.emplace(scenario, program_.fleet(), program_.clock(), *this);
    player_->marked = [this](const std::string& line) { marked(line); };
    over_ = false;
    if (scenario.seed) {
        ReceiverOptions options = program_.receiver();
        options.faults.seed = *scenario.seed;
        program_.use_receiver(options);
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
    program_.use_receiver(options);
}

}  // namespace vadrel
