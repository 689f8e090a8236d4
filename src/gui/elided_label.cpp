#include "elided_label.h"

#include <QPainter>
#include <algorithm>
#include <QStyle>

namespace vadrel::gui {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Preferred, sizePolicy().verticalPolicy());
}

QSize ElidedLabel::minimumSizeHint() const {
    // room for a few letters and the ellipsis
    const QSize whole = QLabel::minimumSizeHint();
    const int least = fontMetrics().horizontalAdvance(QStringLiteral("Ricev…"));
    return {std::min(whole.width(), least), whole.height()};
}

void ElidedLabel::paintEvent(QPaintEvent* event) {
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
    if (shown == text()) {
        setToolTip(QString());
        QLabel::paintEvent(event);
        return;
    }
    setToolTip(text());
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}

}  // namespace vadrel::gui
