#include "fleet_state.h"

#include <string>

#include "control/control_json.h"

namespace vadrel {

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

void take_fleet_state(ControlState& state, const Fleet& fleet) {
    state.mode = send_mode(fleet.mode());
    state.current_vehicle = fleet.current();
    state.vehicles_in_use = static_cast<int>(fleet.vehicles_in_use());
    state.cycle = fleet.cycle();
}

std::optional<Refusal> change_mode(Fleet& fleet, SendMode mode, std::optional<int> vehicles, Fleet::Origin origin) {
    if (vehicles) {
        if (auto bad = cycle_problem(*vehicles)) return bad;
    }
    fleet.set_mode(fleet_mode(mode), origin);
    if (vehicles) fleet.set_cycle(*vehicles, origin);
    return std::nullopt;
}

}  // namespace vadrel
