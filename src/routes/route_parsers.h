#pragma once
// Inside the route readers (route_files.h): what the three streaming
// parsers share, and the parsers. Each takes the file a piece at a time,
// keeps nothing of it but the routes it has made and the piece it is in,
// and stops at the first problem.

#include <QByteArray>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
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
    // The problem's reason said of a part: "punto 3: " + reason.
    void prefix_problem(const std::string& prefix) {
        if (problem_) problem_->reason = prefix + problem_->reason;
    }

private:
    std::vector<Route> routes_;
    bool open_ = false;
    std::size_t points_ = 0;
    std::int64_t begin_line_ = 0, begin_column_ = 0;
    std::optional<ReadProblem> problem_;
    std::optional<ReadProblem> empty_;
};

// A route file's number (NumberSource::route_file, or route_file_comma when
// `comma` is true: a comma as well as a point); nullopt when it is anything else.
std::optional<double> read_decimal(std::string_view text, bool comma = false);

// A place in a text given in pieces: line from 1, column from 1 in
// characters. A line ends at LF; in XML also at a CR alone, and a CR LF pair
// ends one line, as an XML reader counts them.
struct TextPlace {
    std::int64_t line = 1;
    std::int64_t column = 1;
    bool xml = false;
    bool after_cr = false;

    void advance(char byte) {
        if (byte == '\n' && after_cr) {
            after_cr = false;
            return;
        }
        after_cr = xml && byte == '\r';
        if (byte == '\n' || after_cr) {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(byte) & 0xC0) != 0x80) {  // not the continuation of a character
            ++column;
        }
    }
    void advance(std::string_view text) {
        for (const char byte : text) advance(byte);
    }
};

class XmlParser {
public:
    explicit XmlParser(Collector& out);
    ~XmlParser();
    XmlParser(const XmlParser&) = delete;
    XmlParser& operator=(const XmlParser&) = delete;
    // False once there is a problem.
    bool feed(std::string_view piece);
    // Everything fed so far given to the reader now (fed bytes may wait for
    // more while the reader is in a long token): before a problem found
    // further on is told.
    bool drain();
    bool finish();

private:
    struct State;
    std::unique_ptr<State> s_;
};

// One field of a CSV line.
struct CsvField {
    std::string text;
    std::size_t at = 0;  // where it starts in the line, for the column
};
// The fields of a line; a field in double quotes may hold the separator and
// "" for a quote. False when a quote is left open.
bool split_csv(std::string_view line, char separator, std::vector<CsvField>& fields);

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

// JSON: a list of points, or {"nome": ..., "punti": [...]} with, beside
// them, the fields `option_names` (strings or numbers, kept as written).
class JsonParser {
public:
    JsonParser(Collector& out, std::vector<std::string> option_names);
    bool feed(std::string_view piece);
    bool finish();
    const std::vector<std::pair<std::string, std::string>>& options() const { return options_; }

private:
    enum class Lexing : std::uint8_t { none, string, escape, number, literal };
    enum class Expect : std::uint8_t { value, value_or_close, key, key_or_close, colon, comma_or_close, end };
    enum class Field : std::uint8_t { none, name, points, option, lat, lon, speed, time };
    enum class Scalar : std::uint8_t { string, number, literal };

    void step(char c);
    // The byte read into the token under way (a string, a number, a
    // literal); false when there is none or the byte ends it.
    bool token_byte(char c);
    void value_start(char c);
    void string_byte(char c);
    void escape_byte(char c);
    void number_end();
    void literal_end();
    void open(char bracket);
    void close();
    void after_value();
    void key(const std::string& name);
    void scalar(Scalar kind);
    void not_a_scalar();
    void point_end();
    bool top_object() const;
    void fail(std::int64_t line, std::int64_t column, std::string reason);
    void syntax(const std::string& reason);
    void syntax_at_token(const std::string& reason);
    std::string in_point(const std::string& reason) const;

    Collector& out_;
    std::vector<std::string> option_names_;
    std::vector<std::pair<std::string, std::string>> options_;
    // The token being read.
    Lexing lexing_ = Lexing::none;
    Expect expect_ = Expect::value;
    std::string token_, escape_;
    bool string_is_key_ = false;
    char32_t high_surrogate_ = 0;
    double number_ = 0.0;
    // The containers open, "{" or "[": three at most in a route's shape.
    std::string nesting_;
    bool listing_ = false, lists_done_ = false, done_ = false;
    // The route's fields, and the field whose value comes.
    std::set<std::string> seen_;
    Field field_ = Field::none;
    std::string field_name_, name_;
    // The point being read.
    RoutePoint point_;
    bool has_lat_ = false, has_lon_ = false, has_speed_ = false;
    std::int64_t point_line_ = 0, point_column_ = 0;
    std::size_t points_ = 0;
    // Where the byte being read and the token stand.
    std::int64_t line_ = 1, column_ = 1, token_line_ = 1, token_column_ = 1;
    std::size_t position_ = 0, bom_ = 0;
};

}  // namespace vadrel::route_parsing
