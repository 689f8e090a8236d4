#include "clock_status.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <algorithm>

namespace vadrel::gui {

namespace {

QString rate_text(const ClockLine& line) {
    if (line.max) return QStringLiteral("max");
    // x10, x0.5, x1.25: as few digits as the rate needs.
    return QStringLiteral("x") + QString::number(line.rate, 'g', 6);
}

}  // namespace

QString clock_line_text(const ClockLine& line) {
    // To the second: the milliseconds would flicker.
    QString utc = QString::fromStdString(line.utc.substr(0, 19));
    utc.replace(QLatin1Char('T'), QLatin1Char(' '));
    QString text = utc + QStringLiteral(" UTC  ") + rate_text(line);
    if (line.paused) text += QStringLiteral(" (pausa)");
    if (line.events) {
        const auto [done, all] = *line.events;
        text += all == 0 ? QStringLiteral("  senza eventi") : QStringLiteral("  evento %1/%2").arg(done).arg(all);
    }
    return text;
}

ClockStatus::ClockStatus(Read read, Pause pause, QWidget* parent)
    : QWidget(parent), read_(std::move(read)), pause_(std::move(pause)) {
    setObjectName(QStringLiteral("stato_tempo"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("tempo_simulato"));
    // The panel keeps its width: a longer line is cut (whole in its
    // tooltip), never the window widened.
    text_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    widest_ = text_->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00 UTC  x1000  evento 999/999"));
    button_ = new QToolButton(this);
    button_->setObjectName(QStringLiteral("tempo_pausa"));
    button_->setAutoRaise(true);
    // As tall as a line of text: the status line, and so the panel, keep their height.
    button_->setFixedHeight(text_->fontMetrics().height());
    layout->addWidget(text_, 1);
    layout->addWidget(button_);
    connect(button_, &QToolButton::clicked, this, [this] {
        pause_(!paused_);
        refresh();
    });
    timer_.setInterval(250);
    connect(&timer_, &QTimer::timeout, this, &ClockStatus::refresh);
    timer_.start();
    refresh();
}

void ClockStatus::refresh() {
    const ClockLine line = read_();
    paused_ = line.paused;
    const QString text = clock_line_text(line);
    if (text_->text() != text) {
        text_->setText(text);
        text_->setToolTip(text);
        text_->setMinimumWidth(std::min(text_->fontMetrics().horizontalAdvance(text), widest_));
    }
    button_->setText(paused_ ? QStringLiteral("Riprendi") : QStringLiteral("Pausa"));
}

}  // namespace vadrel::gui
