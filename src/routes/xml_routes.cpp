// GPX and KML, read as a stream by QXmlStreamReader.
//
// Before the reader sees a byte, the file's prolog (what comes before the
// root element) is looked at (xml_prolog.h): a DOCTYPE there is refused, so
// no entity is ever declared, let alone expanded or fetched.
//
// Every byte then passes a scan of the markup (markup.h) before the
// reader has it, which bounds the reader's work on a tag and the elements it
// keeps open: a tag with a million attributes held it for minutes, a file
// nested millions deep took half a gigabyte.

#include <QXmlStreamReader>
#include <algorithm>
#include <cstring>

#include "routes/iso_time.h"
#include "routes/markup.h"
#include "routes/route_parsers.h"
#include "routes/xml_prolog.h"

namespace vadrel::route_parsing {

namespace {

// The text of an element that is read (a name, a time, a speed, a gx:coord).
// A route's longest name at four bytes a character, so that every name a
// route may have is read back from the GPX that keeps it.
constexpr std::size_t max_text = 4 * Route::max_name_chars;
// One "lon,lat,alt" of a KML LineString.
constexpr std::size_t max_tuple = 256;
// The reader holds a whole text, comment or tag before it gives it: one
// longer than this is refused, so that a file with no markup in it cannot
// fill the memory. (A KML LineString of 500,000 points still fits.)
constexpr std::size_t max_token = 16 * 1024 * 1024;

enum class Ctx : std::uint8_t {
    other,
    gpx,
    route,   // rte or trk
    segment, // trkseg
    point,   // wpt, rtept, trkpt
    route_name,
    point_time,
    point_speed,
    kml,
    placemark,
    placemark_name,
    line_string,
    coordinates,
    track,  // gx:Track
    when,
    coord,  // gx:coord
};

std::string utf8(QStringView text) { return text.toUtf8().toStdString(); }

// The elements whose text is read.
bool holds_text(Ctx ctx) {
    return ctx == Ctx::route_name || ctx == Ctx::point_time || ctx == Ctx::point_speed || ctx == Ctx::placemark_name ||
           ctx == Ctx::when || ctx == Ctx::coord;
}

bool blank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

}  // namespace

struct XmlParser::State {
    explicit State(Collector& c) : out(c) {}

    Collector& out;
    QXmlStreamReader reader;
    std::string prolog;
    Markup markup;
    bool body = false;
    bool done = false;
    std::vector<Ctx> stack;

    // Where the token just read starts, and where it ends (line from 1,
    // column from 1): a problem with an element is placed at the end of its
    // tag, where the reader knows it for sure.
    std::int64_t token_line = 1, token_column = 1;
    std::int64_t line = 1, column = 1;
    bool resuming = false;
    // Bytes given to the reader since it last gave a token. While it gives
    // none, bytes wait here until there are as many as it holds: it reads a
    // comment again from its start each time it is given more, so the
    // waiting keeps the work of a long one in proportion to its length.
    std::size_t held = 0;
    std::string waiting;
    bool stalled = false;

    // The point being read.
    RoutePoint point;
    std::int64_t point_line = 0, point_column = 0;
    bool in_point = false;

    // The text of the element being read.
    std::string text;
    bool text_too_long = false;

    // GPX: the file's waypoints, a route of their own, listed after the others.
    Route waypoints{"waypoint"};

    // KML: the Placemark being read, its name and the routes made in it.
    std::string placemark_name;
    std::size_t placemark_first = 0;
    // A LineString's coordinates: the tuple being read and where it started.
    std::string tuple;
    std::int64_t tuple_line = 0, tuple_column = 0;
    // A gx:Track's times and coordinates, paired in order.
    std::vector<std::int64_t> whens;
    std::vector<RoutePoint> coords;
    std::vector<std::pair<std::int64_t, std::int64_t>> coord_places;
    std::size_t paired = 0;

    Ctx parent() const { return stack.empty() ? Ctx::other : stack.back(); }
    void fail(std::string reason) { out.fail(line, column, std::move(reason)); }

    std::size_t tokens = 0;

    bool feed(std::string_view piece);
    // The piece through the markup's scan, then on to the reader.
    bool checked(std::string_view piece);
    bool give_waiting(bool at_end);
    bool pump(bool at_end);
    void start_element();
    // A GPX point's lat and lon; false (and failed) without them.
    bool start_point();
    // The context of a KML element under `up`.
    Ctx start_kml(QStringView name, Ctx up);
    void end_element();
    // The element's text as a time; none (and failed) when it is no time.
    std::optional<std::int64_t> text_time();
    void end_placemark();
    void end_when();
    void end_coord();
    void end_track();
    void characters();
    void tuple_end();
    void pair_track_points();
};

bool XmlParser::State::feed(std::string_view piece) {
    if (out.failed()) return false;
    if (!body) {
        prolog.append(piece);
        std::size_t doctype_at = 0;
        switch (scan_prolog(prolog, doctype_at)) {
            case Prolog::more: return true;
            case Prolog::too_long:
                out.fail(0, 0, "il file XML non arriva al suo primo elemento nei primi 64 KiB");
                return false;
            case Prolog::doctype: {
                TextPlace at{.xml = true};
                at.advance(std::string_view(prolog).substr(0, doctype_at));
                out.fail(at.line, at.column,
                         "il file contiene una dichiarazione DOCTYPE: vadrel non la legge, perché potrebbe "
                         "dichiarare entità da espandere o da prendere altrove");
                return false;
            }
            case Prolog::body: break;
        }
        body = true;
        const std::string encoding = declared_encoding(prolog);
        markup.set_utf8(encoding.empty() || encoding == "utf-8" || encoding == "utf8");
        const std::string all = std::move(prolog);
        prolog = {};
        return checked(all);
    }
    return checked(piece);
}

bool XmlParser::State::checked(std::string_view piece) {
    std::size_t stop = 0;
    if (std::optional<ReadProblem> refused = markup.scan(piece, stop)) {
        // The reader reads up to there first: a problem it finds earlier in
        // the file is the one told, however the file came in pieces.
        waiting.append(piece.substr(0, stop));
        if (!give_waiting(false)) return false;
        out.fail(refused->line, refused->column, std::move(refused->reason));
        return false;
    }
    waiting.append(piece);
    if (held + waiting.size() > max_token) {
        line = token_line;
        column = token_column;
        fail("un testo, un commento o un marcatore del file è più lungo di 16 MiB: vadrel non lo legge");
        return false;
    }
    if (stalled && waiting.size() < held) return true;
    return give_waiting(false);
}

bool XmlParser::State::give_waiting(bool at_end) {
    held += waiting.size();
    reader.addData(QByteArray(waiting.data(), static_cast<qsizetype>(waiting.size())));
    waiting.clear();
    const std::size_t before = tokens;
    if (!pump(at_end)) return false;
    stalled = tokens == before;
    return true;
}

bool XmlParser::State::pump(bool at_end) {
    while (!done && !out.failed()) {
        // A token cut by the end of the bytes given is read again from its
        // start: where it starts stays where it was first tried.
        if (!resuming) {
            token_line = reader.lineNumber();
            token_column = reader.columnNumber() + 1;
        }
        const QXmlStreamReader::TokenType token = reader.readNext();
        line = reader.lineNumber();
        column = reader.columnNumber() + 1;
        resuming = false;
        if (!reader.hasError()) {
            held = 0;
            ++tokens;
        }
        if (reader.hasError()) {
            if (reader.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
                resuming = true;
                if (!at_end) return true;
                line = token_line;
                column = token_column;
                fail("il file finisce a metà: è troncato?");
                return false;
            }
            line = reader.lineNumber();
            column = reader.columnNumber() + 1;
            fail("il file non è XML ben formato (marcatori, caratteri o codifica non validi)");
            return false;
        }
        switch (token) {
            case QXmlStreamReader::DTD:
                fail("il file contiene una dichiarazione DOCTYPE: vadrel non la legge");
                return false;
            case QXmlStreamReader::EntityReference:
                fail("il file usa un'entità XML che vadrel non espande");
                return false;
            case QXmlStreamReader::StartElement: start_element(); break;
            case QXmlStreamReader::EndElement: end_element(); break;
            case QXmlStreamReader::Characters: characters(); break;
            case QXmlStreamReader::EndDocument: done = true; break;
            default: break;
        }
    }
    return !out.failed();
}

void XmlParser::State::start_element() {
    const QStringView name = reader.name();
    const Ctx up = parent();
    Ctx ctx = Ctx::other;
    if (stack.empty()) {
        if (name == u"gpx") {
            ctx = Ctx::gpx;
        } else if (name == u"kml") {
            ctx = Ctx::kml;
        } else {
            fail("il file XML non è GPX né KML: il suo primo elemento è <" + utf8(reader.qualifiedName()) + ">");
            return;
        }
    } else if (in_point) {
        if (name == u"speed") {
            ctx = Ctx::point_speed;
        } else if (up == Ctx::point && name == u"time") {
            ctx = Ctx::point_time;
        }
    } else if (up == Ctx::gpx && (name == u"rte" || name == u"trk")) {
        ctx = Ctx::route;
        out.begin("", line, column);
    } else if ((up == Ctx::gpx && name == u"wpt") || (up == Ctx::route && name == u"rtept") ||
               (up == Ctx::segment && name == u"trkpt")) {
        ctx = Ctx::point;
        if (!start_point()) return;
    } else if (up == Ctx::route && name == u"trkseg") {
        ctx = Ctx::segment;
    } else if (up == Ctx::route && name == u"name") {
        ctx = Ctx::route_name;
    } else if (stack.front() == Ctx::kml) {
        ctx = start_kml(name, up);
    }
    if (holds_text(ctx)) {
        text.clear();
        text_too_long = false;
    }
    stack.push_back(ctx);
}

bool XmlParser::State::start_point() {
    const QXmlStreamAttributes attributes = reader.attributes();
    const auto coordinate = [&](QLatin1String attribute, double& value) {
        const std::string attribute_name(attribute.data(), static_cast<std::size_t>(attribute.size()));
        if (!attributes.hasAttribute(attribute)) {
            fail("al punto manca l'attributo " + attribute_name);
            return false;
        }
        const std::optional<double> number = read_decimal(utf8(attributes.value(attribute)));
        if (!number) {
            fail("l'attributo " + attribute_name + "=\"" + utf8(attributes.value(attribute)) + "\" non è un numero");
            return false;
        }
        value = *number;
        return true;
    };
    point = {};
    point_line = line;
    point_column = column;
    if (!coordinate(QLatin1String("lat"), point.lat) || !coordinate(QLatin1String("lon"), point.lon)) return false;
    in_point = true;
    return true;
}

Ctx XmlParser::State::start_kml(QStringView name, Ctx up) {
    if (name == u"Placemark") {
        placemark_name.clear();
        placemark_first = out.routes();
        return Ctx::placemark;
    }
    if (up == Ctx::placemark && name == u"name") return Ctx::placemark_name;
    if (name == u"LineString") {
        out.begin("", line, column);
        return Ctx::line_string;
    }
    if (up == Ctx::line_string && name == u"coordinates") {
        tuple.clear();
        return Ctx::coordinates;
    }
    if (name == u"Track") {
        out.begin("", line, column);
        whens.clear();
        coords.clear();
        coord_places.clear();
        paired = 0;
        return Ctx::track;
    }
    if (up == Ctx::track && name == u"when") return Ctx::when;
    if (up == Ctx::track && name == u"coord") return Ctx::coord;
    return Ctx::other;
}

void XmlParser::State::characters() {
    const Ctx ctx = parent();
    const QStringView chars = reader.text();
    if (ctx == Ctx::coordinates) {
        // Tuples separated by blanks, the text perhaps in several pieces.
        std::int64_t l = token_line, c = token_column;
        for (const QChar qc : chars) {
            const char16_t ch = qc.unicode();
            if (blank(ch)) {
                tuple_end();
                if (out.failed()) return;
            } else {
                if (tuple.empty()) {
                    tuple_line = l;
                    tuple_column = c;
                }
                if (tuple.size() >= max_tuple) {
                    out.fail(tuple_line, tuple_column, "coordinate KML troppo lunghe");
                    return;
                }
                tuple.push_back(ch < 128 ? static_cast<char>(ch) : '?');
            }
            if (ch == u'\n') {
                ++l;
                c = 1;
            } else {
                ++c;
            }
        }
        return;
    }
    if (holds_text(ctx)) {
        if (text.size() + static_cast<std::size_t>(chars.size()) > max_text) {
            text_too_long = true;
            return;
        }
        text += utf8(chars);
    }
}

void XmlParser::State::tuple_end() {
    if (tuple.empty()) return;
    // lon,lat or lon,lat,alt
    const std::size_t first = tuple.find(','), second = tuple.find(',', first + 1);
    std::optional<double> lon, lat;
    if (first != std::string::npos) {
        lon = read_decimal(std::string_view(tuple).substr(0, first));
        lat = read_decimal(std::string_view(tuple).substr(first + 1, second == std::string::npos ? std::string::npos
                                                                                                  : second - first - 1));
        if (second != std::string::npos &&
            (tuple.find(',', second + 1) != std::string::npos || !read_decimal(std::string_view(tuple).substr(second + 1))))
            lon.reset();
    }
    if (!lon || !lat) {
        out.fail(tuple_line, tuple_column,
                 "coordinate KML non valide: \"" + tuple + "\" (vanno scritte longitudine,latitudine[,quota])");
        return;
    }
    out.add({*lat, *lon, std::nullopt, std::nullopt}, tuple_line, tuple_column);
    tuple.clear();
}

void XmlParser::State::pair_track_points() {
    while (paired < whens.size() && paired < coords.size()) {
        RoutePoint p = coords[paired];
        p.time = whens[paired];
        if (!out.add(p, coord_places[paired].first, coord_places[paired].second)) return;
        ++paired;
    }
}

void XmlParser::State::end_element() {
    if (stack.empty()) return;
    const Ctx ctx = stack.back();
    stack.pop_back();
    if (holds_text(ctx) && text_too_long) {
        fail("il testo dell'elemento è più lungo di 4096 caratteri");
        return;
    }
    switch (ctx) {
        case Ctx::route: out.end(); break;
        case Ctx::route_name:
            if (out.open()) out.current().set_name(text);
            break;
        case Ctx::point_time:
            if (const auto t = text_time()) point.time = t;
            break;
        case Ctx::point_speed: {
            const std::optional<double> v = read_decimal(text);
            if (!v) {
                fail("la velocità \"" + text + "\" non è un numero (metri al secondo)");
                return;
            }
            point.speed = v;
            break;
        }
        case Ctx::point:
            in_point = false;
            if (stack.back() == Ctx::gpx) {
                out.add_to(waypoints, point, point_line, point_column);
            } else {
                out.add(point, point_line, point_column);
            }
            break;
        case Ctx::placemark: end_placemark(); break;
        case Ctx::placemark_name: placemark_name = text; break;
        case Ctx::coordinates: tuple_end(); break;
        case Ctx::line_string: out.end(); break;
        case Ctx::when: end_when(); break;
        case Ctx::coord: end_coord(); break;
        case Ctx::track: end_track(); break;
        case Ctx::gpx:
            if (!waypoints.empty()) out.take(std::move(waypoints));
            break;
        default: break;
    }
}

std::optional<std::int64_t> XmlParser::State::text_time() {
    const std::optional<std::int64_t> t = read_iso_time(text);
    if (!t) fail("l'ora \"" + text + "\" non è valida (per esempio 2024-05-01T10:00:00Z)");
    return t;
}

void XmlParser::State::end_placemark() {
    const std::size_t made = out.routes() - placemark_first;
    for (std::size_t i = 0; i < made; ++i) {
        out.rename(placemark_first + i,
                   made == 1 || i == 0 ? placemark_name : placemark_name + " (" + std::to_string(i + 1) + ")");
    }
}

void XmlParser::State::end_when() {
    const std::optional<std::int64_t> t = text_time();
    if (!t) return;
    if (whens.size() >= Route::max_points) {
        fail("il file ha più di 1.000.000 di punti");
        return;
    }
    whens.push_back(*t);
    pair_track_points();
}

void XmlParser::State::end_coord() {
    // "lon lat alt"
    std::vector<double> numbers;
    std::size_t at = 0;
    while (at < text.size() && numbers.size() <= 3) {
        while (at < text.size() && blank(static_cast<char16_t>(text[at]))) ++at;
        std::size_t end = at;
        while (end < text.size() && !blank(static_cast<char16_t>(text[end]))) ++end;
        if (end == at) break;
        const std::optional<double> n = read_decimal(std::string_view(text).substr(at, end - at));
        if (!n) break;
        numbers.push_back(*n);
        at = end;
    }
    while (at < text.size() && blank(static_cast<char16_t>(text[at]))) ++at;
    if (numbers.size() < 2 || numbers.size() > 3 || at != text.size()) {
        fail("gx:coord non valido: \"" + text + "\" (va scritto longitudine latitudine quota)");
        return;
    }
    if (coords.size() >= Route::max_points) {
        fail("il file ha più di 1.000.000 di punti");
        return;
    }
    coords.push_back({numbers[1], numbers[0], std::nullopt, std::nullopt});
    coord_places.emplace_back(line, column);
    pair_track_points();
}

void XmlParser::State::end_track() {
    if (whens.size() != coords.size()) {
        fail("gx:Track ha " + std::to_string(whens.size()) + " <when> e " + std::to_string(coords.size()) +
             " <gx:coord>: vanno a coppie");
        return;
    }
    whens = {};
    coords = {};
    coord_places = {};
    out.end();
}

XmlParser::XmlParser(Collector& out) : s_(std::make_unique<State>(out)) {}
XmlParser::~XmlParser() = default;

bool XmlParser::feed(std::string_view piece) { return s_->feed(piece); }

bool XmlParser::drain() {
    if (s_->out.failed()) return false;
    return !s_->body || s_->give_waiting(false);
}

bool XmlParser::finish() {
    if (s_->out.failed()) return false;
    if (!s_->body) {
        s_->out.fail(0, 0, s_->prolog.find('<') == std::string::npos ? "il file è vuoto"
                                                                       : "il file XML finisce prima del suo primo elemento");
        return false;
    }
    if (std::optional<ReadProblem> refused = s_->markup.finish()) {
        // The reader reads the bytes before first, as for a problem met in a
        // piece: what it finds there is the file's first problem.
        if (!s_->give_waiting(false)) return false;
        s_->out.fail(refused->line, refused->column, std::move(refused->reason));
        return false;
    }
    return s_->give_waiting(true);
}

}  // namespace vadrel::route_parsing
