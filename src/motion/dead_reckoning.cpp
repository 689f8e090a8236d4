#include "dead_reckoning.h"

#include <cmath>

#include "model/numbers.h"
#include "motion/normalizza.h"

namespace vadrel {

namespace {

constexpr double raggio_terra_km = 6371.0;


// The northward and eastward parts of a unit step along a course in degrees.
// The course is taken within its quarter of the compass, so the four
// cardinal courses are exact: due west never drifts off its parallel, due
// north never off its meridian.
struct Direzione {
    double nord;
    double est;
};

Direzione direzione(double rotta) {
    double gradi = std::fmod(rotta, 360.0);
    if (gradi < 0.0) gradi += 360.0;
    if (gradi >= 360.0) gradi = 0.0;
    const int quarto = static_cast<int>(gradi / 90.0);
    const double resto = (gradi - 90.0 * quarto) * pi_rotta / 180.0;
    const double c = std::cos(resto);
    const double s = std::sin(resto);
    switch (quarto) {
        case 0: return {c, s};
        case 1: return {-s, c};
        case 2: return {-c, -s};
        default: return {s, -c};
    }
}

// Kilometres along a great circle as seconds of arc.
double secondi_arco(double km) { return km / raggio_terra_km * 180.0 / pi_rotta * 60.0 * 60.0; }

}  // namespace

double step_latitude(double& lat, double& lon, double course, double km) {
    lat += secondi_arco(km) * direzione(course).nord;
    if (!normalizza_lat(lat, lon)) return course;
    const double turned = std::fmod(course + 180.0, 360.0);
    return turned < 0.0 ? turned + 360.0 : turned;
}

void step_longitude(double& lon, double course, double km, double lat_radians) {
    // cos(lat_radians) stays above zero: with pi taken as 3.141592 even the
    // pole's 90 degrees are a little short of a right angle.
    lon += secondi_arco(km) * direzione(course).est / std::cos(lat_radians);
    normalizza_lon(lon);
}

double latitude_radians(double arc_seconds) { return std::fabs(arc_seconds) / 3600.0 * pi_rotta / 180.0; }

std::string rmc_coordinate(double arc_seconds, int degree_digits) {
    // ten-thousandths of a minute, cut: 60 * 10000 / 3600 of them per second
    const auto decimi = static_cast<long long>(std::fabs(arc_seconds) * 500.0 / 3.0);
    std::string campo = int_text(decimi / 600000);
    if (campo.size() < static_cast<std::size_t>(degree_digits)) {
        campo.insert(0, static_cast<std::size_t>(degree_digits) - campo.size(), '0');
    }
    const long long resto = decimi % 600000;  // minutes and their decimals: mmdddd
    campo += '0' + static_cast<char>(resto / 100000);
    campo += '0' + static_cast<char>(resto / 10000 % 10);
    campo += '.';
    for (long long cifra = 1000; cifra > 0; cifra /= 10) campo += '0' + static_cast<char>(resto / cifra % 10);
    return campo;
}

}  // namespace vadrel
