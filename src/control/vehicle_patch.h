#pragma once
// A vehicle patch of the control interface applied to the fleet through its
// change path, all or nothing: every value is checked first (the fleet's own
// rules for course and speed, the position as "Vai a posizione" reads it),
// and only then is anything changed.
//
//   VehiclePatch patch;
//   patch.position = "45°30'N 9°12'E";
//   patch.course = 400;
//   apply_vehicle_patch(fleet, 3, patch, this);   // Refusal{"rotta", "la rotta va da 0 a 360 gradi, non 400"}

#include <cstddef>
#include <optional>
#include <variant>

#include "control/control_target.h"
#include "fleet/fleet.h"

namespace vadrel {

// Why the patch cannot be applied, checked without changing anything.
std::optional<Refusal> vehicle_patch_problem(const VehiclePatch& patch);

// The AIS settings with vehicle n's identity the patch gives, or why they
// cannot be sent together (two vehicles with one MMSI): the field "ais.mmsi".
std::variant<AisSettings, Refusal> patched_ais(const AisSettings& settings, std::size_t n, const AisIdentity& identity);

// Applies the patch to vehicle n (its "ais" is the caller's): the position (placed, its track breaks),
// the unit, then the speed in that unit, then the course.
std::optional<Refusal> apply_vehicle_patch(Fleet& fleet, std::size_t n, const VehiclePatch& patch,
                                           Fleet::Origin origin);

}  // namespace vadrel
