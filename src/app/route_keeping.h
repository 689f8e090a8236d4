#pragma once
// The vehicles' routes as the program starts and ends with them: the
// command line's, read when the program is made (a route that cannot be
// read or followed refuses the start); the kept ones given back to their
// vehicles where they were along them; every route given or taken away
// afterwards kept in the program's folder on a worker, its progress saved
// every few seconds and at the end.
//
//   RouteKeeping keeping(folder, routes, options.percorsi, say);   // throws RouteRefused
//   keeping.start();           // once the vehicle table is loaded
//   keeping.keep_progress();   // every few seconds
//   keeping.finish();          // at the end

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/kept_routes.h"
#include "app/options.h"
#include "config/program_folder.h"
#include "routes/vehicle_routes.h"

namespace vadrel {

// A route of the command line that cannot be read or followed; the reason
// in Italian, naming the file.
class RouteRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class RouteKeeping {
public:
    using Say = std::function<void(const std::string&)>;

    // Reads the command line's routes; throws RouteRefused. The folder and
    // the routes must outlive it; `say` takes whole lines for standard error.
    RouteKeeping(const ProgramFolder& folder, VehicleRoutes& routes, const std::vector<RouteArgument>& given, Say say);
    ~RouteKeeping();
    RouteKeeping(const RouteKeeping&) = delete;
    RouteKeeping& operator=(const RouteKeeping&) = delete;

    // The kept routes to their vehicles, where they were along them; then
    // the command line's, each placed at its start (unless it goes there
    // from where it is) and kept in the folder. A termination signal while
    // they are read ends the program at once.
    void start();
    // Each route's progress to the folder, when it changed; a failure said
    // once until a save works again.
    void keep_progress();
    // The last progress kept, and the writes waited for a while.
    void finish();

private:
    struct GivenRoute {
        std::size_t vehicle;
        std::string file;
        Route route;
        FollowOptions options;
    };
    static GivenRoute read_route(const RouteArgument& given);
    // The kept route of vehicle n back to it, or the command line's when they differ.
    void resume(std::size_t n);
    // What became of the keeping and of the routes, said as it happens.
    void watch_routes();
    void report_progress(const std::string& problem);

    const ProgramFolder& folder_;
    VehicleRoutes& routes_;
    Say say_;
    std::vector<GivenRoute> given_;
    std::unique_ptr<KeptRoutes> kept_;
    // Writes them once the start has read them; waited for at the end.
    std::unique_ptr<KeptRoutesWorker> worker_;
    std::string problem_;
};

}  // namespace vadrel
