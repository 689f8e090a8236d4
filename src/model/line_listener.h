#pragma once
// Who takes the lines a peer sends in (the autopilot's sentences): the TCP
// server's clients, the serial port, a UDP listener. While it wants none,
// the sources read their bytes and drop them unsplit, as they always did.

#include <cstddef>
#include <string_view>

namespace vadrel {

class LineListener {
public:
    // Past NMEA's 82 characters, for peers that pad their fields; a longer
    // line is dropped whole.
    static constexpr std::size_t longest_line = 256;

    virtual ~LineListener() = default;
    virtual bool wants_lines() const = 0;
    // One whole line without its line end, and where it came from:
    // "tcp 127.0.0.1:40312", "udp 127.0.0.1:5000", "seriale /dev/pts/4".
    virtual void line(std::string_view text, std::string_view source) = 0;
};

}  // namespace vadrel
