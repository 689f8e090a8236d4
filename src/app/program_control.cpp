#include "program_control.h"

#include <algorithm>

#include "app/program.h"
#include "app/scenario_run.h"
#include "app/scenario_start.h"
#include "ais/identity.h"
#include "control/control_json.h"
#include "control/fleet_state.h"
#include "control/vehicle_patch.h"
#include "fleet/start_values.h"
#include "vadrel/version.h"

namespace vadrel {

ControlState ProgramControl::state() const {
    const Fleet& fleet = program_.fleet();
    ControlState s;
    s.version = program_version;
    take_fleet_state(s, fleet);
    s.transmitting = program_.link().transmitting();
    s.replaying = replaying();

    s.port = port();

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
    s.scenario = program_.scenario().state();
    return s;
}

VehicleEntry ProgramControl::entry(std::size_t n) const {
    VehicleEntry e{n, program_.fleet().vehicle(n)};
    if (const auto sent = program_.transmitter().reported(n)) {
        e.sent_lat = sent->lat;
        e.sent_lon = sent->lon;
    }
    e.mmsi = mmsi_text(program_.ais().vehicles[n].mmsi);
    e.ais = program_.ais().vehicles[n];
    e.stream_port = program_.network().streams().port_of(n);
    e.stream_problem = program_.network().streams().failure_of(n);
    e.in_use = program_.fleet().in_use(n);
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

PortState ProgramControl::port() const {
    const Link& link = program_.link();
    const Transmitter& transmitter = program_.transmitter();
    PortState port;
    port.number = link.port();
    if (port.number != 0) port.device = program_.port_in_use(port.number);
    port.baud = link.baud();
    port.open = link.open();
    port.transmitting = link.transmitting();
    // What the panel's label shows over the link's own caption meanwhile.
    if (transmitter.replaying()) {
        port.status = "Riproduce";
    } else if (link.transmitting() && link.open() && transmitter.without_fix()) {
        port.status = "Senza fix";
    } else {
        port.status = link.caption();
    }
    port.problem = link.problem();
    return port;
}

std::optional<Refusal> ProgramControl::change_port(const PortChange& change) {
    Link& link = program_.link();
    // All checked before any is applied: a refused value changes nothing.
    if (change.number) {
        if (auto bad = port_number_problem(*change.number)) return bad;
    }
    if (change.baud) {
        if (auto bad = baud_problem(*change.baud)) return bad;
    }
    // A speed alone is the open port's: the link refuses it while none is open.
    if (change.baud && !change.number && !link.open()) {
        if (auto bad = link.set_baud(*change.baud, this)) return bad;
    }
    if (change.number) {
        link.choose(*change.number, change.baud.value_or(link.baud()), this);
    } else if (change.baud) {
        link.set_baud(*change.baud, this);
    }
    if (change.transmitting) link.set_transmitting(*change.transmitting, this);
    tell_changed();
    return std::nullopt;
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
    program_.link().set_transmitting(on, this);
    tell_changed();
    return std::nullopt;
}

std::optional<Refusal> ProgramControl::set_mode(SendMode mode, std::optional<int> vehicles) {
    if (auto refused = change_mode(program_.fleet(), mode, vehicles, this)) return refused;
    tell_changed();
    return std::nullopt;
}

std::optional<Refusal> ProgramControl::set_receiver(const ReceiverOptions& options) {
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

std::string ProgramControl::route_not_kept(std::size_t n) const { return program_.routes().not_kept(n); }

std::optional<Refusal> ProgramControl::play_scenario(const QByteArray& bytes) {
    auto read = read_running_scenario(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (auto* problem = std::get_if<ScenarioProblem>(&read)) {
        return Refusal{problem->key.empty() ? "scenario" : problem->key, problem->message()};
    }
    const ScenarioStart& start = std::get<ScenarioStart>(read);
    const Options& o = start.options;
    // Each value was checked as it was read: what follows is applied whole.
    const auto given = [&](const std::string& option) {
        return std::any_of(start.scenario.arguments.begin(), start.scenario.arguments.end(),
                           [&](const ScenarioArgument& a) {
                               const std::string& word = a.words.front();
                               return word.substr(0, word.find('=')) == option;
                           });
    };
    if (given("--modo") || given("--mezzi")) {
        const SendMode mode = o.mode == Options::Mode::radio   ? SendMode::radio
                              : o.mode == Options::Mode::multi ? SendMode::multi
                                                               : SendMode::gps;
        const std::optional<int> vehicles = o.vehicles ? std::optional(vehicles_in_cycle(*o.vehicles)) : std::nullopt;
        if (auto bad = set_mode(given("--modo") ? mode : state().mode, vehicles)) return bad;
    }
    for (const auto& [n, patch] : o.vehicles_set) {
        if (auto bad = patch_vehicle(n, patch)) return bad;
    }
    if (given("--ais") || given("--ais-nave-propria") || given("--ais-statici-subito")) {
        if (auto bad = set_ais(ais_per(ais(), o))) return bad;
    }
    const ReceiverOptions receiver = receiver_for(program_.receiver(), o);
    if (receiver != program_.receiver()) set_receiver(receiver);
    program_.scenario().play(start.scenario);
    tell_changed();
    return std::nullopt;
}

}  // namespace vadrel
