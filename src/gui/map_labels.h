#pragma once
// Where the map writes each vehicle's label: beside its point, on the first
// of eight sides where it covers no label placed before it, no vehicle's
// point or heading arrow and no area kept clear (the scale bar, the north
// arrow); where every
// side is taken, stacked under the labels already there, a line then leading
// to its point. No two labels ever overlap.
//
//   std::vector<QRectF> at = place_labels({{point, size, radius}, ...}, {scale_bar});

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <optional>
#include <vector>

namespace vadrel::gui {

struct LabelRequest {
    QPointF point;       // the vehicle on the screen
    QSizeF size;         // its label's box
    double radius = 0;   // of the point drawn
    // The tip of its heading arrow; none when it is the point itself.
    std::optional<QPointF> arrow_tip;
};

// One box per request, in order: the first requests get the nearer places.
std::vector<QRectF> place_labels(const std::vector<LabelRequest>& labels, const std::vector<QRectF>& keep_clear);

// The same placing for labels that may be left out (the names of places):
// each on the first free side of its point, or none where every side is taken.
std::vector<std::optional<QRectF>> place_labels_where_free(const std::vector<LabelRequest>& labels,
                                                           const std::vector<QRectF>& keep_clear);

// Whether the label's box lies beside its point (false: stacked away, to be
// joined to it by a line).
bool label_beside(const LabelRequest& label, const QRectF& box);

}  // namespace vadrel::gui
