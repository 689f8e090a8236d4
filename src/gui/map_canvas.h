#pragma once
// "Mappa": over the land, coastlines and borders of the world (world_map.h),
// with the street tiles when they are on (tile_layer.h) and the names of the
// larger places where there is room (place_names.h),
// every vehicle in use or sent in the last hour, as a labelled point where
// it is now at the end of its track with an arrow on its course, the
// current one ringed, an AIS target as a triangle on its course labelled
// with its name or MMSI, on the local plane around the fleet, with a graticule,
// a scale bar and a north arrow; each vehicle's route (the part driven
// faint, the part left bold, the current vehicle's wider), and where the
// receiver's noise puts it (a cross joined to the vehicle, its track
// dotted). Labels never overlap, nor cover a route's points. Pointing at a
// vehicle tells its number, position, speed, course, route and MMSI. It
// reads the model; its changes ("Porta qui il mezzo attuale", "Raggiungi",
// "Aggiungi punto al percorso" on the right button, a route drawn with
// "Disegna percorso") are asked of whoever made it, who takes the paths
// "Vai a posizione" and the routes take. Hidden, it does nothing.

#include <QVariantAnimation>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ais/identity.h"
#include "config/tile_settings.h"
#include "gui/device_dots.h"
#include "gui/fleet_marks.h"
#include "gui/map_detail.h"
#include "gui/map_projection.h"
#include "gui/place_names.h"
#include "gui/world_map.h"
#include "panel/panel_form.h"
#include "routes/vehicle_routes.h"

class QPainter;

namespace vadrel::gui {

class TileLayer;

class MapCanvas : public QWidget {
    Q_OBJECT
public:
    explicit MapCanvas(PanelForm& form, QWidget* parent = nullptr);

    const MapProjection& projection() const { return projection_; }
    // The vehicles shown: every vehicle in use (Fleet::in_use) and every
    // one sent in the last hour.
    std::vector<std::size_t> shown_vehicles() const;
    // Fits the fleet, the routes it follows and the fleet for tracking
    // servers, and follows them as they move,
    // until the operator zooms or pans.
    void fit();
    bool following() const { return following_; }
    // After a tick: follows the fleet if it should, and repaints.
    void refresh();
    // The vehicle shown within a few pixels of the point, the nearest; or none.
    std::optional<std::size_t> vehicle_at(QPointF point) const;
    // What pointing at the vehicle tells: number, position in degrees and
    // minutes, speed, course, and where set its route and AIS MMSI.
    QString describe(std::size_t vehicle) const;
    // More lines of what pointing tells, from whoever made the map: the
    // vehicle's stream port ("" for none).
    std::function<QString(std::size_t)> identity;
    // The devices of the fleet for tracking servers, where they are now
    // (none when unset): dots thinned by zoom, counted, fitted with the rest.
    std::function<std::vector<DeviceDot>()> tracked_devices;
    // The street tiles under the map, off until set on.
    TileLayer& tiles() const { return *tiles_; }
    void set_tiles(const TileSettings& settings);
    // "Porta qui il mezzo attuale": the current vehicle to the place under
    // that point of the canvas, asked through place_current.
    void bring_current_here(QPointF point);

    // The routes drawn and acted on; none: no route on the map, no route
    // entries in its menu, no drawing.
    void set_routes(const VehicleRoutes* routes) { routes_ = routes; }
    const VehicleRoutes* routes() const { return routes_; }
    // The AIS identity a vehicle is sent with; none while AIS is off.
    using AisOf = FleetMarks::AisOf;
    void set_ais(AisOf ais) { ais_ = std::move(ais); }

    // "Disegna percorso": from now on a click adds a point; a double click
    // or Enter ends (route_drawn), Esc cancels.
    void start_drawing();
    void finish_drawing();
    void cancel_drawing();
    bool drawing() const { return drawing_; }
    const std::vector<GeoPoint>& sketch() const { return sketch_; }

signals:
    // The operator asks for the current vehicle at that place.
    void place_current(GeoPoint where);
    // ... to drive there from where it is ("Raggiungi").
    void reach(GeoPoint where);
    // ... to add that place at the end of its route.
    void append_to_route(GeoPoint where);
    // ... to follow the points drawn, from where it is.
    void route_drawn(std::vector<GeoPoint> points);
    void drawing_changed(bool drawing);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    // The route being drawn, to the pointer.
    void paint_sketch(QPainter& painter) const;
    std::vector<GeoPoint> fleet_points() const;
    std::vector<DeviceDot> devices() const { return tracked_devices ? tracked_devices() : std::vector<DeviceDot>{}; }
    // What pointing at a dot of the fleet for tracking servers tells.
    QString describe(const DeviceDots& dots, const DotCell& dot) const;
    double oldest_shown() const;
    const TrackHistory& tracks() const;
    // Where the vehicle is now: it goes on between the points its sentences leave.
    GeoPoint live(std::size_t vehicle) const;

    PanelForm& form_;
    MapProjection projection_;
    bool following_ = true;
    // The wheel's zoom under way: the scale it goes to, round this point.
    QVariantAnimation zooming_;
    double zoom_target_ = 0.0;
    QPointF zoom_anchor_;
    std::optional<QPointF> drag_;
    // Where the button went down; the map moves only once the pointer has
    // gone the platform's drag distance from there (a click's tremor is a click).
    QPointF pressed_at_;
    // Whether the press being dragged has moved the map (else it is a click).
    bool dragged_ = false;
    // Land, coastlines and borders; none if the built-in data cannot be read.
    std::optional<WorldMap> world_;
    PlaceNames places_;
    // Lakes, rivers and the coast close up, offline.
    MapDetail detail_;
    TileLayer* tiles_;
    QString tile_note_;
    const VehicleRoutes* routes_ = nullptr;
    AisOf ais_;
    bool drawing_ = false;
    std::vector<GeoPoint> sketch_;
    std::optional<QPointF> pointer_;
};

}  // namespace vadrel::gui
