#include "ais/encounter.h"

#include <cmath>
#include <numbers>

#include "motion/normalize.h"

namespace vadrel {

namespace {

constexpr double degree = std::numbers::pi / 180.0;
// Seconds of arc of a nautical mile on the fleet's sphere (6371 km).
constexpr double arc_seconds_per_mile = km_per_nautical_mile / 6371.0 / degree * 3600.0;
// Below this relative speed (knots) the two ships keep their distance.
constexpr double still_knots = 1e-9;

double cross(Flat a, Flat b) { return a.north * b.east - a.east * b.north; }

Refusal refused(const std::string& reason) { return {"incontro", reason}; }

}  // namespace

Flat velocity_knots(const Vehicle& vehicle) {
    const GroundMotion ground = ground_motion(vehicle);
    const double knots = ground.kmh / km_per_nautical_mile;
    return {knots * std::cos(ground.course * degree), knots * std::sin(ground.course * degree)};
}

std::optional<Refusal> encounter_values_problem(double cpa_miles, double tcpa_minutes) {
    if (!std::isfinite(cpa_miles) || cpa_miles < 0.0)
        return refused("il CPA è una distanza in miglia nautiche, 0 o più");
    if (!std::isfinite(tcpa_minutes) || tcpa_minutes <= 0.0)
        return refused("il TCPA è un tempo in minuti da adesso, più di 0");
    return std::nullopt;
}

std::variant<Flat, Refusal> encounter_offset(Flat own_velocity, Flat target_velocity, double heading,
                                             double cpa_miles, double tcpa_minutes, Side side) {
    if (auto bad = encounter_values_problem(cpa_miles, tcpa_minutes)) return *bad;
    const Flat relative{target_velocity.north - own_velocity.north, target_velocity.east - own_velocity.east};
    const double speed = std::hypot(relative.north, relative.east);
    if (!(speed > still_knots)) {
        return refused("il bersaglio e la nave propria hanno la stessa rotta e la stessa velocità: "
                       "la distanza non cambia e non c'è un punto di massimo avvicinamento");
    }
    // The unit vector a quarter turn clockwise of v_r, and the heading's.
    Flat across{-relative.east / speed, relative.north / speed};
    const Flat ahead{std::cos(heading * degree), std::sin(heading * degree)};
    double turn = cross(ahead, across);  // > 0: to starboard of the heading
    if (std::fabs(turn) < 1e-12) turn = across.north * ahead.north + across.east * ahead.east;  // ahead: starboard
    if ((turn > 0.0) != (side == Side::starboard)) across = {-across.north, -across.east};
    const double hours = tcpa_minutes / 60.0;
    return Flat{across.north * cpa_miles - relative.north * hours, across.east * cpa_miles - relative.east * hours};
}

std::variant<Vehicle, Refusal> place_encounter(const Vehicle& own, std::size_t own_number, const Vehicle& target,
                                               const EncounterAsk& ask) {
    if (ask.vehicle == own_number) {
        return refused("il mezzo " + std::to_string(ask.vehicle) +
                       " è la nave propria (il mezzo attuale): un incontro vuole un altro mezzo");
    }
    const auto offset = encounter_offset(velocity_knots(own), velocity_knots(target), ground_motion(own).course,
                                         ask.cpa_miles, ask.tcpa_minutes, ask.side);
    if (const auto* bad = std::get_if<Refusal>(&offset)) return *bad;
    const Flat r0 = std::get<Flat>(offset);
    // The flat frame onto the fleet's sphere: miles north as arc, miles
    // east as arc along the parallel halfway between the two.
    Vehicle placed = target;
    placed.lat = own.lat + r0.north * arc_seconds_per_mile;
    placed.lon = own.lon + r0.east * arc_seconds_per_mile / std::cos((own.lat + placed.lat) / 2.0 / 3600.0 * degree);
    normalize_lat(placed.lat, placed.lon);
    normalize_lon(placed.lon);
    return placed;
}

std::optional<Approach> closest_approach(Flat relative_position, Flat relative_velocity) {
    const double speed_squared =
        relative_velocity.north * relative_velocity.north + relative_velocity.east * relative_velocity.east;
    if (!(speed_squared > still_knots * still_knots)) return std::nullopt;
    const double hours =
        -(relative_position.north * relative_velocity.north + relative_position.east * relative_velocity.east) /
        speed_squared;
    const Flat at{relative_position.north + relative_velocity.north * hours,
                  relative_position.east + relative_velocity.east * hours};
    return Approach{std::hypot(at.north, at.east), hours * 60.0};
}

std::optional<Approach> approach_between(const Vehicle& own, const Vehicle& target) {
    double east_seconds = target.lon - own.lon;
    // Across the 180th meridian the short way round.
    if (east_seconds > 180.0 * 3600.0) east_seconds -= 360.0 * 3600.0;
    if (east_seconds < -180.0 * 3600.0) east_seconds += 360.0 * 3600.0;
    const Flat relative{(target.lat - own.lat) / arc_seconds_per_mile,
                        east_seconds * std::cos((own.lat + target.lat) / 2.0 / 3600.0 * degree) / arc_seconds_per_mile};
    const Flat own_velocity = velocity_knots(own);
    const Flat target_velocity = velocity_knots(target);
    return closest_approach(relative, {target_velocity.north - own_velocity.north,
                                       target_velocity.east - own_velocity.east});
}

}  // namespace vadrel
