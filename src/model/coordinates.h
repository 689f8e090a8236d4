#pragma once
// The ranges of a position on the globe, written once: what a user may give
// (the control interface, a route's point, a route's origin) and what the
// fleet keeps a moving vehicle within (motion carries it over a pole or
// round the 180th meridian instead of refusing it).
//
//   latitude_problem(91.0);    // "la latitudine 91 è fuori campo: va da -90 (sud) a 90 (nord) gradi"
//   on_globe(45.5, 9.2);       // true

#include <optional>
#include <string>

namespace vadrel {

inline constexpr double arc_seconds_per_degree = 3600.0;
inline constexpr double latitude_limit_degrees = 90.0;
inline constexpr double longitude_limit_degrees = 180.0;
// In seconds of arc, as the fleet keeps positions.
inline constexpr double latitude_limit = latitude_limit_degrees * arc_seconds_per_degree;
inline constexpr double longitude_limit = longitude_limit_degrees * arc_seconds_per_degree;

// A finite latitude from 90 S to 90 N, a finite longitude from 180 W to 180 E,
// both in degrees.
bool latitude_in_range(double degrees);
bool longitude_in_range(double degrees);
bool on_globe(double lat_degrees, double lon_degrees);

// Why a coordinate given in degrees is refused, in Italian; nullopt when it
// is in range.
std::optional<std::string> latitude_problem(double degrees);
std::optional<std::string> longitude_problem(double degrees);

}  // namespace vadrel
