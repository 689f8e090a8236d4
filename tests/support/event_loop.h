#pragma once
// The Qt event loop in the tests of ports, timers and outputs: QSerialPort,
// the timers and the sockets' notifiers need one. And the far ends the tests
// hold: descriptors of pseudo-terminals and sockets, read as a client reads
// them.

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <string>

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

inline bool readable(int fd, int wait_ms = 3000) {
    pollfd watch{fd, POLLIN, 0};
    return ::poll(&watch, 1, wait_ms) == 1;
}

// Reads until `count` bytes have come, the other end closed, or nothing came
// for `wait_ms` (never, when things work; 0: what is there now).
inline std::string read_bytes(int fd, std::size_t count, int wait_ms = 3000) {
    std::string got;
    char buffer[65536];
    while (got.size() < count && readable(fd, wait_ms)) {
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

}  // namespace vadrel
