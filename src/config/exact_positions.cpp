// The exact positions beside vadrel.cnf: writer and reader over bytes.

#include <charconv>
#include <cmath>

#include "configurazione.h"

namespace vadrel {

namespace {

constexpr double max_lat = 90.0 * 3600.0;
constexpr double max_lon = 180.0 * 3600.0;

std::string number_text(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// Where the record puts the coordinate, in seconds of arc.
double record_seconds(std::int16_t gradi, std::int16_t primi, std::int16_t secondi, const std::string& emisfero,
                      const char* negativo) {
    const double value = gradi * 3600.0 + primi * 60.0 + secondi;
    return emisfero == negativo ? -value : value;
}

// The exact coordinate when it is what the record shows, else the record's.
double kept(double esatta, const std::optional<ShownCoordinate>& mostrata, const ShownCoordinate& record,
            const char* negativo) {
    if (mostrata == record) return esatta;
    return record_seconds(record.gradi, record.primi, record.secondi, record.emisfero, negativo);
}

// The next field of a line, after blanks; empty at its end.
std::string_view field(std::string_view& line) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    std::size_t end = 0;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    const std::string_view taken = line.substr(0, end);
    line.remove_prefix(end);
    return taken;
}

template <typename T>
std::optional<T> whole_field(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<double> seconds_field(std::string_view text, double limit) {
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (!std::isfinite(value) || std::fabs(value) > limit) return std::nullopt;
    return value;
}

}  // namespace

std::string testo_posizioni(const std::array<veicolo, numero_mezzi>& mezzi,
                            const std::array<ExactPosition, numero_mezzi>& posizioni) {
    std::string out =
        "# vadrel: posizioni esatte dei veicoli, in secondi d'arco (nord ed est positivi).\n"
        "# Una posizione vale solo dove, arrotondata, d\xC3\xA0 quella del suo veicolo in vadrel.cnf.\n";
    for (std::size_t i = 0; i < mezzi.size(); ++i) {
        const veicolo& v = mezzi[i];
        const ExactPosition& p = posizioni[i];
        const double lat = kept(p.lat, p.lat_mostrata, {v.lat_g, v.lat_p, v.lat_s, v.lat_ns}, "S");
        const double lon = kept(p.lon, p.lon_mostrata, {v.lon_g, v.lon_p, v.lon_s, v.lon_ew}, "W");
        out += std::to_string(i) + ' ' + number_text(lat) + ' ' + number_text(lon) + '\n';
    }
    return out;
}

PosizioniSalvate leggi_posizioni_testo(std::string_view text) {
    PosizioniSalvate found{};
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const auto mezzo = whole_field<unsigned>(field(line));
        const auto lat = seconds_field(field(line), max_lat);
        const auto lon = seconds_field(field(line), max_lon);
        if (!mezzo || *mezzo >= found.size() || !lat || !lon || !field(line).empty()) continue;
        found[*mezzo] = PosizioneSalvata{*lat, *lon};
    }
    return found;
}

}  // namespace vadrel
