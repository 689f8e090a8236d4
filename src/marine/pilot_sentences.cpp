#include "pilot_sentences.h"

#include <cmath>
#include <vector>

#include "model/numbers.h"
#include "nmea/sentences.h"

namespace vadrel {

namespace {

using Fields = std::vector<std::string_view>;

// The fields after the address, or nothing when the frame is not whole:
// "$", an address of five upper-case letters or digits, a checksum that matches.
std::optional<Fields> framed_fields(std::string_view line, std::string_view& kind) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > max_pilot_line || line.size() < 7 || line.front() != '$') return std::nullopt;
    const std::size_t star = line.find('*');
    if (star == std::string_view::npos || star + 3 != line.size()) return std::nullopt;
    const std::optional<unsigned> sum = read_checksum(line.substr(star + 1));
    const std::string_view body = line.substr(0, star);
    if (!sum || *sum != nmea_checksum(body)) return std::nullopt;
    for (const char c : body.substr(1, 5)) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return std::nullopt;
    }
    if (body.size() < 7 || body[6] != ',') return std::nullopt;
    kind = body.substr(3, 3);
    Fields fields;
    std::string_view rest = body.substr(7);
    while (true) {
        const std::size_t comma = rest.find(',');
        fields.push_back(rest.substr(0, comma));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return fields;
}

std::optional<double> number(std::string_view text) {
    if (text.empty() || text.front() == ' ' || text.back() == ' ') return std::nullopt;
    return read_number(text, NumberSource::route_file);
}

// A course in degrees, 0 .. 360.
std::optional<double> degrees(std::string_view text) {
    const std::optional<double> value = number(text);
    if (!value || *value < 0.0 || *value > 360.0) return std::nullopt;
    return *value == 360.0 ? 0.0 : *value;
}

// "ddmm.mm" and its hemisphere; `most` 90 or 180.
std::optional<double> coordinate(std::string_view text, std::string_view side, char positive, char negative,
                                 double most) {
    const std::optional<double> value = number(text);
    if (!value || *value < 0.0 || side.size() != 1 || (side[0] != positive && side[0] != negative))
        return std::nullopt;
    const double whole = std::floor(*value / 100.0);
    const double minutes = *value - whole * 100.0;
    const double result = whole + minutes / 60.0;
    if (minutes >= 60.0 || result > most) return std::nullopt;
    return side[0] == positive ? result : -result;
}

bool printable(std::string_view text) {
    for (const char c : text) {
        if (c < ' ' || c > '~') return false;
    }
    return true;
}

// An optional cross-track error: both fields empty, or a distance and L or R.
bool read_cross_track(std::string_view distance, std::string_view steer, std::optional<CrossTrack>& out) {
    if (distance.empty() && steer.empty()) return true;
    const std::optional<double> miles = number(distance);
    if (!miles || *miles < 0.0 || steer.size() != 1 || (steer[0] != 'L' && steer[0] != 'R')) return false;
    out = CrossTrack{*miles, steer[0]};
    return true;
}

// The mode indicator NMEA 2.3 adds last: "N" says the data are not valid.
bool valid_mode(const Fields& f, std::size_t plain_count) { return f.size() == plain_count || f.back() != "N"; }

bool is(std::string_view field, std::string_view text) { return field == text; }

// A heading and its reference ("T" or "M"); false when the pair is unreadable.
bool read_heading(std::string_view value, std::string_view reference, PilotSentence& out) {
    const std::optional<double> heading = degrees(value);
    if (!heading || !(is(reference, "T") || is(reference, "M"))) return false;
    out.heading = heading;
    out.magnetic = is(reference, "M");
    return true;
}

std::optional<PilotSentence> apb(const Fields& f) {
    // status, status, xte, L/R, N, arrived, passed, bearing origin, M/T, id, bearing here, M/T, heading, M/T [, mode]
    if ((f.size() != 14 && f.size() != 15) || !valid_mode(f, 14)) return std::nullopt;
    if (!is(f[0], "A") || !is(f[1], "A") || !printable(f[9])) return std::nullopt;
    PilotSentence out;
    out.kind = PilotSentence::Kind::apb;
    out.waypoint = std::string(f[9]);
    if (!read_cross_track(f[2], f[3], out.cross_track)) return std::nullopt;
    if (!f[12].empty()) {
        if (!read_heading(f[12], f[13], out)) return std::nullopt;
    } else if (!read_heading(f[10], f[11], out)) {
        return std::nullopt;
    }
    return out;
}

std::optional<PilotSentence> rmb(const Fields& f) {
    // status, xte, L/R, origin id, destination id, lat, N/S, lon, E/W, range, bearing, closing speed, arrived [, mode]
    if ((f.size() != 13 && f.size() != 14) || !valid_mode(f, 13)) return std::nullopt;
    if (!is(f[0], "A") || !printable(f[4])) return std::nullopt;
    PilotSentence out;
    out.kind = PilotSentence::Kind::rmb;
    out.waypoint = std::string(f[4]);
    if (!read_cross_track(f[1], f[2], out.cross_track)) return std::nullopt;
    const std::optional<double> lat = coordinate(f[5], f[6], 'N', 'S', 90.0);
    const std::optional<double> lon = coordinate(f[7], f[8], 'E', 'W', 180.0);
    if (!lat || !lon) return std::nullopt;
    out.destination = GeoPoint{*lat, *lon};
    return out;
}

std::optional<PilotSentence> xte(const Fields& f) {
    // status, status, xte, L/R, N [, mode]
    if ((f.size() != 5 && f.size() != 6) || !valid_mode(f, 5)) return std::nullopt;
    if (!is(f[0], "A") || !is(f[1], "A") || !is(f[4], "N")) return std::nullopt;
    PilotSentence out;
    out.kind = PilotSentence::Kind::xte;
    if (!read_cross_track(f[2], f[3], out.cross_track) || !out.cross_track) return std::nullopt;
    return out;
}

}  // namespace

std::optional<PilotSentence> read_pilot_sentence(std::string_view line) {
    std::string_view kind;
    const std::optional<Fields> fields = framed_fields(line, kind);
    if (!fields) return std::nullopt;
    if (kind == "APB") return apb(*fields);
    if (kind == "RMB") return rmb(*fields);
    if (kind == "XTE") return xte(*fields);
    return std::nullopt;
}

double true_heading(double heading, bool magnetic, std::optional<double> variation) {
    if (!magnetic || !variation) return heading;
    double value = std::fmod(heading + *variation, 360.0);
    if (value < 0.0) value += 360.0;
    return value >= 360.0 ? 0.0 : value;
}

}  // namespace vadrel
