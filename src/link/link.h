#pragma once
// The serial link: which COM port is chosen and what device it stands for,
// the line speed, whether the port is open or why it failed, and whether
// the simulator transmits. The one path every change to them takes, whoever
// asks: the panel's buttons, "Porta...", the command line, the control
// interface, a write that lost the port. A value outside the tables of
// serial/ports.h is refused, naming the field; a port the system will not
// open is no refusal but the link's state (closed, with the reason).
//
//   Link link(port, devices);
//   link.choose(5, me);            // Refusal{"numero", "la porta va da 1 a 4, non 5"}
//   link.choose(3, me);            // nullopt: COM 3 open, or closed with problem() saying why
//   link.set_baud(9600, me);       // the open port opened again at 9600
//
// Views watch the changes; each carries who made it, as the fleet's do.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fleet/fleet.h"
#include "model/platform.h"
#include "serial/ports.h"

namespace vadrel {

// The status captions: the port choice's own, in their own case beside
// Start/Stop's (an operator's scripts and screenshots know both).
namespace link_caption {
inline constexpr const char* chosen_open = "Tx ok";
inline constexpr const char* chosen_closed = "No tx";
inline constexpr const char* sending = "Tx OK";
inline constexpr const char* not_sending = "No Tx";
inline constexpr const char* stopped = "Stop";
}  // namespace link_caption

enum class LinkChange : std::uint8_t {
    opened,        // a port was chosen (or started, or opened again) and is open
    closed,        // no port is open: a choice or a speed failed (problem()), none was chosen, or the port was lost
    speed,         // the line speed; an open port stays open at it
    device,        // what a COM number stands for
    transmitting,  // transmission on or off
};

class Link {
public:
    using Origin = const void*;
    using Watcher = std::function<void(LinkChange what, Origin origin)>;
    using WatchId = std::size_t;

    // Both must outlive the link.
    Link(SerialPort& port, PortDevices& devices) : port_(port), devices_(devices) {}
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // ---- the state ----
    // The COM port chosen, 1 .. 4; 0 when none is (a failure leaves none).
    int port() const { return number_; }
    // What COM number stands for now.
    std::string device(int number) const { return devices_.describe(number); }
    // The line speed, 2400, 4800 or 9600: the next port chosen opens at it.
    int baud() const { return baud_; }
    bool open() const { return port_.is_open(); }
    // Why no port is open: the device and the system's reason; "" while the
    // port is open, and when none was chosen.
    const std::string& problem() const { return problem_; }
    bool transmitting() const { return transmitting_; }
    // The status as the panel's label shows it after the last change of the
    // link: "Tx ok" / "No tx" after a port choice, "Tx OK" / "No Tx" / "Stop"
    // after Start/Stop (the two cases are the operator's to tell apart).
    const std::string& caption() const { return caption_; }

    // ---- the change path ----
    // Before start(): the port and speed start-up opens (the command line's).
    std::optional<Refusal> set_start(int number, int baud);
    // Start-up: opens the port chosen at the speed chosen, once.
    void start(Origin origin);
    // Closes the port chosen and opens COM number at the line speed.
    std::optional<Refusal> choose(int number, Origin origin);
    // The line speed of the open port, opened again at it. Refused while
    // no port is open: the next choice opens at the speed the line had.
    std::optional<Refusal> set_baud(int baud, Origin origin);
    // COM number opened at this speed, whether a port was open or not.
    std::optional<Refusal> choose(int number, int baud, Origin origin);
    // COM number stands for `device` from now on; the port chosen, when it
    // is that one, is opened again there. A virtual port (virtual_device)
    // that cannot be made is refused with the system's reason, the COM left
    // as it was.
    std::optional<Refusal> set_device(int number, const std::string& device, Origin origin);
    void set_transmitting(bool on, Origin origin);
    // A write found the port gone: it is closed, with the reason.
    void lost(const std::string& reason, Origin origin);
    // Shut-down: the port closed; a port that fails to close is closed enough.
    void close();

    // Called for every change, in the order the watchers were added. An
    // error of the port other than a PortFailure is not the link's: it
    // leaves the change as it stood and goes to the caller.
    WatchId watch(Watcher watcher);
    void unwatch(WatchId id);

private:
    // Closes what is open and opens the chosen number at the chosen speed;
    // a failure leaves no port chosen.
    void reopen(Origin origin);
    // Runs `open`, which opens the port or throws PortFailure: the link is
    // open, or failed with the port's reason.
    void opening(Origin origin, const std::function<void()>& open);
    void fail(const std::string& reason, Origin origin);
    void tell(LinkChange what, Origin origin);

    SerialPort& port_;
    PortDevices& devices_;
    int number_ = 2;
    int baud_ = 4800;
    std::string problem_;
    bool transmitting_ = true;
    std::string caption_ = link_caption::chosen_closed;
    std::vector<std::pair<WatchId, Watcher>> watchers_;
    WatchId next_watch_ = 1;
};

// The reasons the link's rules give: nullopt when allowed.
std::optional<Refusal> port_number_problem(long number);
std::optional<Refusal> baud_problem(long baud);

}  // namespace vadrel
