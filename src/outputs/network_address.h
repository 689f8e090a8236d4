#pragma once
// Addresses of the network outputs as the operator writes them, and the
// Italian words for what the network answers.
//
//   parse_listen_address("10110")             -> 127.0.0.1, port 10110
//   parse_listen_address("0.0.0.0:10110")     -> every IPv4 address
//   parse_listen_address("[::]:10110")        -> every address, IPv6 and IPv4
//   parse_listen_address("::1:10110")         -> a message: IPv6 goes in brackets
//   parse_target("192.168.1.255:10110")       -> a broadcast address
//   parse_target("plotter.local:10110")       -> a name, looked up when used
//
// A bad text gives the Italian message that says what is wrong with it.

#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vadrel {

// The registered NMEA 0183 port: what chart plotters and marine servers expect.
inline constexpr std::uint16_t nmea_port = 10110;
inline constexpr const char* default_listen_host = "127.0.0.1";

struct Endpoint {
    std::string host;  // as written, without brackets: "127.0.0.1", "::", "plotter.local"
    std::uint16_t port = 0;
    // "127.0.0.1:10110", "[::1]:10110": the form the operator writes.
    std::string text() const;
    bool operator==(const Endpoint&) const = default;
};

// "[ADDRESS:]PORT" of the TCP server. ADDRESS: an IPv4 address, an IPv6
// address in brackets, or "localhost"; without it 127.0.0.1. PORT 0 to
// 65535, where 0 takes any free port.
std::variant<Endpoint, std::string> parse_listen_address(std::string_view text);
// Why a host cannot be listened on, or "" when it can.
std::string listen_host_problem(std::string_view host);

// "HOST:PORT" of a UDP target. HOST: an IPv4 address (unicast, multicast or
// broadcast), an IPv6 address in brackets, or a host name. PORT 1 to 65535.
std::variant<Endpoint, std::string> parse_target(std::string_view text);

// Of the addresses a name has, the one vadrel sends to: its first IPv4
// address, else its first IPv6 one. Most NMEA listeners bind 0.0.0.0, and a
// listener on [::] takes IPv4 too, so IPv4 reaches both; sending to every
// address would give a dual-stack listener each sentence twice. A user who
// wants IPv6 for such a name writes the IPv6 address in brackets.
//   {::1, 127.0.0.1} -> 127.0.0.1      {::1} -> ::1
// Empty when there is none.
std::string preferred_address(const std::vector<std::string>& addresses);

// A numeric address and a port as the socket calls take them. An IPv4
// address written as IPv6 (::ffff:a.b.c.d) is IPv4; a link-local IPv6
// address keeps its interface (fe80::1%eth0).
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family() const { return storage.ss_family; }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};
// Nothing when `host` is not a numeric address.
std::optional<SocketAddress> socket_address(const std::string& host, std::uint16_t port);

// The system's error number as the operator reads it: "rete irraggiungibile".
std::string network_reason(int error);

// The error pending on a socket (SO_ERROR, which it clears): what a
// non-blocking connect ended with, or what broke a connection; 0 for none.
int connect_error(int fd);

}  // namespace vadrel
