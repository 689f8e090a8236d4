#pragma once
// The simulator as the control interface's tests see it: a real fleet (its
// change path, its refusals, its mode and vehicles in use), the receiver
// options under the menu's rules, and the rest as plain values the tests set.

#include <optional>
#include <string>

#include "control/control_target.h"
#include "control/control_json.h"
#include "control/fleet_state.h"
#include "control/vehicle_patch.h"
#include "fleet/fleet.h"

namespace vadrel::testing {

class FakeTarget final : public ControlTarget {
public:
    Fleet fleet;
    bool replay = false;
    OpzioniRicevitore receiver;
    int changes = 0;  // changes done, refused ones not counted

    ControlState state() const override {
        ControlState s;
        s.version = "1.4";
        take_fleet_state(s, fleet);
        s.replaying = replay;
        s.port = {2, "/dev/pts/9", 4800, true, "Tx OK", ""};
        s.outputs.push_back({"tcp", "127.0.0.1:10110", true, "", {"127.0.0.1:40312"}});
        s.receiver = receiver;
        for (std::size_t n = 0; n < fleet_size; ++n) s.vehicles.push_back(entry(n));
        return s;
    }
    Vehicle vehicle(std::size_t n) const override { return fleet.vehicle(n); }
    VehicleEntry entry(std::size_t n) const override {
        VehicleEntry e{n, fleet.vehicle(n)};
        e.in_use = fleet.in_use(n);
        return e;
    }
    bool replaying() const override { return replay; }

    std::optional<Refusal> patch_vehicle(std::size_t n, const VehiclePatch& patch) override {
        auto refused = apply_vehicle_patch(fleet, n, patch, this);
        changes += refused ? 0 : 1;
        return refused;
    }
    std::optional<Refusal> set_transmission(bool on) override {
        fleet.set_transmitting(on, this);
        ++changes;
        return std::nullopt;
    }
    std::optional<Refusal> set_mode(SendMode m, std::optional<int> vehicles) override {
        auto refused = change_mode(fleet, m, vehicles, this);
        changes += refused ? 0 : 1;
        return refused;
    }
    std::optional<Refusal> set_receiver(const OpzioniRicevitore& options) override {
        receiver = options;
        ++changes;
        return std::nullopt;
    }
    std::optional<Refusal> give_route(std::size_t n, Route route, const FollowOptions& options) override {
        if (auto why = routes.give(n, std::move(route), options, this)) return Refusal{"percorso", *why};
        ++changes;
        return std::nullopt;
    }
    void take_route(std::size_t n) override {
        routes.take_away(n, this);
        ++changes;
    }
    const FollowedRoute* route(std::size_t n) const override { return routes.route(n); }
    RouteSummary route_summary(std::size_t n) const override { return routes.summary(n); }
    std::string route_not_kept(std::size_t n) const override { return routes.not_kept(n); }

    VehicleRoutes routes{fleet};
};

}  // namespace vadrel::testing
