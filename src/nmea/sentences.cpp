#include "sentences.h"

#include <array>
#include <cstdio>
#include <initializer_list>
#include <span>

namespace vadrel {

namespace {

// The one place a sentence is put together.
std::string componi(std::string_view prefisso, std::string_view indirizzo, std::span<const std::string_view> campi) {
    std::string s(prefisso);
    s += indirizzo;
    for (const std::string_view campo : campi) {
        s += ',';
        s += campo;
    }
    s += checksum_field(s);
    return s;
}

std::string componi(std::string_view prefisso, std::string_view indirizzo,
                    std::initializer_list<std::string_view> campi) {
    return componi(prefisso, indirizzo, std::span(campi.begin(), campi.size()));
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

std::string frase(const Rmc& f, std::string_view prefisso) {
    return componi(prefisso, "$GPRMC",
                   {f.ora, f.stato, f.lat, f.ns, f.lon, f.ew, f.velocita, f.rotta, f.data, f.variazione,
                    f.variazione_ew, ""});
}

std::string frase(const Gga& f, std::string_view prefisso) {
    return componi(prefisso, "$GPGGA",
                   {f.ora, f.lat, f.ns, f.lon, f.ew, f.qualita, f.satelliti, f.hdop, f.quota, f.quota_unita,
                    f.geoide, f.geoide_unita, f.eta_dgps, f.stazione_dgps});
}

std::string frase(const Vtg& f, std::string_view prefisso) {
    return componi(prefisso, "$GPVTG", {f.rotta_vera, "T", f.rotta_magnetica, "M", f.nodi, "N", f.kmh, "K"});
}

std::string frase(const Gsa& f, std::string_view prefisso) {
    const auto& s = f.satelliti;
    return componi(prefisso, "$GPGSA",
                   {f.modo, f.fix, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8], s[9], s[10], s[11], f.pdop,
                    f.hdop, f.vdop});
}

std::string frase(const Gsv& f, std::string_view prefisso) {
    const auto& s = f.satelliti;
    const std::array<std::string_view, 19> campi{
        f.frasi,     f.questa,        f.in_vista,
        s[0].numero, s[0].elevazione, s[0].azimut, s[0].segnale,
        s[1].numero, s[1].elevazione, s[1].azimut, s[1].segnale,
        s[2].numero, s[2].elevazione, s[2].azimut, s[2].segnale,
        s[3].numero, s[3].elevazione, s[3].azimut, s[3].segnale};
    std::size_t blocchi = s.size();
    while (blocchi > 0 && s[blocchi - 1].numero.empty()) --blocchi;
    return componi(prefisso, "$GPGSV", std::span(campi).first(3 + 4 * blocchi));
}

std::string frase(const Rme& f, std::string_view prefisso) {
    return componi(prefisso, "$PGRME", {f.orizzontale, "M", f.verticale, "M", f.sferico, "M"});
}

std::string frase(const Zda& f, std::string_view prefisso) {
    return componi(prefisso, "$GPZDA", {f.ora, f.giorno, f.mese, f.anno, f.zona_ore, f.zona_minuti});
}

std::string frase(const Gll& f, std::string_view prefisso) {
    return componi(prefisso, "$GPGLL", {f.lat, f.ns, f.lon, f.ew, f.ora, f.stato, f.modo});
}

std::string frase(const Hdt& f, std::string_view prefisso) { return componi(prefisso, "$GPHDT", {f.prua, "T"}); }

}  // namespace vadrel
