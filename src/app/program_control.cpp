#include "program_control.h"

#include <algorithm>

#include "app/program.h"
#include "ais/identity.h"
#include "control/vehicle_patch.h"
#include "panel/link.h"
#include "vadrel/version.h"

namespace vadrel {

namespace {

SendMode send_mode(Mode mode) {
    switch (mode) {
    case Mode::radio: return SendMode::radio;
    case Mode::multi_user: return SendMode::multi;
    case Mode::gps_standard: break;
    }
    return SendMode::gps;
}

Mode fleet_mode(SendMode mode) {
    switch (mode) {
    case SendMode::radio: return Mode::radio;
    case SendMode::multi: return Mode::multi_user;
    case SendMode::gps: break;
    }
    return Mode::gps_standard;
}

// The baud of a settings text, "4800,N,8,1" -> 4800.
int baud_of(const std::string& settings) {
    try {
        return std::stoi(settings);
    } catch (const std::exception&) {
        return 0;
    }
}

}  // namespace

ControlState ProgramControl::state() const {
    const Fleet& fleet = program_.fleet();
    PanelForm& form = program_.form();
    ControlState s;
    s.version = versione;
    s.mode = send_mode(fleet.mode());
    s.transmitting = fleet.transmitting();
    s.replaying = replaying();
    s.current_vehicle = fleet.current();
    s.vehicles_in_use = fleet.mode() == Mode::multi_user ? std::max(1, fleet.cycle()) : 1;

    s.port.number = selected_port(form);
    if (s.port.number != 0) s.port.device = program_.port_in_use(s.port.number);
    s.port.baud = baud_of(selected_settings(form));
    s.port.open = form.platform.port.is_open();
    s.port.status = form.status_label.caption();
    s.port.problem = program_.transmitter().port_problem();

    const NetworkOutputs& network = program_.network();
    if (network.tcp().started()) {
        OutputState tcp{"tcp", network.tcp().address(), network.tcp().listening(), network.tcp().failure(), {}};
        for (const auto& client : network.tcp().clients()) tcp.clients.push_back(client.peer);
        s.outputs.push_back(std::move(tcp));
    }
    for (const auto& target : network.udp().targets()) {
        s.outputs.push_back({"udp", target.target, target.failure.empty(), target.failure, {}});
    }
    if (program_.recorder().recording()) s.outputs.push_back({"registrazione", program_.recorder().path(), true, "", {}});
    if (const GpxTracks* tracks = program_.tracks()) {
        s.outputs.push_back({"traccia", tracks->path(), !tracks->stopped(), tracks->problem(), {}});
    }
    if (program_.replay().running()) s.outputs.push_back({"riproduzione", program_.replay().path(), true, "", {}});

    s.receiver = program_.receiver();
    for (std::size_t n = 0; n < fleet_size; ++n) s.vehicles.push_back(entry(n));
    return s;
}

VehicleEntry ProgramControl::entry(std::size_t n) const {
    VehicleEntry e{n, program_.fleet().vehicle(n)};
    if (const auto sent = program_.transmitter().reported(n)) {
        e.sent_lat = sent->lat;
        e.sent_lon = sent->lon;
    }
    e.mmsi = mmsi_text(program_.ais().mezzi[n].mmsi);
    e.ais = program_.ais().mezzi[n];
    e.stream_port = program_.network().streams().port_of(n);
    return e;
}

Vehicle ProgramControl::vehicle(std::size_t n) const { return program_.fleet().vehicle(n); }

bool ProgramControl::replaying() const { return program_.transmitter().replaying(); }

std::vector<VehicleEntry> ProgramControl::vehicles_in_use() const {
    const Fleet& fleet = program_.fleet();
    std::vector<VehicleEntry> in_use;
    for (std::size_t n = 0; n < fleet_size; ++n) {
        if (fleet.in_use(n)) in_use.push_back(entry(n));
    }
    return in_use;
}

std::optional<Refusal> ProgramControl::patch_vehicle(std::size_t n, const VehiclePatch& patch) {
    // All or nothing: the identity and the values checked before anything changes.
    std::optional<AisSettings> identities;
    if (patch.ais) {
        auto patched = patched_ais(program_.ais(), n, *patch.ais);
        if (auto* bad = std::get_if<Refusal>(&patched)) return *bad;
        identities = std::get<AisSettings>(patched);
    }
    if (auto bad = vehicle_patch_problem(patch)) return bad;
    auto refused = apply_vehicle_patch(program_.fleet(), n, patch, this);
    if (!refused && identities) return set_ais(*identities);
    if (!refused) tell_changed();
    return refused;
}

AisSettings ProgramControl::ais() const { return program_.ais(); }

std::optional<Refusal> ProgramControl::set_ais(const AisSettings& settings) {
    if (const std::string problem = program_.change_ais(settings); !problem.empty()) {
        // Checked and in force, but not kept: the operator hears of it.
        if (program_.ais() == settings) {
            program_.say("vadrel: bersagli AIS non salvati: " + problem);
        } else {
            return Refusal{"ais", problem};
        }
    }
    tell_changed();
    return std::nullopt;
}

std::optional<Refusal> ProgramControl::set_transmission(bool on) {
    program_.fleet().set_transmitting(on, this);
    tell_changed();
    return std::nullopt;
}

std::optional<Refusal> ProgramControl::set_mode(SendMode mode, std::optional<int> vehicles) {
    if (vehicles && (*vehicles < 1 || *vehicles > Fleet::largest_cycle)) {
        return Refusal{"mezzi", "il ciclo multiutente serve da 1 a " + std::to_string(Fleet::largest_cycle) +
                                    " mezzi, non " + std::to_string(*vehicles)};
    }
    Fleet& fleet = program_.fleet();
    fleet.set_mode(fleet_mode(mode), this);
    if (vehicles) fleet.set_cycle(*vehicles, this);
    tell_changed();
    return std::nullopt;
}

std::optional<Refusal> ProgramControl::set_receiver(const OpzioniRicevitore& options) {
    // The options are in force once checked; a vadrel.ini that cannot be
    // written is the operator's to hear of, not a refusal of the values.
    if (const std::string problem = program_.change_receiver(options); !problem.empty()) {
        program_.say("vadrel: opzioni del ricevitore non salvate: " + problem);
    }
    tell_changed();
    return std::nullopt;
}

}  // namespace vadrel

namespace vadrel {

std::optional<Refusal> ProgramControl::give_route(std::size_t n, Route route, const FollowOptions& options) {
    if (auto why = program_.routes().give(n, std::move(route), options, this)) return Refusal{"percorso", *why};
    tell_changed();
    return std::nullopt;
}

void ProgramControl::take_route(std::size_t n) {
    program_.routes().take_away(n, this);
    tell_changed();
}

const FollowedRoute* ProgramControl::route(std::size_t n) const { return program_.routes().route(n); }

RouteSummary ProgramControl::route_summary(std::size_t n) const { return program_.routes().summary(n); }

}  // namespace vadrel
