#pragma once
// "Mappa": every vehicle sent in the last hour, as a labelled point where
// it is now at the end of its track, the current one ringed, on the
// local plane around the fleet, with a graticule, a scale bar and a north
// arrow. It reads the model and never changes it; hidden, it does nothing.

#include <QWidget>
#include <optional>
#include <vector>

#include "gui/map_projection.h"
#include "panel/form1.h"

class QLabel;

namespace vadrel::gui {

// The colour of a vehicle's track and point.
QColor colore_mezzo(std::size_t mezzo);

class MapCanvas : public QWidget {
    Q_OBJECT
public:
    explicit MapCanvas(Form1& form, QWidget* parent = nullptr);

    const MapProjection& projection() const { return projection_; }
    // The vehicles shown and their points, positions of the last hour.
    std::vector<std::size_t> shown_vehicles() const;
    // Fits the fleet and follows it as it moves, until the operator zooms or pans.
    void fit();
    bool following() const { return following_; }
    // After a tick: follows the fleet if it should, and repaints.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::vector<GeoPoint> fleet_points() const;
    double oldest_shown() const;
    const TrackHistory& tracks() const;
    // Where the vehicle is now: it goes on between the points its sentences leave.
    GeoPoint live(std::size_t vehicle) const;

    Form1& form_;
    MapProjection projection_;
    bool following_ = true;
    std::optional<QPointF> drag_;
};

class MapWindow : public QWidget {
    Q_OBJECT
public:
    explicit MapWindow(Form1& form, QWidget* parent = nullptr);
    MapCanvas* canvas() const { return canvas_; }
    // After each tick; nothing while the window is hidden.
    void refresh();
    // Writes the map as a PNG; "" when written, else why not, in Italian.
    QString save_image(const QString& path) const;

private:
    void ask_and_save();

    Form1& form_;
    MapCanvas* canvas_;
    QLabel* note_;
    QString last_path_;
};

}  // namespace vadrel::gui
