#pragma once
// An AIS target on the map as chart plotters draw one: a slim triangle with
// its apex ahead on the course it goes over the ground (a target standing
// still points along its course), labelled with its name or, without one,
// its MMSI.
//
//   painter.drawPath(ais_triangle({100, 100}, 90.0, 8.0));  // apex at (112, 100): east
//   ais_label(identity);                                     // "ANNA" or "900000003"

#include <QPainterPath>
#include <QPointF>
#include <QString>

#include "ais/identity.h"

namespace vadrel::gui {

// The triangle round `at`, `size` pixels from its centre to the base, 1.5
// times that to the apex; north up, `course` in degrees clockwise from it.
QPainterPath ais_triangle(QPointF at, double course, double size);
// How far the triangle reaches from its centre: its apex.
double ais_reach(double size);

// The name as the operator wrote it, else the nine digits of the MMSI.
QString ais_label(const AisIdentity& identity);

}  // namespace vadrel::gui
