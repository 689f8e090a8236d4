#include "timeline.h"

namespace vadrel {

std::vector<ScenarioEvent> Timeline::due(double elapsed) {
    std::vector<ScenarioEvent> now;
    while (next_ < events_.size() && events_[next_].at <= elapsed) now.push_back(events_[next_++]);
    return now;
}

}  // namespace vadrel
