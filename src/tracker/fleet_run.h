#pragma once
// One fleet reporting to one server on the program's clock. At each whole
// simulated second s the devices due then report their position at s, each
// at its own fixed part of the real time that follows (`span`: a second, or
// less when the clock runs faster), so a fleet's reports never go in one
// burst; what is left of a second when the next one comes goes first.
// A report whose moment passed more than stale_after ago (the process was
// stopped, the machine stalled) is skipped and counted, and so are those of
// the seconds that never ticked meanwhile: a fleet that wakes late never
// sends what it missed in one burst.
//
//   FleetRun run(std::move(fleet), std::move(sender), "flotta.csv", "traccar:127.0.0.1:5023");
//   run.second(s, now, std::chrono::seconds(1));  // at the tick of second s
//   run.slice(now);                               // every few milliseconds

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tracker/report_sender.h"
#include "tracker/tracked_fleet.h"

namespace vadrel {

struct FleetSummary {
    std::string file;
    std::string destination;
    std::size_t devices = 0;
    SenderCounts counts;
};

class FleetRun {
public:
    using Time = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::milliseconds stale_after{500};

    FleetRun(TrackedFleet fleet, std::unique_ptr<ReportSender> sender, std::string file, std::string destination);

    // The tick of simulated second `second` (Unix seconds) at real `now`.
    void second(std::int64_t second, Time now, std::chrono::nanoseconds span);
    // The reports due by `now` sent, and the sender's own work done.
    void slice(Time now);
    // The rest of this second's reports skipped and counted: its tick came
    // too late for them to go at their moments.
    void skip_rest() { send_until(2.0, 3.0); }

    FleetSummary summary() const;
    const TrackedFleet& fleet() const { return fleet_; }
    // Reports whose second had come but were not handed to the sender yet.
    std::size_t pending() const { return order_.size() - cursor_; }

private:
    // The reports up to `fraction` of the second handed over, those before
    // `stale` skipped.
    void send_until(double fraction, double stale);
    // The part of the second whose moments are stale at `now`.
    double stale_fraction(Time now) const;
    // The reports of the seconds after the last one's that never ticked, as
    // far as the real time since it says they went by.
    std::uint64_t missed(std::int64_t second, Time now) const;

    TrackedFleet fleet_;
    std::unique_ptr<ReportSender> sender_;
    std::string file_;
    std::string destination_;
    std::vector<std::uint32_t> order_;  // the devices by the part of the second they send at
    std::int64_t second_ = 0;
    Time start_{};
    std::chrono::nanoseconds span_{0};
    std::size_t cursor_ = 0;
    std::uint64_t late_ = 0;  // reports skipped for being stale
    bool started_ = false;
};

}  // namespace vadrel
