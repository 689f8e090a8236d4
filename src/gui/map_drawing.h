#pragma once
// What the map draws under and over the fleet: the sea, the land and its
// borders, the graticule, the scale bar and the north arrow, the boxed notes;
// and the text with a halo every label of the map uses.
//
//   draw_world(painter, projection, world, size);
//   for (const QRectF& box : draw_graticule(painter, projection, size, kept_clear(size))) ...

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

#include "fleet/vehicle.h"
#include "gui/map_detail.h"
#include "gui/map_projection.h"
#include "gui/world_map.h"
#include "model/track_history.h"

class QPainter;

namespace vadrel::gui {

QFont map_font(double points, bool bold = false);

inline GeoPoint geo(const TrackPoint& p) { return {p.lat, p.lon}; }
inline GeoPoint geo(const Vehicle& v) {
    return {v.lat / arc_seconds_per_degree, v.lon / arc_seconds_per_degree};
}

// Text with a white halo, readable over tracks and lines.
void halo_text(QPainter& painter, QPointF at, const QString& text, const QColor& colour);
// The same, its halo the text moved a pixel each way: glyphs from the
// cache, far cheaper than stroking a text path, for the many labels.
void quick_halo_text(QPainter& painter, QPointF at, const QString& text, const QColor& colour);

// The graticule's lines and labels; a label that would fall on a box of
// `avoid` (the scale bar, the north arrow, a banner, the credit) is left out.
// Returns where its labels went, for the other labels to keep off.
std::vector<QRectF> draw_graticule(QPainter& painter, const MapProjection& map, QSizeF size,
                                   const std::vector<QRectF>& avoid);

// The sea, the land with its coast (the detail's, close up, when it is in),
// the detail's lakes and rivers, the borders.
void draw_world(QPainter& painter, const MapProjection& map, const WorldMap& world, QSizeF size,
                const MapDetail* detail = nullptr);

// Where the scale bar and the north arrow are drawn: no label goes there.
std::vector<QRectF> kept_clear(QSizeF size);

void draw_scale_and_north(QPainter& painter, const MapProjection& map, QSizeF size);

// Where the map says the street tiles stopped: top left, or lower down the
// left side, or down the right side, where it covers none of `avoid` (the
// vehicles' points) and not the scale bar; top left when no place is free.
QRectF note_box(QSizeF size, const QString& text, const std::vector<QRectF>& avoid = {});

// The tiles' credit, bottom right, over the longitude labels.
QRectF credit_box(QSizeF size, const QString& text);

void draw_box_text(QPainter& painter, const QRectF& box, const QString& text, double points, const QColor& colour);

}  // namespace vadrel::gui
