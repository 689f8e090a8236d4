#include "signals.h"

#include <QSocketNotifier>

#ifdef __linux__
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#endif

namespace vadrel {

#ifdef __linux__
namespace {
sigset_t watched_set() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigaddset(&set, SIGUSR1);
    return set;
}
}  // namespace
#endif

void take_over_signals() {
#ifdef __linux__
    const sigset_t set = watched_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A reader that went away (`| head -1`) is the writer's business, not a
    // reason to end: the write fails with EPIPE instead.
    ::signal(SIGPIPE, SIG_IGN);
    // Nor is a file-size limit (ulimit -f): the write that passes it fails
    // with EFBIG, and the save that made it says so and loses nothing.
    ::signal(SIGXFSZ, SIG_IGN);
#endif
}

SignalWatcher::SignalWatcher() {
#ifdef __linux__
    const sigset_t set = watched_set();
    fd_.reset(signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!fd_) return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_.get(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        signalfd_siginfo info;
        bool end = false;
        while (read(fd_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            if (info.ssi_signo == SIGUSR1) {
                emit fix_switch();
            } else {
                end = true;
            }
        }
        if (end) emit termination();
    });
#endif
}

SignalWatcher::~SignalWatcher() {
#ifdef __linux__
    notifier_.reset();
    fd_.reset();
#endif
}

TerminationDuringStart::TerminationDuringStart(std::string farewell, int status) {
#ifdef __linux__
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    signals_.reset(signalfd(-1, &set, SFD_CLOEXEC));
    wake_.reset(eventfd(0, EFD_CLOEXEC));
    if (!signals_ || !wake_) return;
    waiter_ = std::thread([watched_fd = signals_.get(), wake = wake_.get(), farewell = std::move(farewell), status] {
        pollfd watched[2] = {{watched_fd, POLLIN, 0}, {wake, POLLIN, 0}};
        while (true) {
            if (::poll(watched, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (watched[1].revents != 0) return;  // the start is over
            signalfd_siginfo info;
            if (::read(watched_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                const std::string line = farewell + "\n";
                [[maybe_unused]] const auto written = ::write(STDERR_FILENO, line.data(), line.size());
                ::_exit(status);
            }
        }
    });
#else
    (void)farewell;
    (void)status;
#endif
}

TerminationDuringStart::~TerminationDuringStart() {
#ifdef __linux__
    if (waiter_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
        waiter_.join();
    }
#endif
}

}  // namespace vadrel
