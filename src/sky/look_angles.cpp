#include "look_angles.h"

#include <cmath>
#include <numbers>

#include "sky/wgs84.h"

namespace vadrel {

namespace {

constexpr double degrees_per_radian = 180.0 / std::numbers::pi;

}  // namespace

Ecef ecef_of(const Observer& o) {
    const double lat = o.latitude / degrees_per_radian;
    const double lon = o.longitude / degrees_per_radian;
    const double sin_lat = std::sin(lat);
    const double n = wgs84::semi_major_axis / std::sqrt(1.0 - wgs84::eccentricity_squared * sin_lat * sin_lat);
    return {(n + o.height) * std::cos(lat) * std::cos(lon), (n + o.height) * std::cos(lat) * std::sin(lon),
            (n * (1.0 - wgs84::eccentricity_squared) + o.height) * sin_lat};
}

LocalFrame::LocalFrame(const Observer& o)
    : origin_(ecef_of(o)),
      sin_lat_(std::sin(o.latitude / degrees_per_radian)),
      cos_lat_(std::cos(o.latitude / degrees_per_radian)),
      sin_lon_(std::sin(o.longitude / degrees_per_radian)),
      cos_lon_(std::cos(o.longitude / degrees_per_radian)) {}

Direction LocalFrame::direction_to(const Ecef& p) const {
    const double dx = p.x - origin_.x;
    const double dy = p.y - origin_.y;
    const double dz = p.z - origin_.z;
    const double east = -sin_lon_ * dx + cos_lon_ * dy;
    const double north = -sin_lat_ * cos_lon_ * dx - sin_lat_ * sin_lon_ * dy + cos_lat_ * dz;
    const double up = cos_lat_ * cos_lon_ * dx + cos_lat_ * sin_lon_ * dy + sin_lat_ * dz;
    double azimuth = std::atan2(east, north) * degrees_per_radian;
    if (azimuth < 0.0) azimuth += 360.0;
    if (azimuth >= 360.0) azimuth = 0.0;
    return {azimuth, std::atan2(up, std::hypot(east, north)) * degrees_per_radian};
}

}  // namespace vadrel
