#pragma once
// The UDP targets: one datagram per tick to each, holding the tick's bytes.
//
//   NameResolver resolver;
//   UdpOutput udp(resolver);
//   udp.set_targets({{"192.168.1.255", 10110}, {"239.192.0.1", 10110}, {"plotter.local", 10110}});
//   fan_out.add(udp);
//
// A target is an address (unicast, multicast or broadcast: the IPv4 socket
// may broadcast) or a name, looked up by the resolver in a thread of its own
// and again every 30 s while it cannot be found; its answer is taken at the
// next tick, and a lookup that never ends holds nothing. Multicast goes out
// with the system's defaults: the interface of the default route, one hop.
//
// Every target of an address family goes out of one socket of that family
// (DatagramSocket), so a thousand targets hold two descriptors. A datagram
// the socket cannot take now (its buffer full) is skipped and counted. What
// sending refuses (a network that cannot be reached) is the failure of the
// target sent to; what the network answers later (a port nobody listens on,
// a host that cannot be reached), where the system hands it back (Linux),
// comes with the destination it answers and is that target's failure alone,
// held `report_hold` after the last such answer. A failing target is reported and tried again at every tick; the
// others go on. When a family's socket would leave the program short of
// descriptors (DescriptorReserve) its targets have none: they are said
// together, once, and tried again at each tick.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "os/name_resolver.h"
#include "outputs/datagram_socket.h"
#include "outputs/network_address.h"
#include "outputs/output_fanout.h"

namespace vadrel {

class UdpOutput final : public OutputSink {
public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::seconds lookup_retry{30};
    // A host answers a sender at most about once a second (its ICMP rate
    // limit), shared by all the ports of it we send to: a failure it
    // reported is not taken back by the sends that go on meanwhile.
    static constexpr std::chrono::seconds report_hold{5};

    explicit UdpOutput(NameResolver& resolver, Now now = &std::chrono::steady_clock::now,
                       DatagramSocketOpener open = &open_datagram_socket);
    ~UdpOutput() override;
    UdpOutput(const UdpOutput&) = delete;
    UdpOutput& operator=(const UdpOutput&) = delete;

    // Replaces the targets; none switches UDP off and closes its sockets.
    // The same list keeps its counts.
    void set_targets(const std::vector<Endpoint>& targets);

    Result send(std::string_view bytes) override;

    struct TargetView {
        std::string target;   // "192.168.1.255:10110"
        std::string failure;  // why its datagrams do not arrive, "" when nothing says so
        long long sent = 0;
        long long skipped = 0;
    };
    std::vector<TargetView> targets() const;

    // What the operator should hear of, in Italian: each target, a failure and its end.
    std::function<void(const std::string&)> on_event;

private:
    struct Target;
    // Addresses and sockets for the targets without them, as far as names and descriptors allow.
    void prepare();
    void take_answer(Target& target);
    // The socket of the target's family, opened if need be (at most once a round: `tried`).
    DatagramSocket* socket_for(Target& target, int tried[2]);
    // One datagram to `target`: 0, or why it did not go.
    int send_to(Target& target, DatagramSocket& socket, std::string_view bytes);
    // Keeps each of the network's reports as the answer for the address it names.
    struct Reports {
        bool any = false;
        bool others = false;  // one named another destination than `sent_to`
    };
    Reports take_reports(DatagramSocket& socket, const Target* sent_to = nullptr);
    // The error the network answered for the target's address, while it holds; else 0.
    int held_answer(const Target& target, std::chrono::steady_clock::time_point now) const;
    void fail(Target& target, const std::string& problem);
    void tell(const std::string& text);

    NameResolver& resolver_;
    Now now_;
    DatagramSocketOpener open_;
    std::unique_ptr<DatagramSocket> sockets_[2];  // IPv4, IPv6
    std::vector<Endpoint> endpoints_;
    std::vector<std::unique_ptr<Target>> targets_;
    struct Answer {
        int error = 0;
        std::chrono::steady_clock::time_point when{};
    };
    // The network's last answer for each address a target with a socket has, by its bytes.
    std::unordered_map<std::string, Answer> answers_;
    std::size_t short_of_files_ = 0;  // targets without a socket for want of descriptors
    std::string short_reason_;        // why, of the first of them
};

}  // namespace vadrel
