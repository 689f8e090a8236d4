#include "monitor.h"

#include <QPainter>
#include <algorithm>

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
    // The panel clears the box only once a line has gone past its foot: the
    // lines that would not show whole give way from the top, so the newest
    // line always shows whole.
    const auto fit = static_cast<qsizetype>(std::max(1, area.height() / step));
    const qsizetype first = std::max<qsizetype>(0, lines_.size() - fit);
    int y = area.top();
    for (qsizetype i = first; i < lines_.size(); ++i) {
        painter.drawText(area.left() + 1, y + ascent, lines_[i]);
        y += step;
    }
}

}  // namespace vadrel::gui
