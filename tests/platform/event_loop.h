#pragma once
// The Qt event loop in the platform's tests: QSerialPort, the timers and the
// sockets' notifiers need one.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <chrono>
#include <functional>

namespace vadrel {

class WithEventLoop : public ::testing::Test {
    int argc_ = 1;
    char name_[8] = "vadrel";
    char* argv_[2] = {name_, nullptr};
    QCoreApplication app_{argc_, argv_};
};

// Runs the event loop until done() or 10 s passed; whether done() came.
inline bool run_until(const std::function<bool()>& done) {
    const QDeadlineTimer until(std::chrono::seconds(10));
    while (!done()) {
        if (until.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

}  // namespace vadrel
