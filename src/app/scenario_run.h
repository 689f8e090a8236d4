#pragma once
// A scenario played on the program: its seed in the receiver, its events
// before each tick, its threats in the sentences, its end. Made after the
// program, gone before it.
//
//   ScenarioRun run(scenario, program);
//   run.ended = [&app] { app.quit(); };

#include <functional>

#include "app/program.h"
#include "scenario/scenario_player.h"

namespace vadrel {

class ScenarioRun : public ScenarioReceiver {
public:
    ScenarioRun(const Scenario& scenario, Program& program);
    ~ScenarioRun() override;
    ScenarioRun(const ScenarioRun&) = delete;
    ScenarioRun& operator=(const ScenarioRun&) = delete;

    void set_fix_lost(bool lost) override;

    // Called once, at the first tick past the duration.
    std::function<void()> ended = [] {};
    ScenarioPlayer player;

private:
    Program& program_;
    bool over_ = false;
};

}  // namespace vadrel
