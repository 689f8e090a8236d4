#pragma once
// Modal windows in the window's tests.

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace vadrel::gui {

// Runs `act` on the modal window once it is up, looking every 10 ms from
// inside the event loop the modal window runs; gives up after five seconds.
inline void when_modal(std::function<void(QWidget*)> act, int tries = 500) {
    QTimer::singleShot(10, qApp, [act = std::move(act), tries]() mutable {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            act(modal);
        } else if (tries > 0) {
            when_modal(std::move(act), tries - 1);
        }
    });
}

// Does `act` and closes the modal window it brings up; returns what that
// window said if it was a message box, "" if none came up.
inline QString said_after(const std::function<void()>& act) {
    const auto said = std::make_shared<QString>();
    when_modal([said](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) *said = box->text();
        modal->close();
    });
    act();
    return *said;
}

}  // namespace vadrel::gui
