#pragma once
// The program's autopilot: the sentences from the TCP server's clients,
// the serial or virtual port and a UDP port of its own reach it; each tick
// it turns the current vehicle through the fleet's change path.
//
//   PilotRun pilot(fleet, clock, port, network);   // takes the lines of both
//   pilot.start(options, say);                      // --pilota, --udp-ascolto
//   pilot.step();                                   // each tick, before the vehicles move

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/options.h"
#include "fleet/fleet.h"
#include "marine/autopilot.h"
#include "model/line_listener.h"
#include "model/platform.h"
#include "outputs/network_outputs.h"
#include "outputs/udp_listener.h"
#include "serial/port_router.h"

namespace vadrel {

class PilotRun final : public LineListener {
public:
    using Say = std::function<void(const std::string&)>;

    // All must outlive it; it leaves the port and the TCP server without a
    // listener when it goes.
    PilotRun(Fleet& fleet, Clock& clock, PortRouter& port, NetworkOutputs& network);
    ~PilotRun() override;
    PilotRun(const PilotRun&) = delete;
    PilotRun& operator=(const PilotRun&) = delete;

    // The command line's choices; the UDP port listened on, or said why not.
    void start(const Options& options, const Say& say);
    // One tick: the UDP port's and the serial port's shares read, the
    // current vehicle turned.
    void step();

    const Autopilot& pilot() const { return pilot_; }
    void set_on(bool on);
    std::optional<Refusal> set_turn_rate(double degrees_per_second);
    // What the operator reads: "Pilota: rotta 090 verso WP1".
    std::string status() const;
    const UdpListener& udp() const { return udp_; }
    // Seconds on the program's clock now.
    double now() const { return clock_.steady_seconds(); }

    // Called after the pilot is switched or its rate changed, by anyone.
    std::size_t watch(std::function<void()> watcher) {
        watchers_.emplace_back(++last_watch_, std::move(watcher));
        return last_watch_;
    }
    void unwatch(std::size_t id) {
        std::erase_if(watchers_, [id](const auto& watcher) { return watcher.first == id; });
    }

    bool wants_lines() const override { return pilot_.on(); }
    void line(std::string_view text, std::string_view source) override;

private:
    void tell();

    Fleet& fleet_;
    Clock& clock_;
    PortRouter& port_;
    NetworkOutputs& network_;
    Autopilot pilot_;
    UdpListener udp_;
    std::vector<std::pair<std::size_t, std::function<void()>>> watchers_;
    std::size_t last_watch_ = 0;
};

}  // namespace vadrel
