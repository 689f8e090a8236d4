#include "tracked_fleet.h"

#include <cmath>
#include <map>

#include "motion/dead_reckoning.h"
#include "routes/route_files.h"

namespace vadrel {

namespace {

constexpr double seconds_per_hour = 3600.0;
constexpr double km_per_nautical_mile = 1.852;

// Exactly on the line a step keeps the side it came from, as the panel's
// vehicles do.
void keep_side_of_zero(double& value, double before) {
    if (value == 0.0) value = std::copysign(0.0, before);
}

// One step of the dead reckoning, as Fleet::advance takes it: the course
// held after it (turned by 180 over a pole).
double reckon(double& lat, double& lon, double course, double km) {
    const double lat_before = lat;
    const double lon_before = lon;
    const double after = step_latitude(lat, lon, course, km);
    step_longitude(lon, after, km, latitude_radians(lat));
    keep_side_of_zero(lat, lat_before);
    keep_side_of_zero(lon, lon_before);
    return after;
}

// Turns tried at random before a device at its zone's edge heads for the centre.
constexpr int random_turns = 8;

}  // namespace

std::variant<TrackedFleet, FleetProblem> TrackedFleet::load(const std::vector<FleetEntry>& entries,
                                                            const std::string& file, int interval,
                                                            std::uint64_t seed) {
    std::map<std::string, std::shared_ptr<const Route>> read;
    for (const FleetEntry& entry : entries) {
        if (entry.route.empty() || read.contains(entry.route)) continue;
        RouteReading reading = read_route_file(entry.route);
        if (const auto* problem = std::get_if<ReadProblem>(&reading))
            return FleetProblem{file, entry.line, "percorso", entry.route + ": " + problem->message()};
        auto& routes = std::get<std::vector<Route>>(reading);
        if (routes.empty()) return FleetProblem{file, entry.line, "percorso", entry.route + ": nessun percorso"};
        FollowOptions options;
        options.end = entry.end;
        options.from_here = true;
        if (const auto why = follow_problem(routes.front(), options))
            return FleetProblem{file, entry.line, "percorso", entry.route + ": " + *why};
        read.emplace(entry.route, std::make_shared<const Route>(std::move(routes.front())));
    }
    return TrackedFleet(entries, interval, seed, {read.begin(), read.end()});
}

TrackedFleet::TrackedFleet(const std::vector<FleetEntry>& entries, int interval, std::uint64_t seed,
                           const std::vector<std::pair<std::string, std::shared_ptr<const Route>>>& routes) {
    devices_.reserve(entries.size());
    const auto count = static_cast<std::uint64_t>(entries.size());
    for (std::size_t n = 0; n < entries.size(); ++n) {
        const FleetEntry& e = entries[n];
        Device d;
        d.id = e.id;
        d.lat = e.lat * 3600.0;
        d.lon = e.lon * 3600.0;
        d.course = e.course;
        d.speed_kmh = e.speed_kmh;
        d.ground_kmh = e.speed_kmh;
        d.interval = static_cast<std::uint32_t>(e.interval > 0 ? e.interval : std::max(interval, 1));
        // Evenly over the interval, in the file's order.
        d.phase_ms = static_cast<std::uint32_t>(std::uint64_t{d.interval} * 1000 * n / count);
        if (!e.route.empty()) {
            for (const auto& [path, route] : routes) {
                if (path != e.route) continue;
                Follow follow{route, {e.end, false, 0.0, true}, {}};
                follow.progress = start_route(*route, follow.options, GeoPoint{e.lat, e.lon});
                d.follow = static_cast<std::int32_t>(follows_.size());
                follows_.push_back(std::move(follow));
            }
        }
        if (e.zone) {
            d.zone = static_cast<std::int32_t>(zones_.size());
            // Each device its own sequence from the program's seed.
            zones_.push_back({*e.zone, SplitMix64(seed ^ (0x9E3779B97F4A7C15ull * (n + 1)))});
        }
        devices_.push_back(std::move(d));
    }
}

void TrackedFleet::start(std::int64_t second) {
    for (Device& d : devices_) {
        if (d.second == INT64_MIN) d.second = second;
    }
}

bool TrackedFleet::due(std::size_t i, std::int64_t second) const {
    const Device& d = devices_[i];
    const auto interval = static_cast<std::int64_t>(d.interval);
    const std::int64_t offset = d.phase_ms / 1000;
    return ((second - offset) % interval + interval) % interval == 0;
}

std::uint64_t TrackedFleet::due_count(std::size_t i, std::int64_t first, std::int64_t last) const {
    if (last < first) return 0;
    const Device& d = devices_[i];
    const auto interval = static_cast<std::int64_t>(d.interval);
    const std::int64_t offset = d.phase_ms / 1000;
    // The reporting seconds up to x: floor((x - offset) / interval), and one more for 0.
    const auto up_to = [&](std::int64_t x) {
        const std::int64_t k = x - offset;
        return k >= 0 ? k / interval : -((-k + interval - 1) / interval);
    };
    return static_cast<std::uint64_t>(up_to(last) - up_to(first - 1));
}

void TrackedFleet::advance(std::size_t i, std::int64_t second) {
    Device& d = devices_[i];
    if (d.second == INT64_MIN) d.second = second;
    if (second <= d.second) return;
    const auto seconds = static_cast<double>(second - d.second);
    d.second = second;
    if (d.follow >= 0) {
        Follow& f = follows_[static_cast<std::size_t>(d.follow)];
        const RouteStep step = vadrel::advance(*f.route, f.progress, f.options, seconds, d.speed_kmh / 3.6);
        f.progress = step.progress;
        d.lat = step.lat_arc_seconds();
        d.lon = step.lon_arc_seconds();
        d.course = step.course;
        d.ground_kmh = step.speed * 3.6;
    } else if (d.zone >= 0) {
        wander(d, zones_[static_cast<std::size_t>(d.zone)], seconds);
    } else {
        step(d, seconds);
    }
}

void TrackedFleet::step(Device& d, double seconds) {
    const double km = d.speed_kmh * seconds / seconds_per_hour;
    d.course = reckon(d.lat, d.lon, d.course, km);
}

void TrackedFleet::wander(Device& d, Zone& z, double seconds) {
    const double km = d.speed_kmh * seconds / seconds_per_hour;
    const GeoPoint centre{z.zone.lat, z.zone.lon};
    const double limit_m = z.zone.radius_km * 1000.0;
    const auto inside = [&](double course) {
        double lat = d.lat, lon = d.lon;
        reckon(lat, lon, course, km);
        return distance_m(centre, GeoPoint{lat / 3600.0, lon / 3600.0}) <= limit_m;
    };
    if (!inside(d.course)) {
        bool turned = false;
        for (int attempt = 0; attempt < random_turns && !turned; ++attempt) {
            const double course = std::floor(z.random.uniform() * 3600.0) / 10.0;
            if (inside(course)) {
                d.course = course;
                turned = true;
            }
        }
        // A step longer than the zone: straight for its centre.
        if (!turned) d.course = initial_bearing(GeoPoint{d.lat / 3600.0, d.lon / 3600.0}, centre);
    }
    d.course = reckon(d.lat, d.lon, d.course, km);
}

DeviceReport TrackedFleet::report(std::size_t i, std::int64_t second) {
    advance(i, second);
    Device& d = devices_[i];
    d.last_report = second;
    DeviceReport r;
    r.id = d.id;
    r.lat = d.lat / 3600.0;
    r.lon = d.lon / 3600.0;
    r.speed_knots = d.ground_kmh / km_per_nautical_mile;
    r.course = d.course;
    r.utc_ms = second * 1000;
    r.device = static_cast<std::uint32_t>(i);
    return r;
}

DeviceState TrackedFleet::state(std::size_t i) const {
    const Device& d = devices_[i];
    return {d.id, d.lat / 3600.0, d.lon / 3600.0, d.course, d.ground_kmh, static_cast<int>(d.interval),
            d.last_report == INT64_MIN ? -1 : d.last_report * 1000};
}

std::vector<std::string> TrackedFleet::ids() const {
    std::vector<std::string> all;
    all.reserve(devices_.size());
    for (const Device& d : devices_) all.push_back(d.id);
    return all;
}

std::optional<std::size_t> TrackedFleet::find(const std::string& id) const {
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        if (devices_[i].id == id) return i;
    }
    return std::nullopt;
}

}  // namespace vadrel
