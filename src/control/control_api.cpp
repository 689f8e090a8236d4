#include "control_api.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <algorithm>
#include <optional>
#include <string_view>
#include <variant>

#include "control/control_json.h"
#include "control/fleet_api.h"
#include "control/instrument_json.h"
#include "control/route_api.h"
#include "routes/route_parsers.h"

namespace vadrel {

namespace {

using Method = QHttpServerRequest::Method;

using namespace http_status;

// Whether `path` fits the route's pattern; the vehicle's number in `vehicle`
// when the pattern has one ("{n}": digits only, any number of them).
bool fits(const QString& pattern, const QString& path, QString& vehicle) {
    const QStringList want = pattern.split(u'/');
    const QStringList have = path.split(u'/');
    if (want.size() != have.size()) return false;
    for (qsizetype i = 0; i < want.size(); ++i) {
        if (want[i] == u"{id}") {
            // A tracked device's id: the fleet file's characters, bounded.
            if (have[i].isEmpty() || have[i].size() > 64) return false;
            vehicle = have[i];
        } else if (want[i] == u"{n}") {
            if (have[i].isEmpty() || have[i].size() > 9) return false;
            for (QChar c : have[i]) {
                if (c < u'0' || c > u'9') return false;
            }
            vehicle = have[i];
        } else if (want[i] != have[i]) {
            return false;
        }
    }
    return true;
}

ApiReply reply(QJsonObject body) { return ApiReply{ok, std::move(body), {}}; }

ApiReply refusal_reply(const Refusal& refusal) { return ApiReply{bad_request, refusal_json(refusal), {}}; }

// A change not made: a value given refused (400), or the system failing it (503).
ApiReply not_done(const Result<>& done) {
    if (const Refusal* refusal = done.refusal()) return refusal_reply(*refusal);
    return ApiReply{unavailable, refusal_json({{}, done.message()}), {}};
}

// The body as a JSON object; 415 when it is not JSON, 400 when it is JSON but
// not an object.
std::variant<QJsonObject, ApiReply> json_body(const ApiRequest& request) {
    // "application/json", "application/json; charset=utf-8", "application/merge-patch+json".
    const QByteArray type = request.content_type.split(';').first().trimmed().toLower();
    if (!request.content_type.isEmpty() && type != "application/json" && !type.endsWith("+json")) {
        return refused(unsupported, "il corpo della richiesta deve essere JSON (Content-Type: application/json), non " +
                                        type.left(100).toStdString());
    }
    if (request.body.trimmed().isEmpty()) {
        return refused(unsupported, "il corpo della richiesta è vuoto: serve un oggetto JSON");
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
    if (error.error != QJsonParseError::NoError) {
        route_parsing::TextPlace at;
        at.advance(std::string_view(request.body.constData(), static_cast<std::size_t>(request.body.size()))
                       .substr(0, static_cast<std::size_t>(std::max(error.offset, 0))));
        return refused(unsupported, "il corpo della richiesta non è JSON valido (riga " + std::to_string(at.line) +
                                        ", colonna " + std::to_string(at.column) + ")");
    }
    if (!document.isObject()) return refused(bad_request, "il corpo deve essere un oggetto JSON, {...}");
    return document.object();
}

ApiReply replaying_refusal() {
    return refused(conflict, "è in corso la riproduzione di un registro: il simulatore non accetta modifiche "
                             "finché non finisce");
}

ApiReply vehicle_reply(ControlTarget& target, std::size_t n) { return reply(vehicle_json(target.entry(n))); }

// GET /api/v1: each path once, with its methods and what it is for.
QJsonObject index_json() {
    QJsonArray lines;
    std::vector<std::string_view> seen;
    for (const ApiRoute& route : control_routes()) {
        if (std::find(seen.begin(), seen.end(), route.path) != seen.end()) continue;
        seen.emplace_back(route.path);
        QJsonArray methods;
        for (const ApiRoute& other : control_routes()) {
            if (std::string_view(other.path) == route.path) methods.append(QString::fromLatin1(method_name(other.method)));
        }
        lines.append(QJsonObject{{"risorsa", QString::fromLatin1(route.path)},
                                 {"metodi", methods},
                                 {"descrizione", QString::fromUtf8(route_description(route.path))}});
    }
    return {{"risorse", lines}, {"descrizione_completa", QString::fromUtf8(api_description_path())}};
}

ApiReply route_reply(ControlTarget& target, std::size_t n, const PointsPage& page) {
    const FollowedRoute* followed = target.route(n);
    if (followed == nullptr) {
        return refused(not_found, "il mezzo " + std::to_string(n) + " non ha un percorso", "percorso");
    }
    QJsonObject json = route_json(n, *followed, target.route_summary(n), page);
    // Followed, but lost at the next start unless a later save keeps it.
    const std::string not_kept = target.route_not_kept(n);
    json.insert("tenuto", not_kept.empty());
    if (!not_kept.empty()) json.insert("perche_non_tenuto", QString::fromStdString(not_kept));
    return reply(json);
}

ApiReply pilot_reply(const ControlTarget& target) {
    const std::optional<PilotState> pilot = target.pilot();
    if (!pilot) return refused(not_found, "questo simulatore non ha il pilota automatico", "pilota");
    return reply(pilot_json(*pilot));
}

}  // namespace

QByteArray method_name(Method method) {
    switch (method) {
    case Method::Get: return "GET";
    case Method::Put: return "PUT";
    case Method::Delete: return "DELETE";
    case Method::Post: return "POST";
    case Method::Head: return "HEAD";
    case Method::Options: return "OPTIONS";
    case Method::Patch: return "PATCH";
    case Method::Connect: return "CONNECT";
    case Method::Trace: return "TRACE";
    default: break;
    }
    return "?";
}

const std::vector<ApiRoute>& control_routes() {
    static const std::vector<ApiRoute> routes = {
        {Method::Get, "/api/v1", Action::index},
        {Method::Get, "/api/v1/stato", Action::state},
        {Method::Get, "/api/v1/mezzi", Action::vehicles},
        {Method::Get, "/api/v1/ricevitore", Action::read_receiver},
        {Method::Get, "/api/v1/ais", Action::ais},
        {Method::Patch, "/api/v1/ais", Action::patch_ais},
        {Method::Get, "/api/v1/mezzi/{n}", Action::vehicle},
        {Method::Patch, "/api/v1/mezzi/{n}", Action::patch_vehicle},
        {Method::Put, "/api/v1/trasmissione", Action::transmission},
        {Method::Put, "/api/v1/modo", Action::mode},
        {Method::Get, "/api/v1/porta", Action::port},
        {Method::Put, "/api/v1/porta", Action::change_port},
        {Method::Patch, "/api/v1/ricevitore", Action::receiver},
        {Method::Get, "/api/v1/tempo", Action::read_clock},
        {Method::Patch, "/api/v1/tempo", Action::patch_clock},
        {Method::Get, events_path, Action::events},
        {Method::Put, "/api/v1/mezzi/{n}/percorso", Action::give_route, true},
        {Method::Get, "/api/v1/mezzi/{n}/percorso", Action::route},
        {Method::Delete, "/api/v1/mezzi/{n}/percorso", Action::take_route},
        {Method::Put, "/api/v1/scenario", Action::scenario, true},
        {Method::Post, "/api/v1/ais/incontri", Action::encounter},
        {Method::Get, "/api/v1/flotta", Action::fleet},
        {Method::Put, "/api/v1/flotta", Action::replace_fleet, true},
        {Method::Get, "/api/v1/flotta/{id}", Action::tracked_device},
        {Method::Get, "/api/v1/pilota", Action::pilot},
        {Method::Patch, "/api/v1/pilota", Action::patch_pilot},
        {Method::Get, "/api/v1/strumenti", Action::instruments},
        {Method::Patch, "/api/v1/strumenti", Action::patch_instruments},
    };
    return routes;
}

const char* route_description(const char* path) {
    static const std::pair<std::string_view, const char*> lines[] = {
        {"/api/v1", "questo elenco delle risorse"},
        {"/api/v1/stato", "tutto il simulatore: modo, trasmissione, porta, uscite, ricevitore, i 21 mezzi"},
        {"/api/v1/mezzi", "i 21 mezzi, dal numero 0 al 20"},
        {"/api/v1/mezzi/{n}", "un mezzo: posizione, rotta, velocità, unità, identità AIS; PATCH ne cambia i valori"},
        {"/api/v1/mezzi/{n}/percorso", "il percorso di un mezzo: PUT lo dà (GPX, KML, CSV, JSON), DELETE lo toglie"},
        {"/api/v1/trasmissione", "la trasmissione: attiva o ferma"},
        {"/api/v1/modo", "il modo d'invio: gps, radio o multi, e i mezzi del ciclo multiutente"},
        {"/api/v1/ricevitore", "le opzioni del ricevitore e del cielo, come in \"Cielo e ricevitore...\""},
        {"/api/v1/tempo", "l'orologio: ora UTC simulata, velocità; PATCH ne cambia la velocità o lo mette in pausa"},
        {"/api/v1/porta", "la porta seriale: COM, velocità, aperta o perché no, Start/Stop"},
        {"/api/v1/ais", "i bersagli AIS, come in \"Bersagli AIS...\": attivi, nave propria, statici subito"},
        {"/api/v1/eventi", "WebSocket: ogni secondo i byte inviati e i mezzi in uso"},
        {"/api/v1/scenario", "PUT esegue uno scenario (YAML o JSON) al posto di quello in corso"},
        {"/api/v1/ais/incontri", "POST mette un mezzo dove passa a un CPA e un TCPA dati dalla nave propria"},
        {"/api/v1/flotta", "la flotta per server di tracciamento: dispositivi, rapporti, server; PUT ne sostituisce una"},
        {"/api/v1/flotta/{id}", "un dispositivo della flotta: posizione, rotta, velocità, ultimo rapporto"},
        {"/api/v1/pilota", "il pilota automatico: attivo, virata; la rotta chiesta dalle frasi APB e RMB"},
        {"/api/v1/strumenti", "gli strumenti di bordo, come in \"Strumenti di bordo...\": vento, corrente, profondità, temperatura"},
    };
    for (const auto& [route, line] : lines) {
        if (route == path) return line;
    }
    return "";
}

const char* api_description_path() { return VADREL_API_DESCRIPTION; }

bool takes_large_body(Method method, const QString& path) {
    QString vehicle;
    for (const ApiRoute& route : control_routes()) {
        if (route.large_body && route.method == method && fits(QString::fromLatin1(route.path), path, vehicle)) return true;
    }
    return false;
}

ApiReply refused(int status, const std::string& reason, const std::string& field) {
    return ApiReply{status, refusal_json({field, reason}), {}};
}

namespace {

// The methods the path has ("GET, PATCH"), empty when no route has it; the
// route of `method` there, and the vehicle's number the path names.
struct PathRoutes {
    QByteArray allow;
    const ApiRoute* route = nullptr;
    QString vehicle;
};
PathRoutes routes_of(const QString& path, std::optional<Method> method) {
    PathRoutes found;
    for (const ApiRoute& candidate : control_routes()) {
        if (!fits(QString::fromLatin1(candidate.path), path, found.vehicle)) continue;
        found.allow += (found.allow.isEmpty() ? "" : ", ") + method_name(candidate.method);
        if (method && candidate.method == *method) found.route = &candidate;
    }
    return found;
}

ApiReply no_such_path(const QString& path) {
    return refused(not_found, "la risorsa " + path.left(200).toStdString() +
                                  " non esiste: GET /api/v1 elenca le risorse, descritte per intero in " +
                                  api_description_path());
}

ApiReply method_refused(const std::string& method, const QByteArray& allow) {
    ApiReply reply = refused(method_not_allowed,
                             "il metodo " + method + " non è ammesso qui: i metodi sono " + allow.toStdString());
    reply.headers.emplace_back("Allow", allow);
    return reply;
}

}  // namespace

ApiReply method_refusal(const std::string& method, const QString& path) {
    const PathRoutes found = routes_of(path, std::nullopt);
    return found.allow.isEmpty() ? no_such_path(path) : method_refused(method, found.allow);
}

ApiReply answer(const ApiRequest& request, ControlTarget& target) {
    auto begun = begin_answer(request, target);
    if (auto* reply = std::get_if<ApiReply>(&begun)) return std::move(*reply);
    if (const auto* body = std::get_if<BodyToRead>(&begun)) return body_reply(target, *body, prepare_body(target, *body, request.body));
    return give_offered_route(target, std::get<RouteToRead>(begun).n, route_offer(request));
}

ApiReply give_offered_route(ControlTarget& target, std::size_t n, std::variant<RouteOffer, ApiReply> offer) {
    if (auto* bad = std::get_if<ApiReply>(&offer)) return std::move(*bad);
    // A replay may have started while the route was read.
    if (target.replaying()) return replaying_refusal();
    auto& [given, options] = std::get<RouteOffer>(offer);
    if (const Result<> done = target.give_route(n, std::move(given), options); !done) return not_done(done);
    return route_reply(target, n, {});
}

ControlTarget::BodyPlay prepare_body(ControlTarget& target, const BodyToRead& what, const QByteArray& body) {
    if (what.action == Action::replace_fleet) return target.prepare_fleet(body, what.destination);
    return target.prepare_scenario(body);
}

ApiReply body_busy(const BodyToRead& what) {
    return refused(conflict, what.action == Action::replace_fleet
                                 ? "una flotta è già in lettura: riprovare quando è finita"
                                 : "uno scenario è già in lettura: riprovare quando è finito");
}

ApiReply body_reply(ControlTarget& target, const BodyToRead& what, const ControlTarget::BodyPlay& play) {
    if (what.action == Action::replace_fleet) return fleet_replaced(target, play);
    // A replay may have started while the scenario was read.
    if (target.replaying()) return replaying_refusal();
    if (const Result<> done = play(); !done) return not_done(done);
    const ControlState state = target.state();
    return reply(state.scenario ? scenario_json(*state.scenario) : QJsonObject{});
}

namespace {

// A change with its body read: what is changed, and the answer.
ApiReply change_answer(Action action, const QJsonObject& object, ControlTarget& target, std::size_t n) {
    switch (action) {
    case Action::patch_vehicle: {
        auto patch = read_vehicle_patch(object);
        if (auto* bad = std::get_if<Refusal>(&patch)) return refusal_reply(*bad);
        VehiclePatch& change = std::get<VehiclePatch>(patch);
        if (object.contains(QStringLiteral("ais"))) {
            auto identity = read_identity(object.value(QStringLiteral("ais")), target.ais().vehicles.at(n));
            if (auto* bad = std::get_if<Refusal>(&identity)) return refusal_reply(*bad);
            change.ais = std::get<AisIdentity>(identity);
        }
        if (const Result<> done = target.patch_vehicle(n, change); !done) return not_done(done);
        return vehicle_reply(target, n);
    }
    case Action::patch_clock: {
        auto change = read_clock_change(object);
        if (auto* bad = std::get_if<Refusal>(&change)) return refusal_reply(*bad);
        if (const Result<> done = target.change_clock(std::get<ClockChange>(change)); !done) return not_done(done);
        return reply(clock_json(target.state().clock));
    }
    case Action::patch_pilot: {
        auto change = read_pilot_change(object);
        if (auto* bad = std::get_if<Refusal>(&change)) return refusal_reply(*bad);
        if (const Result<> done = target.change_pilot(std::get<PilotChange>(change)); !done) return not_done(done);
        return pilot_reply(target);
    }
    case Action::patch_instruments: {
        auto settings = read_instruments(object, target.instruments());
        if (auto* bad = std::get_if<Refusal>(&settings)) return refusal_reply(*bad);
        const Result<> done = target.set_instruments(std::get<InstrumentSettings>(settings));
        if (!done) return not_done(done);
        return reply(instrument_json(target.instruments()));
    }
    case Action::patch_ais: {
        auto settings = read_ais(object, target.ais());
        if (auto* bad = std::get_if<Refusal>(&settings)) return refusal_reply(*bad);
        if (const Result<> done = target.set_ais(std::get<AisSettings>(settings)); !done) return not_done(done);
        return reply(ais_json(target.ais()));
    }
    case Action::transmission: {
        auto on = read_transmission(object);
        if (auto* bad = std::get_if<Refusal>(&on)) return refusal_reply(*bad);
        if (const Result<> done = target.set_transmission(std::get<bool>(on)); !done) return not_done(done);
        return reply({{"attiva", target.state().transmitting}});
    }
    case Action::change_port: {
        auto change = read_port_change(object);
        if (auto* bad = std::get_if<Refusal>(&change)) return refusal_reply(*bad);
        if (const Result<> done = target.change_port(std::get<PortChange>(change)); !done) return not_done(done);
        return reply(port_json(target.port()));
    }
    case Action::encounter: {
        auto ask = read_encounter(object);
        if (auto* bad = std::get_if<Refusal>(&ask)) return refusal_reply(*bad);
        const EncounterAsk& asked = std::get<EncounterAsk>(ask);
        const Result<std::vector<std::string>> done = target.place_encounter(asked);
        if (!done) return done.refusal() ? refusal_reply(*done.refusal()) : not_done(Result<>(*done.failure()));
        QJsonArray lines;
        for (const std::string& line : done.value()) lines.append(QString::fromStdString(line));
        return reply({{"fatto", lines}, {"mezzo", vehicle_json(target.entry(asked.vehicle))}});
    }
    case Action::mode: {
        auto change = read_mode(object);
        if (auto* bad = std::get_if<Refusal>(&change)) return refusal_reply(*bad);
        const ModeChange& mode = std::get<ModeChange>(change);
        if (const Result<> done = target.set_mode(mode.mode, mode.vehicles); !done) return not_done(done);
        const ControlState state = target.state();
        return reply({{"modo", mode_name(state.mode)},
                      {"mezzi", state.vehicles_in_use},
                      {"mezzi_mobili", state.cycle}});
    }
    default: break;
    }
    auto options = read_receiver(object, target.state().receiver);
    if (auto* bad = std::get_if<Refusal>(&options)) return refusal_reply(*bad);
    if (const Result<> done = target.set_receiver(std::get<ReceiverOptions>(options)); !done) return not_done(done);
    return reply(receiver_json(target.state().receiver));
}

}  // namespace

std::variant<ApiReply, RouteToRead, BodyToRead> begin_answer(const ApiRequest& request, ControlTarget& target) {
    const PathRoutes found = routes_of(request.path, request.method);
    if (found.allow.isEmpty()) return no_such_path(request.path);
    if (found.route == nullptr) return method_refused(method_name(request.method).toStdString(), found.allow);
    const ApiRoute* route = found.route;
    if (const auto fleet = fleet_answer(route->action, found.vehicle, target)) return *fleet;
    if (route->action == Action::replace_fleet) {
        auto destination = fleet_destination(request);
        if (auto* bad = std::get_if<ApiReply>(&destination)) return std::move(*bad);
        return BodyToRead{Action::replace_fleet, std::get<std::string>(std::move(destination))};
    }
    const QString& vehicle = found.vehicle;
    std::size_t n = 0;
    if (!vehicle.isEmpty()) {
        n = vehicle.toULongLong();
        if (!vehicle_exists(n)) return refused(not_found, no_such_vehicle(vehicle.toStdString()), "mezzo");
    }
    switch (route->action) {
    case Action::events:
        return refused(upgrade_required, "gli eventi si ricevono su una connessione WebSocket (Upgrade: websocket)");
    case Action::index: return reply(index_json());
    case Action::state: return reply(state_json(target.state()));
    case Action::port: return reply(port_json(target.port()));
    case Action::vehicles: {
        QJsonArray vehicles;
        for (std::size_t i = 0; i < fleet_size; ++i) vehicles.append(vehicle_json(target.entry(i)));
        return reply({{"mezzi", vehicles}});
    }
    case Action::read_receiver: return reply(receiver_json(target.state().receiver));
    case Action::ais: return reply(ais_json(target.ais()));
    case Action::instruments: return reply(instrument_json(target.instruments()));
    case Action::read_clock: return reply(clock_json(target.state().clock));
    case Action::pilot: return pilot_reply(target);
    case Action::vehicle: return vehicle_reply(target, n);
    case Action::route: {
        auto page = points_page(request);
        if (auto* bad = std::get_if<ApiReply>(&page)) return *bad;
        return route_reply(target, n, std::get<PointsPage>(page));
    }
    default: break;
    }
    // The changes.
    if (target.replaying()) return replaying_refusal();
    if (route->action == Action::scenario) return BodyToRead{};
    if (route->action == Action::give_route) return RouteToRead{n};
    if (route->action == Action::take_route) {
        target.take_route(n);
        return vehicle_reply(target, n);
    }
    auto body = json_body(request);
    if (auto* problem = std::get_if<ApiReply>(&body)) return *problem;
    return change_answer(route->action, std::get<QJsonObject>(body), target, n);
}

}  // namespace vadrel
