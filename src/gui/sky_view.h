#pragma once
// "Cielo": the sky of the current vehicle's last fix, as a receiver's
// status page draws it: circles of elevation (0°, 30°, 60°) around the
// zenith, north up, each satellite at its azimuth and elevation with its
// PRN, filled when used, ringed when heard and not used, grey when not
// heard; the fix and the dilutions below. It reads the transmitter and
// never changes anything.

#include <QPointF>
#include <QWidget>

#include "panel/panel_form.h"

namespace vadrel::gui {

// Where a satellite stands on a sky plot of `radius` around `centre`:
// the zenith at the centre, the horizon on the circle, north up, east right.
QPointF sky_point(double elevation, double azimuth, QPointF centre, double radius);

class SkyView : public QWidget {
    Q_OBJECT
public:
    SkyView(PanelForm& form, QWidget* parent);
    // After a tick: draws the new sky if shown.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PanelForm& form_;
};

}  // namespace vadrel::gui
