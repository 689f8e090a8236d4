#include "normalize.h"

#include <cmath>

namespace vadrel {

namespace {

constexpr double quarter_turn = 90.0 * 3600.0;
constexpr double half_turn = 180.0 * 3600.0;
constexpr double full_turn = 360.0 * 3600.0;

}  // namespace

bool normalize_lat(double& lat, double& lon) {
    if (std::fabs(lat) <= quarter_turn) return false;
    // Along a meridian the latitude runs round a whole circle: reduce it to
    // one turn, then fold what lies past a pole back over it.
    double angle = std::remainder(lat, full_turn);
    bool crossed = false;
    if (angle > quarter_turn) {
        angle = half_turn - angle;
        crossed = true;
    } else if (angle < -quarter_turn) {
        angle = -half_turn - angle;
        crossed = true;
    }
    lat = angle;
    if (crossed) {
        lon += half_turn;
        normalize_lon(lon);
    }
    return crossed;
}

void normalize_lon(double& lon) {
    if (std::fabs(lon) > half_turn) lon = std::remainder(lon, full_turn);
}

}  // namespace vadrel
