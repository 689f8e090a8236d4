#include "tracker/osmand_url.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace vadrel {

namespace {

bool starts_ignoring_case(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
               return p == std::tolower(static_cast<unsigned char>(t));
           });
}

// ASCII only, whatever the locale says of the bytes above 127.
bool ascii_alnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool host_name_char(char c) { return ascii_alnum(c) || c == '-' || c == '.'; }

// What a path may hold as it is: printable ASCII, no space, no fragment.
bool path_char(char c) { return c > ' ' && c < 0x7f && c != '#'; }

std::variant<OsmandUrl, std::string> refused(std::string why) { return "indirizzo OsmAnd non valido: " + why; }

void append_fixed(std::string& out, std::string_view name, double value, int decimals) {
    if (!std::isfinite(value)) return;
    char text[400];  // the largest double, fixed, has 309 digits
    const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (error != std::errc()) return;
    out += '&';
    out += name;
    out += '=';
    out.append(text, end);
}

}  // namespace

std::variant<OsmandUrl, std::string> OsmandUrl::parse(std::string_view url) {
    if (url.size() > length_limit) return refused("più lungo di " + std::to_string(length_limit) + " caratteri");
    if (starts_ignoring_case(url, "https://"))
        return refused("https non è gestito, solo http (il protocollo OsmAnd di Traccar, porta 5055, è in chiaro)");
    if (!starts_ignoring_case(url, "http://")) return refused("deve cominciare con http://, come http://HOST:5055");
    std::string_view rest = url.substr(7);
    const std::size_t slash = rest.find('/');
    const std::string_view where = rest.substr(0, slash);
    OsmandUrl result;
    result.path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
    if (!std::all_of(result.path.begin(), result.path.end(), path_char))
        return refused("il percorso ha spazi, caratteri di controllo o un frammento (#)");
    if (where.find('@') != std::string_view::npos) return refused("nome utente e password non sono gestiti");
    std::string_view port_text;
    if (!where.empty() && where.front() == '[') {
        const std::size_t close = where.find(']');
        if (close == std::string_view::npos) return refused("manca la ] dell'indirizzo IPv6");
        result.host = std::string(where.substr(1, close - 1));
        in6_addr address{};
        if (::inet_pton(AF_INET6, result.host.c_str(), &address) != 1)
            return refused("indirizzo IPv6 non valido: " + result.host);
        if (close + 1 < where.size() && where[close + 1] != ':') return refused("dopo la ] va :PORTA");
        if (close + 1 < where.size()) port_text = where.substr(close + 2);
    } else {
        const std::size_t colon = where.find(':');
        result.host = std::string(where.substr(0, colon));
        if (colon != std::string_view::npos) port_text = where.substr(colon + 1);
        if (result.host.empty()) return refused("manca il server");
        if (result.host.size() > 253 || !std::all_of(result.host.begin(), result.host.end(), host_name_char))
            return refused("nome del server non valido: " + result.host.substr(0, 64));
    }
    if (where.find(':') != std::string_view::npos || !port_text.empty()) {
        unsigned port = 0;
        const auto [end, error] = std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
        if (port_text.empty() || error != std::errc() || end != port_text.data() + port_text.size() || port == 0 ||
            port > 65535)
            return refused("porta non valida (da 1 a 65535): " + std::string(port_text.substr(0, 16)));
        result.port = static_cast<std::uint16_t>(port);
    }
    return result;
}

std::string OsmandUrl::authority() const {
    const bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

void OsmandUrl::append_request(std::string& out, const DeviceReport& report) const {
    out += "GET ";
    out += path;
    out += path.find('?') == std::string::npos ? "?id=" : "&id=";
    append_percent_encoded(out, report.id);
    // Unix seconds, rounded down also before 1970.
    const std::int64_t seconds = report.utc_ms / 1000 - (report.utc_ms % 1000 < 0 ? 1 : 0);
    out += "&timestamp=";
    out += std::to_string(seconds);
    append_fixed(out, "lat", report.lat, 7);
    append_fixed(out, "lon", report.lon, 7);
    append_fixed(out, "speed", report.speed_knots, 2);
    append_fixed(out, "bearing", report.course, 1);
    append_fixed(out, "altitude", report.altitude, 1);
    append_fixed(out, "accuracy", report.accuracy, 1);
    out += " HTTP/1.1\r\nHost: ";
    out += authority();
    out += "\r\n\r\n";
}

void append_percent_encoded(std::string& out, std::string_view text) {
    constexpr char hex[] = "0123456789ABCDEF";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (ascii_alnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0x0f];
        }
    }
}

}  // namespace vadrel
