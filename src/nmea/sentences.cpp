#include "sentences.h"

#include <array>
#include <cstdio>
#include <initializer_list>
#include <span>

namespace vadrel {

namespace {

// The one place a sentence is put together.
std::string compose(std::string_view prefix, std::string_view address, std::span<const std::string_view> fields) {
    std::string s(prefix);
    s += address;
    for (const std::string_view field : fields) {
        s += ',';
        s += field;
    }
    s += checksum_field(s);
    return s;
}

std::string compose(std::string_view prefix, std::string_view address,
                    std::initializer_list<std::string_view> fields) {
    return compose(prefix, address, std::span(fields.begin(), fields.size()));
}

}  // namespace

unsigned char nmea_checksum(std::string_view sentence) {
    unsigned char sum = 0;
    for (std::size_t i = 1; i < sentence.size(); ++i) sum ^= static_cast<unsigned char>(sentence[i]);
    return sum;
}

std::string checksum_field(std::string_view sentence) {
    char field[4];
    std::snprintf(field, sizeof field, "*%02X", nmea_checksum(sentence));
    return field;
}

std::optional<unsigned> read_checksum(std::string_view digits) {
    if (digits.size() != 2) return std::nullopt;
    unsigned value = 0;
    for (const char c : digits) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

std::optional<int> read_digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::string sentence(const Rmc& f, std::string_view prefix) {
    return compose(prefix, "$GPRMC",
                   {f.time_field, f.status, f.lat, f.ns, f.lon, f.ew, f.speed, f.course, f.data, f.variation,
                    f.variation_ew, ""});
}

std::string sentence(const Gga& f, std::string_view prefix) {
    return compose(prefix, "$GPGGA",
                   {f.time_field, f.lat, f.ns, f.lon, f.ew, f.quality, f.satellites, f.hdop, f.altitude, f.altitude_unit,
                    f.geoid, f.geoid_unit, f.eta_dgps, f.dgps_station});
}

std::string sentence(const Vtg& f, std::string_view prefix) {
    return compose(prefix, "$GPVTG", {f.course_true, "T", f.course_magnetic, "M", f.knots, "N", f.kmh, "K"});
}

std::string sentence(const Gsa& f, std::string_view prefix) {
    const auto& s = f.satellites;
    return compose(prefix, "$GPGSA",
                   {f.mode, f.fix, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8], s[9], s[10], s[11], f.pdop,
                    f.hdop, f.vdop});
}

std::string sentence(const Gsv& f, std::string_view prefix) {
    const auto& s = f.satellites;
    const std::array<std::string_view, 19> fields{
        f.sentences,     f.this_one,        f.in_view,
        s[0].number, s[0].elevation, s[0].azimuth, s[0].snr,
        s[1].number, s[1].elevation, s[1].azimuth, s[1].snr,
        s[2].number, s[2].elevation, s[2].azimuth, s[2].snr,
        s[3].number, s[3].elevation, s[3].azimuth, s[3].snr};
    std::size_t blocks = s.size();
    while (blocks > 0 && s[blocks - 1].number.empty()) --blocks;
    return compose(prefix, "$GPGSV", std::span(fields).first(3 + 4 * blocks));
}

std::string sentence(const Rme& f, std::string_view prefix) {
    return compose(prefix, "$PGRME", {f.horizontal, "M", f.vertical, "M", f.spherical, "M"});
}

std::string sentence(const Zda& f, std::string_view prefix) {
    return compose(prefix, "$GPZDA", {f.time_field, f.day, f.month, f.year, f.zone_hours, f.zone_minutes});
}

std::string sentence(const Gll& f, std::string_view prefix) {
    return compose(prefix, "$GPGLL", {f.lat, f.ns, f.lon, f.ew, f.time_field, f.status, f.mode});
}

std::string sentence(const Hdt& f, std::string_view prefix) {
    return compose(prefix, "$" + f.talker + "HDT", {f.heading, "T"});
}

std::string sentence(const Hdg& f, std::string_view prefix) {
    return compose(prefix, "$HCHDG", {f.heading, f.deviation, f.deviation_ew, f.variation, f.variation_ew});
}

std::string sentence(const Rot& f, std::string_view prefix) { return compose(prefix, "$TIROT", {f.rate, "A"}); }

std::string sentence(const Vhw& f, std::string_view prefix) {
    return compose(prefix, "$VWVHW", {f.heading_true, "T", f.heading_magnetic, "M", f.knots, "N", f.kmh, "K"});
}

std::string sentence(const Mwv& f, std::string_view prefix) {
    return compose(prefix, "$WIMWV", {f.angle, f.reference, f.knots, "N", "A"});
}

std::string sentence(const Mwd& f, std::string_view prefix) {
    return compose(prefix, "$WIMWD",
                   {f.direction_true, "T", f.direction_magnetic, "M", f.knots, "N", f.metres_per_second, "M"});
}

std::string sentence(const Dbt& f, std::string_view prefix) {
    return compose(prefix, "$SDDBT", {f.feet, "f", f.metres, "M", f.fathoms, "F"});
}

std::string sentence(const Dpt& f, std::string_view prefix) { return compose(prefix, "$SDDPT", {f.depth, f.offset}); }

std::string sentence(const Mtw& f, std::string_view prefix) { return compose(prefix, "$SDMTW", {f.celsius, "C"}); }

std::string sentence(const Vlw& f, std::string_view prefix) {
    return compose(prefix, "$VWVLW", {f.total, "N", f.since_reset, "N"});
}

}  // namespace vadrel
