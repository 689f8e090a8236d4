#include "dead_reckoning.h"

#include <cmath>

#include "model/numbers.h"
#include "motion/normalize.h"

namespace vadrel {

namespace {

constexpr double earth_radius_km = 6371.0;


// The northward and eastward parts of a unit step along a course in degrees.
// The course is taken within its quarter of the compass, so the four
// cardinal courses are exact: due west never drifts off its parallel, due
// north never off its meridian.
struct Direction {
    double north;
    double east;
};

Direction direction_of(double course) {
    double course_degrees = std::fmod(course, 360.0);
    if (course_degrees < 0.0) course_degrees += 360.0;
    if (course_degrees >= 360.0) course_degrees = 0.0;
    const int quadrant = static_cast<int>(course_degrees / 90.0);
    const double rest = (course_degrees - 90.0 * quadrant) * course_pi / 180.0;
    const double c = std::cos(rest);
    const double s = std::sin(rest);
    switch (quadrant) {
        case 0: return {c, s};
        case 1: return {-s, c};
        case 2: return {-c, -s};
        default: return {s, -c};
    }
}

// Kilometres along a great circle as seconds of arc.
double km_in_arc_seconds(double km) { return km / earth_radius_km * 180.0 / course_pi * 60.0 * 60.0; }

}  // namespace

double step_latitude(double& lat, double& lon, double course, double km) {
    lat += km_in_arc_seconds(km) * direction_of(course).north;
    if (!normalize_lat(lat, lon)) return course;
    const double turned = std::fmod(course + 180.0, 360.0);
    return turned < 0.0 ? turned + 360.0 : turned;
}

void step_longitude(double& lon, double course, double km, double lat_radians) {
    // cos(lat_radians) stays above zero: with pi taken as 3.141592 even the
    // pole's 90 degrees are a little short of a right angle.
    lon += km_in_arc_seconds(km) * direction_of(course).east / std::cos(lat_radians);
    normalize_lon(lon);
}

double latitude_radians(double arc_seconds) { return std::fabs(arc_seconds) / 3600.0 * course_pi / 180.0; }

std::string rmc_coordinate(double arc_seconds, int degree_digits) {
    // ten-thousandths of a minute, cut: 60 * 10000 / 3600 of them per second
    const auto tenths = static_cast<long long>(std::fabs(arc_seconds) * 500.0 / 3.0);
    std::string field = int_text(tenths / 600000);
    if (field.size() < static_cast<std::size_t>(degree_digits)) {
        field.insert(0, static_cast<std::size_t>(degree_digits) - field.size(), '0');
    }
    const long long rest = tenths % 600000;  // minutes and their decimals: mmdddd
    field += '0' + static_cast<char>(rest / 100000);
    field += '0' + static_cast<char>(rest / 10000 % 10);
    field += '.';
    for (long long digit = 1000; digit > 0; digit /= 10) field += '0' + static_cast<char>(rest / digit % 10);
    return field;
}

}  // namespace vadrel
