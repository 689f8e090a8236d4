#pragma once
// The WGS 84 ellipsoid, the datum of every position vadrel sends.

namespace vadrel::wgs84 {

inline constexpr double semi_major_axis = 6'378'137.0;  // metres
inline constexpr double flattening = 1.0 / 298.257223563;
inline constexpr double eccentricity_squared = flattening * (2.0 - flattening);

}  // namespace vadrel::wgs84
