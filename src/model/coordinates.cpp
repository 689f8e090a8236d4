#include "coordinates.h"

#include <cmath>

#include "model/numbers.h"

namespace vadrel {

bool latitude_in_range(double degrees) {
    return std::isfinite(degrees) && std::fabs(degrees) <= latitude_limit_degrees;
}

bool longitude_in_range(double degrees) {
    return std::isfinite(degrees) && std::fabs(degrees) <= longitude_limit_degrees;
}

bool on_globe(double lat_degrees, double lon_degrees) {
    return latitude_in_range(lat_degrees) && longitude_in_range(lon_degrees);
}

std::optional<std::string> latitude_problem(double degrees) {
    if (latitude_in_range(degrees)) return std::nullopt;
    return "la latitudine " + shortest_text(degrees) + " è fuori campo: va da -90 (sud) a 90 (nord) gradi";
}

std::optional<std::string> longitude_problem(double degrees) {
    if (longitude_in_range(degrees)) return std::nullopt;
    return "la longitudine " + shortest_text(degrees) + " è fuori campo: va da -180 (ovest) a 180 (est) gradi";
}

}  // namespace vadrel
