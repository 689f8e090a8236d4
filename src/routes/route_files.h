#pragma once
// Reading routes from files: GPX 1.1 and 1.0 (each rte, each trk with its
// segments joined, and the file's wpt in order as one more route), KML
// (each LineString and gx:Track, named after its Placemark), CSV with a
// header naming the columns, and a JSON list of points for the control
// interface. One entry takes the bytes, another a path:
//
//   auto read = read_route_file(std::string("giro.gpx"));
//   if (auto* problem = std::get_if<ReadProblem>(&read)) ... problem->message()
//       // "riga 12, colonna 40: la latitudine 95 è fuori campo (da -90 a 90 gradi)"
//   auto& routes = std::get<std::vector<Route>>(read);
//   auto chosen = choose_route(routes, "Andata");   // by name, or "2" by number
//
// Every file is read as a stream, a piece at a time (bytes already in
// memory too), in bounded memory and in time in proportion to its length (the
// routes it holds, and one piece), and refused, with the line and column
// where it went wrong:
//   - a file larger than max_file_bytes (a regular file before any reading),
//     or with more than Route::max_points points in all;
//   - XML with a DOCTYPE, found before the XML reader sees it, so that no
//     entity is ever declared or expanded (and none is ever fetched);
//   - XML whose markup would make the reader's time grow faster than the
//     file, found before the reader sees it: a tag with more than 64
//     attributes or longer than 64 KiB, elements nested more than 64 deep,
//     more than 64 namespace declarations in force at once;
//   - a file with a NUL byte (binary, or UTF-16), XML that is not well
//     formed or stops half way, a line of CSV longer than max_line_bytes;
//   - a point out of range, a time going backwards (Route::add), a route
//     with no point, a file with no route.
// Speeds are m/s in GPX (GPX 1.0 <speed>, and any <speed> in a point's
// extensions, as Garmin's TrackPointExtension and OsmAnd write it); times
// are those of GPX points and KML <when>.
//
// CSV: the first line that is not empty or a comment ("#") names the
// columns; lat or latitudine, lon, lng or longitudine, and optionally a
// speed (velocita, velocità or speed) and a time (ora or time, ISO 8601; or
// the time of day with the date in a column data or date, as gpsbabel's
// unicsv writes them).
// The speed's unit is said in its name: velocita_kmh or "velocita (km/h)",
// _nodi/_kn/(kn)/(nodi), _ms/(m/s); without a unit it is km/h, the panel's.
// Other columns are left alone. The header's separator is the file's: ";",
// a tab, or ","; with "," numbers take a decimal point, with ";" or a tab a
// point or a comma. Fields may stand in double quotes. The route is named
// after the file.
//
// JSON: [{"lat": 45.1, "lon": 9.2}, ...] or {"nome": "giro", "punti": [...]},
// each point with lat/latitudine, lon/longitudine, optionally one of
// velocita (km/h, the panel's unit), velocita_kmh, velocita_nodi, velocita_ms,
// and ora (ISO 8601); any other
// key is refused, so that a misspelt one is not silently left out, and so is
// a key given twice. JSON is read as a stream too, as the other formats are,
// up to the same max_file_bytes.

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "routes/route.h"

class QIODevice;

namespace vadrel {

// 128 MiB: ten times a 100,000-point track with a time and a speed on each
// point, and room for a million plain points; a 200 MB file is refused
// before its first byte is read.
inline constexpr std::uint64_t max_file_bytes = 128ull * 1024 * 1024;
inline constexpr std::size_t max_line_bytes = 4096;

enum class RouteFormat : std::uint8_t {
    guess,  // told by the content: "<" starts XML (GPX or KML by its root), "[" or "{" JSON, else CSV
    gpx,
    kml,
    csv,
    json,
};

// By the name's extension (.gpx, .kml, .csv, .txt, .json, any case); guess otherwise.
RouteFormat format_of_name(std::string_view file_name);
// By an HTTP content type (application/gpx+xml, application/vnd.google-earth.kml+xml,
// text/csv, application/json; parameters ignored); guess otherwise.
RouteFormat format_of_content_type(std::string_view content_type);

struct ReadProblem {
    std::int64_t line = 0;    // from 1; 0 when the problem has no place in the file
    std::int64_t column = 0;  // from 1
    std::string reason;       // Italian
    // "riga 3, colonna 7: reason", or the reason alone.
    std::string message() const;
    bool operator==(const ReadProblem&) const = default;
};

using RouteReading = std::variant<std::vector<Route>, ReadProblem>;

// One piece of a file, or the end of it (no bytes), or why reading stopped
// (a reason, in Italian).
struct Piece {
    std::string_view bytes;
    std::string failure;
};
using PieceSource = std::function<Piece()>;

// The file from its pieces; `size`, when known, is refused at once beyond
// max_file_bytes. XML (gpx, kml) is told apart by its root element, whichever
// of the two was said.
// The fields a JSON route may carry beside its points (the control
// interface's options: {"punti": [...], "fine": "ciclo"}), and those it
// carried, in order, each as written (a string's text, a number's digits).
struct JsonFields {
    std::vector<std::string> allowed;
    std::vector<std::pair<std::string, std::string>> given;
};

RouteReading read_route_source(const PieceSource& source, RouteFormat format,
                               std::optional<std::uint64_t> size = std::nullopt, JsonFields* fields = nullptr);
// `go_on`, when given, is asked before each piece; false stops the reading
// ("lettura interrotta").
RouteReading read_route_file(const QByteArray& bytes, RouteFormat format, const std::function<bool()>& go_on = {},
                             JsonFields* fields = nullptr);
// A regular file (a folder, a FIFO or a device is refused: they are not
// read), its format by the name, else by the content. `go_on(fraction read)`
// is asked before each piece; false stops the reading ("lettura interrotta").
RouteReading read_route_file(const std::string& path, const std::function<bool(double)>& go_on = {});


// The route a choice names: a route's name, else its number from 1; ""
// chooses the first. The index, or an Italian reason naming the routes there are.
std::variant<std::size_t, std::string> choose_route(const std::vector<Route>& routes, std::string_view choice);

// A route as GPX 1.1 (a <rte>, or a <trk> when it has times, with speeds as
// Garmin's TrackPointExtension), which read_route_file reads back the same:
// to keep a vehicle's route in the program's folder, or to save it.
QByteArray route_gpx(const Route& route);
// The same GPX written to `device` as it is made.
void write_route_gpx(const Route& route, QIODevice& device);

}  // namespace vadrel
