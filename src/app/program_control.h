#pragma once
// The program as the control interface sees it: the state read from the
// fleet, the transmitter, the port and the outputs; every change through the
// fleet's change path (with this object as its origin, so the panel draws it
// at once and the table's save keeps it as it keeps a panel edit) or through
// the program's own operations (the receiver options, kept in vadrel.ini as
// the menu keeps them).
//
//   ProgramControl target(program);
//   ControlServer server(target);

#include <functional>

#include "app/scenario_start.h"
#include "control/control_target.h"

namespace vadrel {

class Program;

class ProgramControl final : public ControlTarget {
public:
    explicit ProgramControl(Program& program) : program_(program) {}

    ControlState state() const override;
    Vehicle vehicle(std::size_t n) const override;
    bool replaying() const override;
    Result<> patch_vehicle(std::size_t n, const VehiclePatch& patch) override;
    Result<> set_transmission(bool on) override;
    PortState port() const override;
    Result<> change_port(const PortChange& change) override;
    Result<> set_mode(SendMode mode, std::optional<int> vehicles) override;
    Result<> set_receiver(const ReceiverOptions& options) override;
    AisSettings ais() const override;
    Result<> set_ais(const AisSettings& settings) override;
    InstrumentSettings instruments() const override;
    Result<> set_instruments(const InstrumentSettings& settings) override;
    Result<> change_clock(const ClockChange& change) override;
    Result<> give_route(std::size_t n, Route route, const FollowOptions& options) override;
    void take_route(std::size_t n) override;
    const FollowedRoute* route(std::size_t n) const override;
    RouteSummary route_summary(std::size_t n) const override;
    std::string route_not_kept(std::size_t n) const override;
    Result<> play_scenario(const QByteArray& bytes) override;
    Result<std::vector<std::string>> place_encounter(const EncounterAsk& ask) override;
    StationsOnAir stations() const override;
    Result<std::vector<std::string>> set_stations(const StationsOnAir& stations) override;
    TrackerOverview tracker() const override;
    std::optional<TrackedDeviceView> tracked_device(const std::string& id) const override;
    Result<> replace_fleet(const QByteArray& bytes, const std::string& destination) override;
    BodyPlay prepare_fleet(const QByteArray& bytes, const std::string& destination) override;
    ScenarioPlay prepare_scenario(const QByteArray& bytes) override;
    // The same for a scenario the window opens from a file (any thread).
    ScenarioPlay prepare_scenario_file(const std::string& path);
    std::optional<PilotState> pilot() const override;
    Result<> change_pilot(const PilotChange& change) override;

    // The vehicles the ticks move now, with their numbers.
    std::vector<VehicleEntry> vehicles_in_use() const;
    // Vehicle n with where its last sentences put it.
    VehicleEntry entry(std::size_t n) const override;

    // Called after each change made here (the window draws itself again).
    std::function<void()> changed;

private:
    // What plays a scenario read, on the loop: or its refusal.
    ScenarioPlay playing(std::variant<ScenarioStart, ScenarioProblem> read);
    Result<> apply_scenario(const ScenarioStart& start);
    void tell_changed() const {
        if (changed) changed();
    }
    Program& program_;
};

}  // namespace vadrel
