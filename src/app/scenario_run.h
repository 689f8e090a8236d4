#pragma once
// The program's scenario: none, or one under way, which play() replaces.
// Its seed goes to the receiver, its events are played before each tick,
// its threats go into the sentences, and at the end of its duration
// `ended` is called (the program ends in order).
//
//   ScenarioRun run(program);       // the program makes its own
//   run.marked = [&](const std::string& line) { monitor.write({line}); };
//   run.play(scenario);

#include <functional>
#include <optional>
#include <string>

#include "control/control_target.h"
#include "scenario/scenario_player.h"

namespace vadrel {

class Program;

class ScenarioRun : public ScenarioReceiver {
public:
    explicit ScenarioRun(Program& program);
    ~ScenarioRun() override;
    ScenarioRun(const ScenarioRun&) = delete;
    ScenarioRun& operator=(const ScenarioRun&) = delete;

    // From the next tick on, in place of the one under way (whose threats end).
    void play(const Scenario& scenario);
    // How far the one under way has come; nothing when none is.
    std::optional<ScenarioState> state() const;
    // The events played since the last asking, for the events' WebSocket.
    std::vector<ScenarioMark> take_marks() { return player_ ? player_->take_marks() : std::vector<ScenarioMark>{}; }

    void set_fix_lost(bool lost) override;
    void set_week_offset(int weeks) override;
    bool add_leap_second(std::int64_t day_after) override;
    std::string give_route(std::size_t n, const Route& route, const FollowOptions& options) override;

    // Called once, at the first tick past the duration.
    std::function<void()> ended = [] {};
    // Each event as the monitor marks it.
    std::function<void(const std::string&)> marked = [](const std::string&) {};

private:
    void step();

    Program& program_;
    std::optional<ScenarioPlayer> player_;
    bool over_ = false;
};

}  // namespace vadrel
