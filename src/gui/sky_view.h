#pragma once
// "Cielo": the sky of the current vehicle's last fix, as a receiver's
// status page draws it: circles of elevation (0°, 30°, 60°, labelled) around the
// zenith, north up, each satellite at its azimuth and elevation with its
// PRN, filled when used, ringed when heard and not used, grey when not
// heard; the fix and the dilutions below. It reads the transmitter and
// never changes anything.

#include <QFontMetrics>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <array>

#include "panel/panel_form.h"

namespace vadrel::gui {

// Where a satellite stands on a sky plot of `radius` around `centre`:
// the zenith at the centre, the horizon on the circle, north up, east right.
QPointF sky_point(double elevation, double azimuth, QPointF centre, double radius);

// The plot laid out in a view of `size`: the circle, the cardinal points
// outside it (N, E, S, O), the elevation circles' labels (0°, 30°, 60°)
// inside, and the two lines of text below, none over another.
struct SkyLayout {
    QPointF centre;
    double radius = 0.0;
    std::array<QRectF, 4> sides;      // N, E, S, O
    std::array<QRectF, 3> elevations;  // 0°, 30°, 60°
    QRectF text;
};
SkyLayout sky_layout(QSizeF size, const QFontMetrics& font);

// Why there is no sky to draw: the option that is off, named as the menus
// name it.
QString sky_missing(const ReceiverOptions& options);

class SkyView : public QWidget {
    Q_OBJECT
public:
    SkyView(PanelForm& form, QWidget* parent);
    // After a tick: draws the new sky if shown.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    PanelForm& form_;
};

}  // namespace vadrel::gui
