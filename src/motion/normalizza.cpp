#include "normalizza.h"

#include <cmath>

#include "model/coordinates.h"

namespace vadrel {

namespace {

constexpr double quarto_giro = latitude_limit;
constexpr double mezzo_giro = longitude_limit;
constexpr double giro = 2.0 * longitude_limit;

}  // namespace

bool normalizza_lat(double& lat, double& lon) {
    if (std::fabs(lat) <= quarto_giro) return false;
    // Along a meridian the latitude runs round a whole circle: reduce it to
    // one turn, then fold what lies past a pole back over it.
    double angolo = std::remainder(lat, giro);
    bool oltre = false;
    if (angolo > quarto_giro) {
        angolo = mezzo_giro - angolo;
        oltre = true;
    } else if (angolo < -quarto_giro) {
        angolo = -mezzo_giro - angolo;
        oltre = true;
    }
    lat = angolo;
    if (oltre) {
        lon += mezzo_giro;
        normalizza_lon(lon);
    }
    return oltre;
}

void normalizza_lon(double& lon) {
    if (std::fabs(lon) > mezzo_giro) lon = std::remainder(lon, giro);
}

}  // namespace vadrel
