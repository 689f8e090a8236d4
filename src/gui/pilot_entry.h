#pragma once
// The autopilot in the window: "Pilota automatico", a check item of the
// menu "Opzioni", and a line under the panel that says what it does
// ("Pilota: rotta 090 verso WP1"). The line is shown only while the pilot
// is on, or when it has just been switched off, so the panel's layout stays
// as it was for whoever does not use it.

#include <QLabel>
#include <QObject>
#include <functional>
#include <string>

#include "gui/elided_label.h"

class QAction;
class QMenu;
class QStatusBar;

namespace vadrel::gui {

struct PilotActions {
    std::function<bool()> on;
    std::function<void(bool)> set_on;
    std::function<std::string()> status;
};

class PilotEntry final : public QObject {
    Q_OBJECT
public:
    PilotEntry(QMenu& menu, QStatusBar& status_bar, PilotActions actions);

    // The check item and the line as the pilot is now (each tick, and
    // after any change of it).
    void refresh();
    QAction& action() { return *action_; }
    QLabel& line() { return line_; }

private:
    PilotActions actions_;
    QAction* action_;
    ElidedLabel line_;  // gives way on the status line, whole in its tip
    bool shown_ = false;
};

}  // namespace vadrel::gui
