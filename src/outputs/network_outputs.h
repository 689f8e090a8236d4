#pragma once
// The TCP server, the UDP targets, the servers vadrel connects to and each
// vehicle's stream together, as their settings switch them.
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
#include "outputs/tcp_sender.h"
#include "outputs/udp_output.h"
#include "outputs/vehicle_streams.h"

namespace vadrel {

// The listening servers vadrel connects to, each with the tick's bytes.
class TcpSenders final : public OutputSink {
public:
    explicit TcpSenders(NameResolver& resolver, TcpSender::Now now) : resolver_(resolver), now_(std::move(now)) {}
    // Replaces the servers; the same server keeps its connection.
    void set_servers(const std::vector<Endpoint>& servers);
    Result send(std::string_view bytes) override;
    bool busy() const override;
    const std::vector<std::unique_ptr<TcpSender>>& senders() const { return senders_; }
    // Each connection's greeting (TcpSender::greeting), those made later too.
    void set_greeting(std::function<std::string()> greeting);
    std::function<void(const std::string&)> on_event;

private:
    NameResolver& resolver_;
    TcpSender::Now now_;
    std::vector<std::unique_ptr<TcpSender>> senders_;
    std::function<std::string()> greeting_;
};

class NetworkOutputs {
public:
    explicit NetworkOutputs(TcpOutput::Now now = &std::chrono::steady_clock::now)
        : tcp_(now), udp_(resolver_, now), senders_(resolver_, now), streams_(resolver_, now) {}

    void add_to(OutputFanOut& fan_out) {
        fan_out.add(tcp_);
        fan_out.add(udp_);
        fan_out.add(senders_);
        fan_out.add(stream_notes_);
    }
    // What the outputs have to tell, in Italian (listening, failures, ...).
    void set_on_event(const std::function<void(const std::string&)>& tell) {
        tcp_.on_event = tell;
        udp_.on_event = tell;
        senders_.on_event = tell;
        streams_.on_event = tell;
    }

    // Whole lines each new client of the TCP server, and each new
    // connection out, gets before its first second; "" for none.
    void set_greeting(const std::function<std::string()>& greeting) {
        tcp_.greeting = greeting;
        senders_.set_greeting(greeting);
    }

    // Who takes the lines the TCP server's clients send (nullptr: nobody).
    void set_lines(LineListener* lines) { tcp_.set_lines(lines); }

    // Starts, changes or stops the server, the targets, the connections
    // and the streams as the settings say. A value that cannot be used
    // leaves its output off; the others go on. `taken`: ports of this
    // program the streams must leave alone (the control interface's),
    // besides the TCP server's. Returns the values that could not be used,
    // each with its field (tcp, udp, tcp_verso, tcp_mezzi, tcp_verso_mezzi);
    // none when all were.
    std::vector<Refusal> apply(const OutputSettings& settings, const std::vector<std::pair<int, std::string>>& taken = {});

    const OutputSettings& settings() const { return settings_; }
    const TcpOutput& tcp() const { return tcp_; }
    const UdpOutput& udp() const { return udp_; }
    const TcpSenders& senders() const { return senders_; }
    // Each vehicle's stream: for the transmitter, which sends it each tick.
    VehicleStreams& streams() { return streams_; }
    const VehicleStreams& streams() const { return streams_; }

private:
    // The names of the UDP targets are looked up here.
    NameResolver resolver_;
    TcpOutput tcp_;
    UdpOutput udp_;
    TcpSenders senders_;
    VehicleStreams streams_;
    // The streams go out apart from the fan-out; their failures still reach
    // every monitor line through it, as the other outputs' do.
    struct StreamNotes final : OutputSink {
        explicit StreamNotes(const VehicleStreams& streams) : streams(streams) {}
        Result send(std::string_view) override { return {false, streams.note()}; }
        const VehicleStreams& streams;
    } stream_notes_{streams_};
    OutputSettings settings_;
};

// The group [uscite] of vadrel.ini as the outputs will take it: every value
// checked, the address and the targets as apply() checks them. A value that
// cannot be used gets a line naming the file, the key and the
// value, and leaves off what it belongs to (the TCP server; a target).
GroupRead<OutputSettings> read_network_settings(const SettingsFile& file);

}  // namespace vadrel
