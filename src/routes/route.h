#pragma once
// A route: the points a vehicle follows, in order, each with the speed and
// the time it may carry. Legs join consecutive points along great circles.
//
//   Route route("giro");
//   route.add({45.0, 9.0});                    // nullopt: added
//   route.add({45.1, 9.0, 13.9});              // a speed, m/s, for the leg that starts here
//   route.add({95.0, 9.0});                    // "la latitudine 95 è fuori campo (da -90 a 90 gradi)"
//   route.length();                            // metres
//
// A route holds up to a million points, 12 bytes each (16 with times, 20
// with times and speeds): the coordinates in ten-millionths of a degree
// (1.1 cm; a coordinate of up to seven decimals reads back as the same
// double), the length of each leg, and only where the file has them, the
// time from each point to the next (to the millisecond) and the speeds.
// Nothing else is kept per point, and nothing is copied as a route grows
// (BlockVector), so 19 vehicles on routes of 100,000 points take some 30 MB.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "routes/block_vector.h"
#include "routes/geodesy.h"

namespace vadrel {

struct RoutePoint {
    RoutePoint() = default;
    RoutePoint(double lat_degrees, double lon_degrees, std::optional<double> speed_mps = std::nullopt,
               std::optional<std::int64_t> time_ms = std::nullopt)
        : lat(lat_degrees), lon(lon_degrees), speed(speed_mps), time(time_ms) {}

    double lat = 0.0;  // degrees, -90 .. 90
    double lon = 0.0;  // degrees, -180 .. 180
    std::optional<double> speed;            // m/s
    std::optional<std::int64_t> time;       // milliseconds since 1970 UTC
    bool operator==(const RoutePoint&) const = default;
};

class Route {
public:
    static constexpr std::size_t max_points = 1'000'000;
    // The fastest a point may ask: 32,767 knots, the panel's highest speed.
    static constexpr double max_speed = 32767.0 * 1852.0 / 3600.0;
    // Two consecutive points at most this far apart in time (the longest a
    // 32-bit count of milliseconds holds, 49 days and a half).
    static constexpr std::int64_t max_leg_ms = 0xFFFFFFFF;
    // Consecutive points closer than this to being opposite ends of the
    // globe are refused: every great circle through one goes through the
    // other, so the leg between them is no path.
    static constexpr double antipode_margin_m = 1.0;

    Route() = default;
    explicit Route(std::string name) : name_(std::move(name)) {}

    // The longest name a route takes, in characters. The GPX that keeps a
    // route holds its name whole, at most four bytes a character, and every
    // reader takes that much back (xml_routes.cpp's text limit is tied here).
    static constexpr std::size_t max_name_chars = 1024;
    // Why `name` cannot be a route's name, in Italian: longer than
    // max_name_chars, or holding a character XML cannot hold (a control
    // character other than tab and line breaks, U+FFFE, U+FFFF). Every way
    // a route comes in passes here (follow_problem), so a route given is one
    // its kept file gives back.
    static std::optional<std::string> name_problem(std::string_view name);

    const std::string& name() const { return name_; }
    void set_name(std::string name) { name_ = std::move(name); }

    // Adds a point at the end. Refused, with the reason in Italian and the
    // route left as it was: a coordinate out of range or not a number, a
    // speed below 0, above max_speed or not a number, a time before the
    // previous point's, or more than max_leg_ms after it, a point opposite
    // the previous one, a point past max_points. A route keeps its times
    // only while every point has one.
    std::optional<std::string> add(const RoutePoint& point);
    // Gives back the room the vectors grew beyond the points: once built.
    void shrink();

    std::size_t size() const { return points_.size(); }
    bool empty() const { return points_.empty(); }
    GeoPoint position(std::size_t i) const { return points_[i].degrees(); }
    // The speed of point i (m/s), for the leg that starts there.
    std::optional<double> speed(std::size_t i) const;
    // The time of point i; only when has_times().
    std::optional<std::int64_t> time(std::size_t i) const;
    RoutePoint point(std::size_t i) const;

    // Leg i goes from point i to point i + 1.
    std::size_t legs() const { return size() > 0 ? size() - 1 : 0; }
    // Metres, to a float's precision (a ten-millionth).
    double leg_length(std::size_t i) const { return legs_[i]; }
    // Milliseconds; only when has_times().
    std::int64_t leg_ms(std::size_t i) const { return leg_ms_[i]; }

    bool has_times() const { return !points_.empty() && timed_; }
    // Metres from the first point to the last.
    double length() const { return length_; }
    // From the first point's time to the last's; 0 without times.
    std::int64_t duration_ms() const { return has_times() ? last_ms_ - first_ms_ : 0; }
    // Seconds from the first point to the last at `speed` (m/s) where a
    // point gives none; infinite when some leg has neither speed.
    double travel_seconds(double speed) const;

    // A coarse index of the points, for drawing many of them: the extent
    // of each run of extent_points consecutive points (run k holds points
    // k * extent_points on, the last run maybe fewer), so that a run away
    // from what is shown is passed over whole.
    static constexpr std::size_t extent_points = 64;
    struct Extent {
        std::int32_t south = 0;  // ten-millionths of a degree, as the points
        std::int32_t north = 0;
        // Degrees east of the run's first point, its longitudes unwrapped
        // from point to point the short way (more than 360 round a pole).
        float west = 0.0f;
        float east = 0.0f;
        float last = 0.0f;  // the run's last point, likewise
    };
    std::size_t extents() const { return extents_.size(); }
    const Extent& extent(std::size_t run) const { return extents_[run]; }

    bool operator==(const Route& other) const;

private:
    // A point as kept: ten-millionths of a degree.
    struct Fixed {
        std::int32_t lat = 0;
        std::int32_t lon = 0;
        static Fixed of(double lat_degrees, double lon_degrees);
        GeoPoint degrees() const;
    };

    std::optional<std::string> refusal(const RoutePoint& point, GeoPoint kept) const;
    void drop_times();

    std::string name_;
    BlockVector<Fixed> points_;
    BlockVector<float> legs_;
    BlockVector<std::uint32_t> leg_ms_;
    // The time of every time_stride-th point, so that any point's time is a
    // short sum away.
    static constexpr std::size_t time_stride = 256;
    std::vector<std::int64_t> time_marks_;
    BlockVector<float> speeds_;  // NaN where a point has none; empty when none has
    bool timed_ = true;
    std::int64_t first_ms_ = 0;
    std::int64_t last_ms_ = 0;
    std::optional<std::int64_t> latest_ms_;  // the last time seen, kept or not
    Vec3 last_vector_{};
    std::vector<Extent> extents_;
    double run_east_ = 0.0;  // the last point east of its run's first, unwrapped
    double length_ = 0.0;
    double paced_seconds_ = 0.0;   // legs that start at a point with a speed
    double unpaced_metres_ = 0.0;  // the other legs
};

}  // namespace vadrel
