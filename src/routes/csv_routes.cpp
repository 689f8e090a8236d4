// CSV with a header naming the columns, read a line at a time.

#include <algorithm>
#include <cstring>
#include <vector>

#include "routes/iso_time.h"
#include "routes/route_parsers.h"

namespace vadrel::route_parsing {

bool split_csv(std::string_view line, char separator, std::vector<CsvField>& fields) {
    fields.clear();
    std::size_t i = 0;
    while (true) {
        CsvField field;
        field.at = i;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t') && line[i] != separator) ++i;
        if (i < line.size() && line[i] == '"') {
            ++i;
            while (true) {
                if (i >= line.size()) return false;
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field.text.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field.text.push_back(line[i++]);
            }
            while (i < line.size() && line[i] != separator) {
                if (line[i] != ' ' && line[i] != '\t') return false;
                ++i;
            }
        } else {
            const std::size_t end = std::min(line.find(separator, i), line.size());
            field.text.assign(line.substr(i, end - i));
            i = end;
        }
        fields.push_back(std::move(field));
        if (i >= line.size()) return true;
        ++i;  // the separator
    }
}

namespace {

std::string trimmed_lower(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

bool starts_with(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

// A speed column's unit, said after its name: 1 km/h, 2 knots, 3 m/s, 0 not known.
int speed_unit(std::string_view unit) {
    std::string plain;
    for (const char c : unit) {
        if (c != ' ' && c != '_' && c != '(' && c != ')' && c != '[' && c != ']') plain.push_back(c);
    }
    if (plain.empty() || plain == "kmh" || plain == "km/h") return 1;
    if (plain == "kn" || plain == "kt" || plain == "nodi" || plain == "knots") return 2;
    if (plain == "ms" || plain == "m/s") return 3;
    return 0;
}

double metres_per_second(double speed, int unit) {
    if (unit == 1) return speed / 3.6;
    if (unit == 2) return speed * 1852.0 / 3600.0;
    return speed;
}

}  // namespace

CsvParser::CsvParser(Collector& out, std::string route_name) : out_(out), name_(std::move(route_name)) {}

bool CsvParser::feed(std::string_view piece) {
    while (!piece.empty() && !out_.failed()) {
        const std::size_t newline = piece.find('\n');
        const std::string_view part = piece.substr(0, newline);
        if (carry_.size() + part.size() > max_line_bytes) {
            out_.fail(line_ + 1, 1, "la riga è più lunga di " + std::to_string(max_line_bytes) +
                                        " byte: non è un file CSV di punti");
            return false;
        }
        carry_.append(part);
        if (newline == std::string_view::npos) break;
        piece.remove_prefix(newline + 1);
        if (!line(carry_)) return false;
        carry_.clear();
    }
    return !out_.failed();
}

bool CsvParser::finish() {
    if (out_.failed()) return false;
    if (!carry_.empty() && !line(carry_)) return false;
    if (!header_done_) {
        out_.fail(0, 0, "il file è vuoto: un file CSV di punti comincia con l'intestazione (lat;lon)");
        return false;
    }
    out_.end();
    return !out_.failed();
}

bool CsvParser::line(std::string_view text) {
    ++line_;
    if (line_ == 1 && starts_with(text, "\xEF\xBB\xBF")) text.remove_prefix(3);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos || text[first] == '#') return true;
    return header_done_ ? row(text) : header(text);
}

bool CsvParser::header(std::string_view text) {
    separator_ = text.find(';') != std::string_view::npos    ? ';'
                 : text.find('\t') != std::string_view::npos ? '\t'
                                                             : ',';
    std::vector<CsvField> fields;
    if (!split_csv(text, separator_, fields)) {
        out_.fail(line_, 1, "l'intestazione ha una virgoletta non chiusa");
        return false;
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string name = trimmed_lower(fields[i].text);
        int* column = nullptr;
        if (name == "lat" || name == "latitudine" || name == "latitude") {
            column = &lat_;
        } else if (name == "lon" || name == "lng" || name == "long" || name == "longitudine" || name == "longitude") {
            column = &lon_;
        } else if (name == "ora" || name == "time") {
            column = &time_;
        } else if (name == "data" || name == "date") {
            column = &date_;
        } else {
            for (const std::string_view word : {"velocità", "velocita", "speed"}) {
                if (!starts_with(name, word)) continue;
                speed_unit_ = speed_unit(std::string_view(name).substr(word.size()));
                if (speed_unit_ == 0) {
                    out_.fail(line_, static_cast<std::int64_t>(fields[i].at) + 1,
                              "unità della velocità sconosciuta in \"" + fields[i].text +
                                  "\": si scrive velocita_kmh, velocita_nodi o velocita_ms");
                    return false;
                }
                column = &speed_;
                break;
            }
        }
        if (!column) continue;
        if (*column >= 0) {
            out_.fail(line_, static_cast<std::int64_t>(fields[i].at) + 1,
                      "la colonna \"" + fields[i].text + "\" è nominata due volte");
            return false;
        }
        *column = static_cast<int>(i);
    }
    if (lat_ < 0 || lon_ < 0) {
        out_.fail(line_, 1,
                  "la prima riga deve nominare le colonne: lat e lon (o latitudine e longitudine), e se ci sono "
                  "velocita_kmh (o _nodi, _ms) e ora");
        return false;
    }
    columns_ = fields.size();
    header_done_ = true;
    out_.begin(name_, line_, 1);
    return true;
}

bool CsvParser::row(std::string_view text) {
    std::vector<CsvField> fields;
    if (!split_csv(text, separator_, fields)) {
        out_.fail(line_, 1, "la riga ha una virgoletta non chiusa");
        return false;
    }
    if (fields.size() != columns_) {
        std::string reason = "la riga ha " + std::to_string(fields.size()) + " campi, l'intestazione " +
                             std::to_string(columns_);
        if (separator_ == ',') reason += " (con la virgola come separatore i decimali si scrivono col punto)";
        out_.fail(line_, 1, reason);
        return false;
    }
    const bool comma = separator_ != ',';
    const auto number = [&](int column, const char* what) -> std::optional<double> {
        const CsvField& field = fields[static_cast<std::size_t>(column)];
        const std::optional<double> value = read_decimal(field.text, comma);
        if (!value)
            out_.fail(line_, static_cast<std::int64_t>(field.at) + 1,
                      std::string(what) + " \"" + field.text + "\" non è un numero");
        return value;
    };
    RoutePoint point;
    const std::optional<double> lat = number(lat_, "la latitudine");
    if (!lat) return false;
    const std::optional<double> lon = number(lon_, "la longitudine");
    if (!lon) return false;
    point.lat = *lat;
    point.lon = *lon;
    if (speed_ >= 0 && fields[static_cast<std::size_t>(speed_)].text.find_first_not_of(" \t") != std::string::npos) {
        const std::optional<double> speed = number(speed_, "la velocità");
        if (!speed) return false;
        point.speed = metres_per_second(*speed, speed_unit_);
    }
    if (time_ >= 0 && fields[static_cast<std::size_t>(time_)].text.find_first_not_of(" \t") != std::string::npos) {
        const CsvField& field = fields[static_cast<std::size_t>(time_)];
        std::string when = field.text;
        // A date column of its own (2024-05-01 or 2024/05/01), as gpsbabel writes it.
        if (date_ >= 0) {
            std::string day = fields[static_cast<std::size_t>(date_)].text;
            std::replace(day.begin(), day.end(), '/', '-');
            when = day + "T" + when;
        }
        point.time = read_iso_time(when);
        if (!point.time) {
            out_.fail(line_, static_cast<std::int64_t>(field.at) + 1,
                      "l'ora \"" + when + "\" non è valida (per esempio 2024-05-01T10:00:00Z)");
            return false;
        }
    }
    const CsvField& first = fields[static_cast<std::size_t>(lat_ < lon_ ? lat_ : lon_)];
    return out_.add(point, line_, static_cast<std::int64_t>(first.at) + 1);
}

}  // namespace vadrel::route_parsing
