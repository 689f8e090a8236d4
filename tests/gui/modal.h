#pragma once
// Modal windows in the window's tests.

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

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

}  // namespace vadrel::gui
