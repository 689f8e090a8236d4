#pragma once
// A timer that ticks on the wall-clock second (plus a small fixed offset),
// or 2, 5 or 10 times a second on its fractions (set_rate).
//
//   SecondTimer timer;                        // timerfd on Linux, QTimer elsewhere
//   QObject::connect(&timer, &SecondTimer::tick, [&] { Timer1_Timer(form); });
//   timer.start();
//
// Each tick is armed for an absolute instant (whole second + offset), so the
// ticks never drift; a tick that comes late (the program was stopped, the
// machine busy) is followed by the next whole second, however near, and not
// by a catch-up burst: the seconds missed are skipped (next_tick_ns). On Linux a timerfd on
// CLOCK_REALTIME with TFD_TIMER_ABSTIME, watched by a QSocketNotifier; when the
// wall clock is set (NTP step, the operator), the kernel cancels the wait and
// the timer is armed again from the new time. Elsewhere, or when the timerfd
// cannot be made, a single-shot precise QTimer armed again on each tick for
// the time left to the next second. Needs the Qt event loop of its thread.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <memory>

#include "os/descriptor.h"

class QSocketNotifier;

namespace vadrel {

inline constexpr std::int64_t nanoseconds_per_second = 1'000'000'000;

// The next tick at now_ns: the first instant k * 1 s + offset_ns (k whole,
// counted from the epoch) after now_ns and not before not_before_ns, which
// the caller sets a second after the instant the last tick was armed for (a
// tick handled late is followed by the next second however near; one that
// came a moment early is not followed by its own second again), or half a
// second after the last tick in real time once the wall clock was set. A
// not_before_ns more than a second ahead (the wall clock set back meanwhile)
// counts as a second ahead.
// With `period_ns` (a divisor of a second) the same on its instants k * period + offset.
std::int64_t next_tick_ns(std::int64_t now_ns, std::int64_t offset_ns, std::int64_t not_before_ns = 0,
                          std::int64_t period_ns = nanoseconds_per_second);

class SecondTimer : public QObject {
    Q_OBJECT

public:
    enum class Kind {
        best,      // the timerfd where there is one, else the QTimer
        portable,  // always the QTimer
    };

    explicit SecondTimer(Kind kind = Kind::best,
                         std::chrono::milliseconds offset = std::chrono::milliseconds(2),
                         QObject* parent = nullptr);
    ~SecondTimer() override;
    SecondTimer(const SecondTimer&) = delete;
    SecondTimer& operator=(const SecondTimer&) = delete;

    void start();
    void stop();
    // Ticks a second from the next one on: 1 (the default), 2, 5 or 10;
    // anything else counts as 1.
    void set_rate(int per_second);
    int rate() const { return static_cast<int>(nanoseconds_per_second / period_ns_); }
    // Which tick of its second the last one was: 0 on the whole second
    // (plus the offset), 1 .. rate - 1 after it.
    int tick_in_second() const { return tick_in_second_; }

signals:
    void tick();

private:
    void arm(std::int64_t not_before_ns = 0);
    void fire();
    void timer_fd_ready();
    void qtimer_fired();
    void release_timer_fd();

    std::int64_t offset_ns_;
    std::int64_t period_ns_ = nanoseconds_per_second;
    int tick_in_second_ = 0;
    bool active_ = false;
    std::chrono::steady_clock::time_point last_tick_;
    std::int64_t due_ns_ = 0;  // the instant the timer is armed for
    Descriptor timer_fd_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer qtimer_;
};

}  // namespace vadrel
