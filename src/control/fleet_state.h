#pragma once
// The simulator's part of the control interface read from the fleet and
// changed through it: the mode, the transmission, the current vehicle, the
// vehicles in use and why, "Numero di mezzi mobili". The program and the
// tests' fake target both use these, so the interface has no idea of its
// own of which vehicles are in use.
//
//   ControlState s;
//   take_fleet_state(s, fleet);          // s.vehicles_in_use == fleet.vehicles_in_use()
//   change_mode(fleet, SendMode::gps, std::nullopt, this);   // the cycle stays as it is

#include <optional>

#include "control/control_target.h"
#include "fleet/fleet.h"

namespace vadrel {

SendMode send_mode(Mode mode);
Mode fleet_mode(SendMode mode);

// Fills in the mode, the transmission, the current vehicle, how many
// vehicles are in use and the cycle; the vehicles' entries are left as they
// are.
void take_fleet_state(ControlState& state, const Fleet& fleet);

// The mode and, when given, "Numero di mezzi mobili" (1 .. largest_cycle);
// without it the cycle stays as it is, whatever the mode. Refused with the
// field "mezzi", changing nothing.
std::optional<Refusal> change_mode(Fleet& fleet, SendMode mode, std::optional<int> vehicles, Fleet::Origin origin);

}  // namespace vadrel
