#include "constellation.h"

#include <cmath>
#include <numbers>

namespace vadrel {

namespace {

constexpr double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// An angle reduced to -pi .. pi, so that its sine and cosine keep their
// precision however far the time is from the epoch.
double reduced(double angle) { return std::remainder(angle, 2.0 * std::numbers::pi); }

}  // namespace

Constellation constellation_at(std::int64_t utc_ms) {
    Constellation sky;
    sky.utc_ms = utc_ms;
    const double since_epoch = (static_cast<double>(utc_ms) - static_cast<double>(reference_epoch_ms)) / 1000.0;
    const double a = orbit_semi_major_axis_m;
    const double mean_motion = std::sqrt(wgs84_gm / (a * a * a));
    const double turned = reduced(mean_motion * since_epoch);
    const double earth = reduced(radians(epoch_hour_angle_deg) + reduced(earth_rotation_rad_s * since_epoch));
    const double cos_i = std::cos(radians(orbit_inclination_deg));
    const double sin_i = std::sin(radians(orbit_inclination_deg));
    for (std::size_t k = 0; k < reference_slots.size(); ++k) {
        const Slot& slot = reference_slots[k];
        // The node's longitude on the turning Earth, and the satellite's
        // angle from the node along its circle.
        const double node = radians(slot.right_ascension) - earth;
        const double u = reduced(radians(slot.argument_of_latitude) + turned);
        const double cos_u = std::cos(u);
        const double sin_u = std::sin(u);
        const double cos_node = std::cos(node);
        const double sin_node = std::sin(node);
        sky.satellites[k].prn = prn_of_slot(k);
        sky.satellites[k].position = {a * (cos_u * cos_node - sin_u * cos_i * sin_node),
                                      a * (cos_u * sin_node + sin_u * cos_i * cos_node), a * sin_u * sin_i};
    }
    return sky;
}

}  // namespace vadrel
