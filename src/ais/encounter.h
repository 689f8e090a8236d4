#pragma once
// A set-piece encounter: where to put a target so that, on its own course
// and speed and the own ship's, it passes at a chosen closest point of
// approach (CPA, nautical miles) a chosen time from now (TCPA, minutes), on
// the own ship's starboard or port side.
//
//   EncounterAsk ask{1, 0.5, 6.0, Side::starboard};
//   auto placed = place_encounter(own, target, ask);   // target at its new lat, lon
//
// In a flat frame about the own ship (north and east, miles and knots):
// the relative velocity v_r = v_target - v_own; at TCPA the relative
// position is the CPA vector, perpendicular to v_r on the side asked; now it
// is r0 = r_cpa - v_r * TCPA. The target goes to own + r0 on the fleet's
// sphere (6371 km): miles north as arc of a meridian, miles east as arc of
// the parallel halfway between the two ships. So a CPA and TCPA worked out
// from both positions, courses and speeds at that moment are those asked;
// the fleet's dead reckoning then brings the target there, within a
// thousandth of the distance between them.
//
// The side: at the closest point the target bears 0 to 180 degrees from the
// own ship's heading (starboard) or 180 to 360 (port). When v_r runs across
// the heading so that the closest point lies dead ahead or astern, starboard
// takes the point ahead and port the one astern.

#include <cstddef>
#include <optional>
#include <variant>

#include "fleet/vehicle.h"
#include "os/result.h"

namespace vadrel {

enum class Side : unsigned char { starboard, port };

struct EncounterAsk {
    std::size_t vehicle = 0;
    double cpa_miles = 0.0;
    double tcpa_minutes = 0.0;
    Side side = Side::starboard;
    bool operator==(const EncounterAsk&) const = default;
};

// North and east parts: miles, or knots.
struct Flat {
    double north = 0.0;
    double east = 0.0;
};

// A vehicle's velocity over the ground in knots.
Flat velocity_knots(const Vehicle& vehicle);

// Why CPA and TCPA cannot be asked as they are (CPA < 0, TCPA <= 0, not
// finite numbers); nullopt when they can. Field "incontro".
std::optional<Refusal> encounter_values_problem(double cpa_miles, double tcpa_minutes);

// The target's position relative to the own ship now (miles), or the
// refusal: no relative motion, or values encounter_values_problem refuses.
// `heading` is the own ship's, degrees.
std::variant<Flat, Refusal> encounter_offset(Flat own_velocity, Flat target_velocity, double heading,
                                             double cpa_miles, double tcpa_minutes, Side side);

// The target placed for the encounter: its position changed, its course and
// speed its own. Refused when the target is the own ship (`own_number`) or
// as encounter_offset refuses.
std::variant<Vehicle, Refusal> place_encounter(const Vehicle& own, std::size_t own_number, const Vehicle& target,
                                               const EncounterAsk& ask);

// CPA (miles) and TCPA (minutes, negative when it is past) of a relative
// position (miles) and relative velocity (knots); nullopt without relative motion.
struct Approach {
    double cpa_miles = 0.0;
    double tcpa_minutes = 0.0;
};
std::optional<Approach> closest_approach(Flat relative_position, Flat relative_velocity);

// The CPA and TCPA of `target` from `own` as they move now, in the flat
// frame place_encounter uses; nullopt without relative motion.
std::optional<Approach> approach_between(const Vehicle& own, const Vehicle& target);

}  // namespace vadrel
