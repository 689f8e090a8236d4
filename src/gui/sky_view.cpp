#include "sky_view.h"

#include <QPainter>
#include <cmath>
#include <numbers>

namespace vadrel::gui {

QPointF sky_point(double elevation, double azimuth, QPointF centre, double radius) {
    const double r = radius * (90.0 - elevation) / 90.0;
    const double a = azimuth * std::numbers::pi / 180.0;
    return {centre.x() + r * std::sin(a), centre.y() - r * std::cos(a)};
}

SkyView::SkyView(PanelForm& form, QWidget* parent) : QWidget(parent, Qt::Window), form_(form) {
    setObjectName(QStringLiteral("cielo_vista"));
    setWindowTitle(QStringLiteral("Cielo"));
    resize(360, 400);
}

void SkyView::refresh() {
    if (isVisible()) update();
}

void SkyView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().window());
    const double radius = std::max(10.0, std::min(width(), height() - 40) / 2.0 - 20.0);
    const QPointF centre(width() / 2.0, radius + 20.0);
    p.setPen(QPen(Qt::gray, 1));
    for (const double elevation : {0.0, 30.0, 60.0}) {
        const double r = radius * (90.0 - elevation) / 90.0;
        p.drawEllipse(centre, r, r);
    }
    p.drawLine(sky_point(0, 0, centre, radius), sky_point(0, 180, centre, radius));
    p.drawLine(sky_point(0, 90, centre, radius), sky_point(0, 270, centre, radius));
    p.setPen(palette().windowText().color());
    const char* sides[] = {"N", "E", "S", "O"};
    for (int i = 0; i < 4; ++i) {
        const QPointF at = sky_point(-12, 90.0 * i, centre, radius);
        p.drawText(QRectF(at.x() - 10, at.y() - 10, 20, 20), Qt::AlignCenter, QString::fromLatin1(sides[i]));
    }
    const auto& sky = form_.transmitter.last_sky();
    const QRectF below(0, height() - 36, width(), 36);
    if (!sky) {
        p.drawText(below, Qt::AlignCenter, QStringLiteral("Cielo non simulato (Opzioni > Cielo e ricevitore...)"));
        return;
    }
    for (const SatelliteInView& s : sky->satellites) {
        const QPointF at = sky_point(s.elevation, s.azimuth, centre, radius);
        const QColor colour = s.used ? QColor(0, 140, 60) : s.snr > 0 ? QColor(30, 90, 200) : Qt::gray;
        p.setPen(QPen(colour, 2));
        p.setBrush(s.used ? QBrush(colour) : Qt::NoBrush);
        p.drawEllipse(at, 7, 7);
        p.setPen(palette().windowText().color());
        p.drawText(at + QPointF(9, -6), QString::number(s.prn));
    }
    const QString fix = sky->fix == FixKind::three_d ? QStringLiteral("3D")
                        : sky->fix == FixKind::two_d ? QStringLiteral("2D")
                                                     : QStringLiteral("nessun fix");
    p.drawText(below, Qt::AlignCenter,
               QStringLiteral("Fix %1, %2 usati su %3 in vista\nPDOP %4  HDOP %5  VDOP %6")
                   .arg(fix)
                   .arg(sky->used)
                   .arg(sky->satellites.size())
                   .arg(sky->dilution.pdop, 0, 'f', 1)
                   .arg(sky->dilution.hdop, 0, 'f', 1)
                   .arg(sky->dilution.vdop, 0, 'f', 1));
}

}  // namespace vadrel::gui
