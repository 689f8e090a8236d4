#pragma once
// Fakes of the outside world for the panel's tests: a port that records what
// it is asked, a clock set by hand, a shell that records its messages.

#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "tick/transmitter.h"
#include "fleet/fleet.h"
#include "link/link.h"
#include "panel/panel_form.h"
#include "outputs/output_fanout.h"

namespace vadrel::testing {

class FakePort : public SerialPort {
public:
    bool is_open() const override { return open_; }
    void open() override {
        calls.push_back("open " + std::to_string(number_) + " " + settings_);
        if (failing_ports.count(number_) != 0) throw PortFailure(8002, "porta inesistente");
        if (fail_otherwise) throw std::runtime_error("guasto imprevisto");
        open_ = true;
    }
    void close() override {
        calls.push_back("close");
        open_ = false;
    }
    void set_port_number(std::int16_t number) override {
        calls.push_back("port " + std::to_string(number));
        number_ = number;
    }
    void set_settings(const std::string& settings) override {
        calls.push_back("settings " + settings);
        settings_ = settings;
    }
    std::string settings() const override { return settings_; }
    bool write(std::string_view bytes) override {
        if (fail_writes) throw PortFailure(8020, "adattatore scollegato");
        if (busy) return false;
        written.emplace_back(bytes);
        return true;
    }

    // Opens without recording a call, as if start-up had done it.
    void force_open() { open_ = true; }

    std::vector<std::string> written;
    std::vector<std::string> calls;
    std::set<int> failing_ports;
    bool busy = false;
    bool fail_writes = false;
    bool fail_otherwise = false;

private:
    bool open_ = false;
    std::int16_t number_ = 1;
    std::string settings_ = "4800,N,8,1";
};

// What COM 1 .. 4 stand for, recorded.
class FakeDevices : public PortDevices {
public:
    void use_device(int number, const std::string& device) override {
        // A virtual port the system will not make, as the real router throws.
        if (device == virtual_device && !virtual_refused.empty()) throw PortFailure(8018, virtual_refused);
        devices[number] = device;
        calls.push_back("device " + std::to_string(number) + " " + device);
    }
    std::string describe(int number) const override {
        const auto found = devices.find(number);
        return found != devices.end() ? found->second : "/dev/ttyS" + std::to_string(number - 1);
    }
    std::map<int, std::string> devices;
    std::vector<std::string> calls;
    std::string virtual_refused;  // why a virtual port cannot be made; "" when it can
};

class FakeClock : public Clock {
public:
    double steady_seconds() override { return steady; }
    double utc_seconds() override { return utc; }
    std::string time_text() override { return time; }
    std::string date_text() override { return date; }
    WallTime wall_time() override {
        ++wall_readings;
        return wall;
    }

    double steady = 1000.0;
    double utc = 1052511328.0;  // 9 May 2003 20:15:28 UTC
    std::string time = "20.15.28";
    std::string date = "09/05/03";
    WallTime wall{{2003, 5, 9, 20, 15, 28}, {2003, 5, 9, 18, 15, 28}};
    int wall_readings = 0;
};

class FakeShell : public Shell {
public:
    void message_box(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + ": " + text);
    }
    void run_pending_events() override {
        if (pending) {
            auto once = std::move(pending);
            pending = nullptr;
            once();
        }
    }
    void end_program_now(const std::string& reason) override { ended = reason; }
    void show_about() override { ++about_shown; }
    void show_help(const std::string& file) override { help_files.push_back(file); }

    std::vector<std::string> messages;
    // Runs once, the next time pending events run.
    std::function<void()> pending;
    std::string ended;
    int about_shown = 0;
    std::vector<std::string> help_files;
};

// The panel as one line: "lat_g lat_p lat_s ns lon_g lon_p lon_s ew vel angolo"
// and the unit, "km", "mi" or "-".
std::string panel_text(const PanelForm& form);

// The fleet, its transmitter and the panel with fakes, the panel's events
// wired as the program wires them; the serial port is the only output.
struct Rig {
    FakePort port;
    OutputFanOut output{port};
    FakeClock clock;
    FakeShell shell;
    Fleet fleet;
    TrackHistory tracks{fleet_size};
    FakeDevices devices;
    Link link{port, devices};
    Transmitter transmitter{fleet, link, tracks, output, clock};
    PanelForm form{fleet, link, transmitter, Platform{clock, shell, RegionalFormat::italian()}};
    // Without wiring: the panel as it is made, before start-up.
    explicit Rig(bool wired = true);
    // The second timer, `seconds_later` on the steady clock.
    void tick(double seconds_later = 1.0);
};

}  // namespace vadrel::testing
