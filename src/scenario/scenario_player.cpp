#include "scenario_player.h"

#include <cmath>

#include "control/vehicle_patch.h"
#include "scenario/scenario_values.h"

namespace vadrel {

ScenarioPlayer::ScenarioPlayer(const Scenario& scenario, Fleet& fleet, SimulatedClock& clock,
                               ScenarioReceiver& receiver)
    : file_(scenario.file),
      timeline_(scenario.events, scenario.duration),
      fleet_(fleet),
      clock_(clock),
      receiver_(receiver),
      start_(scenario.start_utc_ms
                 ? clock.leap_seconds().atomic_of(static_cast<double>(*scenario.start_utc_ms) / 1000.0)
                 : clock.atomic_seconds()),
      jumps_(clock.jumps()) {}

double ScenarioPlayer::elapsed() const {
    const double start = clock_.jumps() == jumps_ ? start_ : clock_.last_start();
    return clock_.atomic_seconds() - start;
}

bool ScenarioPlayer::step() {
    const double since = elapsed();
    // The threats count on the same elapsed scale as the events.
    const auto now_ms = static_cast<std::int64_t>(std::llround(clock_.atomic_seconds() * 1000.0));
    threats_.at(now_ms);
    std::size_t index = timeline_.done();
    for (const ScenarioEvent& event : timeline_.due(since)) apply(event, index++, now_ms);
    return timeline_.over(since);
}

void ScenarioPlayer::apply(const ScenarioEvent& event, std::size_t index, std::int64_t now_ms) {
    std::string note;
    if (event.fix_lost) receiver_.set_fix_lost(*event.fix_lost);
    if (event.vehicle) {
        const VehicleChange& change = *event.vehicle;
        VehiclePatch patch;
        patch.position = change.position;
        patch.course = change.course;
        patch.speed = change.speed;
        patch.unit = change.unit;
        if (auto refused = apply_vehicle_patch(fleet_, change.vehicle, patch, this)) {
            note += " [rifiutato: " + refused->reason + "]";
        }
    }
    if (event.route && event.route_read) {
        const std::string refused = receiver_.give_route(event.route->vehicle, *event.route_read, event.route->request.options);
        if (!refused.empty()) note += " [rifiutato: " + refused + "]";
    }
    if (event.drift) threats_.drift(*event.drift, now_ms);
    if (event.jamming_seconds) threats_.jam(*event.jamming_seconds, now_ms);
    if (event.gps_week_offset) receiver_.set_week_offset(*event.gps_week_offset);
    constexpr std::int64_t day_ms = 86400000;
    if (event.leap_second_utc_ms && !receiver_.add_leap_second(*event.leap_second_utc_ms / day_ms)) {
        note += " [rifiutato: non viene dopo l'ultimo secondo intercalare]";
    }
    marks_.push_back({index, event.at, event.text + note});
    marked("scenario " + number_text(event.at) + " s: " + event.text + note);
}

ScenarioProgress ScenarioPlayer::progress() const {
    ScenarioProgress progress{file_, elapsed(), timeline_.duration(), timeline_.done(), timeline_.size(), {}, {}};
    if (const ScenarioEvent* next = timeline_.next()) {
        progress.next_at = next->at;
        progress.next = next->text;
    }
    return progress;
}

}  // namespace vadrel
