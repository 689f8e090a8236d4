#include "route_guide.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vadrel {

namespace {

constexpr double metres_per_second_per_kmh = 1.0 / 3.6;

}  // namespace

std::optional<std::string> RouteGuide::give(std::size_t n, Route route, const FollowOptions& options,
                                             const Vehicle& vehicle) {
    if (auto why = follow_problem(route, options)) return why;
    const GeoPoint here{vehicle.lat / arc_seconds_per_degree, vehicle.lon / arc_seconds_per_degree};
    RouteProgress progress = start_route(route, options, here);
    routes_.at(n) = Followed{std::move(route), options, progress};
    return std::nullopt;
}

std::optional<std::string> RouteGuide::resume(std::size_t n, Route route, const FollowOptions& options,
                                               const RouteProgress& progress) {
    if (auto why = follow_problem(route, options)) return why;
    if (auto why = progress_problem(route, options, progress)) return why;
    routes_.at(n) = Followed{std::move(route), options, progress};
    return std::nullopt;
}

GeoPoint RouteGuide::position(std::size_t n) const {
    const Followed& followed = *routes_.at(n);
    return locate(followed.route, followed.progress, followed.options, 0.0).position;
}

bool RouteGuide::steer(std::size_t n, Vehicle& vehicle, double seconds) {
    std::optional<Followed>& followed = routes_.at(n);
    if (!followed) return false;
    // The route has its own direction: the speed's size, in m/s.
    const double speed = std::fabs(vehicle.speed_kmh()) * metres_per_second_per_kmh;
    const RouteStep step = advance(followed->route, followed->progress, followed->options, seconds, speed);
    followed->progress = step.progress;
    vehicle.lat = step.lat_arc_seconds();
    vehicle.lon = step.lon_arc_seconds();
    vehicle.course = step.course;
    // The speed it goes is the vehicle's (in its unit, forwards): a point's
    // speed or the track's rhythm shows there as the panel's speed does, and
    // the legs after go on at it until another point gives one. At the end
    // of a route that stops there, the vehicle stands still.
    const double in_unit = step.speed * (vehicle.unit == SpeedUnit::knots ? 3.6 / km_per_nautical_mile : 3.6);
    if (step.progress.finished) {
        vehicle.speed = 0.0;
    } else if (std::fabs(in_unit - std::fabs(vehicle.speed)) > 1e-6 * std::max(1.0, in_unit)) {
        vehicle.speed = in_unit;
    }
    return true;
}

}  // namespace vadrel
