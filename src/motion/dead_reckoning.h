#pragma once
// Dead reckoning on a sphere of radius 6371 km, on exact positions in
// seconds of arc (north and east positive). A step of `km` kilometres along
// a true course (0 north, 90 east, in every hemisphere) moves the latitude
// first, then the longitude at the latitude the first half left, so the
// four cardinal courses are exact: due west never drifts off its parallel.
// Nothing of a step is rounded away.
//
//   double lat = 44 * 3600.0, lon = 10 * 3600.0;
//   double course = step_latitude(lat, lon, 90.0, 1.0);   // 90.0: no pole crossed
//   step_longitude(lon, course, 1.0, latitude_radians(lat));

#include <string>

namespace vadrel {

// The value of pi the motion has always used: positions stepped with it
// are the positions vadrel has always sent.
inline constexpr double course_pi = 3.141592;

// The latitude half of a step. Returns the course held after it: over a pole
// the vehicle comes down the far side (its longitude moves by half a turn)
// heading the other way, so the course turns by 180.
double step_latitude(double& lat, double& lon, double course, double km);

// The longitude half of the same step, at `lat_radians` (latitude_radians of
// the latitude the first half left).
void step_longitude(double& lon, double course, double km, double lat_radians);

// A latitude of `arc_seconds` in radians, magnitude only.
double latitude_radians(double arc_seconds);

// The $GPRMC field of a coordinate of `arc_seconds` (its magnitude; the
// letter says the hemisphere): degrees padded to `degree_digits`, two digits
// of minutes, ".", four decimals of minutes, cut. Degrees, minutes and
// decimals come from one count, so they always agree: "4401.7772",
// "01008.0814", "8959.9999", "9000.0000".
std::string rmc_coordinate(double arc_seconds, int degree_digits);

}  // namespace vadrel
