#include "route_keeping.h"

#include <malloc.h>

#include <algorithm>
#include <cstdio>

#include "os/signals.h"
#include "routes/route_files.h"

namespace vadrel {

namespace {

// The longest the end waits for the routes being written (a million points
// take a few seconds on a slow disk).
constexpr std::chrono::seconds kept_routes_wait{20};

// Said when a termination signal ends the start.
constexpr const char* interrupted = "vadrel: avvio interrotto da un segnale: niente è stato inviato.";
constexpr int interrupted_status = 2;

// "120 punti, 3.456 km".
std::string route_description(const Route& route) {
    char length[32];
    std::snprintf(length, sizeof length, "%.3f", route.length() / 1000.0);
    return std::to_string(route.size()) + (route.size() == 1 ? " punto, " : " punti, ") + length + " km";
}

std::string vehicle_text(std::size_t n) { return "vadrel: il mezzo " + std::to_string(n); }

}  // namespace

RouteKeeping::RouteKeeping(const ProgramFolder& folder, VehicleRoutes& routes,
                           const std::vector<RouteArgument>& given, Say say)
    : folder_(folder), routes_(routes), say_(std::move(say)) {
    for (const RouteArgument& route : given) {
        given_.push_back(read_route(route));
        // Parsing a route of many points leaves megabytes of small blocks
        // freed in the heap: back to the system before the next one.
        malloc_trim(0);
    }
}

RouteKeeping::~RouteKeeping() = default;

RouteKeeping::GivenRoute RouteKeeping::read_route(const RouteArgument& given) {
    const std::string where = "--percorso " + std::to_string(given.vehicle) + "=" + given.file + ": ";
    RouteReading reading = read_route_file(given.file);
    if (const auto* problem = std::get_if<ReadProblem>(&reading)) throw RouteRefused(where + problem->message());
    auto& routes = std::get<std::vector<Route>>(reading);
    const auto chosen = choose_route(routes, given.request.choice);
    if (const auto* why = std::get_if<std::string>(&chosen)) throw RouteRefused(where + *why);
    Route route = std::move(routes[std::get<std::size_t>(chosen)]);
    if (const auto why = follow_problem(route, given.request.options)) throw RouteRefused(where + *why);
    return {given.vehicle, given.file, std::move(route), given.request.options};
}

void RouteKeeping::start() {
    // Nothing sent yet: a termination signal while the kept routes are read
    // ends the program at once, in the window program too.
    const TerminationDuringStart starting(interrupted, interrupted_status);
    kept_ = std::make_unique<KeptRoutes>(folder_);
    // Where the vehicle is stands in the table; a kept route goes on from there.
    for (std::size_t n = 0; n < fleet_size; ++n) resume(n);
    // From here on every route given or taken away is kept or removed, on
    // the worker: what became of it is said when it is done.
    worker_ = std::make_unique<KeptRoutesWorker>(
        *kept_, [this](std::size_t n, const std::string& why, bool later) { routes_.finished(n, why, later); });
    routes_.set_keeper(worker_.get());
    for (GivenRoute& given : given_) {
        const std::size_t n = given.vehicle;
        // Refused already at construction, if at all.
        if (routes_.give(n, std::move(given.route), given.options, this)) continue;
        malloc_trim(0);  // the copy written, as above
        say_(vehicle_text(n) + " segue il percorso di " + given.file + " (" +
             route_description(routes_.route(n)->route) + ")");
    }
    given_.clear();
    malloc_trim(0);
    watch_routes();
}

void RouteKeeping::resume(std::size_t n) {
    // Reading a kept route of many points leaves megabytes freed in the
    // heap: back to the system before the next one, rather than resident.
    malloc_trim(0);
    auto kept = kept_->read(n);
    const auto given = std::find_if(given_.begin(), given_.end(), [n](const GivenRoute& g) { return g.vehicle == n; });
    auto* route = std::get_if<KeptRoutes::Kept>(&kept);
    if (given == given_.end()) {
        if (const auto* why = std::get_if<std::string>(&kept)) {
            say_("vadrel: il percorso tenuto per il mezzo " + std::to_string(n) + " non si usa: " + *why +
                 "; i file restano come sono e il mezzo va dritto");
            return;
        }
        if (!route) return;
    } else if (!route || route->options != given->options || !(route->route == given->route)) {
        // The command line's route replaces it, unless it is the same route
        // with the same options, compared as read, point by point (a route
        // kept by an earlier version with more decimals is the same).
        return;
    }
    const std::size_t points = route->route.size();
    // Checked by read() already.
    if (routes_.resume(n, std::move(route->route), route->options, route->progress, this)) return;
    if (given != given_.end()) given_.erase(given);
    say_(vehicle_text(n) + " riprende il suo percorso dal punto raggiunto (" + std::to_string(points) +
         (points == 1 ? " punto)" : " punti)"));
}

void RouteKeeping::watch_routes() {
    routes_.watch_keeping([this](std::size_t n, const std::string& why, bool again) {
        if (routes_.has_route(n)) {
            if (!why.empty()) {
                say_(vehicle_text(n) + ": il percorso non si può tenere per il prossimo avvio: " + why +
                     (routes_.may_keep_later(n) ? "; il mezzo lo segue, e vadrel riprova a tenerlo a ogni salvataggio"
                                                : "; il mezzo lo segue"));
            } else if (again) {
                say_("vadrel: il percorso del mezzo " + std::to_string(n) + " ora è tenuto per il prossimo avvio");
            }
        } else if (!why.empty()) {
            say_(vehicle_text(n) + ": il percorso tenuto non si può togliere: " + why);
        }
    });
    // The routes the others give and take away, said as the command line's are.
    routes_.watch([this](std::size_t n, Fleet::Origin) {
        if (const FollowedRoute* followed = routes_.route(n)) {
            const std::string& name = followed->route.name();
            say_(vehicle_text(n) + " segue il percorso" + (name.empty() ? "" : " \"" + name + "\"") + " (" +
                 route_description(followed->route) + ")");
        } else {
            say_(vehicle_text(n) + " lascia il percorso e va dritto");
        }
    });
}

void RouteKeeping::keep_progress() {
    if (!worker_) return;
    // A route that could not be kept when given (a full disk) is tried again.
    routes_.keep_again();
    // After the keeps asked before, on the worker: never a GPX not yet written.
    std::vector<std::pair<std::size_t, RouteProgress>> progress;
    for (std::size_t n = 0; n < fleet_size; ++n) {
        if (const FollowedRoute* followed = routes_.route(n)) progress.emplace_back(n, followed->progress);
    }
    // Nothing to write: the worker's thread is not started for it.
    if (progress.empty()) return;
    worker_->save_progress(std::move(progress), [this](const std::string& problem) { report_progress(problem); });
}

void RouteKeeping::report_progress(const std::string& problem) {
    if (problem == problem_) return;
    problem_ = problem;
    say_(problem.empty() ? std::string("vadrel: i percorsi si salvano di nuovo")
                         : "vadrel: il punto raggiunto sul percorso non si può salvare: " + problem);
}

void RouteKeeping::finish() {
    keep_progress();
    // A route given just before the end is kept whole, or not at all.
    if (worker_ && !worker_->wait(kept_routes_wait)) {
        say_("vadrel: i percorsi non finiscono di scriversi: il prossimo avvio trova i precedenti");
    }
}

}  // namespace vadrel
