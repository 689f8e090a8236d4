#include "route_api.h"

#include <QJsonArray>
#include <QUrlQuery>
#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "routes/iso_time.h"
#include "routes/route_files.h"
#include "routes/route_text.h"

namespace vadrel {

namespace {

using namespace http_status;
constexpr const char* option_names[] = {"nome", "fine", "ritmo", "virata", "da"};

ApiReply refusal(int status, const std::string& reason, const std::string& field = {}) {
    return refused(status, reason, field);
}

// One option into `request`; the reply refusing it otherwise.
std::optional<ApiReply> take_option(RouteRequest& request, std::set<std::string>& seen, const std::string& key,
                                    const std::string& value) {
    if (std::find(std::begin(option_names), std::end(option_names), key) == std::end(option_names)) {
        return refusal(bad_request, "\"" + key.substr(0, 100) + "\" non è un'opzione del percorso: sono nome, fine, ritmo, virata, da",
                       key.substr(0, 100));
    }
    if (!seen.insert(key).second) return refusal(bad_request, "l'opzione " + key + " è data due volte", key);
    const auto read = read_route_request(key + "=" + value);
    if (const auto* why = std::get_if<std::string>(&read)) return refusal(bad_request, *why, key);
    const RouteRequest& one = std::get<RouteRequest>(read);
    if (key == "nome") request.choice = one.choice;
    if (key == "fine") request.options.end = one.options.end;
    if (key == "ritmo") request.options.track_times = one.options.track_times;
    if (key == "virata") request.options.turn_rate = one.options.turn_rate;
    if (key == "da") request.options.from_here = one.options.from_here;
    return std::nullopt;
}

bool looks_like_json(const QByteArray& body) {
    for (const char c : body) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        return c == '{' || c == '[';
    }
    return false;
}

const char* end_name(RouteEnd end) {
    switch (end) {
        case RouteEnd::loop: return "ciclo";
        case RouteEnd::back: return "indietro";
        case RouteEnd::stop: break;
    }
    return "ferma";
}

}  // namespace

std::variant<RouteOffer, ApiReply> route_offer(const ApiRequest& request, const std::function<bool()>& go_on) {
    const QByteArray type = request.content_type.split(';').first().trimmed().toLower();
    RouteFormat format = format_of_content_type(type.toStdString());
    if (!type.isEmpty() && format == RouteFormat::guess) {
        return refusal(unsupported, "il percorso va dato come GPX (application/gpx+xml), KML "
                                    "(application/vnd.google-earth.kml+xml), CSV (text/csv) o JSON "
                                    "(application/json), non " + type.left(100).toStdString());
    }
    if (request.body.trimmed().isEmpty()) {
        return refusal(bad_request, "il corpo della richiesta è vuoto: serve il percorso (GPX, KML, CSV o JSON)",
                       "percorso");
    }
    RouteRequest wanted;
    std::set<std::string> seen;
    for (const auto& [key, value] : QUrlQuery(request.query).queryItems(QUrl::FullyDecoded)) {
        if (auto bad = take_option(wanted, seen, key.toStdString(), value.toStdString())) return *bad;
    }
    if (format == RouteFormat::guess && looks_like_json(request.body)) format = RouteFormat::json;

    // A JSON body may carry the options as its fields, beside the points.
    JsonFields fields{{"fine", "ritmo", "virata", "da"}, {}};
    RouteReading reading = read_route_file(request.body, format, go_on, &fields);
    for (const auto& [name, text] : fields.given) {
        if (auto bad = take_option(wanted, seen, name, text)) return *bad;
    }
    if (const auto* problem = std::get_if<ReadProblem>(&reading)) {
        return refusal(bad_request, "il percorso non si legge: " + problem->message(), "percorso");
    }
    auto& routes = std::get<std::vector<Route>>(reading);
    const auto chosen = choose_route(routes, wanted.choice);
    if (const auto* why = std::get_if<std::string>(&chosen)) return refusal(bad_request, *why, "nome");
    Route& route = routes[std::get<std::size_t>(chosen)];
    // Refused here, with its field, rather than given and lost at the next start.
    if (auto why = Route::name_problem(route.name())) return refusal(bad_request, *why, "nome");
    return RouteOffer{std::move(route), wanted.options};
}

std::variant<PointsPage, ApiReply> points_page(const ApiRequest& request) {
    PointsPage page;
    std::set<QString> seen;
    for (const auto& [key, value] : QUrlQuery(request.query).queryItems(QUrl::FullyDecoded)) {
        const bool first = key == u"primo";
        if (!first && key != u"quanti") {
            return refusal(bad_request, "\"" + key.left(100).toStdString() + "\" non è un parametro: sono primo e quanti",
                           key.left(100).toStdString());
        }
        if (!seen.insert(key).second) return refusal(bad_request, key.toStdString() + " è dato due volte", key.toStdString());
        bool ok = false;
        const qulonglong number = value.toULongLong(&ok);
        if (!ok || (!first && (number < 1 || number > max_points_shown))) {
            return refusal(bad_request,
                           first ? "primo è il numero del primo punto da mostrare, da 0"
                                 : "quanti è il numero di punti da mostrare, da 1 a " + std::to_string(max_points_shown),
                           key.toStdString());
        }
        (first ? page.first : page.count) = static_cast<std::size_t>(number);
    }
    return page;
}

QJsonObject route_json(std::size_t n, const FollowedRoute& followed, const RouteSummary& summary,
                       const PointsPage& page) {
    const Route& route = followed.route;
    const RouteProgress& p = followed.progress;
    QJsonArray points;
    const std::size_t end = std::min(route.size(), page.first + std::min(page.count, max_points_shown));
    for (std::size_t i = std::min(page.first, route.size()); i < end; ++i) {
        const RoutePoint point = route.point(i);
        QJsonObject shown{{"lat", point.lat}, {"lon", point.lon}};
        if (point.speed) shown.insert("velocita_ms", *point.speed);
        if (point.time) shown.insert("ora", QString::fromStdString(iso_time(*point.time)));
        points.append(shown);
    }
    // The point the vehicle is heading for.
    QJsonValue next = QJsonValue::Null;
    if (!p.finished) {
        const auto count = static_cast<std::int64_t>(route.size());
        next = static_cast<double>(p.leg < 0 ? p.rejoin : p.backward ? p.leg : (p.leg + 1) % std::max<std::int64_t>(count, 1));
    }
    const QJsonObject progress{
        {"tratta", static_cast<double>(p.leg)},
        {"frazione", p.fraction},
        {"verso", p.backward ? "indietro" : "avanti"},
        {"giri", static_cast<double>(p.rounds)},
        {"finito", p.finished},
        {"punto_successivo", next},
        {"fatti_m", summary.done_m},
        {"restanti_m", summary.left_m},
        {"restanti_s", std::isfinite(summary.left_seconds) ? QJsonValue(summary.left_seconds) : QJsonValue(QJsonValue::Null)},
    };
    QJsonObject json{
        {"mezzo", static_cast<int>(n)},
        {"nome", QString::fromStdString(route.name())},
        {"punti_totali", static_cast<double>(route.size())},
        {"lunghezza_m", route.length()},
        {"fine", end_name(followed.options.end)},
        {"ritmo", followed.options.track_times ? "traccia" : "velocita"},
        {"virata", followed.options.turn_rate},
        {"da", followed.options.from_here ? "qui" : "inizio"},
        {"primo", static_cast<double>(page.first)},
        {"punti", points},
        {"avanzamento", progress},
    };
    if (route.has_times()) json.insert("durata_s", static_cast<double>(route.duration_ms()) / 1000.0);
    return json;
}

}  // namespace vadrel
