#pragma once
// A listening TCP socket of a test's own on the loopback, on a port the
// system chooses, for the senders' tests on real connections; and a reader
// of one line from the server's side of a connection.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "os/descriptor.h"

namespace vadrel::testing {

struct Listener {
    Descriptor fd{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    std::uint16_t port = 0;
    // Bound, and listening unless told not to: then every connection is refused.
    explicit Listener(bool listening = true) {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        EXPECT_EQ(::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        socklen_t length = sizeof address;
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        if (listening) {
            EXPECT_EQ(::listen(fd.get(), 64), 0);
        }
    }
    // The next connection, or none after 5 s.
    Descriptor accept_one() {
        pollfd p{fd.get(), POLLIN, 0};
        if (::poll(&p, 1, 5000) != 1) return Descriptor();
        return Descriptor(::accept4(fd.get(), nullptr, nullptr, SOCK_CLOEXEC));
    }
};

// One line with its end, or what came of it within 5 s.
inline std::string read_line(int fd) {
    std::string line;
    char c = 0;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 5000) == 1 && ::recv(fd, &c, 1, 0) == 1) {
        line.push_back(c);
        if (c == '\n') break;
    }
    return line;
}

}  // namespace vadrel::testing
