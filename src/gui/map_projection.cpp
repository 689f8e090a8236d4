#include "map_projection.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vadrel::gui {

namespace {

constexpr double max_centre_lat = 85.0;
constexpr double fit_share = 0.8;  // share of the viewport a fitted fleet fills

double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }
double short_way(double degrees) { return std::remainder(degrees, 360.0); }

}  // namespace

void MapProjection::set_view(GeoPoint centre, double metres_per_pixel) {
    centre_.lat = std::clamp(centre.lat, -max_centre_lat, max_centre_lat);
    centre_.lon = short_way(centre.lon);
    metres_per_pixel_ = std::clamp(metres_per_pixel, min_metres_per_pixel, max_metres_per_pixel);
}

double MapProjection::metres_per_degree_lon() const { return metres_per_degree_lat * std::cos(radians(centre_.lat)); }

QPointF MapProjection::to_screen(GeoPoint point) const {
    const double east = short_way(point.lon - centre_.lon) * metres_per_degree_lon();
    const double north = (point.lat - centre_.lat) * metres_per_degree_lat;
    return {viewport_.width() / 2.0 + east / metres_per_pixel_, viewport_.height() / 2.0 - north / metres_per_pixel_};
}

GeoPoint MapProjection::to_geo(QPointF screen) const {
    const double east = (screen.x() - viewport_.width() / 2.0) * metres_per_pixel_;
    const double north = (viewport_.height() / 2.0 - screen.y()) * metres_per_pixel_;
    return {centre_.lat + north / metres_per_degree_lat, short_way(centre_.lon + east / metres_per_degree_lon())};
}

void MapProjection::fit(const std::vector<GeoPoint>& points) {
    if (points.empty()) return;
    // longitudes unwrapped around the first point, so 179 E and 179 W are 2 apart
    const double reference = points.front().lon;
    double south = 90.0, north = -90.0, west = 1e9, east = -1e9;
    for (const GeoPoint& p : points) {
        const double lon = reference + short_way(p.lon - reference);
        south = std::min(south, p.lat);
        north = std::max(north, p.lat);
        west = std::min(west, lon);
        east = std::max(east, lon);
    }
    set_view({(south + north) / 2.0, (west + east) / 2.0}, metres_per_pixel_);
    const double width_m = (east - west) * metres_per_degree_lon();
    const double height_m = (north - south) * metres_per_degree_lat;
    const double w = std::max(viewport_.width(), 1.0);
    const double h = std::max(viewport_.height(), 1.0);
    const double scale =
        std::max({width_m / (w * fit_share), height_m / (h * fit_share), min_fit_metres / std::min(w, h)});
    set_view(centre_, scale);
}

void MapProjection::zoom(double factor, QPointF anchor) {
    if (!(factor > 0.0)) return;
    const GeoPoint held = to_geo(anchor);
    set_view(centre_, metres_per_pixel_ / factor);
    // the centre that puts `held` back under the anchor
    const double north = (viewport_.height() / 2.0 - anchor.y()) * metres_per_pixel_;
    centre_.lat = std::clamp(held.lat - north / metres_per_degree_lat, -max_centre_lat, max_centre_lat);
    const double east = (anchor.x() - viewport_.width() / 2.0) * metres_per_pixel_;
    centre_.lon = short_way(held.lon - east / metres_per_degree_lon());
}

void MapProjection::pan(QPointF pixels) {
    const QPointF middle(viewport_.width() / 2.0, viewport_.height() / 2.0);
    set_view(to_geo(middle - pixels), metres_per_pixel_);
}

double graticule_step(double metres_per_pixel, double metres_per_degree, double min_pixels) {
    static constexpr double steps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                       600, 900, 1800, 3600, 7200, 18000, 36000, 54000, 108000};
    for (const double step : steps) {
        if (step / 3600.0 * metres_per_degree / metres_per_pixel >= min_pixels) return step;
    }
    return steps[std::size(steps) - 1];
}

QString graticule_label(double degrees, bool latitude, double step_seconds) {
    const long long seconds = std::llround(std::fabs(degrees) * 3600.0);
    const QChar letter = seconds == 0 || (!latitude && seconds == 648000)
                             ? QChar()
                             : QChar(latitude ? (degrees < 0 ? 'S' : 'N') : (degrees < 0 ? 'W' : 'E'));
    QString text = QStringLiteral("%1\u00B0%2'").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QChar('0'));
    if (step_seconds < 60.0) text += QStringLiteral("%1\"").arg(seconds % 60, 2, 10, QChar('0'));
    if (!letter.isNull()) text += letter;
    return text;
}

ScaleBar scale_bar(double metres_per_pixel, double max_pixels) {
    const double longest = metres_per_pixel * max_pixels;
    double metres = std::pow(10.0, std::floor(std::log10(longest)));
    for (const double m : {5.0, 2.0}) {
        if (metres * m <= longest) {
            metres *= m;
            break;
        }
    }
    const QString text = metres >= 1000.0 ? QStringLiteral("%1 km").arg(metres / 1000.0)
                                          : QStringLiteral("%1 m").arg(metres);
    return {metres, metres / metres_per_pixel, text};
}

}  // namespace vadrel::gui
