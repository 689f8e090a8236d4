#pragma once
// A vehicle's route over the control interface, apart from sockets:
//
//   PUT /api/v1/mezzi/3/percorso?fine=ciclo     body: the file (GPX, KML, CSV by
//       its Content-Type, or guessed from its first byte without one), or JSON
//       {"punti": [{"lat": 45.1, "lon": 9.2, "velocita": 30}], "fine": "ciclo"}
//   GET /api/v1/mezzi/3/percorso?primo=0&quanti=1000   the route, a page of its
//       points, and how far the vehicle has come along it
//
// The options are those of --percorso (nome, fine, ritmo, virata, da), as
// query parameters or, with a JSON body, as its fields; each at most once.

#include <QJsonObject>
#include <cstddef>
#include <functional>
#include <variant>

#include "control/control_api.h"
#include "routes/follower.h"
#include "routes/route.h"
#include "routes/vehicle_routes.h"

namespace vadrel {

struct RouteOffer {
    Route route;
    FollowOptions options;
};

// The route a PUT gives, or the reply refusing it: 415 a Content-Type that
// is no route's, 400 a file
// that cannot be read (with its line and column), a route the file does not
// have, an option that is not one.
// `go_on` is asked before each piece of the body is read; false stops the
// reading (the program is ending). Runs on any thread: it touches nothing
// but the request.
std::variant<RouteOffer, ApiReply> route_offer(const ApiRequest& request, const std::function<bool()>& go_on = {});

// On the program's loop: the route read for vehicle n given to it (or the
// refusal the reading made), and the answer.
ApiReply give_offered_route(ControlTarget& target, std::size_t n, std::variant<RouteOffer, ApiReply> offer);

// Which points a GET shows: primo (from 0) and quanti (1 to max_points_shown,
// 1000 when not asked), or the reply refusing them.
inline constexpr std::size_t max_points_shown = 10'000;
struct PointsPage {
    std::size_t first = 0;
    std::size_t count = 1000;
};
std::variant<PointsPage, ApiReply> points_page(const ApiRequest& request);

QJsonObject route_json(std::size_t n, const FollowedRoute& followed, const RouteSummary& summary,
                       const PointsPage& page);

}  // namespace vadrel
