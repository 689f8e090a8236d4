#pragma once
// A scenario's events in time: given the simulated seconds since the start,
// the events that have come due since the last asking, each once, in order;
// and how far the run has come.
//
//   Timeline timeline(scenario.events, scenario.duration);
//   timeline.due(4.9);   // {}
//   timeline.due(5.0);   // {the event at 5}
//   timeline.done();     // 1
//   timeline.over(3600); // true: the run ends

#include <cstddef>
#include <optional>
#include <vector>

#include "scenario/scenario.h"

namespace vadrel {

class Timeline {
public:
    Timeline(std::vector<ScenarioEvent> events, std::optional<double> duration)
        : events_(std::move(events)), duration_(duration) {}

    // The events at or before `elapsed` not given yet; they count as done.
    std::vector<ScenarioEvent> due(double elapsed);
    // Whether the scenario's duration has gone by.
    bool over(double elapsed) const { return duration_ && elapsed >= *duration_; }

    std::size_t done() const { return next_; }
    std::size_t size() const { return events_.size(); }
    // The next event to come; nothing when all are done.
    const ScenarioEvent* next() const { return next_ < events_.size() ? &events_[next_] : nullptr; }
    const std::optional<double>& duration() const { return duration_; }

private:
    std::vector<ScenarioEvent> events_;
    std::optional<double> duration_;
    std::size_t next_ = 0;
};

}  // namespace vadrel
