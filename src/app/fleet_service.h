#pragma once
// The tracked fleets of the program: each --flotta file read and checked
// before anything opens, its devices reporting to its --flotta-verso on
// the program's clock. The reports of a second go in small slices, a timer
// every few milliseconds on the main loop sending those whose moment has
// come (a slice of 10,000 devices is a few dozen sends), so the panel's
// tick never waits behind them.
//
//   FleetService fleets(options, seed);        // throws FleetRefused
//   fleets.start();                            // the connections open
//   fleets.second(clock.utc_seconds(), span);  // at each tick of a whole second
//
// A fleet given later (PUT /api/v1/flotta, the window's dialog) is read and
// checked by prepare_text() or prepare_file(), which may run on a worker, and
// put in by what they return, on the loop.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "app/options.h"
#include "control/control_target.h"
#include "os/name_resolver.h"
#include "tracker/fleet_run.h"

namespace vadrel {

class FleetRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class FleetService : public QObject {
    Q_OBJECT
public:
    // `say`: a line for standard error (the limit of open files too low for a fleet).
    FleetService(const Options& options, std::uint64_t seed, std::function<void(const std::string&)> say = {},
                 QObject* parent = nullptr);
    ~FleetService() override;

    void start();
    void stop();
    // The tick at `utc_seconds` on the program's clock: the reports of its
    // whole second spread over `span`, or over what is left of it when the
    // tick comes late into its second.
    void second(double utc_seconds, std::chrono::nanoseconds span);

    // What puts a fleet read and checked in, on the loop (once): replaces
    // the fleet that reports to its server, or adds one. "" when it took,
    // else why not ("FILE:LINE: campo: motivo").
    using Install = std::function<std::string()>;
    // A fleet file's bytes (CSV or JSON), or a file, with the routes it
    // names read, for the server `destination`; `interval`: the seconds
    // between reports where the file says none (0: --flotta-intervallo).
    // Safe on any thread: reads nothing of the service that changes.
    Install prepare_text(std::string_view bytes, const std::string& destination);
    Install prepare_file(const std::string& path, const std::string& destination, int interval);
    // Both at once, on the loop (the control interface's PUT).
    std::string replace(std::string_view bytes, const std::string& destination);
    // The fleet reporting to `destination` stopped, its connections closed;
    // false when none reports there.
    bool remove(const std::string& destination);

    std::vector<FleetSummary> summaries() const;
    // The same as the control interface shows it.
    TrackerOverview overview() const;
    std::optional<DeviceState> device(const std::string& id) const;
    // Every device where it is now, for the map.
    std::vector<DeviceState> snapshot() const;
    std::size_t devices() const;
    // The seconds between reports where a file says none (--flotta-intervallo).
    int interval() const { return interval_; }

private:
    Install prepare(FleetReading read, const std::string& file, const std::string& destination, int interval);
    std::string install(TrackedFleet fleet, const std::string& file, const std::string& destination);
    // Says when the limit of open files leaves the fleets from `first` on
    // fewer connections than they want.
    void check_descriptors(std::size_t first) const;

    int interval_;
    int part_;
    int parts_;
    std::uint64_t seed_;
    std::function<void(const std::string&)> say_;
    int open_before_ = 0;  // descriptors the program held before any fleet
    NameResolver resolver_;
    std::vector<std::unique_ptr<FleetRun>> runs_;
    QTimer slices_;
    bool started_ = false;
};

}  // namespace vadrel
