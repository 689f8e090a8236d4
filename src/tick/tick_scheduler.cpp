#include "tick_scheduler.h"

#include <algorithm>
#include <cmath>

namespace vadrel {

namespace {

int allowed_rate(int per_second) { return per_second == 2 || per_second == 5 || per_second == 10 ? per_second : 1; }

}  // namespace

double next_simulated_tick(double atomic, double period, double offset) {
    // Whole ticks counted from the whole second, so the rounding of a
    // large atomic number never moves a tick off its instant. Today's
    // instants round by a few tenths of a microsecond: a tick less than
    // tick_tolerance away counts as this one, so the next is never itself.
    const double second = std::floor(atomic - offset);
    const double within = atomic - offset - second;
    const double k = std::floor((within + tick_tolerance) / period) + 1.0;
    return second + offset + k * period;
}

int tick_index(double due, int per_second, double offset) {
    const double within = due - offset - std::floor(due - offset + 1e-9);
    return std::clamp(static_cast<int>(std::floor(within * per_second + 1e-6)), 0, per_second - 1);
}

TickScheduler::TickScheduler(SimulatedClock& clock, Clock& real, SecondTimer::Kind kind,
                             std::chrono::milliseconds offset, QObject* parent)
    : QObject(parent),
      clock_(clock),
      real_(real),
      wall_timer_(kind, offset),
      offset_(static_cast<double>(offset.count()) / 1000.0) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TickScheduler::fire);
    connect(&wall_timer_, &SecondTimer::tick, this, &TickScheduler::tick);
    clock_.set_on_change([this] { clock_changed(); });
}

void TickScheduler::start() {
    active_ = true;
    next_.reset();
    jumps_seen_ = clock_.jumps();
    arm();
}

void TickScheduler::stop() {
    active_ = false;
    wall_timer_.stop();
    timer_.stop();
}

void TickScheduler::set_rate(int per_second) {
    per_second_ = allowed_rate(per_second);
    wall_timer_.set_rate(per_second_);
    if (!clock_.following_wall()) clock_changed();
}

int TickScheduler::tick_in_second() const {
    return clock_.following_wall() ? wall_timer_.tick_in_second() : tick_in_second_;
}

void TickScheduler::clock_changed() {
    // After a new start the next tick is from the time the clock now reads
    // (the seconds it jumped over are not made up); after a change of rate
    // or a pause the seconds go on from the last one ticked.
    if (clock_.jumps() != jumps_seen_ || clock_.following_wall()) next_.reset();
    jumps_seen_ = clock_.jumps();
    if (active_ && !ticking_) arm();
}

void TickScheduler::poll() {
    if (active_ && !ticking_) arm();
}

void TickScheduler::arm() {
    timer_.stop();
    if (!active_) return;
    if (clock_.following_wall()) {
        wall_timer_.start();
        return;
    }
    wall_timer_.stop();
    if (clock_.paused()) return;
    const double period = 1.0 / per_second_;
    // A second the clock has just been set to is ticked itself, however
    // late the first tick comes (the start-up's work between the start and
    // the ticker): a run from a start always sends that start's second.
    if (!next_) {
        double from = clock_.atomic_seconds();
        if (clock_.jumps() != start_ticked_) from = std::min(from, clock_.last_start());
        next_ = next_simulated_tick(from - 10 * tick_tolerance, period, offset_);
    }
    if (clock_.max()) {
        // No system says when a reader has taken its bytes: looked at again each millisecond.
        timer_.start(busy_ && busy_() ? 1 : 0);
        return;
    }
    const std::optional<double> when = clock_.real_steady_at(*next_);
    const double wait = when ? *when - real_.steady_seconds() : 0.0;
    timer_.start(static_cast<int>(std::clamp(std::ceil(wait * 1000.0), 0.0, 3'600'000.0)));
}

void TickScheduler::fire() {
    if (!active_ || !next_ || clock_.following_wall() || clock_.paused()) return;
    if (clock_.max() && busy_ && busy_()) {
        arm();
        return;
    }
    const double due = *next_;
    start_ticked_ = clock_.jumps();
    if (clock_.max()) clock_.step_to(due);
    tick_in_second_ = tick_index(due, per_second_, offset_);
    clock_.hold(due);
    ticking_ = true;
    emit tick();
    ticking_ = false;
    clock_.hold(std::nullopt);
    ++ticks_;
    // A change of the clock during the tick has cleared the next instant.
    if (next_) next_ = next_simulated_tick(due, 1.0 / per_second_, offset_);
    arm();
}

}  // namespace vadrel
