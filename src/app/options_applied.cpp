// The command line's choices applied: over vadrel.ini's groups for this
// run, and to the fleet and the link at start-up.

#include "options.h"

#include <stdexcept>

#include "fleet/start_values.h"

namespace vadrel {

namespace {

// A listening address of the command line over the file's: given, it is on
// there; "no" switches it off, the file's address kept for later.
void take_listener(const std::optional<Endpoint>& given, bool off, bool& on, std::string& address, int& port) {
    if (given) {
        on = true;
        address = given->host;
        port = given->port;
    }
    if (off) on = false;
}

}  // namespace

OutputSettings outputs_for(const OutputSettings& file, const Options& options) {
    OutputSettings settings = file;
    take_listener(options.tcp, options.no_tcp, settings.tcp, settings.tcp_address, settings.tcp_port);
    if (options.tcp_max) settings.tcp_max = *options.tcp_max;
    if (!options.udp.empty()) {
        settings.udp = true;
        settings.udp_targets.clear();
        for (const Endpoint& target : options.udp) settings.udp_targets.push_back(target.text());
    }
    if (options.no_udp) settings.udp = false;
    take_listener(options.tcp_vehicles, options.no_tcp_vehicles, settings.streams, settings.streams_address,
                  settings.streams_port);
    if (!options.tcp_to.empty()) {
        settings.send_to.clear();
        for (const Endpoint& server : options.tcp_to) settings.send_to.push_back(server.text());
    }
    if (options.no_tcp_to) settings.send_to.clear();
    if (options.tcp_to_vehicles) settings.streams_to = options.tcp_to_vehicles->text();
    if (options.no_tcp_to_vehicles) settings.streams_to.clear();
    return settings;
}

ControlSettings control_for(const ControlSettings& file, const Options& options) {
    ControlSettings settings = file;
    take_listener(options.control, options.no_control, settings.on, settings.address, settings.port);
    return settings;
}

ReceiverOptions receiver_for(const ReceiverOptions& from_file, const Options& options) {
    ReceiverOptions r = from_file;
    r.utc = options.utc.value_or(r.utc);
    r.real_motion = options.real_motion.value_or(r.real_motion);
    r.full_set = options.full_set.value_or(r.full_set);
    r.altitude = options.altitude.value_or(r.altitude);
    r.no_fix = options.no_fix.value_or(r.no_fix);
    if (options.faults && options.faults->enabled) r.faults = *options.faults;
    // "--guasti no" switches them off and keeps the file's rates for later
    if (options.faults && !options.faults->enabled) r.faults.enabled = false;
    SkyOptions& c = r.sky_options;
    c.satellites = options.satellites.value_or(c.satellites);
    c.mask = options.mask.value_or(c.mask);
    c.obstructions = options.obstructions.value_or(c.obstructions);
    c.noise = options.noise.value_or(c.noise);
    c.rate = options.rate.value_or(c.rate);
    c.talker = options.talker.value_or(c.talker);
    c.sentences = options.sentence_list.value_or(c.sentences);
    return r;
}

AisSettings ais_per(const AisSettings& from_file, const Options& options) {
    AisSettings a = from_file;
    a.enabled = options.ais.value_or(a.enabled);
    a.own_ship = options.ais_own_ship.value_or(a.own_ship);
    a.statics_at_once = options.ais_statics_at_once.value_or(a.statics_at_once);
    return a;
}

InstrumentSettings instruments_per(const InstrumentSettings& from_file, const Options& options) {
    InstrumentSettings s = from_file;
    s.enabled = options.instruments.value_or(s.enabled);
    s.wind = options.wind.value_or(s.wind);
    s.current = options.current.value_or(s.current);
    if (options.depth) {
        s.depth = options.depth->depth;
        s.transducer_offset = options.depth->offset.value_or(s.transducer_offset);
    }
    s.water_temperature = options.water_temperature.value_or(s.water_temperature);
    return s;
}

std::map<int, PortMapping> ports_for(const PortSettings& file, const Options& options) {
    std::map<int, PortMapping> ports = options.com;
    for (const auto& [number, device] : file.devices)
        ports.try_emplace(number, device == virtual_device ? PortMapping{true, {}} : PortMapping{false, device});
    return ports;
}

void apply_start_options(Fleet& fleet, Link& link, const Options& options, Fleet::Origin origin) {
    // Checked when the options were read: nothing is refused here.
    if (auto bad = link.set_start(options.com_port, options.baud)) throw std::invalid_argument(bad->reason);
    switch (options.mode) {
        case Options::Mode::gps: fleet.set_mode(Mode::gps_standard, origin); break;
        case Options::Mode::radio: fleet.set_mode(Mode::radio, origin); break;
        case Options::Mode::multi: fleet.set_mode(Mode::multi_user, origin); break;
    }
    if (options.vehicles) fleet.set_cycle(vehicles_in_cycle(*options.vehicles), origin);
}

}  // namespace vadrel
