#pragma once
// One backend behind a port number: a real device or a virtual port. The
// router (port_router.h) owns them and keeps the panel's port semantics;
// a backend only knows how to start, stop and write.

#include <string>
#include <string_view>

#include "model/line_listener.h"
#include "serial/line_settings.h"

namespace vadrel {

class PortLine {
public:
    virtual ~PortLine() = default;
    // Starts the line with these settings; throws PortFailure and stays closed.
    virtual void open(const LineSettings& settings) = 0;
    // Never fails; afterwards is_open() is false.
    virtual void close() = 0;
    // Never fails.
    virtual bool is_open() const = 0;
    // Writes the bytes as they are, without waiting for the line. false: the
    // write was skipped (the previous one has not left yet, or nobody is
    // there to receive it). Throws PortFailure when the line is lost; the
    // line is then closed.
    virtual bool write(std::string_view bytes) = 0;
    // What the line is, for messages: "/dev/ttyS1", "/dev/pts/4 (virtuale)".
    virtual std::string describe() const = 0;
    // Who takes the lines the other end sends (nullptr: nobody; they are
    // dropped). A line that cannot read what comes back ignores it.
    virtual void set_lines(LineListener* /*lines*/) {}
    // From the tick, while the line is open: a new share of what the other
    // end sends once a real second has gone by, and what waited read.
    virtual void take_input() {}
};

}  // namespace vadrel
