#pragma once
// The program's one clock: the wall clock until told otherwise, then a
// simulated UTC that starts at a chosen instant (past or future), runs at a
// rate (0.1 to 1000 simulated seconds a real second, or as fast as the
// outputs take the bytes) and can pause. Everything that reads time (the
// tick, the sentences, the sky, the noise, AIS, the recorder, GPX, the
// events) reads it through its Clock face.
//
//   SimulatedClock clock(system_clock, local_offset_at);  // the wall clock's readings
//   clock.start_at(1483228790.0);       // 2016-12-31 23:59:50 UTC from now on
//   clock.set_rate(10.0);               // ten simulated seconds a real second
//   clock.set_max();                    // stepped by the ticker, one second after another
//   clock.pause(); clock.resume();
//   clock.add_leap_second(days_from_civil(2030, 7, 1));  // a 23:59:60 on 2030-06-30
//   clock.set_week_offset(-1024);       // the receiver's dates 1024 weeks early
//
// Until start_at, set_rate, set_max or pause is called the readings are the
// wall clock's own, byte for byte. From then on the simulated time keeps
// two scales that run together: the steady seconds (continuing the wall
// clock's steady reading, never jumping) and the atomic seconds (UTC with
// its leap seconds counted, LeapSeconds), from which UTC with its second 60
// is read. The local time is the simulated UTC moved by the zone's offset
// at that instant. No Qt: the real clock and the zone come in.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "model/leap_seconds.h"
#include "model/platform.h"

namespace vadrel {

class SimulatedClock final : public Clock {
public:
    // Seconds east of UTC of the local zone at a posix instant.
    using LocalOffset = std::function<int(std::int64_t posix)>;
    static constexpr double slowest = 0.1;
    static constexpr double fastest = 1000.0;

    // `real` must outlive the clock.
    SimulatedClock(Clock& real, LocalOffset local_offset);

    // --- the scenario's and the interface's controls ---
    // The simulated UTC is `posix` (seconds since 1970, leap seconds not
    // counted) now; the rate and the pause stay.
    void start_at(double posix);
    // Refused (false) outside slowest .. fastest or not a number.
    bool set_rate(double rate);
    // As fast as the outputs take the bytes: the time moves only by step_to.
    void set_max();
    void pause();
    void resume();
    // A second 23:59:60 at the end of the UTC day before `day_after`
    // (days since 1970); refused unless after the last one.
    bool add_leap_second(std::int64_t day_after);
    // Weeks the receiver's dates are off (-1024: the rollover fault).
    void set_week_offset(int weeks);

    // Told after each change above that took (one watcher: the ticker).
    void set_on_change(std::function<void()> changed) { changed_ = std::move(changed); }

    // --- what it is ---
    bool following_wall() const { return mode_ == Mode::wall; }
    bool max() const { return mode_ == Mode::max; }
    bool paused() const { return paused_; }
    // The rate asked; at max the last rate asked before it.
    double rate() const { return rate_; }
    int week_offset() const { return week_offset_; }
    const LeapSeconds& leap_seconds() const { return leaps_; }
    // How many times start_at has moved the time: the ticker starts its
    // seconds afresh after a jump, and goes on from its last after any other change.
    std::uint64_t jumps() const { return jumps_; }
    // The atomic instant start_at last set the time to (0 before any).
    double last_start() const { return last_start_; }

    // --- for the ticker ---
    // The simulated time on the atomic scale now.
    double atomic_seconds();
    // The real steady instant the atomic instant `atomic` comes at, at the
    // rate now; nothing while paused, at max or following the wall clock.
    std::optional<double> real_steady_at(double atomic);
    // Moves the time on to `atomic` (never back): at max, each tick's instant.
    void step_to(double atomic);
    // Holds every reading at `atomic` until released (nothing): one tick's
    // readings are its own instant, however late it runs.
    void hold(std::optional<double> atomic) { held_ = atomic; }

    // The UTC now as ISO 8601 to the millisecond, second 60 inside a leap
    // second: "2016-12-31T23:59:60.250Z".
    std::string utc_text();

    // --- Clock ---
    double steady_seconds() override;
    double utc_seconds() override;
    std::string time_text() override;
    std::string date_text() override;  // the receiver's date: with the week offset
    WallTime wall_time() override;

private:
    enum class Mode { wall, running, max };
    // Leaves the wall clock: the simulated scales start from its readings.
    void leave_wall();
    // Makes now the anchor: the readings so far stay, the new rule runs from here.
    void anchor();
    void tell();
    double elapsed();
    UtcReading utc_now();
    CivilTime local_of(const UtcReading& utc) const;

    Clock& real_;
    LocalOffset local_offset_;
    LeapSeconds leaps_;
    Mode mode_ = Mode::wall;
    bool paused_ = false;
    double rate_ = 1.0;
    int week_offset_ = 0;
    std::uint64_t jumps_ = 0;
    double last_start_ = 0.0;
    double anchor_real_ = 0.0;    // the real steady seconds at the anchor
    double anchor_steady_ = 0.0;  // the simulated steady seconds then
    double anchor_atomic_ = 0.0;  // and the atomic seconds
    std::optional<double> held_;
    std::function<void()> changed_;
};

// "H.mm.ss" and "dd/MM/yy" of a civil time, as the regional texts read.
std::string time_text_of(const CivilTime& t);
std::string date_text_of(const CivilTime& t);
// The date `days` days from t's, the time of day kept.
CivilTime moved_days(const CivilTime& t, std::int64_t days);

}  // namespace vadrel
