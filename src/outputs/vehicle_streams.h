#pragma once
// A stream for each vehicle: vehicle k in use is a receiver of its own on
// the port BASE + k (a TCP server with the rules of TcpOutput: the cap of
// clients, a client that does not read skips, an idle one is closed), and
// may also connect out to a listening server's port BASE + k (TcpSender:
// the growing pause, the skip). A client of port k sees only vehicle k.
//
//   VehicleStreams streams(resolver);
//   streams.listen(Endpoint{"127.0.0.1", 10111}, 64);   // vehicle 3 on 10114
//   streams.send_to(Endpoint{"tracker.example", 6000});  // vehicle 3 to 6003
//   transmitter.set_vehicle_output(&streams);
//
// A vehicle's server and connection are made at the first tick it is in
// use and closed at the first tick it is not, so "Numero di mezzi mobili"
// opens and closes them as it changes.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fleet/fleet.h"
#include "model/platform.h"
#include "os/name_resolver.h"
#include "outputs/network_address.h"
#include "outputs/tcp_output.h"
#include "outputs/tcp_sender.h"

namespace vadrel {

// A base port leaves room for every vehicle: BASE .. BASE + 20.
inline constexpr std::size_t stream_ports = fleet_size;

// Why the ports base .. base + stream_ports - 1 cannot be the streams'
// ("" when they can): one of them past 65535, a base of 0, or one of them
// already another output's (`taken`: the port and what it is, "il server
// TCP"). In Italian, naming `option`.
std::string stream_ports_problem(const std::string& option, int base,
                                 const std::vector<std::pair<int, std::string>>& taken = {});

class VehicleStreams final : public VehicleOutput {
public:
    using Now = TcpOutput::Now;
    explicit VehicleStreams(NameResolver& resolver, Now now = &std::chrono::steady_clock::now)
        : resolver_(resolver), now_(std::move(now)) {}

    // Serves vehicle k on base.port + k with at most max_clients each;
    // nothing: no servers (those running close with their clients).
    void listen(const std::optional<Endpoint>& base, int max_clients);
    // Connects for vehicle k to base.port + k; nothing: no connections.
    void send_to(const std::optional<Endpoint>& base);

    bool on() const override { return listen_base_.has_value() || send_base_.has_value(); }
    void send(const std::vector<std::optional<std::string>>& bytes) override;

    // The port vehicle n is served on while the servers are on, whether or
    // not it is in use now; nothing while its server cannot listen there.
    std::optional<int> port_of(std::size_t n) const;
    // Why vehicle n's server cannot listen (another program has its port,
    // ...), in Italian; "" when it listens or has no server.
    std::string failure_of(std::size_t n) const;
    // For the monitor line: each stream that cannot listen on its port and
    // why, "  [mezzo 1: TCP 127.0.0.1:10111: ...]"; "" when all listen.
    std::string note() const;
    // Vehicle n's server and connection, while it has them.
    const TcpOutput* server(std::size_t n) const { return n < servers_.size() ? servers_[n].get() : nullptr; }
    const TcpSender* sender(std::size_t n) const { return n < senders_.size() ? senders_[n].get() : nullptr; }
    const std::optional<Endpoint>& listen_base() const { return listen_base_; }
    const std::optional<Endpoint>& send_base() const { return send_base_; }

    // What the servers and connections have to tell, in Italian, each
    // behind its vehicle: "mezzo 3: TCP in ascolto su 127.0.0.1:10114 ...".
    std::function<void(const std::string&)> on_event;

private:
    void tell(std::size_t n, const std::string& text);

    NameResolver& resolver_;
    Now now_;
    std::optional<Endpoint> listen_base_;
    int max_clients_ = TcpOutput::default_max_clients;
    std::optional<Endpoint> send_base_;
    std::vector<std::unique_ptr<TcpOutput>> servers_;
    std::vector<std::unique_ptr<TcpSender>> senders_;
};

}  // namespace vadrel
