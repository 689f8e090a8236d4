#pragma once
// The fleet as the map draws it at one moment, over the world and under the
// scale bar: each vehicle's track, its route (the part driven faint, the part
// left bold, the current vehicle's wider), where the receiver's noise puts it
// (a cross joined to the vehicle, its track dotted), its point with an arrow
// on its course (an AIS target as a triangle), and the labels, none covering
// another, with the places' names where nothing of the vehicles' is.
//
//   const FleetMarks marks(form, projection, routes, ais, oldest);
//   marks.paint_tracks(painter, shown);

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "ais/identity.h"
#include "gui/map_projection.h"
#include "gui/place_names.h"
#include "panel/panel_form.h"
#include "routes/vehicle_routes.h"

class QPainter;

namespace vadrel::gui {

// The colour of a vehicle's track and point.
QColor vehicle_colour(std::size_t vehicle);

class FleetMarks {
public:
    using AisOf = std::function<std::optional<AisIdentity>(std::size_t vehicle)>;
    // Tracks older than `oldest` (steady seconds) are left out; no routes
    // drawn without `routes`.
    FleetMarks(PanelForm& form, const MapProjection& projection, const VehicleRoutes* routes, const AisOf& ais,
               double oldest);

    // A track breaks where the vehicle was set by hand, and where it runs
    // round the far side of the globe.
    void paint_tracks(QPainter& painter, const std::vector<std::size_t>& shown) const;
    // The routes of the vehicles shown and of the current one, the current
    // one's on top; returns the boxes of the points drawn, for the labels to
    // keep off.
    std::vector<QRectF> paint_routes(QPainter& painter, const std::vector<std::size_t>& shown) const;
    // Where the receiver's noise puts each vehicle shown: its dotted track
    // and a cross joined to the true point; returns the crosses' boxes.
    std::vector<QRectF> paint_reported(QPainter& painter, const std::vector<std::size_t>& shown) const;
    // Where the points of the vehicles shown are, each with its heading
    // arrow: what no label and no banner may cover.
    std::vector<QRectF> point_boxes(const std::vector<std::size_t>& shown) const;
    // The points over every track, the current vehicle on top.
    void paint_points(QPainter& painter, const std::vector<std::size_t>& shown) const;
    // The labels off `clear`, the current vehicle's placed first; the places'
    // names off them and off the points. Returns what any later label keeps
    // off: `clear`, the labels, the points and the names.
    std::vector<QRectF> paint_labels(QPainter& painter, const std::vector<std::size_t>& shown, const std::vector<QRectF>& clear,
                      const PlaceNames& places) const;

private:
    // The vehicles shown, the current one last (drawn on top).
    std::vector<std::size_t> drawing_order(const std::vector<std::size_t>& shown) const;
    // An AIS target as the plotters draw one, with its name or MMSI.
    std::optional<AisIdentity> target(std::size_t vehicle) const;
    double radius_of(std::size_t vehicle) const;
    std::optional<QPointF> tip_of(std::size_t vehicle, QPointF at) const;
    QString label_of(std::size_t vehicle) const;
    const TrackHistory& tracks() const;
    // Where the vehicle is now: it goes on between the points its sentences leave.
    GeoPoint live(std::size_t vehicle) const;

    PanelForm& form_;
    const MapProjection& projection_;
    const VehicleRoutes* routes_;
    const AisOf& ais_;
    double oldest_;
};

}  // namespace vadrel::gui
