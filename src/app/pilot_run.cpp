#include "pilot_run.h"

namespace vadrel {

PilotRun::PilotRun(Fleet& fleet, Clock& clock, PortRouter& port, NetworkOutputs& network)
    : fleet_(fleet), clock_(clock), port_(port), network_(network) {
    port_.set_lines(this);
    network_.set_lines(this);
    udp_.set_lines(this);
}

PilotRun::~PilotRun() {
    port_.set_lines(nullptr);
    network_.set_lines(nullptr);
}

void PilotRun::start(const Options& options, const Say& say) {
    if (options.pilot_turn_rate) pilot_.set_turn_rate(*options.pilot_turn_rate);
    if (options.pilot_variation) pilot_.set_variation(*options.pilot_variation);
    if (options.pilot) set_on(*options.pilot);
    if (options.udp_listen) {
        if (const std::string problem = udp_.start(*options.udp_listen); !problem.empty()) {
            say("vadrel: UDP " + options.udp_listen->text() + " non in ascolto: " + problem);
        } else {
            say("vadrel: UDP in ascolto su " + udp_.address() + " per il pilota automatico");
        }
    }
    if (pilot_.on()) say("vadrel: " + status());
}

void PilotRun::step() {
    udp_.next_second();
    port_.take_input();
    const std::size_t n = fleet_.current();
    const Vehicle& vehicle = fleet_.vehicle(n);
    const std::optional<double> course =
        pilot_.step(vehicle.course, {vehicle.latitude_degrees(), vehicle.longitude_degrees()}, now());
    if (course) fleet_.set_course(n, *course, this);
}

void PilotRun::set_on(bool on) {
    pilot_.set_on(on);
    tell();
}

std::optional<Refusal> PilotRun::set_turn_rate(double degrees_per_second) {
    auto refused = pilot_.set_turn_rate(degrees_per_second);
    if (!refused) tell();
    return refused;
}

std::string PilotRun::status() const { return pilot_.status(clock_.steady_seconds()); }

void PilotRun::line(std::string_view text, std::string_view source) { pilot_.hear(text, source, now()); }

void PilotRun::tell() {
    for (std::size_t i = 0; i < watchers_.size(); ++i) watchers_[i].second();
}

}  // namespace vadrel
