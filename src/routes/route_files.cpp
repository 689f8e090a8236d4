#include "route_files.h"

#include <QBuffer>
#include <QIODevice>
#include <QXmlStreamWriter>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/numbers.h"
#include "os/descriptor.h"
#include "os/system_error.h"
#include "routes/iso_time.h"
#include "routes/route_parsers.h"

namespace vadrel {

namespace route_parsing {

void Collector::begin(std::string name, std::int64_t line, std::int64_t column) {
    if (open_) end();
    routes_.emplace_back(std::move(name));
    open_ = true;
    begin_line_ = line;
    begin_column_ = column;
}

bool Collector::add(const RoutePoint& point, std::int64_t line, std::int64_t column) {
    if (failed()) return false;
    if (!open_) begin("", line, column);
    return add_to(routes_.back(), point, line, column);
}

bool Collector::add_to(Route& route, const RoutePoint& point, std::int64_t line, std::int64_t column) {
    if (failed()) return false;
    if (points_ >= Route::max_points) {
        fail(line, column, "il file ha più di 1.000.000 di punti");
        return false;
    }
    if (std::optional<std::string> refused = route.add(point)) {
        fail(line, column, std::move(*refused));
        return false;
    }
    ++points_;
    return true;
}

void Collector::end() {
    if (!open_) return;
    open_ = false;
    if (routes_.back().empty()) {
        if (!empty_) {
            const std::string& name = routes_.back().name();
            empty_ = ReadProblem{begin_line_, begin_column_,
                                 name.empty() ? "il percorso non ha punti" : "il percorso \"" + name + "\" non ha punti"};
        }
        routes_.pop_back();
        return;
    }
    routes_.back().shrink();
}

void Collector::take(Route route) {
    route.shrink();
    routes_.push_back(std::move(route));
}

void Collector::fail(std::int64_t line, std::int64_t column, std::string reason) {
    if (!problem_) problem_ = ReadProblem{line, column, std::move(reason)};
}

RouteReading Collector::result() {
    if (problem_) return *problem_;
    end();
    if (routes_.empty()) return empty_ ? *empty_ : ReadProblem{0, 0, "il file non contiene percorsi"};
    return std::move(routes_);
}

std::optional<double> read_decimal(std::string_view text, bool comma) {
    return read_number(text, comma ? NumberSource::route_file_comma : NumberSource::route_file);
}

}  // namespace route_parsing

using route_parsing::Collector;

namespace {

constexpr std::size_t piece_bytes = 64 * 1024;

std::string lower_ascii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

bool ends_with(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Where the file's lines stand, to place a NUL byte.
// Both ways of counting lines, until the format is known.
struct LineCount {
    route_parsing::TextPlace text;
    route_parsing::TextPlace xml{.xml = true};

    void advance(std::string_view bytes) {
        text.advance(bytes);
        xml.advance(bytes);
    }
};

std::string size_text(std::uint64_t bytes) { return std::to_string(bytes / (1024 * 1024)) + " MiB"; }

}  // namespace

RouteFormat format_of_name(std::string_view file_name) {
    const std::string name = lower_ascii(file_name);
    if (ends_with(name, ".gpx")) return RouteFormat::gpx;
    if (ends_with(name, ".kml")) return RouteFormat::kml;
    if (ends_with(name, ".csv") || ends_with(name, ".txt")) return RouteFormat::csv;
    if (ends_with(name, ".json")) return RouteFormat::json;
    return RouteFormat::guess;
}

RouteFormat format_of_content_type(std::string_view content_type) {
    std::string type = lower_ascii(content_type.substr(0, content_type.find(';')));
    while (!type.empty() && type.back() == ' ') type.pop_back();
    while (!type.empty() && type.front() == ' ') type.erase(type.begin());
    if (type == "application/gpx+xml") return RouteFormat::gpx;
    if (type == "application/vnd.google-earth.kml+xml") return RouteFormat::kml;
    if (type == "text/csv") return RouteFormat::csv;
    if (type == "application/json") return RouteFormat::json;
    return RouteFormat::guess;
}

std::string ReadProblem::message() const {
    if (line <= 0) return reason;
    return "riga " + std::to_string(line) + ", colonna " + std::to_string(column) + ": " + reason;
}

namespace {

// The format the first bytes tell, after blanks and a byte order mark: XML
// at "<", JSON at "[" or "{", else CSV; none while they tell nothing yet.
std::optional<RouteFormat> format_of_start(std::string_view undecided) {
    std::string_view look = undecided;
    if (look.substr(0, 3) == "\xEF\xBB\xBF") look.remove_prefix(3);
    // A byte order mark not yet whole tells nothing yet.
    const bool mark_begun = look.size() < 3 && std::string_view("\xEF\xBB\xBF").starts_with(look);
    const std::size_t first = mark_begun ? std::string_view::npos : look.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos && undecided.size() < piece_bytes) return std::nullopt;
    const char c = first == std::string_view::npos ? ' ' : look[first];
    return c == '<' ? RouteFormat::gpx : c == '[' || c == '{' ? RouteFormat::json : RouteFormat::csv;
}

}  // namespace

RouteReading read_route_source(const PieceSource& source, RouteFormat format, std::optional<std::uint64_t> size,
                               JsonFields* fields) {
    const auto limit = [] { return max_file_bytes; };
    const auto too_large = [&] {
        return ReadProblem{0, 0, "il file è più grande di " + size_text(limit()) +
                                     ", il massimo che vadrel legge per un percorso"};
    };
    if (size && *size > limit()) return too_large();

    Collector out;
    std::optional<route_parsing::XmlParser> xml;
    std::optional<route_parsing::CsvParser> csv;
    std::optional<route_parsing::JsonParser> json;
    std::string undecided;  // the blanks before the first byte that tells the format
    std::uint64_t total = 0;
    LineCount place;

    const auto choose = [&](RouteFormat chosen) {
        format = chosen;
        if (chosen == RouteFormat::gpx || chosen == RouteFormat::kml) xml.emplace(out);
        if (chosen == RouteFormat::csv) csv.emplace(out, "");
        if (chosen == RouteFormat::json) json.emplace(out, fields ? fields->allowed : std::vector<std::string>{});
    };
    const auto give = [&](std::string_view bytes) {
        if (xml) return xml->feed(bytes);
        if (csv) return csv->feed(bytes);
        return json->feed(bytes);
    };
    if (format != RouteFormat::guess) choose(format);

    while (true) {
        const Piece piece = source();
        if (!piece.failure.empty()) return ReadProblem{0, 0, piece.failure};
        const std::string_view all = piece.bytes;
        if (all.empty()) break;
        total += all.size();
        if (total > limit()) return too_large();
        // The bytes before a NUL are read first: a problem there, earlier in
        // the file, is the one told, however the file came in pieces.
        const void* nul = std::memchr(all.data(), '\0', all.size());
        const std::size_t clean =
            nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - all.data()) : all.size();
        const std::string_view bytes = all.substr(0, clean);
        place.advance(bytes);
        bool given = true;
        if (format == RouteFormat::guess) {
            undecided.append(bytes);
            if (const auto told = format_of_start(undecided)) {
                choose(*told);
                const std::string held = std::move(undecided);
                undecided.clear();
                given = give(held);
            }
        } else {
            given = give(bytes);
        }
        if (!given) break;
        if (nul) {
            if (xml && !xml->drain()) break;
            const route_parsing::TextPlace& at = xml ? place.xml : place.text;
            return ReadProblem{at.line, at.column,
                               "il file contiene byte nulli: non è un testo (è un file binario, o un testo in UTF-16?)"};
        }
    }
    if (format == RouteFormat::guess) {
        if (undecided.find_first_not_of(" \t\r\n\xEF\xBB\xBF") == std::string::npos) return ReadProblem{0, 0, "il file è vuoto"};
        choose(RouteFormat::csv);
        give(undecided);
    }
    if (xml) {
        xml->finish();
    } else if (csv) {
        csv->finish();
    } else if (json->finish() && fields) {
        fields->given = json->options();
    }
    return out.result();
}

RouteReading read_route_file(const QByteArray& bytes, RouteFormat format, const std::function<bool()>& go_on,
                             JsonFields* fields) {
    // Given a piece at a time, as a file is read: the XML reader's limit on
    // one text or tag is not the size of the whole.
    const std::string_view all(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    std::size_t given = 0;
    const PieceSource source = [&]() -> Piece {
        if (go_on && !go_on()) return {{}, "lettura interrotta"};
        const std::string_view piece = all.substr(given, piece_bytes);
        given += piece.size();
        return {piece, {}};
    };
    return read_route_source(source, format, static_cast<std::uint64_t>(bytes.size()), fields);
}

RouteReading read_route_file(const std::string& path, const std::function<bool(double)>& go_on) {
    const std::string subject = "il file " + path;
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) return ReadProblem{0, 0, subject + " non si apre: " + italian_reason(errno)};
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) return ReadProblem{0, 0, subject + " non si legge: " + italian_reason(errno)};
    if (S_ISDIR(status.st_mode)) return ReadProblem{0, 0, subject + " è una cartella, non un percorso"};
    if (!S_ISREG(status.st_mode))
        return ReadProblem{0, 0, subject + " non è un file normale (è una FIFO, un dispositivo o un socket): vadrel "
                                           "legge i percorsi solo da file normali"};
    const auto size = static_cast<std::uint64_t>(status.st_size);
    std::string buffer(piece_bytes, '\0');
    std::uint64_t done = 0;
    const PieceSource source = [&]() -> Piece {
        if (go_on && !go_on(size > 0 ? static_cast<double>(done) / static_cast<double>(size) : 0.0))
            return {{}, "lettura di " + path + " interrotta"};
        while (true) {
            const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return {{}, subject + " non si legge: " + italian_reason(errno)};
            done += static_cast<std::uint64_t>(got);
            return {std::string_view(buffer.data(), static_cast<std::size_t>(got)), {}};
        }
    };
    const RouteFormat format = format_of_name(path);
    RouteReading read = read_route_source(source, format, size);
    // A CSV file's one route is named after the file.
    if (auto* routes = std::get_if<std::vector<Route>>(&read)) {
        if (routes->size() == 1 && routes->front().name().empty() && format == RouteFormat::csv) {
            std::string name = path.substr(path.find_last_of('/') + 1);
            name = name.substr(0, name.find_last_of('.'));
            routes->front().set_name(name);
        }
    }
    return read;
}

std::variant<std::size_t, std::string> choose_route(const std::vector<Route>& routes, std::string_view choice) {
    if (routes.empty()) return std::string("il file non contiene percorsi");
    if (choice.empty()) return std::size_t{0};
    for (std::size_t i = 0; i < routes.size(); ++i) {
        if (routes[i].name() == choice) return i;
    }
    const auto number = read_whole<std::size_t>(choice, NumberSource::command_line);
    if (number && *number >= 1 && *number <= routes.size()) return *number - 1;
    std::string names;
    const std::size_t shown = std::min<std::size_t>(routes.size(), 10);
    for (std::size_t i = 0; i < shown; ++i) {
        names += (i == 0 ? "" : ", ") + (routes[i].name().empty() ? "(senza nome)" : "\"" + routes[i].name() + "\"");
    }
    if (routes.size() > shown) names += " e altri " + std::to_string(routes.size() - shown);
    return "il file non ha un percorso \"" + std::string(choice) + "\": ha " + names +
           " (si può scegliere anche per numero, da 1 a " + std::to_string(routes.size()) + ")";
}

QByteArray route_gpx(const Route& route) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    write_route_gpx(route, buffer);
    return bytes;
}

void write_route_gpx(const Route& route, QIODevice& device) {
    const auto number = [](auto value) {
        char text[32];
        return QString::fromLatin1(text, std::to_chars(text, text + sizeof text, value).ptr - text);
    };
    QXmlStreamWriter xml(&device);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeStartDocument();
    xml.writeStartElement("gpx");
    xml.writeAttribute("version", "1.1");
    xml.writeAttribute("creator", "vadrel");
    xml.writeDefaultNamespace("http://www.topografix.com/GPX/1/1");
    const QString garmin = "http://www.garmin.com/xmlschemas/TrackPointExtension/v2";
    xml.writeNamespace(garmin, "gpxtpx");
    const bool track = route.has_times();
    xml.writeStartElement(track ? "trk" : "rte");
    if (!route.name().empty()) xml.writeTextElement("name", QString::fromStdString(route.name()));
    if (track) xml.writeStartElement("trkseg");
    for (std::size_t i = 0; i < route.size(); ++i) {
        const RoutePoint p = route.point(i);
        xml.writeStartElement(track ? "trkpt" : "rtept");
        xml.writeAttribute("lat", number(p.lat));
        xml.writeAttribute("lon", number(p.lon));
        if (p.time) xml.writeTextElement("time", QString::fromStdString(iso_time(*p.time)));
        if (p.speed) {
            xml.writeStartElement("extensions");
            xml.writeStartElement(garmin, "TrackPointExtension");
            xml.writeTextElement(garmin, "speed", number(static_cast<float>(*p.speed)));
            xml.writeEndElement();
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndDocument();
}

}  // namespace vadrel
