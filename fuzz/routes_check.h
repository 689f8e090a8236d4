#pragma once
// What must hold for any bytes given to the route readers (GPX, KML, CSV,
// JSON), shared by the fuzzer and the corpus test:
// * read whole, and again in pieces of any size, the reading is the same
//   (the same routes, or the same problem at the same line and column; the
//   XML reader's own "not well formed" or "cut short" may differ, or come
//   instead of a problem further on);
// * a problem says why in words, with a line from 1 and a column from 1, or
//   with no place at all;
// * every route has a point, every point is on the globe, and no more than
//   Route::max_points in all;
// * each route written as GPX (as a kept route is) reads back the same;
// * each format reads the bytes in time in proportion to their length.
// The pieces are views of the bytes given: a read past them is a read past
// the fuzzer's buffer, which AddressSanitizer stops.

#include <QByteArray>
#include <chrono>
#include <cmath>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "routes/route_files.h"

namespace vadrel::fuzzing {

inline RouteReading read_in_pieces(std::string_view bytes, RouteFormat format, std::size_t piece) {
    std::size_t at = 0;
    return read_route_source(
        [bytes, piece, &at]() -> Piece {
            const std::string_view next = bytes.substr(at, piece);
            at += next.size();
            return {next, {}};
        },
        format);
}

inline std::string describe(const RouteReading& reading) {
    if (const auto* problem = std::get_if<ReadProblem>(&reading)) return "problema: " + problem->message();
    const auto& routes = std::get<std::vector<Route>>(reading);
    std::string text = std::to_string(routes.size()) + " percorsi:";
    for (const Route& route : routes) text += " \"" + route.name() + "\" " + std::to_string(route.size());
    return text;
}

inline bool same(const RouteReading& a, const RouteReading& b) {
    if (a.index() != b.index()) return false;
    if (const auto* problem = std::get_if<ReadProblem>(&a)) {
        // Where Qt's XML reader places markup that is not well formed, and
        // whether it calls it malformed or cut short, depends on where the
        // bytes it was given ended (a file and a body are both given in
        // pieces of 64 KiB, so they agree); every other problem is said and
        // placed the same however the bytes come.
        const auto by_reader = [](const ReadProblem& p) {
            return p.reason.starts_with("il file non è XML ben formato") || p.reason.starts_with("il file finisce a metà");
        };
        const ReadProblem& other = std::get<ReadProblem>(b);
        if (by_reader(*problem) && by_reader(other)) return true;
        // The reader may also see such markup only once more bytes come,
        // after a problem of ours further on was found.
        const auto before = [](const ReadProblem& x, const ReadProblem& y) {
            return std::pair(x.line, x.column) <= std::pair(y.line, y.column);
        };
        if (by_reader(*problem)) return before(*problem, other);
        if (by_reader(other)) return before(other, *problem);
        return *problem == other;
    }
    return std::get<std::vector<Route>>(a) == std::get<std::vector<Route>>(b);
}

// "" when every rule holds, else the first broken one.
inline std::string check_routes(std::string_view bytes) {
    using Clock = std::chrono::steady_clock;
    // The fuzzer's inputs are a few KiB: even under the sanitizers a reading
    // takes milliseconds, unless its time grows faster than its length.
    const auto budget = std::chrono::seconds(1) + std::chrono::microseconds(100) * bytes.size();
    const QByteArray whole(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const std::size_t split = bytes.empty() ? 1 : 1 + static_cast<unsigned char>(bytes.back()) % 13;
    for (const RouteFormat format :
         {RouteFormat::guess, RouteFormat::gpx, RouteFormat::kml, RouteFormat::csv, RouteFormat::json}) {
        const std::string which = "formato " + std::to_string(static_cast<int>(format)) + ": ";
        const auto start = Clock::now();
        const RouteReading read = read_route_file(whole, format);
        if (Clock::now() - start > budget) return which + "lettura troppo lenta";
        const RouteReading pieces = read_in_pieces(bytes, format, split);
        if (!same(read, pieces))
            return which + "a pezzi di " + std::to_string(split) + " byte: " + describe(pieces) + " invece di " +
                   describe(read);
        if (const auto* problem = std::get_if<ReadProblem>(&read)) {
            if (problem->reason.empty()) return which + "un problema senza parole";
            if (problem->line < 0 || problem->column < 0 || (problem->line > 0) != (problem->column > 0))
                return which + "luogo del problema impossibile: " + problem->message();
            continue;
        }
        const auto& routes = std::get<std::vector<Route>>(read);
        if (routes.empty()) return which + "letto senza percorsi";
        std::size_t points = 0;
        for (const Route& route : routes) {
            if (route.empty()) return which + "un percorso senza punti";
            points += route.size();
            for (std::size_t i = 0; i < route.size(); ++i) {
                const RoutePoint p = route.point(i);
                if (!(std::abs(p.lat) <= 90.0 && std::abs(p.lon) <= 180.0)) return which + "un punto fuori dal globo";
            }
            const RouteReading back = read_route_file(route_gpx(route), RouteFormat::gpx);
            const auto* again = std::get_if<std::vector<Route>>(&back);
            if (again == nullptr || again->size() != 1 || !(again->front() == route))
                return which + "il percorso \"" + route.name() + "\" scritto in GPX si rilegge diverso: " + describe(back);
        }
        if (points > Route::max_points) return which + "troppi punti";
    }
    return "";
}

}  // namespace vadrel::fuzzing
