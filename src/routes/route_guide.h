#pragma once
// The routes the fleet's vehicles follow: the fleet's guide (fleet.h). A
// vehicle given a route is steered along it at each of its steps, at its
// speed (or the points' speeds, or the track's rhythm), instead of going
// straight on.
//
//   RouteGuide guide;
//   fleet.set_guide(&guide);
//   guide.give(3, std::move(route), {RouteEnd::loop}, fleet.vehicle(3));
//   fleet.advance(now);       // vehicle 3 moves along its route
//   guide.take_away(3);       // and straight on again from where it is

#include <array>
#include <optional>
#include <string>

#include "fleet/fleet.h"
#include "routes/follower.h"
#include "routes/route.h"

namespace vadrel {

class RouteGuide : public Guide {
public:
    // Gives vehicle n the route, starting where `vehicle` is (the first
    // point, or from there with from_here). Refused, with the reason in
    // Italian and nothing changed, when the route cannot be followed with
    // these options. The vehicle is not moved here: place it at start()
    // through the fleet's change path (unless from_here), and its next
    // steps follow the route.
    std::optional<std::string> give(std::size_t n, Route route, const FollowOptions& options, const Vehicle& vehicle);
    // Gives vehicle n the route as far along it as `progress` says (a kept
    // route, at a restart). Refused like give, and when the progress does
    // not belong to the route (progress_problem).
    std::optional<std::string> resume(std::size_t n, Route route, const FollowOptions& options,
                                      const RouteProgress& progress);
    void take_away(std::size_t n) { routes_.at(n).reset(); }
    bool has_route(std::size_t n) const { return routes_.at(n).has_value(); }
    // Where vehicle n is along its route; only with has_route(n).
    const RouteProgress& progress(std::size_t n) const { return routes_.at(n)->progress; }
    // Where vehicle n stands on its route now, in degrees; only with has_route(n).
    GeoPoint position(std::size_t n) const;

    bool steer(std::size_t n, Vehicle& vehicle, double seconds) override;

private:
    struct Followed {
        Route route;
        FollowOptions options;
        RouteProgress progress;
    };
    std::array<std::optional<Followed>, fleet_size> routes_;
};

}  // namespace vadrel
