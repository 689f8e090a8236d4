#include "fleet_service.h"

#include <algorithm>
#include <cmath>

#include "os/descriptor_reserve.h"
#include "tracker/sender_factory.h"

namespace vadrel {

namespace {

// Often enough that a device's moment within the second is kept to a few
// milliseconds; seldom enough to cost nothing when idle.
constexpr std::chrono::milliseconds slice_every{5};

std::chrono::steady_clock::time_point steady_now() { return std::chrono::steady_clock::now(); }

// A wrong server is said before the file's faults.
std::optional<std::string> destination_problem(const std::string& destination) {
    const auto parsed = parse_destination(destination);
    if (const auto* problem = std::get_if<std::string>(&parsed)) return "verso: " + *problem;
    return std::nullopt;
}

}  // namespace

FleetService::FleetService(const Options& options, std::uint64_t seed, std::function<void(const std::string&)> say,
                           QObject* parent)
    : QObject(parent),
      interval_(options.fleet_interval),
      part_(options.part),
      parts_(options.parts),
      seed_(seed),
      say_(std::move(say)),
      open_before_(DescriptorReserve::lowest_free()) {
    for (std::size_t n = 0; n < options.fleets.size(); ++n) {
        const std::string problem = prepare_file(options.fleets[n], options.fleet_to[n], 0)();
        if (!problem.empty()) throw FleetRefused(problem);
    }
    slices_.setTimerType(Qt::PreciseTimer);
    slices_.setInterval(slice_every);
    connect(&slices_, &QTimer::timeout, this, [this] {
        const auto now = steady_now();
        for (const auto& run : runs_) run->slice(now);
    });
}

FleetService::~FleetService() = default;

FleetService::Install FleetService::prepare_text(std::string_view bytes, const std::string& destination) {
    if (auto why = destination_problem(destination)) return [why = *why] { return why; };
    return prepare(read_fleet_text(bytes, "flotta", "."), "flotta", destination, 0);
}

FleetService::Install FleetService::prepare_file(const std::string& path, const std::string& destination,
                                                 int interval) {
    if (auto why = destination_problem(destination)) return [why = *why] { return why; };
    return prepare(read_fleet_file(path), path, destination, interval);
}

FleetService::Install FleetService::prepare(FleetReading read, const std::string& file,
                                            const std::string& destination, int interval) {
    if (const auto* problem = std::get_if<FleetProblem>(&read)) return [why = problem->message()] { return why; };
    auto loaded = TrackedFleet::load(fleet_part(std::get<std::vector<FleetEntry>>(std::move(read)), part_, parts_),
                                     file, interval > 0 ? interval : interval_, seed_);
    if (const auto* problem = std::get_if<FleetProblem>(&loaded)) return [why = problem->message()] { return why; };
    // Shared: a std::function is copied.
    auto fleet = std::make_shared<TrackedFleet>(std::get<TrackedFleet>(std::move(loaded)));
    return [this, fleet, file, destination] { return install(std::move(*fleet), file, destination); };
}

// On the loop: the name resolver and the runs are the loop's.
std::string FleetService::install(TrackedFleet fleet, const std::string& file, const std::string& destination) {
    auto sender = make_report_sender(destination, resolver_, &steady_now);
    if (const auto* refused = std::get_if<std::string>(&sender)) return "--flotta-verso " + destination + ": " + *refused;
    auto run = std::make_unique<FleetRun>(std::move(fleet), std::move(std::get<std::unique_ptr<ReportSender>>(sender)),
                                          file, destination);
    const auto kept = std::find_if(runs_.begin(), runs_.end(),
                                   [&](const auto& r) { return r->summary().destination == destination; });
    const auto placed = static_cast<std::size_t>(kept - runs_.begin());
    if (kept != runs_.end()) {
        *kept = std::move(run);
    } else {
        runs_.push_back(std::move(run));
    }
    // Before start() the fleets are checked together, once.
    if (started_) {
        check_descriptors(placed);
        slices_.start();
    }
    return {};
}

void FleetService::start() {
    started_ = true;
    check_descriptors(0);
    if (!runs_.empty()) slices_.start();
}

void FleetService::stop() {
    started_ = false;
    slices_.stop();
}

void FleetService::second(double utc_seconds, std::chrono::nanoseconds span) {
    const auto now = steady_now();
    const double whole = std::floor(utc_seconds + 0.001);
    // A tick late into its second (the loop held) spreads its reports over
    // what is left of it, so that the next tick finds none left to send at
    // once; at most twice as fast as usual. Later than that (the process was
    // stopped, the machine stalled) the second's reports are skipped and
    // counted, as a stall's are.
    const double late = std::max(0.0, utc_seconds - whole);
    const std::chrono::nanoseconds left(std::llround(static_cast<double>(span.count()) * (1.0 - std::min(late, 0.5))));
    for (const auto& run : runs_) {
        run->second(std::llround(whole), now, left);
        if (late > 0.5) run->skip_rest();
    }
}

std::string FleetService::replace(std::string_view bytes, const std::string& destination) {
    return prepare_text(bytes, destination)();
}

bool FleetService::remove(const std::string& destination) {
    const auto erased = std::erase_if(runs_, [&](const auto& r) { return r->summary().destination == destination; });
    if (runs_.empty()) slices_.stop();
    return erased > 0;
}

void FleetService::check_descriptors(std::size_t first) const {
    const long limit = DescriptorReserve::limit();
    if (limit < 0 || !say_) return;
    long room = std::max(0L, limit - fleet_leaves_descriptors - open_before_);
    for (std::size_t n = 0; n < runs_.size(); ++n) {
        const FleetSummary s = runs_[n]->summary();
        const auto parsed = parse_destination(s.destination);
        if (!std::holds_alternative<Destination>(parsed)) continue;
        const auto wanted = static_cast<long>(connections_wanted(std::get<Destination>(parsed), s.devices));
        if (n >= first && wanted > room) {
            say_("vadrel: flotta " + s.file + " verso " + s.destination + ": " + std::to_string(wanted) +
                 " connessioni, ma il limite dei file aperti (" + std::to_string(limit) + ") ne lascia al più " +
                 std::to_string(room) + ": i dispositivi senza connessione saltano i rapporti (il limite si alza con ulimit -n)");
        }
        room = std::max(0L, room - wanted);
    }
}

std::vector<FleetSummary> FleetService::summaries() const {
    std::vector<FleetSummary> all;
    for (const auto& run : runs_) all.push_back(run->summary());
    return all;
}

TrackerOverview FleetService::overview() const {
    TrackerOverview all;
    for (const FleetSummary& s : summaries()) {
        const std::size_t colon = s.destination.find(':');
        all.devices += s.devices;
        all.sent += s.counts.sent;
        all.skipped += s.counts.skipped;
        all.servers.push_back({s.destination.substr(0, colon), s.destination.substr(colon + 1), s.file, s.devices,
                               s.counts.sent, s.counts.skipped, s.counts.connections, s.counts.state});
    }
    return all;
}

std::optional<DeviceState> FleetService::device(const std::string& id) const {
    for (const auto& run : runs_) {
        if (const auto found = run->fleet().find(id)) return run->fleet().state(*found);
    }
    return std::nullopt;
}

std::vector<DeviceState> FleetService::snapshot() const {
    std::vector<DeviceState> all;
    for (const auto& run : runs_) {
        for (std::size_t i = 0; i < run->fleet().size(); ++i) all.push_back(run->fleet().state(i));
    }
    return all;
}

std::size_t FleetService::devices() const {
    std::size_t count = 0;
    for (const auto& run : runs_) count += run->fleet().size();
    return count;
}

}  // namespace vadrel
