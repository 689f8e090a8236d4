#pragma once
// The outputs' tests on the loopback: a clock the test moves, what the
// outputs say, a client of a server at "ADDRESS:PORT", and each tick's
// bytes, all different.

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "os/descriptor.h"
#include "os/name_resolver.h"
#include "support/event_loop.h"

namespace vadrel::testing {

class OnTheLoopback : public WithEventLoop {
protected:
    std::chrono::steady_clock::time_point now_ = std::chrono::steady_clock::time_point{} + std::chrono::seconds(1000);
    std::vector<std::string> events_;
    NameResolver resolver_;

    auto clock() {
        return [this] { return now_; };
    }
    // Gives `output`'s events to events_.
    template <typename Output>
    Output& heard(Output& output) {
        output.on_event = [this](const std::string& text) { events_.push_back(text); };
        return output;
    }
    long told(const std::string& text) const { return std::count(events_.begin(), events_.end(), text); }
};

// A TCP client of "ADDRESS:PORT" (an IPv6 address in brackets), with socket
// buffers of the sizes given (0: the system's); invalid when nobody listens.
inline Descriptor client_of(const std::string& address, int receive_buffer = 0, int send_buffer = 0) {
    const std::size_t colon = address.rfind(':');
    const std::size_t bracket = address[0] == '[' ? 1 : 0;
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.substr(bracket, colon - 2 * bracket).c_str(), address.c_str() + colon + 1, &hints,
                      &found) != 0) {
        return {};
    }
    Descriptor fd(::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (receive_buffer > 0) ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
    if (send_buffer > 0) ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDBUF, &send_buffer, sizeof send_buffer);
    const bool connected = ::connect(fd.get(), found->ai_addr, found->ai_addrlen) == 0;
    ::freeaddrinfo(found);
    return connected ? std::move(fd) : Descriptor();
}

// Everything until the other end closes (or nothing comes for 5 s).
inline std::string read_to_end(const Descriptor& fd) { return read_bytes(fd.get(), std::string::npos / 2, 5000); }

// Closes at once with a reset, as a client that crashes does.
inline void reset(Descriptor& fd) {
    const linger abort{1, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    fd.reset();
}

// Each tick's bytes differ, and carry NUL bytes as the radio burst does.
inline std::string tick_bytes(int tick, std::size_t size = 80) {
    std::string bytes = "$GPRMC," + std::to_string(tick) + std::string("\r\n\0\0\0\0\0", 7);
    bytes.resize(size, 'x');
    return bytes;
}

}  // namespace vadrel::testing
