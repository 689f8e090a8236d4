#include "ais_mark.h"

#include <cmath>
#include <numbers>

namespace vadrel::gui {

namespace {
constexpr double apex_ratio = 1.5;
constexpr double half_base_ratio = 0.75;
}  // namespace

double ais_reach(double size) { return size * apex_ratio; }

QPainterPath ais_triangle(QPointF at, double course, double size) {
    const double angle = course * std::numbers::pi / 180.0;
    const QPointF ahead(std::sin(angle), -std::cos(angle));  // the screen's y grows down
    const QPointF side(-ahead.y(), ahead.x());
    QPainterPath path;
    path.moveTo(at + ahead * ais_reach(size));
    path.lineTo(at - ahead * size + side * size * half_base_ratio);
    path.lineTo(at - ahead * size - side * size * half_base_ratio);
    path.closeSubpath();
    return path;
}

QString ais_label(const AisIdentity& identity) {
    if (!identity.name.empty()) return QString::fromStdString(identity.name);
    return QStringLiteral("%1").arg(identity.mmsi, 9, 10, QLatin1Char('0'));
}

}  // namespace vadrel::gui
