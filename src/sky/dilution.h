#pragma once
// Dilution of precision from the geometry of the satellites used: the
// least-squares solution of the receiver's position in the local east,
// north, up frame and its clock, from one unit line of sight a satellite
// (row [cos e sin a, cos e cos a, sin e, 1] of the geometry matrix G). The
// diagonal of (GᵀG)⁻¹ gives each dilution:
//   HDOP = sqrt(q_ee + q_nn), VDOP = sqrt(q_uu), PDOP = sqrt(q_ee + q_nn + q_uu),
//   TDOP = sqrt(q_tt), GDOP = sqrt(trace).
// A 2D fix holds its altitude: the up column goes, VDOP is 0 and PDOP is HDOP.
//
//   one at the zenith, three on the horizon 120° apart:
//   dilution_3d(...) -> HDOP 1.155, VDOP 1.155, PDOP 1.633, TDOP 0.577, GDOP 1.732

#include <optional>
#include <span>

#include "sky/look_angles.h"

namespace vadrel {

struct Dilution {
    double gdop = 0.0;
    double pdop = 0.0;
    double hdop = 0.0;
    double vdop = 0.0;
    double tdop = 0.0;
};

// With at least four directions; nothing when the geometry gives no
// solution (fewer, or all on one cone, whose matrix cannot be inverted).
std::optional<Dilution> dilution_3d(std::span<const Direction> used);
// With at least three, the altitude held.
std::optional<Dilution> dilution_2d(std::span<const Direction> used);

}  // namespace vadrel
