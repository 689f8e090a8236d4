#include "vehicle_patch.h"

#include <cmath>
#include <variant>

#include "motion/position_text.h"

namespace vadrel {

namespace {

struct Place {
    std::optional<double> lat, lon;  // seconds of arc
};

// The position the patch gives, in seconds of arc, or why not.
std::variant<Place, Refusal> place_of(const VehiclePatch& patch) {
    Place place;
    if (patch.position) {
        if (patch.lat || patch.lon) {
            return Refusal{"posizione", "indicare la posizione come testo oppure con lat e lon, non in entrambi i modi"};
        }
        const auto typed = read_position(*patch.position);
        if (const auto* why = std::get_if<std::string>(&typed)) return Refusal{"posizione", *why};
        const auto& position = std::get<TypedPosition>(typed);
        if (position.lat) place.lat = position.lat->signed_seconds();
        if (position.lon) place.lon = position.lon->signed_seconds();
        return place;
    }
    if (patch.lat) {
        if (!std::isfinite(*patch.lat) || std::fabs(*patch.lat) > 90.0) {
            return Refusal{"lat", "la latitudine va da -90 (sud) a 90 (nord) gradi"};
        }
        place.lat = *patch.lat * arc_seconds_per_degree;
    }
    if (patch.lon) {
        if (!std::isfinite(*patch.lon) || std::fabs(*patch.lon) > 180.0) {
            return Refusal{"lon", "la longitudine va da -180 (ovest) a 180 (est) gradi"};
        }
        place.lon = *patch.lon * arc_seconds_per_degree;
    }
    return place;
}

}  // namespace

std::optional<Refusal> vehicle_patch_problem(const VehiclePatch& patch) {
    const auto place = place_of(patch);
    if (const auto* refused = std::get_if<Refusal>(&place)) return *refused;
    if (patch.course) {
        if (auto bad = course_problem(*patch.course)) return bad;
    }
    if (patch.speed) {
        if (auto bad = speed_problem(*patch.speed)) return bad;
    }
    return std::nullopt;
}

std::variant<AisSettings, Refusal> patched_ais(const AisSettings& settings, std::size_t n, const AisIdentity& identity) {
    AisSettings patched = settings;
    patched.vehicles.at(n) = identity;
    if (auto problem = fleet_identities_problem(patched.vehicles)) {
        problem->field = "ais." + problem->field;
        return *problem;
    }
    return patched;
}

std::optional<Refusal> apply_vehicle_patch(Fleet& fleet, std::size_t n, const VehiclePatch& patch,
                                           Fleet::Origin origin) {
    if (auto bad = vehicle_patch_problem(patch)) return bad;
    const Place place = std::get<Place>(place_of(patch));
    if (place.lat || place.lon) {
        if (auto bad = fleet.place(n, place.lat, place.lon, origin)) return bad;
    }
    if (patch.unit) {
        if (auto bad = fleet.set_unit(n, *patch.unit, origin)) return bad;
    }
    if (patch.speed) {
        if (auto bad = fleet.set_speed(n, *patch.speed, origin)) return bad;
    }
    if (patch.course) {
        if (auto bad = fleet.set_course(n, *patch.course, origin)) return bad;
    }
    return std::nullopt;
}

}  // namespace vadrel
