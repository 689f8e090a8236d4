#include "sky_view.h"

#include <QKeyEvent>
#include <QPainter>
#include <cmath>
#include <numbers>

namespace vadrel::gui {

QPointF sky_point(double elevation, double azimuth, QPointF centre, double radius) {
    const double r = radius * (90.0 - elevation) / 90.0;
    const double a = azimuth * std::numbers::pi / 180.0;
    return {centre.x() + r * std::sin(a), centre.y() - r * std::cos(a)};
}

SkyLayout sky_layout(QSizeF size, const QFontMetrics& font) {
    SkyLayout layout;
    const double line = font.lineSpacing();
    const double letter = std::max<double>(font.horizontalAdvance(QStringLiteral("W")), line);
    // Two lines of text at the foot; round the circle, room for a letter.
    layout.text = QRectF(0, std::max(0.0, size.height() - 2 * line - 6), size.width(), 2 * line + 6);
    const double margin = letter + 4;
    const double across = std::min(size.width() - 2 * margin, layout.text.top() - 2 * margin);
    layout.radius = std::max(4.0, across / 2.0);
    layout.centre = QPointF(size.width() / 2.0, margin + layout.radius);
    for (int i = 0; i < 4; ++i) {
        const QPointF at = sky_point(0, 90.0 * i, layout.centre, layout.radius + margin / 2.0);
        layout.sides[static_cast<std::size_t>(i)] = QRectF(at.x() - letter / 2, at.y() - line / 2, letter, line);
    }
    // Along the north-east line, inside each circle.
    const double label = font.horizontalAdvance(QStringLiteral("60°")) + 2;
    const double elevations[] = {0.0, 30.0, 60.0};
    for (std::size_t i = 0; i < 3; ++i) {
        const QPointF at = sky_point(elevations[i], 45, layout.centre, layout.radius);
        layout.elevations[i] = QRectF(at.x() - label - 2, at.y() + 2, label, line);
    }
    return layout;
}

QString sky_missing(const ReceiverOptions& options) {
    const bool orbits = options.sky_options.satellites;
    const bool sentences = options.full_set || options.sky_options.noise > 0.0;
    if (!orbits && !sentences)
        return QStringLiteral("Cielo non simulato: mancano \"Satelliti dalle orbite\" (Opzioni > Cielo e "
                              "ricevitore...) e \"Frasi complete\" (Opzioni)");
    if (!orbits)
        return QStringLiteral("Cielo non simulato: manca \"Satelliti dalle orbite\" (Opzioni > Cielo e ricevitore...)");
    if (!sentences) return QStringLiteral("Cielo non simulato: manca \"Frasi complete\" (Opzioni)");
    return QStringLiteral("Il cielo compare con il prossimo secondo trasmesso");
}

SkyView::SkyView(PanelForm& form, QWidget* parent) : QWidget(parent, Qt::Window), form_(form) {
    setObjectName(QStringLiteral("cielo_vista"));
    setWindowTitle(QStringLiteral("Cielo"));
    resize(360, 400);
    setMinimumSize(160, 200);
}

void SkyView::refresh() {
    if (isVisible()) update();
}

void SkyView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().window());
    const SkyLayout layout = sky_layout(size(), fontMetrics());
    const double radius = layout.radius;
    const QPointF centre = layout.centre;
    p.setPen(QPen(Qt::gray, 1));
    for (const double elevation : {0.0, 30.0, 60.0}) {
        const double r = radius * (90.0 - elevation) / 90.0;
        p.drawEllipse(centre, r, r);
    }
    p.drawLine(sky_point(0, 0, centre, radius), sky_point(0, 180, centre, radius));
    p.drawLine(sky_point(0, 90, centre, radius), sky_point(0, 270, centre, radius));
    const char* elevations[] = {"0°", "30°", "60°"};
    for (std::size_t i = 0; i < 3; ++i)
        p.drawText(layout.elevations[i], Qt::AlignRight | Qt::AlignTop, QString::fromUtf8(elevations[i]));
    p.setPen(palette().windowText().color());
    const char* sides[] = {"N", "E", "S", "O"};
    for (std::size_t i = 0; i < 4; ++i) p.drawText(layout.sides[i], Qt::AlignCenter, QString::fromLatin1(sides[i]));
    const auto& sky = form_.transmitter.last_sky();
    const QRectF below = layout.text;
    if (!sky) {
        p.drawText(below, Qt::AlignCenter | Qt::TextWordWrap, sky_missing(form_.transmitter.receiver()));
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

void SkyView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace vadrel::gui
