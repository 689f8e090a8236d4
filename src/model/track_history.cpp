#include "track_history.h"

namespace vadrel {

void TrackHistory::add(std::size_t vehicle, const TrackPoint& point) {
    if (vehicle >= tracks_.size()) return;
    std::deque<TrackPoint>& track = tracks_[vehicle];
    track.push_back(point);
    if (track.size() > max_points) track.pop_front();
    const double oldest = point.steady - span_seconds;
    while (!track.empty() && track.front().steady < oldest) track.pop_front();
    // An older or equal time cuts nothing more from the other tracks.
    if (!(point.steady > swept_)) return;
    swept_ = point.steady;
    for (std::deque<TrackPoint>& t : tracks_) {
        while (!t.empty() && t.front().steady < oldest) t.pop_front();
    }
}

const std::deque<TrackPoint>& TrackHistory::points(std::size_t vehicle) const {
    return vehicle < tracks_.size() ? tracks_[vehicle] : none_;
}

}  // namespace vadrel
