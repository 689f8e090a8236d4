#pragma once
// One TCP connection a device to one server, for thousands of devices:
// non-blocking sockets watched by one epoll set, a few dozen bytes each.
// Nothing here waits: a connection is started and finished later, what the
// server sends is read and thrown away (a bounded read a wake-up), a
// connection the server ends or that fails is tried again after its own
// RetryPause. A line goes whole or not at all: never while the connection
// is not up or the socket still holds bytes it has not sent.
//
//   DeviceConnections links({"127.0.0.1", 5023}, resolver, now);
//   links.open(ids.size(), [&](std::size_t n) { return "$PGID," + ids[n] + ...; });
//   links.service();                         // every few milliseconds
//   if (!links.send(n, line)) ++skipped;

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "os/descriptor.h"
#include "os/name_resolver.h"
#include "outputs/network_address.h"
#include "outputs/retry_pause.h"

namespace vadrel {

class DeviceConnections {
public:
    using Time = std::chrono::steady_clock::time_point;
    // New connections started in one service() at most: a fleet of
    // thousands does not flood the server's queue of connections at once.
    static constexpr std::size_t connects_per_service = 200;
    static constexpr std::chrono::seconds connect_limit{10};

    DeviceConnections(Endpoint server, NameResolver& resolver, std::function<Time()> now);
    ~DeviceConnections();
    DeviceConnections(const DeviceConnections&) = delete;
    DeviceConnections& operator=(const DeviceConnections&) = delete;

    // `count` devices, each greeted on every new connection with the bytes
    // `greeting(n)` gives ("" for none).
    void open(std::size_t count, std::function<std::string(std::size_t)> greeting);
    // The line put whole to device n's socket; false when it cannot go now.
    bool send(std::size_t device, std::string_view line);
    void service();

    std::size_t connected() const { return connected_; }
    std::uint64_t connects() const { return connects_; }
    // Connections tried, those that came up or not.
    std::uint64_t attempts() const { return attempts_; }
    // "collegato", or why not all are, in Italian.
    std::string state() const;

private:
    enum class Phase : std::uint8_t { waiting, connecting, up };
    struct Link {
        Descriptor fd;
        Phase phase = Phase::waiting;
        RetryPause pause;
        Time started{};
        Time next_attempt{};
    };

    void attempt(std::size_t device, Time now);
    void finish_connect(std::size_t device, Time now);
    void drop(std::size_t device, int error, Time now);
    void events(Time now);
    void retries(Time now);
    bool address_known(Time now);

    Endpoint server_;
    NameResolver& resolver_;
    std::function<Time()> now_;
    std::function<std::string(std::size_t)> greeting_;
    Descriptor epoll_;
    std::shared_ptr<const NameResolver::Lookup> lookup_;
    std::optional<SocketAddress> address_;
    std::vector<Link> links_;
    std::size_t connected_ = 0;
    std::size_t connecting_ = 0;
    std::uint64_t connects_ = 0;
    std::uint64_t attempts_ = 0;
    std::string last_problem_;
    Time next_scan_{};
    Time next_retry_{};  // the earliest a waiting device tries again
};

}  // namespace vadrel
