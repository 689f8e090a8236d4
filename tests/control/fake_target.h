#pragma once
// The simulator as the control interface's tests see it: a real fleet (its
// change path, its refusals, its mode and vehicles in use), the receiver
// options under the menu's rules, and the rest as plain values the tests set.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "control/control_target.h"
#include "control/control_json.h"
#include "control/fleet_state.h"
#include "control/vehicle_patch.h"
#include "fleet/fleet.h"
#include "link/link.h"

namespace vadrel::testing {

// A serial port on which COM 3 never opens, and its devices.
class FakeSerial final : public SerialPort, public PortDevices {
public:
    bool is_open() const override { return open_; }
    void open() override {
        if (number_ == 3) throw PortFailure(8002, "/dev/ttyS2: porta inesistente");
        open_ = true;
    }
    void close() override { open_ = false; }
    void set_port_number(std::int16_t number) override { number_ = number; }
    void set_settings(const std::string& settings) override { settings_ = settings; }
    std::string settings() const override { return settings_; }
    bool write(std::string_view) override { return open_; }
    void use_device(int, const std::string&) override {}
    std::string describe(int number) const override { return "/dev/ttyS" + std::to_string(number - 1); }

private:
    bool open_ = false;
    std::int16_t number_ = 1;
    std::string settings_ = "4800,N,8,1";
};

class FakeTarget final : public ControlTarget {
public:
    Fleet fleet;
    bool replay = false;
    ReceiverOptions receiver;
    AisSettings ais_settings;
    int changes = 0;  // changes done, refused ones not counted
    ClockState clock{"2016-12-31T23:59:60.000Z"};

    ControlState state() const override {
        ControlState s;
        s.version = "1.4";
        take_fleet_state(s, fleet);
        s.transmitting = link.transmitting();
        s.replaying = replay;
        s.port = {2, "/dev/pts/9", 4800, true, "Tx OK", ""};
        s.outputs.push_back({"tcp", "127.0.0.1:10110", true, "", {"127.0.0.1:40312"}});
        s.receiver = receiver;
        s.clock = clock;
        s.pilot = pilot_state;
        for (std::size_t n = 0; n < fleet_size; ++n) s.vehicles.push_back(entry(n));
        return s;
    }
    Vehicle vehicle(std::size_t n) const override { return fleet.vehicle(n); }
    bool replaying() const override { return replay; }

    Result<> patch_vehicle(std::size_t n, const VehiclePatch& patch) override {
        AisSettings next = ais_settings;
        if (patch.ais) {
            auto patched = patched_ais(ais_settings, n, *patch.ais);
            if (auto* bad = std::get_if<Refusal>(&patched)) return *bad;
            next = std::get<AisSettings>(patched);
        }
        if (auto bad = vehicle_patch_problem(patch)) return *bad;
        auto refused = apply_vehicle_patch(fleet, n, patch, this);
        if (!refused) ais_settings = next;
        changes += refused ? 0 : 1;
        if (refused) return *refused;
        return {};
    }
    AisSettings ais() const override { return ais_settings; }
    Result<> change_clock(const ClockChange& change) override {
        if (change.rate && !(*change.rate >= 0.1 && *change.rate <= 1000.0)) {
            return Refusal{"velocita_tempo", "da 0.1 a 1000"};
        }
        if (change.rate) clock.rate = *change.rate;
        clock.max = change.max || (clock.max && !change.rate);
        if (change.paused) clock.paused = *change.paused;
        clock.simulated = true;
        return {};
    }
    Result<> set_ais(const AisSettings& settings) override {
        ais_settings = settings;
        ++changes;
        return {};
    }
    // The encounter's geometry on the fake fleet: vehicle placed, or refused.
    Result<std::vector<std::string>> place_encounter(const EncounterAsk& ask) override {
        const std::size_t own = fleet.current();
        const auto placed = vadrel::place_encounter(fleet.vehicle(own), own, fleet.vehicle(ask.vehicle), ask);
        if (const auto* bad = std::get_if<Refusal>(&placed)) return *bad;
        fleet.place(ask.vehicle, std::get<Vehicle>(placed).lat, std::get<Vehicle>(placed).lon, this);
        ++changes;
        return std::vector<std::string>{"posto"};
    }
    InstrumentSettings instrument_settings;
    InstrumentSettings instruments() const override { return instrument_settings; }
    Result<> set_instruments(const InstrumentSettings& settings) override {
        instrument_settings = settings;
        ++changes;
        return {};
    }
    VehicleEntry entry(std::size_t n) const override {
        VehicleEntry e{n, fleet.vehicle(n)};
        e.mmsi = mmsi_text(ais_settings.vehicles.at(n).mmsi);
        e.ais = ais_settings.vehicles.at(n);
        e.in_use = fleet.in_use(n);
        return e;
    }
    Result<> set_transmission(bool on) override {
        link.set_transmitting(on, this);
        ++changes;
        return {};
    }
    // The serial link is a real one on a fake port (COM 3 fails to open).
    PortState port() const override {
        PortState p;
        p.number = link.port();
        p.device = link.device(p.number);
        p.baud = link.baud();
        p.open = link.open();
        p.status = link.caption();
        p.problem = link.problem();
        p.transmitting = link.transmitting();
        return p;
    }
    Result<> change_port(const PortChange& change) override {
        if (change.number) {
            if (auto bad = link.choose(*change.number, change.baud.value_or(link.baud()), this)) return *bad;
        } else if (change.baud) {
            if (auto bad = link.set_baud(*change.baud, this)) return *bad;
        }
        if (change.transmitting) link.set_transmitting(*change.transmitting, this);
        ++changes;
        return {};
    }
    Result<> set_mode(SendMode m, std::optional<int> vehicles) override {
        auto refused = change_mode(fleet, m, vehicles, this);
        changes += refused ? 0 : 1;
        if (refused) return *refused;
        return {};
    }
    Result<> set_receiver(const ReceiverOptions& options) override {
        receiver = options;
        ++changes;
        return {};
    }
    Result<> give_route(std::size_t n, Route route, const FollowOptions& options) override {
        if (auto why = routes.give(n, std::move(route), options, this)) return Refusal{"percorso", *why};
        ++changes;
        return {};
    }
    void take_route(std::size_t n) override {
        routes.take_away(n, this);
        ++changes;
    }
    const FollowedRoute* route(std::size_t n) const override { return routes.route(n); }
    RouteSummary route_summary(std::size_t n) const override { return routes.summary(n); }
    std::string route_not_kept(std::size_t n) const override { return routes.not_kept(n); }

    // The tracked fleet as plain values; the last fleet file offered.
    TrackerOverview tracker() const override { return fleet_overview; }
    std::optional<TrackedDeviceView> tracked_device(const std::string& id) const override {
        for (const TrackedDeviceView& d : tracked) {
            if (d.id == id) return d;
        }
        return std::nullopt;
    }
    Result<> replace_fleet(const QByteArray& bytes, const std::string& destination) override {
        if (bytes.isEmpty()) return Refusal{"flotta", "flotta: il file è vuoto"};
        offered_fleet = {bytes.toStdString(), destination};
        return {};
    }
    // Read on the server's worker as a scenario is (`reading`), put in place on the loop.
    BodyPlay prepare_fleet(const QByteArray& bytes, const std::string& destination) override {
        if (reading) reading();
        return [this, bytes, destination] { return replace_fleet(bytes, destination); };
    }
    TrackerOverview fleet_overview;
    std::vector<TrackedDeviceView> tracked;
    std::pair<std::string, std::string> offered_fleet;
    // A scenario's bytes: read on the server's worker (where `reading`, when
    // set, may hold it), played on the loop into `scenarios`.
    std::function<void()> reading;
    std::vector<std::string> scenarios;
    ScenarioPlay prepare_scenario(const QByteArray& bytes) override {
        if (reading) reading();
        return [this, text = bytes.toStdString()]() -> Result<> {
            if (text.starts_with("pippo")) return Refusal{"pippo", "scenario:1: pippo: chiave sconosciuta"};
            scenarios.push_back(text);
            ++changes;
            return {};
        };
    }
    // An autopilot that has heard one APB; nothing: a simulator without one.
    std::optional<PilotState> pilot_state =
        PilotState{true, 3.0, std::nullopt, 90.0, "WP1", "tcp 127.0.0.1:40312", 1.5, 0.1, 'R', "Pilota: rotta 090 verso WP1"};
    std::optional<PilotState> pilot() const override { return pilot_state; }
    Result<> change_pilot(const PilotChange& change) override {
        if (!pilot_state) return ControlTarget::change_pilot(change);
        if (change.turn_rate && (*change.turn_rate <= 0 || *change.turn_rate > 180))
            return Refusal{"virata", "la virata va da più di 0 a 180 gradi al secondo"};
        if (change.turn_rate) pilot_state->turn_rate = *change.turn_rate;
        if (change.on) pilot_state->on = *change.on;
        ++changes;
        return {};
    }

    VehicleRoutes routes{fleet};
    FakeSerial serial;
    Link link{serial, serial};
    FakeTarget() { link.start(nullptr); }
};

}  // namespace vadrel::testing
