#include "second_timer.h"

#include <QDateTime>
#include <algorithm>
#include <QSocketNotifier>

#ifdef __linux__
#include <cerrno>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace vadrel {

namespace {

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

std::int64_t wall_clock_ns() {
#ifdef __linux__
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * nanoseconds_per_second + now.tv_nsec;
#else
    return QDateTime::currentMSecsSinceEpoch() * 1'000'000;
#endif
}

}  // namespace

std::int64_t next_tick_ns(std::int64_t now_ns, std::int64_t offset_ns, std::int64_t not_before_ns,
                          std::int64_t period) {
    std::int64_t next = floor_div(now_ns - offset_ns, period) * period + offset_ns + period;
    const std::int64_t bound = std::min(not_before_ns, now_ns + period);
    if (next < bound) next += (bound - next + period - 1) / period * period;
    return next;
}

SecondTimer::SecondTimer(Kind kind, std::chrono::milliseconds offset, QObject* parent)
    : QObject(parent), offset_ns_(static_cast<std::int64_t>(offset.count()) * 1'000'000) {
    qtimer_.setSingleShot(true);
    qtimer_.setTimerType(Qt::PreciseTimer);
    connect(&qtimer_, &QTimer::timeout, this, &SecondTimer::qtimer_fired);
#ifdef __linux__
    if (kind == Kind::best) {
        timer_fd_.reset(::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC));
        if (timer_fd_) {
            notifier_ = std::make_unique<QSocketNotifier>(timer_fd_.get(), QSocketNotifier::Read);
            notifier_->setEnabled(false);
            connect(notifier_.get(), &QSocketNotifier::activated, this, &SecondTimer::timer_fd_ready);
        }
    }
#else
    (void)kind;
#endif
}

SecondTimer::~SecondTimer() {
    stop();
    release_timer_fd();
}

void SecondTimer::start() {
    active_ = true;
    arm();
}

void SecondTimer::stop() {
    active_ = false;
    qtimer_.stop();
#ifdef __linux__
    if (timer_fd_) {
        const itimerspec disarm{};
        ::timerfd_settime(timer_fd_.get(), 0, &disarm, nullptr);
        notifier_->setEnabled(false);
    }
#endif
}

void SecondTimer::arm(std::int64_t not_before_ns) {
    if (!active_) return;
    const std::int64_t now = wall_clock_ns();
    const std::int64_t next = next_tick_ns(now, offset_ns_, not_before_ns, period_ns_);
    due_ns_ = next;
#ifdef __linux__
    if (timer_fd_) {
        itimerspec when{};
        when.it_value.tv_sec = static_cast<time_t>(next / nanoseconds_per_second);
        when.it_value.tv_nsec = static_cast<long>(next % nanoseconds_per_second);
        if (::timerfd_settime(timer_fd_.get(), TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when, nullptr) == 0) {
            notifier_->setEnabled(true);
            return;
        }
        // The timerfd refused: the QTimer takes over for good.
        release_timer_fd();
    }
#endif
    const std::int64_t wait_ns = next - now;
    qtimer_.start(static_cast<int>((wait_ns + 999'999) / 1'000'000));
}

void SecondTimer::timer_fd_ready() {
#ifdef __linux__
    std::uint64_t expirations = 0;
    const ssize_t got = ::read(timer_fd_.get(), &expirations, sizeof expirations);
    if (got < 0) {
        // ECANCELED: the wall clock was set; wait for the next second of the
        // new time at least half a second after the last tick, however long
        // ago the new time says that was. EAGAIN: nothing due yet.
        if (errno == ECANCELED) {
            const auto since_last = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::steady_clock::now() - last_tick_)
                                        .count();
            arm(wall_clock_ns() - since_last + period_ns_ / 2);
        }
        return;
    }
    // One tick however many seconds went by (expirations > 1 cannot happen for
    // a one-shot timer, and missed seconds are not made up anyway).
    notifier_->setEnabled(false);
    last_tick_ = std::chrono::steady_clock::now();
    fire();
#endif
}

void SecondTimer::qtimer_fired() {
    if (!active_) return;
    fire();
}

void SecondTimer::fire() {
    const std::int64_t ticked = due_ns_;
    const std::int64_t within = ((ticked - offset_ns_) % nanoseconds_per_second + nanoseconds_per_second) %
                                nanoseconds_per_second;
    tick_in_second_ = static_cast<int>(within / period_ns_);
    emit tick();
    arm(ticked + period_ns_);
}

void SecondTimer::set_rate(int per_second) {
    const std::int64_t period =
        per_second == 2 || per_second == 5 || per_second == 10 ? nanoseconds_per_second / per_second
                                                               : nanoseconds_per_second;
    if (period == period_ns_) return;
    period_ns_ = period;
    if (active_) {
        stop();
        start();
    }
}

void SecondTimer::release_timer_fd() {
#ifdef __linux__
    notifier_.reset();
    timer_fd_.reset();
#endif
}

}  // namespace vadrel
