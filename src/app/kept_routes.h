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

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "config/program_folder.h"
#include "fleet/fleet.h"
#include "routes/follower.h"
#include "routes/route.h"
#include "routes/vehicle_routes.h"

namespace vadrel {

class KeptRoutes final : public RouteKeeper {
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
                     const RouteProgress& progress) override;
    // Writes vehicle n's progress when it changed since last written; only
    // for a route this run kept or read. "" when done or nothing to do.
    std::string save_progress(std::size_t n, const RouteProgress& progress);
    // Removes vehicle n's kept route; "" when done (or nothing was there).
    std::string forget(std::size_t n) override;
    // False after a route whose GPX passes max_file_bytes: it never will fit.
    bool may_keep_later(std::size_t n) const override { return !too_large_.at(n); }

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

    const ProgramFolder& folder_;
    struct Written {
        std::string fingerprint;  // of the route file
        FollowOptions options;
        RouteProgress progress;
    };
    std::array<std::optional<Written>, fleet_size> written_;
    std::array<bool, fleet_size> too_large_{};
};

}  // namespace vadrel
