#pragma once
// A scenario played on the program's models: at each tick the events due
// by the simulated seconds gone by since its start, each through the change path
// it belongs to (the fleet's for a vehicle's fields, the receiver's for the
// fix, the threats for drift and jamming), and the end of the run when its
// duration has gone by. The seconds are elapsed ones, as a receiver's clock
// runs: a leap second counts as one, so `a: N` and `durata` are N seconds
// sent whatever the UTC labels say. What each event did is handed to
// `marked`, for the monitor and the control interface.
//
//   ScenarioPlayer player(scenario, fleet, clock, receiver);
//   transmitter.set_effects(&player.threats());
//   player.marked = [&](const std::string& line) { monitor.write({line}); };
//   if (player.step()) quit();      // before each tick

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "control/control_target.h"

#include "fleet/fleet.h"
#include "model/simulated_clock.h"
#include "scenario/scenario.h"
#include "scenario/threats.h"
#include "scenario/timeline.h"

namespace vadrel {

// What the receiver's events change: the loss of the signal on or off.
class ScenarioReceiver {
public:
    virtual ~ScenarioReceiver() = default;
    virtual void set_fix_lost(bool lost) = 0;
    // The receiver's dates that many weeks off (-1024: the rollover fault).
    virtual void set_week_offset(int weeks) = 0;
    // A leap second at the end of the day before `day_after` (days since
    // 1970); false when the clock refuses it (not after its last one).
    virtual bool add_leap_second(std::int64_t day_after) = 0;
    // Vehicle n follows `route` from now on, as a route the control
    // interface gives; "" when it does, else why not.
    virtual std::string give_route(std::size_t n, const Route& route, const FollowOptions& options) = 0;
};

// How far a scenario has come, for the control interface.
struct ScenarioProgress {
    std::string file;
    double elapsed = 0.0;
    std::optional<double> duration;
    std::size_t done = 0;
    std::size_t events = 0;
    std::optional<double> next_at;
    std::string next;  // what the next event does; "" when none is left
};

class ScenarioPlayer {
public:
    // The scenario's start is its `inizio`, to which the clock has been
    // set, or the clock's reading now; a later start of the clock at an
    // instant (--inizio, which wins over `inizio`) moves it there.
    ScenarioPlayer(const Scenario& scenario, Fleet& fleet, SimulatedClock& clock, ScenarioReceiver& receiver);

    // The events due now, applied; true once the duration has gone by.
    bool step();
    Threats& threats() { return threats_; }
    ScenarioProgress progress() const;
    // The events played since the last asking, for the events' WebSocket.
    std::vector<ScenarioMark> take_marks() { return std::exchange(marks_, {}); }

    // "scenario 12 s: mezzo 0: velocità 50 km/h"; with the reason when
    // the fleet refused it.
    std::function<void(const std::string&)> marked = [](const std::string&) {};

private:
    void apply(const ScenarioEvent& event, std::size_t index, std::int64_t now_ms);
    // Seconds on the clock's atomic scale since the start.
    double elapsed() const;

    std::string file_;
    Timeline timeline_;
    Fleet& fleet_;
    SimulatedClock& clock_;
    ScenarioReceiver& receiver_;
    Threats threats_;
    // The scenario's start on the clock's atomic scale: an event at `a: N`
    // goes with the second N elapsed seconds after it.
    double start_;
    std::uint64_t jumps_;  // the clock's starts when start_ was taken; past them, its last start
    std::vector<ScenarioMark> marks_;
};

}  // namespace vadrel
