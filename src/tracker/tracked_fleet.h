#pragma once
// The devices of one fleet file as they move: each by the dead reckoning of
// the panel's vehicles (motion/dead_reckoning.h, as Fleet::advance steps
// them), along its route (routes/follower.h), or wandering inside its zone,
// turning at random (from the seed) when its next step would leave it.
// Positions are taken at whole simulated seconds; a device reports every
// `interval` seconds at its own fixed part of the interval (phase), so the
// fleet's reports spread evenly over the time.
//
//   auto loaded = TrackedFleet::load(entries, 1, seed);   // routes read here
//   TrackedFleet& fleet = std::get<TrackedFleet>(loaded);
//   if (fleet.due(i, s)) sender.send(fleet.report(i, s));  // moved to second s
//
// A device keeps about 100 bytes (its id, position, course, speed, phase);
// those with a route or a zone a little more, apart.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "model/receiver_options.h"
#include "routes/follower.h"
#include "routes/route.h"
#include "tracker/device_report.h"
#include "tracker/fleet_file.h"

namespace vadrel {

// One device as the API and the map see it.
struct DeviceState {
    std::string id;
    double lat = 0.0;  // degrees
    double lon = 0.0;
    double course = 0.0;
    double speed_kmh = 0.0;
    int interval = 1;
    std::int64_t last_report_ms = -1;  // the instant of its last report; -1 none yet
};

class TrackedFleet {
public:
    // The entries' routes read (once each file) and checked; the first
    // refusal names the row that gave the route.
    static std::variant<TrackedFleet, FleetProblem> load(const std::vector<FleetEntry>& entries,
                                                         const std::string& file, int interval,
                                                         std::uint64_t seed);
    // Routes given by path, already read: the tests.
    TrackedFleet(const std::vector<FleetEntry>& entries, int interval, std::uint64_t seed,
                 const std::vector<std::pair<std::string, std::shared_ptr<const Route>>>& routes = {});

    std::size_t size() const { return devices_.size(); }
    // Every device that has not moved yet starts moving at `second`, its
    // first report whenever its phase brings it.
    void start(std::int64_t second);
    // Whether device i reports the position of second `second` (Unix seconds).
    bool due(std::size_t i, std::int64_t second) const;
    // The seconds from `first` to `last` (both in) at which device i reports.
    std::uint64_t due_count(std::size_t i, std::int64_t first, std::int64_t last) const;
    // The part of the second after `second` at which device i sends: 0 to 1.
    double fraction(std::size_t i) const { return static_cast<double>(devices_[i].phase_ms % 1000) / 1000.0; }
    // Device i moved on to `second` (never back), and its report there.
    DeviceReport report(std::size_t i, std::int64_t second);
    // Device i moved on to `second` (never back).
    void advance(std::size_t i, std::int64_t second);
    DeviceState state(std::size_t i) const;
    std::vector<std::string> ids() const;
    std::optional<std::size_t> find(const std::string& id) const;

private:
    struct Device {
        std::string id;
        double lat = 0.0;  // seconds of arc, as the panel's vehicles keep them
        double lon = 0.0;
        double course = 0.0;
        double speed_kmh = 0.0;        // as given
        double ground_kmh = 0.0;       // as last moved (a route's stop: 0)
        std::int32_t follow = -1;      // index in follows_
        std::int32_t zone = -1;        // index in zones_
        std::uint32_t interval = 1;
        std::uint32_t phase_ms = 0;    // within the interval
        std::int64_t second = INT64_MIN;  // the second it stands at
        std::int64_t last_report = INT64_MIN;
    };
    struct Follow {
        std::shared_ptr<const Route> route;
        FollowOptions options;
        RouteProgress progress;
    };
    struct Zone {
        DeviceZone zone;
        SplitMix64 random;
    };

    void step(Device& d, double seconds);
    void wander(Device& d, Zone& z, double seconds);

    std::vector<Device> devices_;
    std::vector<Follow> follows_;
    std::vector<Zone> zones_;
};

}  // namespace vadrel
