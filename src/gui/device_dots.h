#pragma once
// The fleet for tracking servers on the map: each device a small dot beside
// the panel's vehicles. Far out, thousands of devices fall on the same few
// pixels: the view is cut into a grid of cells a few pixels wide and each
// cell holding devices gets one dot (larger when it holds more than one),
// so a repaint costs one projection a device and one dot a cell, however
// many devices there are. Closer in, when every device has a cell of its
// own and there are not too many, each carries its id where there is room
// (map_labels.h: no label over another, over a vehicle or a kept-clear box).
//
//   const DeviceDots dots(projection, devices, size());
//   dots.paint_dots(painter);
//   dots.paint_labels(painter, taken);   // after every other label

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "gui/map_projection.h"

class QPainter;

namespace vadrel::gui {

// One device of the fleet where it is now.
struct DeviceDot {
    std::string id;
    GeoPoint where;
    double course = 0.0;  // degrees true
    double speed_kmh = 0.0;
};

// The side of a cell of the grid, in pixels, at least.
inline constexpr double dot_cell_pixels = 4.0;
// At most about this many dots: beyond, the cells are made twice as wide,
// so that a repaint's cost has a bound whatever the spread.
inline constexpr std::size_t most_device_dots = 4000;
// At most this many ids written on the map at once.
inline constexpr std::size_t most_device_labels = 200;

// One dot: the devices of one cell of the grid.
struct DotCell {
    QPointF at;             // the first device's place on the screen
    std::size_t first = 0;  // its index among the devices
    std::size_t count = 0;  // devices in the cell
};

struct ThinnedDots {
    std::vector<DotCell> cells;  // in the order of their first device
    std::size_t in_view = 0;     // devices on the screen
    double cell = dot_cell_pixels;  // the side of a cell
    bool thinned() const { return in_view > cells.size(); }
};

// The devices on a screen of `area` gathered into cells `cell` pixels wide,
// wider when they would make more than `most` dots; those off the screen
// left out.
ThinnedDots thin_dots(const MapProjection& map, const std::vector<DeviceDot>& devices, QSizeF area,
                      double cell = dot_cell_pixels, std::size_t most = most_device_dots);

class DeviceDots {
public:
    DeviceDots(const MapProjection& map, const std::vector<DeviceDot>& devices, QSizeF area);

    const ThinnedDots& thinned() const { return thinned_; }
    void paint_dots(QPainter& painter) const;
    // The ids beside their dots, off `taken` (labels, vehicles, banners,
    // the scale bar); none while the dots are thinned or too many.
    void paint_labels(QPainter& painter, const std::vector<QRectF>& taken) const;
    // "3 dispositivi della flotta", and how many dots when thinned; "" for none in view.
    QString count_text() const;
    // The dot within `reach` pixels of the point, the nearest.
    std::optional<DotCell> dot_at(QPointF point, double reach) const;
    const DeviceDot& device(const DotCell& dot) const { return devices_[dot.first]; }

private:
    const std::vector<DeviceDot>& devices_;
    ThinnedDots thinned_;
};

}  // namespace vadrel::gui
