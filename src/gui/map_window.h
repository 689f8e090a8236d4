#pragma once
// "Mappa": over the land, coastlines and borders of the world (world_map.h),
// with the street tiles when they are on (tile_layer.h) and the names of the
// larger places where there is room (place_names.h),
// every vehicle sent in the last hour, as a labelled point where
// it is now at the end of its track with an arrow on its course, the
// current one ringed, on the local plane around the fleet, with a graticule,
// a scale bar and a north arrow. Labels never overlap. Pointing at a vehicle
// tells its number, position, speed and course. It reads the model; its one
// change, "Porta qui il mezzo attuale" on the right button, is asked of
// whoever made it (place_current), who takes the path "Vai a posizione"
// takes. Hidden, it does nothing.

#include <QWidget>
#include <functional>
#include <string>
#include <optional>
#include <vector>

#include "config/tile_settings.h"
#include "gui/map_projection.h"
#include "gui/place_names.h"
#include "gui/world_map.h"
#include "panel/panel_form.h"

class QLabel;

namespace vadrel::gui {

class TileLayer;
class TileDialog;

// The colour of a vehicle's track and point.
QColor colore_mezzo(std::size_t mezzo);

class MapCanvas : public QWidget {
    Q_OBJECT
public:
    explicit MapCanvas(PanelForm& form, QWidget* parent = nullptr);

    const MapProjection& projection() const { return projection_; }
    // The vehicles shown and their points, positions of the last hour.
    std::vector<std::size_t> shown_vehicles() const;
    // Fits the fleet and follows it as it moves, until the operator zooms or pans.
    void fit();
    bool following() const { return following_; }
    // After a tick: follows the fleet if it should, and repaints.
    void refresh();
    // The vehicle shown within a few pixels of the point, the nearest; or none.
    std::optional<std::size_t> vehicle_at(QPointF point) const;
    // What pointing at the vehicle tells: number, position in degrees and
    // minutes, speed, course.
    QString describe(std::size_t vehicle) const;
    // More lines of what pointing tells, from whoever made the map: the
    // vehicle's MMSI, its stream's port ("" for none).
    std::function<QString(std::size_t)> identity;
    // The street tiles under the map, off until set on.
    TileLayer& tiles() const { return *tiles_; }
    void set_tiles(const TileSettings& settings);
    // "Porta qui il mezzo attuale": the current vehicle to the place under
    // that point of the canvas, asked through place_current.
    void bring_current_here(QPointF point);

signals:
    // The operator asks for the current vehicle at that place.
    void place_current(GeoPoint where);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::vector<GeoPoint> fleet_points() const;
    double oldest_shown() const;
    const TrackHistory& tracks() const;
    // Where the vehicle is now: it goes on between the points its sentences leave.
    GeoPoint live(std::size_t vehicle) const;

    PanelForm& form_;
    MapProjection projection_;
    bool following_ = true;
    std::optional<QPointF> drag_;
    // Whether the press being dragged has moved the map (else it is a click).
    bool dragged_ = false;
    // Land, coastlines and borders; none if the built-in data cannot be read.
    std::optional<WorldMap> world_;
    PlaceNames places_;
    TileLayer* tiles_;
    QString tile_note_;
};

class MapWindow : public QWidget {
    Q_OBJECT
public:
    explicit MapWindow(PanelForm& form, QWidget* parent = nullptr);
    MapCanvas* canvas() const { return canvas_; }
    // After each tick; nothing while the window is hidden.
    void refresh();
    // The street tiles' settings in force, and who keeps a change of them
    // (in vadrel.ini; "" when kept, else why not).
    void set_tiles(const TileSettings& settings, std::function<std::string(const TileSettings&)> keep);
    // Writes the map as a PNG; "" when written, else why not, in Italian.
    QString save_image(const QString& path) const;

private:
    void ask_and_save();

    PanelForm& form_;
    MapCanvas* canvas_;
    QLabel* note_;
    QString last_path_;
    TileSettings tile_settings_;
    std::function<std::string(const TileSettings&)> keep_tiles_;
    TileDialog* tile_dialog_ = nullptr;
};

}  // namespace vadrel::gui
