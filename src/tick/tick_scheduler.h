#pragma once
// The tick of the program's one clock: on the wall clock's seconds while the
// clock follows it (the second timer, as always), else on the simulated
// seconds at the clock's rate, each second's tick at the real instant its
// simulated second comes, or, at max, the next second as soon as the
// outputs have taken the last one's bytes.
//
//   TickScheduler ticker(simulated, system_clock);
//   QObject::connect(&ticker, &TickScheduler::tick, [&] { transmitter.tick(ticker.tick_in_second()); });
//   ticker.set_outputs_busy([&] { return recorder.busy(); });
//   ticker.start();
//
// No simulated second is dropped: a tick that comes late (the machine busy,
// a rate the outputs cannot follow) is followed by the next at once, and
// while it runs the clock reads its own instant (SimulatedClock::hold), so
// its sentences, stamps and the fleet's step are those of its second. A
// pause waits; a new start, rate or pause is taken up at once.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

#include "model/simulated_clock.h"
#include "os/second_timer.h"

namespace vadrel {

// The first instant k * period + offset (k whole, on the atomic scale)
// more than tick_tolerance seconds after `atomic`.
inline constexpr double tick_tolerance = 1e-6;
double next_simulated_tick(double atomic, double period, double offset);
// Which tick of its second the instant `due` is at `per_second` (0 on the second).
int tick_index(double due, int per_second, double offset);

class TickScheduler : public QObject {
    Q_OBJECT

public:
    // `clock` and `real` (its real clock) must outlive the scheduler; the
    // wall clock's ticks come from a SecondTimer of this kind and offset,
    // and the simulated ones `offset` after their second too.
    TickScheduler(SimulatedClock& clock, Clock& real, SecondTimer::Kind kind = SecondTimer::Kind::best,
                  std::chrono::milliseconds offset = std::chrono::milliseconds(2), QObject* parent = nullptr);

    void start();
    void stop();
    // 1, 2, 5 or 10 ticks a simulated second; anything else counts as 1.
    void set_rate(int per_second);
    int rate() const { return per_second_; }
    int tick_in_second() const;
    // At max, whether an output still holds bytes it must not lose (the
    // log): the next second waits for it.
    void set_outputs_busy(std::function<bool()> busy) { busy_ = std::move(busy); }
    // Looks at the clock again now: a tick whose real instant has come runs
    // (the timer waits in real time; the tests call it after moving their clock).
    void poll();
    // Simulated seconds ticked since the start (tests, the benchmark).
    long long ticks() const { return ticks_; }

signals:
    void tick();

private:
    // Arms for the next tick as the clock now says.
    void arm();
    void clock_changed();
    void fire();

    SimulatedClock& clock_;
    Clock& real_;
    SecondTimer wall_timer_;
    QTimer timer_;
    double offset_;
    int per_second_ = 1;
    bool active_ = false;
    bool ticking_ = false;
    std::optional<double> next_;  // the atomic instant of the next simulated tick
    int tick_in_second_ = 0;
    long long ticks_ = 0;
    std::uint64_t jumps_seen_ = 0;
    std::uint64_t start_ticked_ = 0;  // the clock's starts (jumps) whose own second has been ticked
    std::function<bool()> busy_;
};

}  // namespace vadrel
