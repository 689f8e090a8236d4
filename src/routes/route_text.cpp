#include "route_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "fleet/fleet.h"
#include "model/coordinates.h"
#include "model/numbers.h"

namespace vadrel {

namespace {

constexpr std::string_view option_keys[] = {"nome", "fine", "ritmo", "virata", "da"};

// The values of a route's options and progress: as the command line reads them.
std::optional<double> read_number(std::string_view text) {
    return vadrel::read_number(text, NumberSource::command_line);
}

template <typename Integer>
std::optional<Integer> read_whole(std::string_view text) {
    return vadrel::read_whole<Integer>(text, NumberSource::command_line);
}

// Where the next option starts: a comma followed by a known key and "=".
std::size_t next_option(std::string_view text, std::size_t from) {
    for (std::size_t at = text.find(',', from); at != std::string_view::npos; at = text.find(',', at + 1)) {
        for (const std::string_view key : option_keys) {
            const std::string_view rest = text.substr(at + 1);
            if (rest.size() > key.size() && rest.substr(0, key.size()) == key && rest[key.size()] == '=') return at;
        }
    }
    return std::string_view::npos;
}

const char* end_name(RouteEnd end) {
    switch (end) {
        case RouteEnd::stop: return "ferma";
        case RouteEnd::loop: return "ciclo";
        case RouteEnd::back: return "indietro";
    }
    return "ferma";
}

}  // namespace

std::variant<RouteRequest, std::string> read_route_request(std::string_view text) {
    RouteRequest request;
    std::set<std::string_view> seen;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = next_option(text, at);
        const std::string_view item = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? text.size() : end + 1;
        const std::size_t equals = item.find('=');
        const std::string_view key = item.substr(0, equals);
        const std::string_view value = equals == std::string_view::npos ? std::string_view{} : item.substr(equals + 1);
        if (equals == std::string_view::npos || !std::count(std::begin(option_keys), std::end(option_keys), key))
            return "opzione del percorso sconosciuta: \"" + std::string(item) +
                   "\" (sono nome=, fine=, ritmo=, virata=, da=)";
        if (!seen.insert(key).second) return "l'opzione " + std::string(key) + "= è data due volte";
        if (key == "nome") {
            if (value.empty()) return "nome= vuole il nome o il numero di un percorso del file";
            request.choice = value;
        } else if (key == "fine") {
            if (value == "ferma") {
                request.options.end = RouteEnd::stop;
            } else if (value == "ciclo") {
                request.options.end = RouteEnd::loop;
            } else if (value == "indietro") {
                request.options.end = RouteEnd::back;
            } else {
                return "fine=" + std::string(value) + " non è una regola: sono ferma, ciclo, indietro";
            }
        } else if (key == "ritmo") {
            if (value == "traccia") {
                request.options.track_times = true;
            } else if (value == "velocita" || value == "velocità") {
                request.options.track_times = false;
            } else {
                return "ritmo=" + std::string(value) + " non è un ritmo: sono traccia, velocita";
            }
        } else if (key == "virata") {
            const std::optional<double> rate = read_number(value);
            if (!rate || *rate < 0.0 || *rate > 360.0)
                return "virata=" + std::string(value) + ": la velocità di virata è un numero di gradi al secondo da 0 a 360";
            request.options.turn_rate = *rate;
        } else {  // da
            if (value == "qui") {
                request.options.from_here = true;
            } else if (value == "inizio") {
                request.options.from_here = false;
            } else {
                return "da=" + std::string(value) + " non è un punto di partenza: sono qui, inizio";
            }
        }
    }
    return request;
}

std::string options_text(const FollowOptions& options) {
    std::vector<std::string> items;
    if (options.end != RouteEnd::stop) items.push_back(std::string("fine=") + end_name(options.end));
    if (options.track_times) items.emplace_back("ritmo=traccia");
    if (options.turn_rate != 0.0) items.push_back("virata=" + shortest_text(options.turn_rate));
    if (options.from_here) items.emplace_back("da=qui");
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ",") + item;
    return text;
}

std::variant<RouteArgument, std::string> read_route_argument(std::string_view text) {
    const std::size_t equals = text.find('=');
    const auto vehicle = read_whole<std::size_t>(text.substr(0, equals));
    if (equals == std::string_view::npos || !vehicle)
        return "--percorso vuole N=FILE, con N il numero del mezzo: \"" + std::string(text) + "\"";
    if (!vehicle_exists(*vehicle)) return no_such_vehicle(*vehicle);
    RouteArgument argument;
    argument.vehicle = *vehicle;
    const std::size_t options = next_option(text, equals + 1);
    argument.file = text.substr(equals + 1, options == std::string_view::npos ? std::string_view::npos
                                                                              : options - equals - 1);
    if (argument.file.empty()) return "--percorso " + std::to_string(*vehicle) + "= vuole il nome di un file";
    if (options != std::string_view::npos) {
        auto request = read_route_request(text.substr(options + 1));
        if (auto* reason = std::get_if<std::string>(&request)) return *reason;
        argument.request = std::get<RouteRequest>(request);
    }
    return argument;
}

std::string progress_text(const RouteProgress& p) {
    std::string text = "tratta=" + std::to_string(p.leg) + " frazione=" + shortest_text(p.fraction) +
                       " verso=" + (p.backward ? "indietro" : "avanti") + " virata=";
    text += p.turning ? shortest_text(p.turn_tangent) + "," + shortest_text(p.turn_done) : "no";
    text += " giri=" + std::to_string(p.rounds) + " finito=" + (p.finished ? "si" : "no") + " origine=" +
            shortest_text(p.origin.lat) + "," + shortest_text(p.origin.lon) + " rotta=" + shortest_text(p.course);
    // Only on a leg back to the route: files of earlier runs have no such field.
    if (p.rejoin != 0 || p.rejoin_backward)
        text += " raggiunge=" + std::to_string(p.rejoin) + (p.rejoin_backward ? ",indietro" : ",avanti");
    return text;
}

std::variant<RouteProgress, std::string> read_progress(std::string_view text) {
    constexpr std::string_view fields[] = {"tratta", "frazione", "verso", "virata",
                                           "giri",   "finito",   "origine", "rotta"};
    constexpr std::string_view optional_field = "raggiunge";
    RouteProgress p;
    std::set<std::string_view> seen;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string_view item = text.substr(at, end - at);
        at = end + 1;
        if (item.empty()) continue;
        const std::size_t equals = item.find('=');
        const std::string_view key = item.substr(0, equals);
        const std::string_view value = equals == std::string_view::npos ? std::string_view{} : item.substr(equals + 1);
        const std::string bad = "avanzamento del percorso: " + std::string(item) + " non è valido";
        if (equals == std::string_view::npos ||
            (key != optional_field && !std::count(std::begin(fields), std::end(fields), key)))
            return "avanzamento del percorso: campo sconosciuto \"" + std::string(item) + "\"";
        if (!seen.insert(key).second) return "avanzamento del percorso: " + std::string(key) + " è dato due volte";
        if (key == "tratta") {
            const auto leg = read_whole<std::int64_t>(value);
            if (!leg || *leg < -1 || *leg >= static_cast<std::int64_t>(Route::max_points) + 1) return bad;
            p.leg = *leg;
        } else if (key == "frazione") {
            const auto fraction = read_number(value);
            if (!fraction || *fraction < 0.0 || *fraction > 1.0) return bad;
            p.fraction = *fraction;
        } else if (key == "verso") {
            if (value != "avanti" && value != "indietro") return bad;
            p.backward = value == "indietro";
        } else if (key == "virata") {
            if (value != "no") {
                const std::size_t comma = value.find(',');
                const auto tangent = read_number(value.substr(0, comma));
                const auto done = comma == std::string_view::npos ? std::nullopt : read_number(value.substr(comma + 1));
                if (!tangent || !done || *tangent <= 0.0 || *tangent > 1.6 || *done < 0.0 || *done > 1.0) return bad;
                p.turning = true;
                p.turn_tangent = *tangent;
                p.turn_done = *done;
            }
        } else if (key == "giri") {
            const auto rounds = read_whole<std::uint64_t>(value);
            if (!rounds) return bad;
            p.rounds = *rounds;
        } else if (key == "finito") {
            if (value != "si" && value != "no") return bad;
            p.finished = value == "si";
        } else if (key == "origine") {
            const std::size_t comma = value.find(',');
            const auto lat = read_number(value.substr(0, comma));
            const auto lon = comma == std::string_view::npos ? std::nullopt : read_number(value.substr(comma + 1));
            if (!lat || !lon || !on_globe(*lat, *lon)) return bad;
            p.origin = {*lat, *lon};
        } else if (key == optional_field) {
            const std::size_t comma = value.find(',');
            const auto point = read_whole<std::int64_t>(value.substr(0, comma));
            const std::string_view way = comma == std::string_view::npos ? std::string_view{} : value.substr(comma + 1);
            if (!point || *point < 0 || *point >= static_cast<std::int64_t>(Route::max_points) ||
                (way != "avanti" && way != "indietro"))
                return bad;
            p.rejoin = *point;
            p.rejoin_backward = way == "indietro";
        } else {  // rotta
            const auto course = read_number(value);
            if (!course || *course < 0.0 || *course >= 360.0) return bad;
            p.course = *course;
        }
    }
    for (const std::string_view field : fields) {
        if (!seen.count(field)) return "avanzamento del percorso: manca " + std::string(field) + "=";
    }
    return p;
}

}  // namespace vadrel
