#pragma once
// Helpers for the tests that use real pseudo-terminals and a Qt event loop:
// the program on the other end of a port, and a QCoreApplication per test.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vadrel::testing {

using namespace std::chrono_literals;

// How long a test waits for something the kernel does at once; never reached
// when things work.
inline constexpr std::chrono::milliseconds patience = 3s;

// An open file descriptor, closed when it goes.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        reset(other.release());
        return *this;
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// This test process's own folder in the temporary folder.
inline std::filesystem::path own_folder() {
    return std::filesystem::temp_directory_path() / ("vadrel-test-" + std::to_string(::getpid()));
}

// Removes the process's folder when the test binary ends.
struct OwnFolderRemoval {
    ~OwnFolderRemoval() {
        std::error_code ignored;
        std::filesystem::remove_all(own_folder(), ignored);
    }
};
inline const OwnFolderRemoval own_folder_removal;

// A path in this test process's own folder.
inline std::string unique_path(const std::string& name) {
    std::filesystem::create_directories(own_folder());
    return (own_folder() / name).string();
}

// Reads from fd until `count` bytes have come or the deadline passes.
inline std::string read_bytes(int fd, std::size_t count, std::chrono::milliseconds deadline = patience) {
    std::string got;
    const QDeadlineTimer until(deadline);
    while (got.size() < count && !until.hasExpired()) {
        pollfd watch{fd, POLLIN, 0};
        if (::poll(&watch, 1, static_cast<int>(until.remainingTime())) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - got.size()));
        if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
        else if (n < 0 && errno != EAGAIN && errno != EINTR) break;
    }
    return got;
}

// Everything fd has to read right now (nonblocking fd).
inline std::string read_available(int fd) {
    std::string got;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) got.append(buffer, static_cast<std::size_t>(n));
    return got;
}

// Waits until fd has something to read; false when the deadline passed.
inline bool wait_readable(int fd, std::chrono::milliseconds deadline = patience) {
    pollfd watch{fd, POLLIN, 0};
    return ::poll(&watch, 1, static_cast<int>(deadline.count())) == 1;
}

// Bytes waiting to be read on fd.
inline int waiting(int fd) {
    int count = -1;
    ::ioctl(fd, FIONREAD, &count);
    return count;
}

// A program opening a serial device: the slave side of a pseudo-terminal,
// opened the way gpsd or a terminal does, its line settings untouched.
inline Fd open_like_a_client(const std::string& path) {
    return Fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
}

// The far end of a cable: a pseudo-terminal whose master the test holds and
// whose slave a DevicePort opens as its device. The device is named by a link
// of its own: QSerialPort takes a lock file named after the device, and test
// processes running side by side reuse the same /dev/pts numbers.
struct Cable {
    Fd master;
    std::string device;  // the link
    std::string slave;   // /dev/pts/K

    Cable() = default;
    Cable(Cable&&) = default;
    Cable& operator=(Cable&&) = default;
    ~Cable() {
        if (!device.empty()) ::unlink(device.c_str());
    }

    static Cable make() {
        static int made = 0;
        Cable cable;
        int master = -1;
        int slave = -1;
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return cable;
        char name[128] = {};
        ::ttyname_r(slave, name, sizeof name);
        termios raw{};
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
        ::close(slave);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        cable.master = Fd(master);
        cable.slave = name;
        const std::string link = unique_path("cavo" + std::to_string(++made));
        ::unlink(link.c_str());
        if (::symlink(name, link.c_str()) == 0) cable.device = link;
        return cable;
    }
};

// A QCoreApplication for the tests that need an event loop (QSerialPort, timers).
class WithEventLoop : public ::testing::Test {
protected:
    void SetUp() override { app_ = std::make_unique<QCoreApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

    // Runs the event loop until done() or the deadline; returns done().
    static bool run_until(const std::function<bool()>& done, std::chrono::milliseconds deadline = patience) {
        if (done()) return true;
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (done()) loop.quit();
        });
        check.start(5);
        QTimer::singleShot(deadline, &loop, &QEventLoop::quit);
        loop.exec();
        return done();
    }

private:
    int argc_ = 1;
    char name_[16] = "vadrel_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

}  // namespace vadrel::testing
