#pragma once
// The fleet, its transmitter and the panel on a port that keeps nothing and
// a clock that steps by hand, for the benchmarks of the tick.

#include <benchmark/benchmark.h>

#include "tick/transmitter.h"
#include "panel/wiring.h"
#include "outputs/output_fanout.h"

namespace vadrel::bench {

class NullPort : public SerialPort {
public:
    bool is_open() const override { return true; }
    void open() override {}
    void close() override {}
    void set_port_number(std::int16_t) override {}
    std::int16_t port_number() const override { return 2; }
    void set_settings(const std::string&) override {}
    std::string settings() const override { return "4800,N,8,1"; }
    bool write(std::string_view bytes) override {
        benchmark::DoNotOptimize(bytes.data());
        return true;
    }
};

class NullDevices : public PortDevices {
public:
    void use_device(int, const std::string&) override {}
    std::string describe(int) const override { return "/dev/null"; }
};

class SteppingClock : public Clock {
public:
    double steady_seconds() override { return now; }
    double utc_seconds() override { return 1796553767.0 + now; }
    std::string time_text() override { return "20.15.28"; }
    std::string date_text() override { return "09/05/03"; }
    WallTime wall_time() override { return {{2003, 5, 9, 20, 15, 28}, {2003, 5, 9, 18, 15, 28}}; }
    double now = 3600.0;
};

class QuietShell : public Shell {
public:
    void message_box(const std::string&, const std::string&) override {}
    void run_pending_events() override {}
    void end_program_now(const std::string&) override {}
};

// Every vehicle at 44 01 46 N 10 08 04 E at 100 km/h, on `course(n)`.
struct Ticking {
    template <typename Course>
    explicit Ticking(Course course) {
        connect_panel(form);
        for (std::size_t n = 0; n < fleet_size; ++n) {
            fleet.load(n, Vehicle{158506.0, 36484.0, course(n), 100.0, SpeedUnit::kmh}, nullptr);
        }
    }
    void tick() {
        clock.now += 1.0;
        transmitter.tick();
    }

    NullPort port;
    OutputFanOut output{port};
    SteppingClock clock;
    QuietShell shell;
    Fleet fleet;
    TrackHistory tracks{fleet_size};
    NullDevices devices;
    Link link{port, devices};
    Transmitter transmitter{fleet, link, tracks, output, clock};
    PanelForm form{fleet, link, transmitter, Platform{clock, shell}};
};

}  // namespace vadrel::bench
