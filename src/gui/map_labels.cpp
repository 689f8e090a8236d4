#include "map_labels.h"

#include <algorithm>

namespace vadrel::gui {

namespace {

constexpr double gap = 3.0;
// Far more than the labels and areas of a screen can fill.
constexpr int max_stack = 4096;

// The eight boxes beside the point, the usual place first: up right, down
// right, up left, down left, above, below, right, left.
std::vector<QRectF> sides(const LabelRequest& l) {
    const double d = l.radius + gap;
    const double w = l.size.width();
    const double h = l.size.height();
    const QPointF p = l.point;
    return {
        QRectF(p.x() + d, p.y() - d - h, w, h), QRectF(p.x() + d, p.y() + d, w, h),
        QRectF(p.x() - d - w, p.y() - d - h, w, h), QRectF(p.x() - d - w, p.y() + d, w, h),
        QRectF(p.x() - w / 2, p.y() - d - h, w, h), QRectF(p.x() - w / 2, p.y() + d, w, h),
        QRectF(p.x() + d, p.y() - h / 2, w, h), QRectF(p.x() - d - w, p.y() - h / 2, w, h),
    };
}

QRectF dot(const LabelRequest& l) {
    return QRectF(l.point.x() - l.radius, l.point.y() - l.radius, 2 * l.radius, 2 * l.radius);
}

// The box of the heading arrow, its head included.
std::optional<QRectF> arrow(const LabelRequest& l) {
    if (!l.arrow_tip) return std::nullopt;
    return QRectF(l.point, *l.arrow_tip).normalized().adjusted(-4, -4, 4, 4);
}

}  // namespace

namespace {

// Whether a box is free of the labels placed, the areas kept clear and every
// request's dot and arrow but its own.
bool free_box(const QRectF& box, std::size_t self, const std::vector<LabelRequest>& labels,
              const std::vector<QRectF>& placed, const std::vector<QRectF>& keep_clear) {
    const auto hits = [&box](const QRectF& other) { return box.intersects(other); };
    if (std::any_of(placed.begin(), placed.end(), hits)) return false;
    if (std::any_of(keep_clear.begin(), keep_clear.end(), hits)) return false;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (i != self && box.intersects(dot(labels[i]))) return false;
        if (const auto a = arrow(labels[i]); a && box.intersects(*a)) return false;
    }
    return true;
}

}  // namespace

std::vector<QRectF> place_labels(const std::vector<LabelRequest>& labels, const std::vector<QRectF>& keep_clear) {
    std::vector<QRectF> placed;
    placed.reserve(labels.size());
    const auto free = [&](const QRectF& box, std::size_t self) { return free_box(box, self, labels, placed, keep_clear); };
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const std::vector<QRectF> candidates = sides(labels[i]);
        auto chosen = std::find_if(candidates.begin(), candidates.end(), [&](const QRectF& b) { return free(b, i); });
        if (chosen != candidates.end()) {
            placed.push_back(*chosen);
            continue;
        }
        // Stacked: down from the usual place, a label's height at a time,
        // past everything in the way (bounded: a point off any real screen
        // stops somewhere all the same).
        QRectF box = candidates.front();
        const double step = std::max(labels[i].size.height(), 1.0) + 1.0;
        for (int tries = 0; tries < max_stack && !free(box, i); ++tries) box.translate(0, step);
        placed.push_back(box);
    }
    return placed;
}

std::vector<std::optional<QRectF>> place_labels_where_free(const std::vector<LabelRequest>& labels,
                                                           const std::vector<QRectF>& keep_clear) {
    std::vector<QRectF> placed;
    std::vector<std::optional<QRectF>> boxes;
    boxes.reserve(labels.size());
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const std::vector<QRectF> candidates = sides(labels[i]);
        const auto chosen = std::find_if(candidates.begin(), candidates.end(), [&](const QRectF& b) {
            return free_box(b, i, labels, placed, keep_clear);
        });
        boxes.push_back(chosen == candidates.end() ? std::nullopt : std::optional<QRectF>(*chosen));
        if (chosen != candidates.end()) placed.push_back(*chosen);
    }
    return boxes;
}

bool label_beside(const LabelRequest& label, const QRectF& box) {
    const std::vector<QRectF> candidates = sides(label);
    return std::find(candidates.begin(), candidates.end(), box) != candidates.end();
}

}  // namespace vadrel::gui
