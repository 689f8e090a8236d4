#pragma once
// A request's head as the control listener reads it before Qt's HTTP server
// does: where it ends, its request line, and the few header lines the
// listener's rules need. Plain bytes in, plain values out, so that any bytes
// may be tried on it.
//
//   head_end("\r\nGET / HTTP/1.1\r\nHost: a\r\n\r\n")  -> {2, 31}
//   read_request_head("GET / HTTP/1.0\r\nContent-Length: 3")
//       -> {"GET", "/", "HTTP/1.0", length 3, keep_alive false}

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vadrel {

struct HeadSpan {
    std::size_t start = 0;  // past the blank lines before the request (Qt skips them too)
    std::size_t end = 0;    // where the head's last line ends, its blank line left out
};
// Where the head in `bytes` lies once its blank line has come ("\r\n\r\n"
// or "\n\n", the first of them); nothing before.
std::optional<HeadSpan> head_end(std::string_view bytes);
// How many bytes of blank lines `bytes` begins with.
std::size_t leading_blank_lines(std::string_view bytes);

struct RequestHead {
    std::string method;   // as sent, at most max_method_bytes of it
    std::string target;   // path and query, at most max_target_bytes of it
    std::string version;  // "HTTP/1.1"; "" when the request line has no third word
    // Content-Length: -1 when not given; past every limit when its digits
    // are more than a number holds.
    std::int64_t length = -1;
    // Content-Length given in a way no two readers agree on: not a number,
    // or more than once with different values.
    bool length_unclear = false;
    bool chunked = false;    // a Transfer-Encoding other than identity
    bool keep_alive = true;  // HTTP/1.1 unless "Connection: close"; HTTP/1.0 only with "keep-alive"
};
inline constexpr std::size_t max_method_bytes = 32;
inline constexpr std::size_t max_target_bytes = 2048;

// The head (its lines up to the blank one, as head_end() places them).
RequestHead read_request_head(std::string_view head);

// Whether Qt's HTTP server knows the method (it answers every other one as
// if it were none): GET, PUT, DELETE, POST, HEAD, OPTIONS, PATCH, CONNECT, TRACE.
bool known_method(std::string_view method);

// A client's text as a message may show it: bytes outside printable ASCII
// as \xHH, at most `most` bytes of it, "..." when cut.
std::string shown_text(std::string_view text, std::size_t most);

}  // namespace vadrel
