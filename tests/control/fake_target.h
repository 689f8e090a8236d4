#pragma once
// The simulator as the control interface's tests see it: a real fleet (its
// change path and its refusals), the receiver options under the menu's
// rules, and the rest as plain values the tests set.

#include <optional>
#include <string>

#include "control/control_target.h"
#include "control/vehicle_patch.h"
#include "fleet/fleet.h"

namespace vadrel::testing {

class FakeTarget final : public ControlTarget {
public:
    Fleet fleet;
    bool transmitting = true;
    bool replay = false;
    SendMode mode = SendMode::gps;
    int vehicles_in_use = 1;
    OpzioniRicevitore receiver;
    AisSettings ais_settings;
    int changes = 0;  // changes done, refused ones not counted

    ControlState state() const override {
        ControlState s;
        s.version = "1.4";
        s.mode = mode;
        s.transmitting = transmitting;
        s.replaying = replay;
        s.vehicles_in_use = vehicles_in_use;
        s.port = {2, "/dev/pts/9", 4800, true, "Tx OK", ""};
        s.outputs.push_back({"tcp", "127.0.0.1:10110", true, "", {"127.0.0.1:40312"}});
        s.receiver = receiver;
        for (std::size_t n = 0; n < fleet_size; ++n) s.vehicles.push_back({n, fleet.vehicle(n)});
        return s;
    }
    Vehicle vehicle(std::size_t n) const override { return fleet.vehicle(n); }
    bool replaying() const override { return replay; }

    std::optional<Refusal> patch_vehicle(std::size_t n, const VehiclePatch& patch) override {
        AisSettings next = ais_settings;
        if (patch.ais) {
            auto patched = patched_ais(ais_settings, n, *patch.ais);
            if (auto* bad = std::get_if<Refusal>(&patched)) return *bad;
            next = std::get<AisSettings>(patched);
        }
        if (auto bad = vehicle_patch_problem(patch)) return bad;
        auto refused = apply_vehicle_patch(fleet, n, patch, this);
        if (!refused) ais_settings = next;
        changes += refused ? 0 : 1;
        return refused;
    }
    AisSettings ais() const override { return ais_settings; }
    std::optional<Refusal> set_ais(const AisSettings& settings) override {
        ais_settings = settings;
        ++changes;
        return std::nullopt;
    }
    VehicleEntry entry(std::size_t n) const override {
        VehicleEntry e{n, fleet.vehicle(n)};
        e.mmsi = mmsi_text(ais_settings.mezzi.at(n).mmsi);
        e.ais = ais_settings.mezzi.at(n);
        return e;
    }
    std::optional<Refusal> set_transmission(bool on) override {
        transmitting = on;
        ++changes;
        return std::nullopt;
    }
    std::optional<Refusal> set_mode(SendMode m, std::optional<int> vehicles) override {
        if (vehicles && m == SendMode::multi && *vehicles > 19) {
            return Refusal{"mezzi", "in multiutente i mezzi sono al massimo 19"};
        }
        mode = m;
        if (vehicles) vehicles_in_use = *vehicles;
        ++changes;
        return std::nullopt;
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

    VehicleRoutes routes{fleet};
};

}  // namespace vadrel::testing
