#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "link/link.h"
#include "serial/ports.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::FakeDevices;
using testing::FakePort;

// The link over a fake port, with every change it says written down as
// "what by whom".
struct LinkRig {
    FakePort port;
    FakeDevices devices;
    Link link{port, devices};
    std::vector<std::string> heard;
    LinkRig() {
        link.watch([this](LinkChange what, Link::Origin origin) {
            static constexpr const char* names[] = {"opened", "closed", "speed", "device", "transmitting"};
            heard.push_back(std::string(names[static_cast<int>(what)]) + (origin == this ? "" : " elsewhere"));
        });
    }
    // The state as one line: "COM baud open|closed caption [problem]".
    std::string state() const {
        return std::to_string(link.port()) + " " + std::to_string(link.baud()) + " " +
               (link.open() ? "open " : "closed ") + link.caption() +
               (link.problem().empty() ? "" : " [" + link.problem() + "]");
    }
};

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "; ") + line;
    return text;
}

// The change path, one row a change from COM 2 open at 4800 (as start-up
// leaves it; COM 4 does not open): the refusal, the port's calls, the state
// after, the changes heard.
TEST(Link, ChangePath) {
    // name, the change, the refusal ("field: reason", "" when done), the port's calls, the state, the changes heard
    using Change = std::function<std::optional<Refusal>(LinkRig&)>;
    const std::tuple<const char*, Change, const char*, const char*, const char*, const char*> rows[] = {
        {"choose COM 3", [](LinkRig& r) { return r.link.choose(3, &r); }, "",
         "close; port 3; open 3 4800,N,8,1", "3 4800 open Tx ok", "opened"},
        {"choose the open port again", [](LinkRig& r) { return r.link.choose(2, &r); }, "",
         "close; port 2; open 2 4800,N,8,1", "2 4800 open Tx ok", "opened"},
        {"choose COM 4, which fails", [](LinkRig& r) { return r.link.choose(4, &r); }, "",
         "close; port 4; open 4 4800,N,8,1", "0 4800 closed No tx [porta inesistente]", "closed"},
        {"choose COM 5", [](LinkRig& r) { return r.link.choose(5, &r); }, "numero: la porta va da 1 a 4, non 5", "",
         "2 4800 open Tx ok", ""},
        {"choose COM 0", [](LinkRig& r) { return r.link.choose(0, &r); }, "numero: la porta va da 1 a 4, non 0", "",
         "2 4800 open Tx ok", ""},
        {"9600 on the open port", [](LinkRig& r) { return r.link.set_baud(9600, &r); }, "",
         "close; settings 9600,N,8,1; open 2 9600,N,8,1", "2 9600 open Tx ok", "speed"},
        {"1200", [](LinkRig& r) { return r.link.set_baud(1200, &r); },
         "baud: la velocità della linea è 2400, 4800 o 9600, non 1200", "", "2 4800 open Tx ok", ""},
        {"stop", [](LinkRig& r) { r.link.set_transmitting(false, nullptr); return std::optional<Refusal>(); }, "", "",
         "2 4800 open Stop", "transmitting elsewhere"},
        {"lost while writing", [](LinkRig& r) { r.link.lost("porta persa", nullptr); return std::optional<Refusal>(); }, "",
         "close", "0 4800 closed No tx [porta persa]", "closed elsewhere"},
        {"COM 2 on another device", [](LinkRig& r) { return r.link.set_device(2, "/dev/ttyUSB0", &r); }, "",
         "device 2 /dev/ttyUSB0; close; port 2; open 2 4800,N,8,1", "2 4800 open Tx ok", "device; opened"},
        {"COM 3 on another device", [](LinkRig& r) { return r.link.set_device(3, "/dev/ttyUSB0", &r); }, "",
         "device 3 /dev/ttyUSB0", "2 4800 open Tx ok", "device"},
        {"COM 9 on a device", [](LinkRig& r) { return r.link.set_device(9, "/dev/ttyUSB0", &r); },
         "numero: la porta va da 1 a 4, non 9", "", "2 4800 open Tx ok", ""},
        {"COM 2 a virtual port", [](LinkRig& r) { return r.link.set_device(2, virtual_device, &r); }, "",
         "device 2 pty; close; port 2; open 2 4800,N,8,1", "2 4800 open Tx ok", "device; opened"},
        {"COM 2 a virtual port the system will not make",
         [](LinkRig& r) {
             r.devices.virtual_refused = "porta virtuale non disponibile: openpty: troppi file aperti";
             return r.link.set_device(2, virtual_device, &r);
         },
         "dispositivo: porta virtuale non disponibile: openpty: troppi file aperti", "", "2 4800 open Tx ok", ""},
    };
    for (const auto& [name, change, refusal, calls, state, heard] : rows) {
        LinkRig r;
        r.port.failing_ports = {4};
        r.link.start(nullptr);
        r.port.calls.clear();
        r.heard.clear();
        // The fake devices' calls go with the port's, in order.
        const std::optional<Refusal> refused = change(r);
        std::vector<std::string> all = r.devices.calls;
        all.insert(all.end(), r.port.calls.begin(), r.port.calls.end());
        EXPECT_EQ(refused ? refused->field + ": " + refused->reason : "", refusal) << name;
        EXPECT_EQ(joined(all), calls) << name;
        EXPECT_EQ(r.state(), state) << name;
        EXPECT_EQ(joined(r.heard), heard) << name;
    }
}

// Start-up opens the command line's port at its speed; a port that does not
// open is said by the state, and then a choice at the same speed opens another.
TEST(Link, StartUpAndAfter) {
    // name, --porta, --baud, the COM ports that fail, the state after start-up, after then choosing COM 1
    const std::tuple<const char*, int, int, std::set<int>, const char*, const char*> rows[] = {
        {"defaults", 2, 4800, {}, "2 4800 open Tx ok", "1 4800 open Tx ok"},
        {"COM 3 at 9600", 3, 9600, {}, "3 9600 open Tx ok", "1 9600 open Tx ok"},
        {"COM 3 fails", 3, 2400, {3}, "0 2400 closed No tx [porta inesistente]", "1 2400 open Tx ok"},
        {"all fail", 1, 4800, {1, 3}, "0 4800 closed No tx [porta inesistente]", "0 4800 closed No tx [porta inesistente]"},
    };
    for (const auto& [name, number, baud, failing, started, chosen] : rows) {
        LinkRig r;
        r.port.failing_ports = failing;
        EXPECT_FALSE(r.link.set_start(number, baud)) << name;
        r.link.start(&r);
        EXPECT_EQ(r.state(), started) << name;
        EXPECT_EQ(r.port.settings(), line_settings_text(baud)) << name;
        r.link.choose(1, &r);
        EXPECT_EQ(r.state(), chosen) << name;
    }
}

// A speed is the open port's: with none open it is refused, and the next
// choice opens at the speed the line had, unless it comes with one.
TEST(Link, SpeedIsTheOpenPorts) {
    LinkRig r;
    r.port.failing_ports = {2};
    r.link.start(nullptr);
    ASSERT_FALSE(r.link.open());
    r.port.calls.clear();
    const auto refused = r.link.set_baud(2400, &r);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->field, "baud");
    EXPECT_EQ(joined(r.port.calls), "") << "nothing is open to change";
    r.link.choose(3, &r);
    EXPECT_EQ(joined(r.port.calls), "port 3; open 3 4800,N,8,1");
    r.port.calls.clear();
    r.heard.clear();
    r.link.choose(1, 9600, &r);
    EXPECT_EQ(joined(r.port.calls), "close; port 1; settings 9600,N,8,1; open 1 9600,N,8,1");
    EXPECT_EQ(joined(r.heard), "speed; opened");
    EXPECT_EQ(r.state(), "1 9600 open Tx ok");
}

// Start/Stop's captions, in their own case, by whether the port is open.
TEST(Link, TransmissionCaptions) {
    // name, COM ports that fail, transmitting, caption
    const std::tuple<const char*, std::set<int>, bool, const char*> rows[] = {
        {"open, on", {}, true, "Tx OK"},
        {"open, off", {}, false, "Stop"},
        {"closed, on", {2}, true, "No Tx"},
        {"closed, off", {2}, false, "Stop"},
    };
    for (const auto& [name, failing, on, caption] : rows) {
        LinkRig r;
        r.port.failing_ports = failing;
        r.link.start(nullptr);
        r.link.set_transmitting(on, &r);
        EXPECT_EQ(r.link.transmitting(), on) << name;
        EXPECT_EQ(r.link.caption(), caption) << name;
    }
}

// A speed the port refuses to open at leaves no port chosen, said after the speed.
TEST(Link, SpeedThatFailsClosesThePort) {
    LinkRig r;
    r.link.start(nullptr);
    r.heard.clear();
    r.port.failing_ports = {2};
    EXPECT_FALSE(r.link.set_baud(9600, &r));
    EXPECT_EQ(r.state(), "0 9600 closed No tx [porta inesistente]");
    EXPECT_EQ(joined(r.heard), "speed; closed");
}

// Any other error of the port is the caller's, the link's state as it stood.
TEST(Link, OtherErrorsGoToTheCaller) {
    LinkRig r;
    r.link.start(nullptr);
    r.port.fail_otherwise = true;
    EXPECT_THROW(r.link.choose(3, &r), std::runtime_error);
    EXPECT_EQ(r.link.problem(), "");
}

}  // namespace
}  // namespace vadrel
