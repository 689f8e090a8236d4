#include "pilot_entry.h"

#include <QAction>
#include <QMenu>
#include <QStatusBar>

namespace vadrel::gui {

PilotEntry::PilotEntry(QMenu& menu, QStatusBar& status_bar, PilotActions actions)
    : actions_(std::move(actions)), action_(menu.addAction(QStringLiteral("Pi&lota automatico"))) {
    action_->setObjectName(QStringLiteral("opzione_pilota"));
    action_->setCheckable(true);
    line_.setObjectName(QStringLiteral("stato_pilota"));
    status_bar.addPermanentWidget(&line_);
    line_.hide();
    connect(action_, &QAction::triggered, this, [this](bool on) {
        actions_.set_on(on);
        refresh();
    });
    refresh();
}

void PilotEntry::refresh() {
    const bool on = actions_.on();
    action_->setChecked(on);
    // Once used, the line stays to say it is off.
    shown_ = shown_ || on;
    line_.setVisible(shown_);
    if (shown_) line_.setText(QString::fromStdString(actions_.status()));
}

}  // namespace vadrel::gui
