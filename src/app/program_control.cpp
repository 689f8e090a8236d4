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
    const Recordings& files = program_.recordings();
    if (files.recorder().recording()) s.outputs.push_back({"registrazione", files.recorder().path(), true, "", {}});
    if (const GpxTracks* tracks = files.tracks()) {
        s.outputs.push_back({"traccia", tracks->path(), !tracks->stopped(), tracks->problem(), {}});
    }
    if (files.replay().running()) s.outputs.push_back({"riproduzione", files.replay().path(), true, "", {}});

    s.receiver = program_.receiver();
    SimulatedClock& clock = program_.simulated_clock();
    s.clock = {clock.utc_text(), clock.rate(), clock.max(), clock.paused(), !clock.following_wall()};
    for (std::size_t n = 0; n < fleet_size; ++n) s.vehicles.push_back(entry(n));
    s.scenario = program_.scenario().state();
    s.pilot = pilot();
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

Result<> ProgramControl::patch_vehicle(std::size_t n, const VehiclePatch& patch) {
    // All or nothing: the identity and the values checked before anything changes.
    std::optional<AisSettings> identities;
    if (patch.ais) {
        auto patched = patched_ais(program_.ais(), n, *patch.ais);
        if (auto* bad = std::get_if<Refusal>(&patched)) return *bad;
        identities = std::get<AisSettings>(patched);
    }
    if (auto bad = vehicle_patch_problem(patch)) return *bad;
    auto refused = apply_vehicle_patch(program_.fleet(), n, patch, this);
    if (!refused && identities) return set_ais(*identities);
    if (!refused) tell_changed();
    if (refused) return *refused;
    return {};
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

Result<> ProgramControl::change_port(const PortChange& change) {
    Link& link = program_.link();
    // All checked before any is applied: a refused value changes nothing.
    if (change.number) {
        if (auto bad = port_number_problem(*change.number)) return *bad;
    }
    if (change.baud) {
        if (auto bad = baud_problem(*change.baud)) return *bad;
    }
    // A speed alone is the open port's: the link refuses it while none is open.
    if (change.baud && !change.number && !link.open()) {
        if (auto bad = link.set_baud(*change.baud, this)) return *bad;
    }
    if (change.number) {
        link.choose(*change.number, change.baud.value_or(link.baud()), this);
    } else if (change.baud) {
        link.set_baud(*change.baud, this);
    }
    if (change.transmitting) link.set_transmitting(*change.transmitting, this);
    tell_changed();
    return {};
}

AisSettings ProgramControl::ais() const { return program_.ais(); }

Result<> ProgramControl::change_clock(const ClockChange& change) {
    SimulatedClock& clock = program_.simulated_clock();
    if (change.rate && !(*change.rate >= SimulatedClock::slowest && *change.rate <= SimulatedClock::fastest)) {
        return Refusal{"velocita_tempo", "vuole un numero da 0.1 a 1000, oppure \"max\""};
    }
    if (change.max) {
        clock.set_max();
    } else if (change.rate) {
        clock.set_rate(*change.rate);
    }
    if (change.paused == true) clock.pause();
    if (change.paused == false) clock.resume();
    tell_changed();
    return {};
}

Result<> ProgramControl::set_ais(const AisSettings& settings) {
    const Result<> done = program_.ais_settings().change(settings, this);
    if (const Refusal* refused = done.refusal()) return Refusal{"ais", refused->reason};
    // Checked and in force, but not kept: the operator hears of it.
    if (!done) program_.say("vadrel: bersagli AIS non salvati: " + done.message());
    tell_changed();
    return {};
}

Result<std::vector<std::string>> ProgramControl::place_encounter(const EncounterAsk& ask) {
    auto done = program_.place_encounter(ask, this);
    if (auto* bad = std::get_if<Refusal>(&done)) return *bad;
    tell_changed();
    return std::get<std::vector<std::string>>(std::move(done));
}

StationsOnAir ProgramControl::stations() const { return program_.stations(); }

Result<std::vector<std::string>> ProgramControl::set_stations(const StationsOnAir& stations) {
    auto done = program_.set_stations(stations, this);
    if (auto* bad = std::get_if<Refusal>(&done)) return *bad;
    tell_changed();
    return std::get<std::vector<std::string>>(std::move(done));
}
InstrumentSettings ProgramControl::instruments() const { return program_.instrument_settings().value(); }

Result<> ProgramControl::set_instruments(const InstrumentSettings& settings) {
    const Result<> done = program_.instrument_settings().change(settings, this);
    if (done.refusal() != nullptr) return done;
    if (!done) program_.say("vadrel: strumenti di bordo non salvati: " + done.message());
    tell_changed();
    return {};
}

Result<> ProgramControl::set_transmission(bool on) {
    program_.link().set_transmitting(on, this);
    tell_changed();
    return {};
}

Result<> ProgramControl::set_mode(SendMode mode, std::optional<int> vehicles) {
    if (auto refused = change_mode(program_.fleet(), mode, vehicles, this)) return *refused;
    tell_changed();
    return {};
}

Result<> ProgramControl::set_receiver(const ReceiverOptions& options) {
    // The options are in force once checked; a vadrel.ini that cannot be
    // written is the operator's to hear of, not a refusal of the values.
    if (const Result<> kept = program_.receiver_settings().change(options, this); !kept) {
        program_.say("vadrel: opzioni del ricevitore non salvate: " + kept.message());
    }
    tell_changed();
    return {};
}

}  // namespace vadrel

namespace vadrel {

Result<> ProgramControl::give_route(std::size_t n, Route route, const FollowOptions& options) {
    if (auto why = program_.routes().give(n, std::move(route), options, this)) return Refusal{"percorso", *why};
    tell_changed();
    return {};
}

void ProgramControl::take_route(std::size_t n) {
    program_.routes().take_away(n, this);
    tell_changed();
}

const FollowedRoute* ProgramControl::route(std::size_t n) const { return program_.routes().route(n); }

RouteSummary ProgramControl::route_summary(std::size_t n) const { return program_.routes().summary(n); }

std::string ProgramControl::route_not_kept(std::size_t n) const { return program_.routes().not_kept(n); }

Result<> ProgramControl::play_scenario(const QByteArray& bytes) { return prepare_scenario(bytes)(); }

ControlTarget::ScenarioPlay ProgramControl::prepare_scenario(const QByteArray& bytes) {
    return playing(read_running_scenario(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
}

ControlTarget::ScenarioPlay ProgramControl::prepare_scenario_file(const std::string& path) {
    return playing(read_running_scenario_file(path));
}

ControlTarget::ScenarioPlay ProgramControl::playing(std::variant<ScenarioStart, ScenarioProblem> read) {
    if (auto* problem = std::get_if<ScenarioProblem>(&read)) {
        return [refusal = Refusal{problem->key.empty() ? "scenario" : problem->key, problem->message()}]() -> Result<> {
            return refusal;
        };
    }
    return [this, start = std::make_shared<ScenarioStart>(std::get<ScenarioStart>(std::move(read)))] {
        return apply_scenario(*start);
    };
}

Result<> ProgramControl::apply_scenario(const ScenarioStart& start) {
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
        if (Result<> done = set_mode(given("--modo") ? mode : state().mode, vehicles); !done) return done;
    }
    for (const auto& [n, patch] : o.vehicles_set) {
        if (Result<> done = patch_vehicle(n, patch); !done) return done;
    }
    if (given("--ais") || given("--ais-nave-propria") || given("--ais-statici-subito")) {
        if (Result<> done = set_ais(ais_per(ais(), o)); !done) return done;
    }
    if (const InstrumentSettings wanted = instruments_per(instruments(), o); wanted != instruments()) {
        if (Result<> done = set_instruments(wanted); !done) return done;
    }
    const ReceiverOptions receiver = receiver_for(program_.receiver(), o);
    if (receiver != program_.receiver()) {
        if (Result<> done = set_receiver(receiver); !done) return done;
    }
    if (o.pilot || o.pilot_turn_rate) {
        if (Result<> done = change_pilot(PilotChange{o.pilot, o.pilot_turn_rate}); !done) return done;
    }
    program_.scenario().play(start.scenario);
    tell_changed();
    return {};
}

TrackerOverview ProgramControl::tracker() const { return program_.fleets().overview(); }

std::optional<TrackedDeviceView> ProgramControl::tracked_device(const std::string& id) const {
    const auto device = program_.fleets().device(id);
    if (!device) return std::nullopt;
    return TrackedDeviceView{device->id,       device->lat,      device->lon,
                             device->course,   device->speed_kmh, device->interval,
                             device->last_report_ms};
}

Result<> ProgramControl::replace_fleet(const QByteArray& bytes, const std::string& destination) {
    return prepare_fleet(bytes, destination)();
}

ControlTarget::BodyPlay ProgramControl::prepare_fleet(const QByteArray& bytes, const std::string& destination) {
    auto put = program_.fleets().prepare_text(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                                         destination);
    return [put = std::move(put)]() -> Result<> {
        if (const std::string problem = put(); !problem.empty()) return Refusal{"flotta", problem};
        return {};
    };
}
std::optional<PilotState> ProgramControl::pilot() const {
    const PilotRun& run = program_.pilot();
    const Autopilot& pilot = run.pilot();
    const double now = run.now();
    PilotState state{pilot.on(),      pilot.turn_rate(),     pilot.variation(), pilot.asked(), pilot.waypoint(),
                     pilot.source(),  pilot.since_last(now), std::nullopt,      'R',           run.status()};
    if (const auto& xte = pilot.cross_track()) {
        state.cross_track_nm = xte->nautical_miles;
        state.steer = xte->steer;
    }
    return state;
}

Result<> ProgramControl::change_pilot(const PilotChange& change) {
    PilotRun& run = program_.pilot();
    if (change.turn_rate) {
        if (auto refused = run.set_turn_rate(*change.turn_rate)) return *refused;
    }
    if (change.on) run.set_on(*change.on);
    return {};
}

}  // namespace vadrel
