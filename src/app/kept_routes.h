#pragma once
// The vehicles' routes kept in the program's folder, so that a restart goes
// on where each vehicle was. Two files for vehicle n:
//   vadrel.percorso.N.F.gpx  the route as GPX 1.1 (route_gpx), written once
//                            when the route is given; F is the start of its
//                            SHA-256, so each route has a name of its own;
//   vadrel.percorso.N        its options, its progress and the GPX's SHA-256,
//                            a few lines rewritten as the vehicle goes on.
// A new route is written and synced beside the old one under its own name,
// then the state is replaced (ProgramFolder::replace: a temporary synced and
// renamed over it), then the old GPX is removed. The state names the GPX it
// belongs to, so a kill at any instant leaves the old pair or the new one,
// whole; a GPX no state names is a left-over, removed at the next read. The
// route of an earlier version (vadrel.percorso.N.gpx) is still read.
//
//   KeptRoutes kept(folder);
//   kept.keep(3, route, options, progress);   // given a route
//   kept.save_progress(3, progress);          // every few seconds, and at the end
//   auto read = kept.read(3);                 // at the next start
//   kept.forget(3);                           // the route left
//
// A kept file that cannot be used (damaged, written by something else, the
// route and its progress not belonging together) is refused with the reason
// in Italian and left as it is: the vehicle goes straight on, and the file
// is only replaced when the vehicle is given another route. The GPX's hash
// is checked before it is parsed: a file put in its place costs one read.

#include <QObject>
#include <QThreadPool>
#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "config/program_folder.h"
#include "os/descriptor.h"
#include "fleet/fleet.h"
#include "routes/follower.h"
#include "routes/route.h"
#include "routes/vehicle_routes.h"

namespace vadrel {

class KeptRoutes final {
public:
    explicit KeptRoutes(const ProgramFolder& folder) : folder_(folder) {}

    // "vadrel.percorso.3"; "vadrel.percorso.3.0123456789abcdef.gpx" for the
    // route of that SHA-256 (hex), "vadrel.percorso.3.gpx" without one (an
    // earlier version's name).
    static std::string state_name(std::size_t n);
    static std::string route_name(std::size_t n, std::string_view fingerprint = {});

    // Keeps vehicle n's new route; "" when kept, else why not in Italian
    // (nothing is kept for n then, the old route removed too, and the next
    // start finds no route). A route whose GPX would pass what the readers
    // take (max_file_bytes) is not kept.
    std::string keep(std::size_t n, const Route& route, const FollowOptions& options,
                     const RouteProgress& progress);
    // Writes vehicle n's progress when it changed since last written; only
    // for a route this run kept or read. "" when done or nothing to do.
    std::string save_progress(std::size_t n, const RouteProgress& progress);
    // Removes vehicle n's kept route; "" when done (or nothing was there).
    std::string forget(std::size_t n);
    // False after a route whose GPX passes max_file_bytes: it never will fit.
    bool may_keep_later(std::size_t n) const { return !too_large_.at(n); }

    struct Kept {
        Route route;
        FollowOptions options;
        RouteProgress progress;
    };
    // Vehicle n's kept route: nothing (std::monostate) when none is kept,
    // the route, or why the files there cannot be used, in Italian.
    std::variant<std::monostate, Kept, std::string> read(std::size_t n);

private:
    // Removes vehicle n's GPX files but `used`; "" when done.
    std::string remove_routes(std::size_t n, const std::string& used = {});
    std::string write_state(std::size_t n, const FollowOptions& options, const RouteProgress& progress);

    struct Written {
        std::string fingerprint;  // of the route file
        FollowOptions options;
        RouteProgress progress;
    };
    // Vehicle n's state file: nothing when there is none, or why it cannot be used.
    std::variant<std::monostate, Written, std::string> read_state(std::size_t n);
    // The route file a state names (its name in the folder), or the one
    // name of an earlier version; `error` the errno of a file not opened.
    std::pair<Descriptor, std::string> open_route(std::size_t n, const std::string& fingerprint, int& error) const;
    // The route of `gpx` when it has that fingerprint; otherwise `changed`, or why it cannot be read.
    static std::variant<Route, std::string> read_route(const Descriptor& gpx, const std::string& fingerprint,
                                                       const std::string& route_shown, const std::string& changed);

    const ProgramFolder& folder_;
    std::array<std::optional<Written>, fleet_size> written_;
    std::array<bool, fleet_size> too_large_{};
};

// The kept routes written on a thread of their own, one task after another
// in the order asked: a route of a million points takes seconds to write and
// sync, and the tick's thread never waits for it. A later keep, forget or
// save of a vehicle never overtakes an earlier one, so the state never names
// a GPX not yet written. Each outcome comes back to the thread that made the
// worker (its event loop), through `done`.
//
//   KeptRoutesWorker worker(kept, [&](std::size_t n, const std::string& why, bool later) {
//       routes.finished(n, why, later); });
//   routes.set_keeper(&worker);       // keep() and forget() answer nullopt: under way
//   worker.save_progress({{3, progress}}, [](const std::string& problem) { ... });
//   worker.wait(std::chrono::seconds(20));   // at the end
//
// `kept` is the worker's alone from the first task on.
class KeptRoutesWorker final : public RouteKeeper {
public:
    using Done = std::function<void(std::size_t n, const std::string& why, bool may_keep_later)>;
    KeptRoutesWorker(KeptRoutes& kept, Done done);
    // Drops what is not started and waits for the task running.
    ~KeptRoutesWorker() override;
    KeptRoutesWorker(const KeptRoutesWorker&) = delete;
    KeptRoutesWorker& operator=(const KeptRoutesWorker&) = delete;

    // The route copied here; nullopt: under way.
    std::optional<std::string> keep(std::size_t n, const Route& route, const FollowOptions& options,
                                    const RouteProgress& progress) override;
    std::optional<std::string> forget(std::size_t n) override;
    // Each vehicle's progress after what was asked before; `saved` gets the
    // first failure ("" when none).
    void save_progress(std::vector<std::pair<std::size_t, RouteProgress>> progress,
                       std::function<void(const std::string& problem)> saved);
    // Waits at most `limit` for every task asked; true when all are done.
    bool wait(std::chrono::milliseconds limit);

private:
    // Runs `task` on the worker; what it returns goes to `back` on this thread.
    void post(std::function<std::function<void()>()> task);

    KeptRoutes& kept_;
    Done done_;
    QObject home_;  // the thread the outcomes come back to
    QThreadPool pool_;
};

}  // namespace vadrel
