#pragma once
// Acting on a modal window from inside the event loop it runs.

#include <QApplication>
#include <QTimer>
#include <functional>

namespace vadrel::gui::test_helpers {

// Runs `act` on the modal window once it is up, polling the event loop the
// modal window runs every 10 ms; gives up after `tries` polls.
inline void when_modal(std::function<void(QWidget*)> act, int tries = 500) {
    QTimer::singleShot(10, qApp, [act = std::move(act), tries]() mutable {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            act(modal);
        } else if (tries > 0) {
            when_modal(std::move(act), tries - 1);
        }
    });
}

}  // namespace vadrel::gui::test_helpers
