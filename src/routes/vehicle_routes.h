#pragma once
// The vehicles' routes as the program gives, shows and takes them away: the
// one way for the command line, the control interface and the window. It
// steers the fleet's vehicles along their routes (it is the fleet's guide),
// places a vehicle at its route's start through the fleet's change path,
// keeps each route where a keeper says (the program's folder) and tells its
// watchers of every route given or taken away.
//
//   VehicleRoutes routes(fleet, &kept);
//   routes.give(3, std::move(route), {RouteEnd::loop}, this);   // nullopt: given, placed, kept
//   if (const FollowedRoute* followed = routes.route(3)) ... followed->route.size(), followed->progress
//   routes.take_away(3, this);                                  // straight on from where it is
//
// A vehicle on a route changed by hand, whoever asks (the panel, "Vai a
// posizione", the control interface, the fleet window, the map):
//   - placed somewhere: it goes from there straight to the point it was
//     heading for, and on along its route from that point;
//   - given a course: it leaves its route and goes straight on at that course;
//   - given a speed: it goes on along its route at that speed.
// A vehicle at the end of a route that stops there leaves it when placed
// somewhere or given a speed above 0: the route is done.

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/fleet.h"
#include "routes/follower.h"
#include "routes/route.h"

namespace vadrel {

// Where the routes are kept between runs; "" when done, else why not in
// Italian, or nothing while under way: a keeper that writes on a thread of
// its own tells VehicleRoutes::finished() each outcome later, in the order
// asked, on the routes' thread.
class RouteKeeper {
public:
    virtual ~RouteKeeper() = default;
    virtual std::optional<std::string> keep(std::size_t n, const Route& route, const FollowOptions& options,
                                            const RouteProgress& progress) = 0;
    virtual std::optional<std::string> forget(std::size_t n) = 0;
    // Whether keeping vehicle n's route again may work where it failed: a
    // full disk may have room later, a route too large to keep stays so.
    virtual bool may_keep_later(std::size_t) const { return true; }
};

struct FollowedRoute {
    Route route;
    FollowOptions options;
    RouteProgress progress;
};

class VehicleRoutes final : public Guide {
public:
    using Origin = Fleet::Origin;
    // The vehicle whose route was given or taken away, and who did it.
    using Watcher = std::function<void(std::size_t vehicle, Origin origin)>;

    // Becomes the fleet's guide until destroyed; `keeper` may be null (nothing kept).
    explicit VehicleRoutes(Fleet& fleet, RouteKeeper* keeper = nullptr);
    ~VehicleRoutes() override;
    VehicleRoutes(const VehicleRoutes&) = delete;
    VehicleRoutes& operator=(const VehicleRoutes&) = delete;

    void set_keeper(RouteKeeper* keeper) { keeper_ = keeper; }

    // Gives vehicle n the route: placed at its first point (unless
    // options.from_here: it drives there from where it is), followed from
    // its next step, and kept. Refused, with the reason in Italian and
    // nothing changed, when n is not a vehicle or the route cannot be
    // followed with these options. A route that cannot be kept is still
    // given: why is in keep_problem() and not_kept(n) until keep_again()
    // keeps it.
    std::optional<std::string> give(std::size_t n, Route route, const FollowOptions& options, Origin origin);
    // Gives vehicle n a route as far along it as `progress` says, where the
    // vehicle is (a kept route, at a restart): not placed, not kept again.
    std::optional<std::string> resume(std::size_t n, Route route, const FollowOptions& options,
                                      const RouteProgress& progress, Origin origin);
    // Adds a point at the end of vehicle n's route, the vehicle going on
    // from where it is: one heading back to the first point of a loop goes
    // on there and meets the new point on its next round; one at the end of
    // a route that stopped there drives on to the new point (at its speed:
    // it stands still until it has one). A vehicle with no route gets one
    // of this point, driven to from where it is (named `name`). Kept and
    // told as give() does; refused, nothing changed, for a point the route
    // refuses (a time-paced route takes no point without a time).
    std::optional<std::string> append(std::size_t n, GeoPoint point, const std::string& name, Origin origin);
    // Vehicle n goes straight on from where it is (nothing when it had no
    // route); its kept route is removed.
    void take_away(std::size_t n, Origin origin);

    // Vehicle n's route and where it is along it; nullptr when it has none.
    const FollowedRoute* route(std::size_t n) const;
    bool has_route(std::size_t n) const { return route(n) != nullptr; }
    // What is left of vehicle n's route at its speed now; only with has_route(n).
    RouteSummary summary(std::size_t n) const;

    std::size_t watch(Watcher watcher);
    void unwatch(std::size_t id);

    bool steer(std::size_t n, Vehicle& vehicle, double seconds) override;
    void changed_by_hand(std::size_t n, Change what, const Vehicle& vehicle, const void* origin) override;

    // Why the last route given could not be kept, or the last taken away
    // could not be removed from where it was kept, in Italian; "" when it could.
    const std::string& keep_problem() const { return keep_problem_; }
    // Why vehicle n's route is followed but not kept for the next start, in
    // Italian; "" when it is kept (or has no route, or there is no keeper).
    // While it is being written: keeping_text, and keeping(n).
    const std::string& not_kept(std::size_t n) const { return not_kept_.at(n); }
    bool keeping(std::size_t n) const { return pending_.at(n) > 0; }
    static constexpr std::string_view keeping_text = "in corso: vadrel lo sta scrivendo nella cartella del programma";
    // Whether vehicle n's route, not kept, may be kept by keep_again().
    bool may_keep_later(std::size_t n) const { return later_.at(n); }
    // A keep or forget the keeper finished; only the last one asked of a
    // vehicle counts. Then the keep watchers are told: `why` "" when kept
    // (or removed), `again` for a keep of keep_again().
    void finished(std::size_t n, const std::string& why, bool may_keep_later);
    using KeepWatcher = std::function<void(std::size_t vehicle, const std::string& why, bool again)>;
    // Unwatched by unwatch().
    std::size_t watch_keeping(KeepWatcher watcher);
    // Keeps again, as they are now, the routes that could not be kept (a
    // full disk, a folder not writable for a while) and may be later; the
    // vehicles whose route is kept now. Called with the table's saves.
    // A keeper that finishes later: nothing now, its successes come to the
    // keep watchers with `again`.
    std::vector<std::size_t> keep_again();

private:
    // What the keeper answered (nullopt: under way); true when it answered now.
    bool answered(std::size_t n, const std::optional<std::string>& why);
    void tell(std::size_t n, Origin origin);
    void drop(std::size_t n);
    // Keeps vehicle n's route as it is now.
    void keep(std::size_t n);

    Fleet& fleet_;
    RouteKeeper* keeper_;
    std::array<std::optional<FollowedRoute>, fleet_size> routes_;
    std::vector<std::pair<std::size_t, Watcher>> watchers_;
    std::size_t next_watch_ = 1;
    // The vehicle being placed at its route's start: not a change by hand.
    std::optional<std::size_t> placing_;
    std::string keep_problem_;
    std::array<std::string, fleet_size> not_kept_;
    std::array<bool, fleet_size> later_{};
    // Keeps and forgets under way, and whether the last keep is keep_again's.
    std::array<int, fleet_size> pending_{};
    std::array<bool, fleet_size> again_{};
    std::vector<std::pair<std::size_t, KeepWatcher>> keep_watchers_;
};

}  // namespace vadrel
