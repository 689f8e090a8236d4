#include "monitor.h"

#include <QPainter>

#include "model/controls.h"

namespace vadrel::gui {

Monitor::Monitor(QWidget* parent) : QFrame(parent) {
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSizeF(8.0);
    setFont(mono);
}

void Monitor::set_lines(const QStringList& lines) {
    if (lines == lines_) return;
    lines_ = lines;
    update();
}

void Monitor::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect area = contentsRect();
    painter.setClipRect(area);
    const int step = PictureBox::line_height / 15;
    const int ascent = fontMetrics().ascent();
    int y = area.top();
    for (const QString& line : lines_) {
        if (y > area.bottom()) break;
        painter.drawText(area.left() + 1, y + ascent, line);
        y += step;
    }
}

}  // namespace vadrel::gui
