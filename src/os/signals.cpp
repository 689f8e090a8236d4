#include "signals.h"

#include <QSocketNotifier>

#ifdef __linux__
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>
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

}  // namespace vadrel
