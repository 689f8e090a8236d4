#pragma once
// The track of every vehicle over the last hour: one point for each step the
// tick makes, oldest first, kept beside the vehicle table. The map draws it;
// a point holds what a GPX track point needs (position, UTC time, speed and
// course over ground), the segment it belongs to, and the position the
// sentences gave when the receiver's noise moved it.
//
//   TrackHistory tracks(21);
//   tracks.add(3, {steady, utc, 45.5, 9.2, 27.8, 90.0, segment});
//   for (const TrackPoint& p : tracks.points(3)) ...   // oldest first
//
// Bounded: a point older than an hour (by the steady clock of the newest
// point added) is dropped, from every vehicle, and no vehicle keeps more than
// an hour of one step a second.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <vector>

namespace vadrel {

struct TrackPoint {
    double steady = 0.0;  // Clock::steady_seconds() at the step
    double utc = 0.0;     // seconds since 1970-01-01 00:00:00 UTC
    double lat = 0.0;     // degrees, north positive
    double lon = 0.0;     // degrees, east positive
    double speed = 0.0;   // metres per second over ground, never negative
    double course = 0.0;  // degrees over ground, 0 north .. below 360
    // Changes where the vehicle was set rather than stepped (by hand, by a
    // file): the track breaks there.
    std::uint32_t segment = 0;
    // Where the sentences put it when the receiver's noise moved it off its
    // true position (degrees); reported is false without noise.
    bool reported = false;
    double reported_lat = 0.0;
    double reported_lon = 0.0;
    // Metres above sea level as the sentences said it ($GPGGA); none when
    // they carried no altitude (only $GPRMC, no fix, a 2D fix).
    std::optional<double> altitude{};
    bool operator==(const TrackPoint&) const = default;
};

class TrackHistory {
public:
    static constexpr double span_seconds = 3600.0;
    static constexpr std::size_t max_points = 3600;

    explicit TrackHistory(std::size_t vehicles) : tracks_(vehicles) {}

    // Adds the point to the vehicle's track (a vehicle outside the table is
    // ignored) and drops what has grown older than the span.
    void add(std::size_t vehicle, const TrackPoint& point);
    // The vehicle's points, oldest first; empty outside the table.
    const std::deque<TrackPoint>& points(std::size_t vehicle) const;
    std::size_t vehicles() const { return tracks_.size(); }

private:
    std::vector<std::deque<TrackPoint>> tracks_;
    std::deque<TrackPoint> none_;
    // The newest steady time every track was cut to the span at: the
    // points of one second (several vehicles) cut the others once.
    double swept_ = -std::numeric_limits<double>::infinity();
};

}  // namespace vadrel
