#pragma once
// The TCP server and the UDP targets together, as their settings switch them.
//
//   NetworkOutputs network;
//   network.add_to(fan_out);
//   std::string problems = network.apply(settings);   // "" when all was done

#include <string>
#include <vector>

#include "config/output_settings.h"
#include "os/name_resolver.h"
#include "outputs/output_fanout.h"
#include "outputs/tcp_output.h"
#include "outputs/udp_output.h"

namespace vadrel {

class NetworkOutputs {
public:
    explicit NetworkOutputs(TcpOutput::Now now = &std::chrono::steady_clock::now) : tcp_(now), udp_(resolver_, now) {}

    void add_to(OutputFanOut& fan_out) {
        fan_out.add(tcp_);
        fan_out.add(udp_);
    }
    // What the outputs have to tell, in Italian (listening, failures, ...).
    void set_on_event(const std::function<void(const std::string&)>& tell) {
        tcp_.on_event = tell;
        udp_.on_event = tell;
    }

    // Starts, changes or stops the server and the targets as the settings
    // say. A value that cannot be used leaves its output off; the others go
    // on. Returns what could not be done, one line each ("" when all was).
    std::string apply(const OutputSettings& settings);

    const OutputSettings& settings() const { return settings_; }
    const TcpOutput& tcp() const { return tcp_; }
    const UdpOutput& udp() const { return udp_; }

private:
    // The names of the UDP targets are looked up here.
    NameResolver resolver_;
    TcpOutput tcp_;
    UdpOutput udp_;
    OutputSettings settings_;
};

// The group [uscite] of vadrel.ini as the outputs will take it: every value
// checked, the address and the targets as apply() checks them. A value that
// cannot be used gets a line in `problems` naming the file, the key and the
// value, and leaves off what it belongs to (the TCP server; a target).
OutputSettings read_network_settings(const SettingsFile& file, std::vector<std::string>& problems);

}  // namespace vadrel
