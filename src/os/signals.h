#pragma once
// SIGINT, SIGTERM and SIGHUP (the terminal closed, the ssh link dropped) as
// a Qt signal, so the orderly shut-down runs in the event loop; SIGUSR1, which
// switches the loss of the receiver's signal on and off, as another. On
// Linux the four signals are blocked and read from a signalfd; elsewhere the
// default handling stays.

#include <QObject>
#include <memory>
#include <string>
#include <thread>

#include "os/descriptor.h"

class QSocketNotifier;

namespace vadrel {

// Blocks SIGINT, SIGTERM, SIGHUP and SIGUSR1 in this thread and in every thread
// started later, and ignores SIGPIPE: call it first thing in main().
void take_over_signals();

class SignalWatcher : public QObject {
    Q_OBJECT
public:
    // Needs the application object; the signals must already be blocked.
    SignalWatcher();
    ~SignalWatcher() override;

signals:
    void termination();
    void fix_switch();

private:
    Descriptor fd_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

// While the program starts (its folder, its routes, its ports: nothing sent
// yet, nothing to save), SIGINT, SIGTERM or SIGHUP end it at once, whatever
// it is doing: a thread of this guard waits for them, writes `farewell` on
// standard error and leaves with `status`. Reading a route of hundreds of
// megabytes need not ask whether to stop. Once the guard goes (before the
// event loop runs), SignalWatcher has the signals again.
class TerminationDuringStart {
public:
    TerminationDuringStart(std::string farewell, int status);
    ~TerminationDuringStart();
    TerminationDuringStart(const TerminationDuringStart&) = delete;
    TerminationDuringStart& operator=(const TerminationDuringStart&) = delete;

private:
    Descriptor signals_;
    Descriptor wake_;
    std::thread waiter_;
};

}  // namespace vadrel
