#pragma once
// Where an OsmAnd server listens, as the operator writes it, and a report
// put into the request that server reads: one HTTP/1.1 GET whose query
// holds the report (the server reads the query whatever the method, and GET,
// being idempotent, is what HTTP lets a client pipeline).
//
//   OsmandUrl::parse("http://127.0.0.1:5055")          -> host 127.0.0.1, port 5055, path "/"
//   OsmandUrl::parse("http://[::1]:5055/osmand")        -> an IPv6 address, path "/osmand"
//   OsmandUrl::parse("https://server")                  -> a message: only http
//   url.append_request(out, report)
//     GET /?id=nave%201&timestamp=1700000000&lat=45.4371000&lon=12.3326000&speed=12.50
//         &bearing=90.0&altitude=0.0&accuracy=5.0 HTTP/1.1\r\nHost: 127.0.0.1:5055\r\n\r\n
//
// The numbers have a decimal point whatever the locale; a number that is
// not finite is left out rather than written as text the server refuses.
// No Qt.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "tracker/device_report.h"

namespace vadrel {

struct OsmandUrl {
    static constexpr std::uint16_t http_port = 80;
    static constexpr std::size_t length_limit = 2048;

    std::string host;  // without brackets
    std::uint16_t port = http_port;
    std::string path = "/";  // may hold a query of its own, which the report's parameters follow

    // The URL, or why it is not one vadrel sends to, in Italian.
    static std::variant<OsmandUrl, std::string> parse(std::string_view url);
    // "HOST:PORT", an IPv6 address in brackets: the Host header.
    std::string authority() const;
    // Appends the request that carries `report`.
    void append_request(std::string& out, const DeviceReport& report) const;
};

// `text` with every byte but the unreserved ones (letters, digits, "-._~")
// as %XX, as a query's value takes it.
void append_percent_encoded(std::string& out, std::string_view text);

}  // namespace vadrel
