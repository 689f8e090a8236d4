#include "scenario_run.h"

namespace vadrel {

ScenarioRun::ScenarioRun(const Scenario& scenario, Program& program)
    : player(scenario, program.fleet(), program.clock(), *this), program_(program) {
    if (scenario.seed) {
        OpzioniRicevitore options = program.receiver();
        options.guasti.seme = *scenario.seed;
        program.use_receiver(options);
    }
    program.transmitter().set_effects(&player.threats());
    program.before_tick = [this] {
        if (player.step() && !over_) {
            over_ = true;
            ended();
        }
    };
}

ScenarioRun::~ScenarioRun() {
    program_.before_tick = nullptr;
    program_.transmitter().set_effects(nullptr);
}

void ScenarioRun::set_fix_lost(bool lost) {
    OpzioniRicevitore options = program_.receiver();
    options.senza_fix = lost;
    program_.use_receiver(options);
}

}  // namespace vadrel
