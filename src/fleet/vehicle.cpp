#include "vehicle.h"

#include <cmath>

namespace vadrel {

double within_circle(double course) {
    const double c = std::fmod(course, 360.0);
    return c < 0.0 ? c + 360.0 : c;
}

GroundMotion ground_motion(const Vehicle& vehicle) {
    const double kmh = vehicle.speed_kmh();
    return {std::fabs(kmh), kmh < 0.0 ? within_circle(vehicle.course + 180.0) : within_circle(vehicle.course)};
}

}  // namespace vadrel
