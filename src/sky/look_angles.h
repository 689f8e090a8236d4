#pragma once
// Where a satellite stands in an observer's sky: the observer on WGS 84
// (geodetic latitude and longitude, height above the ellipsoid), the
// direction to the satellite in the observer's local east-north-up frame,
// as azimuth (0 north, 90 east) and elevation (0 horizon, 90 zenith).
//
//   const LocalFrame here({45.0, 9.0, 120.0});
//   const Direction d = here.direction_to(satellite.position);   // {azimuth, elevation}

#include "sky/constellation.h"

namespace vadrel {

struct Observer {
    double latitude = 0.0;   // degrees, north positive
    double longitude = 0.0;  // degrees, east positive
    double height = 0.0;     // metres above the ellipsoid
};

// A direction in the sky, degrees: azimuth 0 <= a < 360, elevation -90 .. 90.
struct Direction {
    double azimuth = 0.0;
    double elevation = 0.0;
};

Ecef ecef_of(const Observer& observer);

class LocalFrame {
public:
    explicit LocalFrame(const Observer& observer);
    Direction direction_to(const Ecef& point) const;

private:
    Ecef origin_;
    double sin_lat_, cos_lat_, sin_lon_, cos_lon_;
};

}  // namespace vadrel
