#pragma once
// A vehicle's route on the map: split where the vehicle is into the part it
// has driven and the part it has left, each in the order it drives them,
// and drawn on the screen along their great circles.
//
//   const RouteParts parts = split_route(followed.route, followed.progress, followed.options, here);
//   painter.drawPolyline(legs_on_screen(projection, parts.left));

#include <QPolygonF>
#include <cstdint>
#include <variant>
#include <vector>

#include "gui/map_projection.h"
#include "routes/follower.h"

namespace vadrel::gui {

// A part of a route in the order it is driven, without a copy of its
// points: the route's own points by index (a range, either way), and
// points that are not the route's (where the vehicle is, where it joined).
struct RouteRun {
    struct Range {
        std::int64_t from = 0;  // inclusive; backwards when from > to
        std::int64_t to = 0;
    };
    std::vector<std::variant<GeoPoint, Range>> pieces;
    bool empty() const { return pieces.empty(); }
};

struct RouteParts {
    RouteRun done;      // the route's points behind the vehicle, then the vehicle
    RouteRun left;      // the vehicle, then the points ahead to the end (of the round)
    RouteRun approach;  // from where it joined the route to the vehicle; or nothing
};

// `vehicle` is where the vehicle is now (degrees). A vehicle at the end of a
// route that stops there has driven it all; one going back (indietro) has
// left the points back to the first.
RouteParts split_route(const Route& route, const RouteProgress& progress, const FollowOptions& options,
                       GeoPoint vehicle);

// The line through the points on the screen: each leg bent along its great
// circle where it is long enough on the screen to show the bend, taken the
// short way across the 180th meridian, points closer than half a pixel to
// the one before left out, and a run of points beyond one edge of the view
// drawn as its first and last. A route's run is drawn from its coarse index
// (Route::extent): a stretch of short legs beyond one edge, or smaller than
// half a pixel, is its first and last point, so that drawing 100,000 points
// costs about what the view shows of them.
QPolygonF legs_on_screen(const MapProjection& map, const std::vector<GeoPoint>& points);
QPolygonF legs_on_screen(const MapProjection& map, const Route& route, const RouteRun& run);

// The route's points as squares of `half` a side's length where they stand
// apart on the screen: in the view (grown by `margin`), each at least
// `spacing` pixels from the last one marked, at most `most` of them.
std::vector<QRectF> point_marks(const MapProjection& map, const Route& route, double half, double margin,
                                double spacing, std::size_t most);

}  // namespace vadrel::gui
