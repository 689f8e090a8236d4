#include "vehicle_routes.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vadrel {

namespace {

constexpr double metres_per_second_per_kmh = 1.0 / 3.6;

GeoPoint where(const Vehicle& vehicle) {
    return {vehicle.lat / arc_seconds_per_degree, vehicle.lon / arc_seconds_per_degree};
}

// The speed's size in m/s: a route has its own direction.
double speed_mps(const Vehicle& vehicle) { return std::fabs(vehicle.speed_kmh()) * metres_per_second_per_kmh; }

}  // namespace

VehicleRoutes::VehicleRoutes(Fleet& fleet, RouteKeeper* keeper) : fleet_(fleet), keeper_(keeper) {
    fleet_.set_guide(this);
}

VehicleRoutes::~VehicleRoutes() { fleet_.set_guide(nullptr); }

std::optional<std::string> VehicleRoutes::give(std::size_t n, Route route, const FollowOptions& options,
                                               Origin origin) {
    if (!vehicle_exists(n)) return no_such_vehicle(n);
    if (auto why = follow_problem(route, options)) return why;
    // Placed first, with no route to rejoin: the placing is not a change by hand.
    routes_[n].reset();
    if (!options.from_here) {
        const GeoPoint first = route.position(0);
        placing_ = n;
        fleet_.place(n, first.lat * arc_seconds_per_degree, first.lon * arc_seconds_per_degree, origin);
        placing_.reset();
    }
    const GeoPoint here = where(fleet_.vehicle(n));
    RouteProgress progress = start_route(route, options, here);
    // The course of the path at once, as the panel and the next sentence show
    // it; the placing's guard keeps it from counting as a course by hand.
    const bool heading = options.from_here ? distance_m(here, route.position(0)) > 0.0
                                           : route.size() >= 2 && route.leg_length(0) > 0.0;
    if (heading) {
        placing_ = n;
        fleet_.set_course(n, locate(route, progress, options, 0.0).course, origin);
        placing_.reset();
    }
    routes_[n] = FollowedRoute{std::move(route), options, progress};
    keep(n);
    tell(n, origin);
    return std::nullopt;
}

std::optional<std::string> VehicleRoutes::resume(std::size_t n, Route route, const FollowOptions& options,
                                                 const RouteProgress& progress, Origin origin) {
    if (!vehicle_exists(n)) return no_such_vehicle(n);
    if (auto why = follow_problem(route, options)) return why;
    if (auto why = progress_problem(route, options, progress)) return why;
    routes_[n] = FollowedRoute{std::move(route), options, progress};
    not_kept_[n].clear();  // where it came from
    tell(n, origin);
    return std::nullopt;
}

std::optional<std::string> VehicleRoutes::append(std::size_t n, GeoPoint point, const std::string& name,
                                                 Origin origin) {
    if (!vehicle_exists(n)) return no_such_vehicle(n);
    if (!routes_[n]) {
        Route route(name);
        if (auto why = route.add({point.lat, point.lon})) return why;
        return give(n, std::move(route), {RouteEnd::stop, false, 0.0, true}, origin);
    }
    FollowedRoute followed = *routes_[n];
    const std::size_t old_size = followed.route.size();
    if (auto why = followed.route.add({point.lat, point.lon})) return why;
    if (auto why = follow_problem(followed.route, followed.options)) return why;
    RouteProgress& progress = followed.progress;
    const GeoPoint here = where(fleet_.vehicle(n));
    if (progress.finished) {
        // From the last point, where it stopped, on to the new one.
        progress = RouteProgress{};
        progress.leg = -1;
        progress.origin = here;
        progress.rejoin = static_cast<std::int64_t>(old_size);
        progress.course = followed.progress.course;
    } else if (followed.options.end == RouteEnd::loop && progress.leg == static_cast<std::int64_t>(old_size) - 1) {
        // On the leg back to the first point, which now starts at the new point.
        progress.leg = static_cast<std::int64_t>(followed.route.size()) - 1;
        progress = rejoin_route(followed.route, progress, followed.options, here);
    }
    routes_[n] = std::move(followed);
    keep(n);
    tell(n, origin);
    return std::nullopt;
}

void VehicleRoutes::take_away(std::size_t n, Origin origin) {
    if (n >= fleet_size || !routes_[n]) return;
    drop(n);
    tell(n, origin);
}

void VehicleRoutes::drop(std::size_t n) {
    routes_[n].reset();
    not_kept_[n].clear();
    keep_problem_.clear();
    if (keeper_) answered(n, keeper_->forget(n));
}

bool VehicleRoutes::answered(std::size_t n, const std::optional<std::string>& why) {
    if (!why) {
        ++pending_[n];
        if (routes_[n]) not_kept_[n] = keeping_text;
        keep_problem_.clear();
        return false;
    }
    if (routes_[n]) {
        not_kept_[n] = *why;
        later_[n] = keeper_->may_keep_later(n);
    }
    keep_problem_ = *why;
    return true;
}

void VehicleRoutes::keep(std::size_t n) {
    const FollowedRoute& followed = *routes_[n];
    not_kept_[n].clear();
    keep_problem_.clear();
    again_[n] = false;
    if (keeper_) answered(n, keeper_->keep(n, followed.route, followed.options, followed.progress));
}

void VehicleRoutes::finished(std::size_t n, const std::string& why, bool may_keep_later) {
    if (n >= fleet_size || pending_[n] == 0 || --pending_[n] > 0) return;  // a later one decides
    if (routes_[n]) {
        not_kept_[n] = why;
        later_[n] = may_keep_later;
    }
    keep_problem_ = why;
    const bool again = std::exchange(again_[n], false);
    // A watcher may unwatch itself: the list as it was when told.
    const auto watchers = keep_watchers_;
    for (const auto& [id, watcher] : watchers) watcher(n, why, again);
}

std::vector<std::size_t> VehicleRoutes::keep_again() {
    std::vector<std::size_t> kept;
    for (std::size_t n = 0; n < fleet_size; ++n) {
        if (!routes_[n] || not_kept_[n].empty() || pending_[n] > 0 || !keeper_ || !later_[n]) continue;
        const FollowedRoute& followed = *routes_[n];
        again_[n] = true;
        if (answered(n, keeper_->keep(n, followed.route, followed.options, followed.progress)) &&
            not_kept_[n].empty())
            kept.push_back(n);
    }
    return kept;
}

const FollowedRoute* VehicleRoutes::route(std::size_t n) const {
    return n < fleet_size && routes_[n] ? &*routes_[n] : nullptr;
}

RouteSummary VehicleRoutes::summary(std::size_t n) const {
    const FollowedRoute& followed = *routes_.at(n);
    return summarize(followed.route, followed.progress, followed.options, speed_mps(fleet_.vehicle(n)));
}

std::size_t VehicleRoutes::watch(Watcher watcher) {
    watchers_.emplace_back(next_watch_, std::move(watcher));
    return next_watch_++;
}

std::size_t VehicleRoutes::watch_keeping(KeepWatcher watcher) {
    keep_watchers_.emplace_back(next_watch_, std::move(watcher));
    return next_watch_++;
}

void VehicleRoutes::unwatch(std::size_t id) {
    std::erase_if(watchers_, [id](const auto& entry) { return entry.first == id; });
    std::erase_if(keep_watchers_, [id](const auto& entry) { return entry.first == id; });
}

void VehicleRoutes::tell(std::size_t n, Origin origin) {
    // A watcher may unwatch itself: the list as it was when told.
    const auto watchers = watchers_;
    for (const auto& [id, watcher] : watchers) watcher(n, origin);
}

bool VehicleRoutes::steer(std::size_t n, Vehicle& vehicle, double seconds) {
    std::optional<FollowedRoute>& followed = routes_.at(n);
    if (!followed) return false;
    const RouteStep step = advance(followed->route, followed->progress, followed->options, seconds, speed_mps(vehicle));
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
        // A loop of one point holds there at the speed it was given.
        if (followed->options.end == RouteEnd::stop) vehicle.speed = 0.0;
    } else if (std::fabs(in_unit - std::fabs(vehicle.speed)) > 1e-6 * std::max(1.0, in_unit)) {
        vehicle.speed = in_unit;
    }
    return true;
}

void VehicleRoutes::changed_by_hand(std::size_t n, Change what, const Vehicle& vehicle, const void* origin) {
    if (n >= fleet_size || !routes_[n] || placing_ == n) return;
    FollowedRoute& followed = *routes_[n];
    // Only a route that stops at its end is ever done with: a loop or a
    // back-and-forth of a single point has nowhere to go, and holds there.
    const bool finished = followed.progress.finished && followed.options.end == RouteEnd::stop;
    const bool leaves = what == Change::course || (finished && what == Change::placed) ||
                        (finished && what == Change::speed && vehicle.speed != 0.0);
    if (leaves) {
        drop(n);
        tell(n, origin);
        return;
    }
    if (what == Change::placed) {
        followed.progress = rejoin_route(followed.route, followed.progress, followed.options, where(vehicle));
    }
}

}  // namespace vadrel
