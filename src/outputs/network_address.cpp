#include "network_address.h"

#include "os/system_error.h"

#include <QHostAddress>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace vadrel {

namespace {

using Parsed = std::variant<Endpoint, std::string>;

bool is_ip(std::string_view host) {
    return !QHostAddress(QString::fromUtf8(host.data(), static_cast<qsizetype>(host.size()))).isNull();
}

// Letters, digits, '-' and '.', in labels of 1 to 63 characters.
bool is_host_name(std::string_view name) {
    if (name.empty() || name.size() > 253) return false;
    std::size_t label = 0;
    for (const char c : name) {
        if (c == '.') {
            if (label == 0) return false;
            label = 0;
            continue;
        }
        const bool letter_or_digit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letter_or_digit && c != '-') return false;
        if (++label > 63) return false;
    }
    return true;
}

// Splits "HOST:PORT" or "[IPV6]:PORT"; the port text may be empty.
std::variant<std::pair<std::string_view, std::string_view>, std::string> split(std::string_view text) {
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return "manca la parentesi quadra chiusa in \"" + std::string(text) + "\"";
        const std::string_view host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (rest.empty() || rest.front() != ':') return "manca :PORTA dopo \"" + std::string(text.substr(0, close + 1)) + "\"";
        if (!host.empty() && host.find(':') == std::string_view::npos)
            return "tra parentesi quadre va un indirizzo IPv6, non \"" + std::string(host) + "\"";
        return std::pair{host, rest.substr(1)};
    }
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return "manca :PORTA in \"" + std::string(text) + "\"";
    const std::string_view host = text.substr(0, colon);
    if (host.find(':') != std::string_view::npos)
        return "un indirizzo IPv6 va tra parentesi quadre, come in [::1]:" + std::to_string(nmea_port) +
               ", non \"" + std::string(text) + "\"";
    return std::pair{host, text.substr(colon + 1)};
}

std::variant<std::uint16_t, std::string> port_of(std::string_view text, std::uint16_t lowest) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    const bool digits_only = !text.empty() && text.size() <= 5 && end == text.data() + text.size() &&
                             error == std::errc{};
    if (!digits_only || value < lowest || value > 65535)
        return "la porta va da " + std::to_string(lowest) + " a 65535, non \"" + std::string(text) + "\"";
    return static_cast<std::uint16_t>(value);
}

Parsed endpoint(std::string_view host, std::string_view port_text, std::uint16_t lowest) {
    const auto port = port_of(port_text, lowest);
    if (const auto* problem = std::get_if<std::string>(&port)) return *problem;
    return Endpoint{std::string(host), std::get<std::uint16_t>(port)};
}

}  // namespace

std::string Endpoint::text() const {
    const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return shown + ":" + std::to_string(port);
}

std::string listen_host_problem(std::string_view host) {
    if (host == "localhost" || is_ip(host)) return {};
    return "\"" + std::string(host) + "\" non è un indirizzo IP di questo computer (per esempio 127.0.0.1, "
           "0.0.0.0 o [::])";
}

Parsed parse_listen_address(std::string_view text) {
    if (text.find(':') == std::string_view::npos) return endpoint(default_listen_host, text, 0);
    const auto parts = split(text);
    if (const auto* problem = std::get_if<std::string>(&parts)) return *problem;
    const auto [host, port] = std::get<0>(parts);
    if (std::string problem = listen_host_problem(host); !problem.empty()) return problem;
    return endpoint(host, port, 0);
}

Parsed parse_target(std::string_view text) {
    const auto parts = split(text);
    if (const auto* problem = std::get_if<std::string>(&parts)) return *problem;
    const auto [host, port] = std::get<0>(parts);
    if (!is_ip(host) && !is_host_name(host))
        return "\"" + std::string(host) + "\" non è un indirizzo IP né un nome di computer";
    return endpoint(host, port, 1);
}

std::string preferred_address(const std::vector<std::string>& addresses) {
    for (const std::string& address : addresses) {
        bool is_ipv4 = false;
        QHostAddress(QString::fromStdString(address)).toIPv4Address(&is_ipv4);
        if (is_ipv4) return address;
    }
    return addresses.empty() ? std::string() : addresses.front();
}

std::optional<SocketAddress> socket_address(const std::string& host, std::uint16_t port) {
    const QHostAddress parsed(QString::fromStdString(host));
    if (parsed.isNull()) return std::nullopt;
    SocketAddress address;
    // An IPv4 address written as IPv6, but not "::", which is every address.
    const Q_IPV6ADDR bytes = parsed.toIPv6Address();
    const bool mapped = parsed.protocol() == QAbstractSocket::IPv6Protocol &&
                        std::all_of(bytes.c, bytes.c + 10, [](quint8 b) { return b == 0; }) && bytes[10] == 0xff &&
                        bytes[11] == 0xff;
    const bool is_ipv4 = parsed.protocol() == QAbstractSocket::IPv4Protocol || mapped;
    const quint32 ipv4 = mapped ? quint32(bytes[12]) << 24 | quint32(bytes[13]) << 16 | quint32(bytes[14]) << 8 | bytes[15]
                                : parsed.toIPv4Address();
    if (is_ipv4) {
        auto& in = reinterpret_cast<sockaddr_in&>(address.storage);
        in.sin_family = AF_INET;
        in.sin_port = htons(port);
        in.sin_addr.s_addr = htonl(ipv4);
        address.length = sizeof(sockaddr_in);
    } else {
        auto& in6 = reinterpret_cast<sockaddr_in6&>(address.storage);
        in6.sin6_family = AF_INET6;
        in6.sin6_port = htons(port);
        std::memcpy(&in6.sin6_addr, &bytes, sizeof in6.sin6_addr);
        const QString scope = parsed.scopeId();
        bool numbered = false;
        in6.sin6_scope_id = scope.toUInt(&numbered);
        if (!numbered && !scope.isEmpty()) in6.sin6_scope_id = ::if_nametoindex(scope.toLocal8Bit().constData());
        address.length = sizeof(sockaddr_in6);
    }
    return address;
}

std::string network_reason(int error) { return italian_reason(error); }

int connect_error(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

}  // namespace vadrel
