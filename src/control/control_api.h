#pragma once
// The control interface's routes and what each answers, apart from sockets:
// a request as plain values in, a status and a JSON body out. The server
// (control_server.h) puts the sockets, the limits and the access rules
// around it.
//
//   answer({Method::Patch, "/api/v1/mezzi/3", "application/json", R"({"rotta":400})"}, target)
//       -> 400 {"errore": "la rotta va da 0 a 360 gradi, non 400", "campo": "rotta"}
//
// Status codes: 200 done; 400 a refused value (the field and the panel's
// reason); 404 no such route or vehicle (or a vehicle without a route); 405 a route without this method
// (Allow names those it has); 409 a change while a log is replayed; 415 a
// body that is not JSON, by its Content-Type or its bytes; 426 the events'
// route asked without the WebSocket upgrade. The server adds 401, 403, 411,
// 413, 431 and 503 (control_server.h).

#include <QByteArray>
#include <QHttpServerRequest>
#include <QJsonObject>
#include <QString>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "control/control_target.h"

namespace vadrel {

inline constexpr const char* control_api_prefix = "/api/v1";
// The route of the WebSocket of the events.
inline constexpr const char* events_path = "/api/v1/eventi";

// What a route does.
enum class Action : unsigned char {
    index,
    vehicles,
    read_receiver,
    ais,
    patch_ais,
    read_clock,
    patch_clock,
    state,
    vehicle,
    patch_vehicle,
    transmission,
    port,
    change_port,
    mode,
    receiver,
    events,
    route,
    give_route,
    take_route,
    scenario,
    encounter,
    fleet,
    tracked_device,
    replace_fleet,
    pilot,
    patch_pilot,
    instruments,
    patch_instruments,
};

struct ApiRoute {
    QHttpServerRequest::Method method;
    const char* path;  // "{n}" stands for a vehicle's number
    Action action;
    // The most a request's body may hold here: the listener's body_limit,
    // or its route_body_limit for a route's file.
    bool large_body = false;
};
// Every route the interface serves; docs/openapi.yaml describes each one.
const std::vector<ApiRoute>& control_routes();
// What a path of control_routes() is for, one line in Italian, for the
// index GET /api/v1 serves; "" for a path without one.
const char* route_description(const char* path);
// Where the installed package keeps the interface's description.
const char* api_description_path();

struct ApiRequest {
    QHttpServerRequest::Method method = QHttpServerRequest::Method::Get;
    QString path;
    QByteArray content_type;  // "" when the request has none
    QByteArray body;
    QString query;            // as the URL has it, percent-encoded; "" when none
};

// The HTTP statuses the control interface answers with.
namespace http_status {
inline constexpr int ok = 200, bad_request = 400, unauthorized = 401, forbidden = 403, not_found = 404,
                     method_not_allowed = 405, conflict = 409, length_required = 411, payload_too_large = 413,
                     unsupported = 415, upgrade_required = 426, header_too_large = 431, unavailable = 503;
}  // namespace http_status

struct ApiReply {
    int status = 200;
    QJsonObject body;
    // Beside Content-Type and Content-Length: Allow of a 405, WWW-Authenticate of a 401.
    std::vector<std::pair<QByteArray, QByteArray>> headers;
};

ApiReply answer(const ApiRequest& request, ControlTarget& target);

// answer() in two halves, so that a route's file is read off the program's
// loop: begin_answer() answers every request but a PUT of a route whose
// checks passed, which it hands back as the vehicle to give it to. The
// caller reads it (route_offer, on any thread) and gives it on the loop
// (give_offered_route, route_api.h), which answers.
struct RouteToRead {
    std::size_t n = 0;
};
// The same for a body the target reads whole: a scenario, a fleet file. It
// is read by prepare_body on any thread (the target's prepare_scenario or
// prepare_fleet), then applied and answered by body_reply on the loop. One
// of each kind is read at a time: body_busy says why another waits (409).
struct BodyToRead {
    Action action = Action::scenario;  // scenario or replace_fleet
    std::string destination;           // the fleet's server
};
std::variant<ApiReply, RouteToRead, BodyToRead> begin_answer(const ApiRequest& request, ControlTarget& target);
ControlTarget::BodyPlay prepare_body(ControlTarget& target, const BodyToRead& what, const QByteArray& body);
ApiReply body_reply(ControlTarget& target, const BodyToRead& what, const ControlTarget::BodyPlay& play);
ApiReply body_busy(const BodyToRead& what);

// Whether a request with this method and path (its query left out) may carry
// a large body: a route's file.
bool takes_large_body(QHttpServerRequest::Method method, const QString& path);

// A method the path does not have (405 with Allow), `method` named as the
// client sent it (already made safe to show); 404 when no route has the path.
ApiReply method_refusal(const std::string& method, const QString& path);

// {"errore", "campo"} with the status.
ApiReply refused(int status, const std::string& reason, const std::string& field = {});

// "GET", "PATCH", ...
QByteArray method_name(QHttpServerRequest::Method method);

}  // namespace vadrel
