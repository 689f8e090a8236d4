#pragma once
// The map's plane: a local projection around a centre (east scaled by the
// cosine of the centre's latitude, north up), at so many metres to the
// pixel, in a viewport of the window's size. Longitudes are taken the short
// way from the centre, so a fleet across the 180th meridian stays together.
//
//   MapProjection map;
//   map.set_viewport({640, 480});
//   map.fit(points);                       // the whole fleet, with a margin
//   QPointF p = map.to_screen({45.5, 9.2});
//   map.zoom(1.25, cursor);                // the place under the cursor stays put
//   map.pan({30, 0});                      // what is shown moves 30 pixels right

#include <QPointF>
#include <numbers>
#include <QSizeF>
#include <QString>
#include <vector>

namespace vadrel::gui {

struct GeoPoint {
    double lat = 0.0;  // degrees, north positive
    double lon = 0.0;  // degrees, east positive
};

class MapProjection {
public:
    static constexpr double earth_radius_m = 6371000.0;
    static constexpr double metres_per_degree_lat = earth_radius_m * std::numbers::pi / 180.0;
    // From a street's width to the whole globe.
    static constexpr double min_metres_per_pixel = 0.05;
    static constexpr double max_metres_per_pixel = 100000.0;
    // A fleet standing still is shown this wide at least.
    static constexpr double min_fit_metres = 500.0;

    void set_viewport(QSizeF size) { viewport_ = size; }
    QSizeF viewport() const { return viewport_; }
    GeoPoint centre() const { return centre_; }
    double metres_per_pixel() const { return metres_per_pixel_; }
    // The centre's latitude is kept within 85 S .. 85 N, the scale within its limits.
    void set_view(GeoPoint centre, double metres_per_pixel);

    QPointF to_screen(GeoPoint point) const;
    GeoPoint to_geo(QPointF screen) const;
    // Metres east that one degree of longitude is at the centre's latitude.
    double metres_per_degree_lon() const;

    // Centres the points and scales them to fill most of the viewport; no
    // points, no change.
    void fit(const std::vector<GeoPoint>& points);
    // factor above 1 zooms in; the place under `anchor` stays under it.
    void zoom(double factor, QPointF anchor);
    // What is shown moves by `pixels`.
    void pan(QPointF pixels);

private:
    GeoPoint centre_;
    double metres_per_pixel_ = 1000.0;
    QSizeF viewport_{640, 480};
};

// The spacing of the graticule, in seconds of arc: the first of 1", 2", 5",
// 10", 15", 30", 1', 2', 5', 10', 15', 30', 1°, 2°, 5°, 10°, 15°, 30° whose
// lines lie at least `min_pixels` apart at `metres_per_degree` (north or east).
double graticule_step(double metres_per_pixel, double metres_per_degree, double min_pixels);
// A graticule line's label: 45°30'N, 9°12'30"E (seconds only when the step
// has them), 0°00' on the equator and the prime meridian, 180°00' on the 180th.
QString graticule_label(double degrees, bool latitude, double step_seconds);

// The scale bar: the longest of 1, 2 or 5 times a power of ten metres that
// fits in `max_pixels`, and its text ("500 m", "2 km").
struct ScaleBar {
    double metres = 0.0;
    double pixels = 0.0;
    QString text;
};
ScaleBar scale_bar(double metres_per_pixel, double max_pixels);

}  // namespace vadrel::gui
