#pragma once
// The UDP targets: one datagram per tick to each, holding the tick's bytes.
//
//   NameResolver resolver;
//   UdpOutput udp(resolver);
//   udp.set_targets({{"192.168.1.255", 10110}, {"239.192.0.1", 10110}, {"plotter.local", 10110}});
//   fan_out.add(udp);
//
// A target is an address (unicast, multicast or broadcast: every IPv4 socket
// may broadcast) or a name, looked up by the resolver in a thread of its own
// and again every 30 s while it cannot be found; its answer is taken at the
// next tick, and a lookup that never ends holds nothing. Multicast goes out
// with the system's defaults: the interface of the default route, one hop.
// A datagram the socket cannot take now (its buffer full) is skipped and
// counted; a target the network cannot reach is reported and tried again at
// every tick, and the others go on. A target whose socket would leave the
// program short of descriptors (DescriptorReserve) has none: those targets
// are said together, once, and tried again at each tick.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "os/name_resolver.h"
#include "outputs/network_address.h"
#include "outputs/output_fanout.h"

namespace vadrel {

class UdpOutput final : public OutputSink {
public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::seconds lookup_retry{30};

    explicit UdpOutput(NameResolver& resolver, Now now = &std::chrono::steady_clock::now);
    ~UdpOutput() override;
    UdpOutput(const UdpOutput&) = delete;
    UdpOutput& operator=(const UdpOutput&) = delete;

    // Replaces the targets; none switches UDP off. The same list keeps its counts.
    void set_targets(const std::vector<Endpoint>& targets);

    Result send(std::string_view bytes) override;

    struct TargetView {
        std::string target;   // "192.168.1.255:10110"
        std::string failure;  // why the last datagram did not go, "" when it went
        long long sent = 0;
        long long skipped = 0;
    };
    std::vector<TargetView> targets() const;

    // What the operator should hear of, in Italian: each target, a failure and its end.
    std::function<void(const std::string&)> on_event;

private:
    struct Target;
    // Sockets for the targets without one, as far as names and descriptors allow.
    void prepare();
    void take_answer(Target& target);
    // Whether the target has its socket now; `files_left` false once one is refused for want of descriptors.
    bool open(Target& target, bool& files_left);
    void fail(Target& target, const std::string& problem);
    void tell(const std::string& text);

    NameResolver& resolver_;
    Now now_;
    std::vector<Endpoint> endpoints_;
    std::vector<std::unique_ptr<Target>> targets_;
    std::size_t short_of_files_ = 0;  // targets without a socket for want of descriptors
    std::string short_reason_;        // why, of the first of them
};

}  // namespace vadrel
