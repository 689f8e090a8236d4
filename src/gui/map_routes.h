#pragma once
// A vehicle's route on the map: split where the vehicle is into the part it
// has driven and the part it has left, each in the order it drives them,
// and drawn on the screen along their great circles.
//
//   const RouteParts parts = split_route(followed.route, followed.progress, followed.options, here);
//   painter.drawPolyline(legs_on_screen(projection, parts.left));

#include <QPolygonF>
#include <vector>

#include "gui/map_projection.h"
#include "routes/follower.h"

namespace vadrel::gui {

struct RouteParts {
    std::vector<GeoPoint> done;      // the route's points behind the vehicle, then the vehicle
    std::vector<GeoPoint> left;      // the vehicle, then the points ahead to the end (of the round)
    std::vector<GeoPoint> approach;  // from where it joined the route to the vehicle; or nothing
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
// drawn as its first and last.
QPolygonF legs_on_screen(const MapProjection& map, const std::vector<GeoPoint>& points);

}  // namespace vadrel::gui
