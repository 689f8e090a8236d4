#pragma once
// Inside the route readers (route_files.h): what the three streaming
// parsers share, and the parsers. Each takes the file a piece at a time,
// keeps nothing of it but the routes it has made and the piece it is in,
// and stops at the first problem.

#include <QByteArray>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "routes/route.h"
#include "routes/route_files.h"

namespace vadrel::route_parsing {

// The routes made so far, the points counted over all of them, and the
// first problem.
class Collector {
public:
    void begin(std::string name, std::int64_t line, std::int64_t column);
    // False once there is a problem (this one or an earlier one).
    bool add(const RoutePoint& point, std::int64_t line, std::int64_t column);
    // The same for a route kept apart (GPX waypoints), counted with the others.
    bool add_to(Route& route, const RoutePoint& point, std::int64_t line, std::int64_t column);
    // Ends the open route; one without points is left out.
    void end();
    // A route kept apart, after the others.
    void take(Route route);
    bool open() const { return open_; }
    Route& current() { return routes_.back(); }
    // Keeps the first problem only.
    void fail(std::int64_t line, std::int64_t column, std::string reason);
    bool failed() const { return problem_.has_value(); }
    // The routes with points, or the problem; a file where no route has a
    // point is told where its first empty route starts.
    RouteReading result();
    std::size_t routes() const { return routes_.size(); }
    void rename(std::size_t index, std::string name) { routes_[index].set_name(std::move(name)); }

private:
    std::vector<Route> routes_;
    bool open_ = false;
    std::size_t points_ = 0;
    std::int64_t begin_line_ = 0, begin_column_ = 0;
    std::optional<ReadProblem> problem_;
    std::optional<ReadProblem> empty_;
};

// A number with a decimal point (or, when `comma` is true, a comma instead),
// blanks around it allowed; nullopt when it is anything else.
std::optional<double> read_decimal(std::string_view text, bool comma = false);

// Line and column of the byte `offset` of `text`, counted from (line, column).
void move_along(std::string_view text, std::size_t offset, std::int64_t& line, std::int64_t& column);

class XmlParser {
public:
    explicit XmlParser(Collector& out);
    ~XmlParser();
    XmlParser(const XmlParser&) = delete;
    XmlParser& operator=(const XmlParser&) = delete;
    // False once there is a problem.
    bool feed(std::string_view piece);
    bool finish();

private:
    struct State;
    std::unique_ptr<State> s_;
};

class CsvParser {
public:
    CsvParser(Collector& out, std::string route_name);
    bool feed(std::string_view piece);
    bool finish();

private:
    bool line(std::string_view text);
    bool header(std::string_view text);
    bool row(std::string_view text);

    Collector& out_;
    std::string name_;
    std::string carry_;
    std::int64_t line_ = 0;
    bool header_done_ = false;
    char separator_ = ',';
    int lat_ = -1, lon_ = -1, speed_ = -1, time_ = -1, date_ = -1;
    std::size_t columns_ = 0;
    int speed_unit_ = 1;  // km/h, knots, m/s
};

// The whole body at once.
RouteReading read_json_points(const QByteArray& body);

}  // namespace vadrel::route_parsing
