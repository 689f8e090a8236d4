#include "simulated_clock.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "model/civil_time.h"

namespace vadrel {

std::string time_text_of(const CivilTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%02d.%02d", t.hour, t.minute, t.second);
    return text;
}

std::string date_text_of(const CivilTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d", t.day, t.month, t.year % 100);
    return text;
}

CivilTime moved_days(const CivilTime& t, std::int64_t days) {
    if (days == 0) return t;
    const CivilInstant d = civil_of((days_from_civil(t.year, t.month, t.day) + days) * ms_per_day);
    CivilTime moved = t;
    moved.year = static_cast<int>(d.year);
    moved.month = d.month;
    moved.day = d.day;
    return moved;
}

SimulatedClock::SimulatedClock(Clock& real, LocalOffset local_offset)
    : real_(real), local_offset_(std::move(local_offset)) {}

void SimulatedClock::leave_wall() {
    if (mode_ != Mode::wall) return;
    anchor_real_ = real_.steady_seconds();
    anchor_steady_ = anchor_real_;
    anchor_atomic_ = leaps_.atomic_of(real_.utc_seconds());
    mode_ = Mode::running;
}

void SimulatedClock::anchor() {
    leave_wall();
    const double atomic = atomic_seconds();
    anchor_steady_ += atomic - anchor_atomic_;
    anchor_atomic_ = atomic;
    anchor_real_ = real_.steady_seconds();
}

void SimulatedClock::tell() {
    if (changed_) changed_();
}

void SimulatedClock::start_at(double posix) {
    anchor();
    anchor_atomic_ = leaps_.atomic_of(posix);
    last_start_ = anchor_atomic_;
    ++jumps_;
    tell();
}

bool SimulatedClock::add_leap_second(std::int64_t day_after) {
    if (!leaps_.add(day_after)) return false;
    tell();
    return true;
}

bool SimulatedClock::set_rate(double rate) {
    if (!(rate >= slowest && rate <= fastest)) return false;
    anchor();
    rate_ = rate;
    mode_ = Mode::running;
    tell();
    return true;
}

void SimulatedClock::set_max() {
    anchor();
    mode_ = Mode::max;
    tell();
}

void SimulatedClock::pause() {
    anchor();
    paused_ = true;
    tell();
}

void SimulatedClock::resume() {
    if (!paused_) return;
    anchor();
    paused_ = false;
    tell();
}

void SimulatedClock::set_week_offset(int weeks) {
    // The wall clock's own texts carry no century to move a date by.
    if (weeks != 0) leave_wall();
    week_offset_ = weeks;
    tell();
}

double SimulatedClock::elapsed() {
    if (mode_ != Mode::running || paused_) return 0.0;
    return (real_.steady_seconds() - anchor_real_) * rate_;
}

double SimulatedClock::atomic_seconds() {
    if (held_) return *held_;
    if (mode_ == Mode::wall) return leaps_.atomic_of(real_.utc_seconds());
    return anchor_atomic_ + elapsed();
}

std::optional<double> SimulatedClock::real_steady_at(double atomic) {
    if (mode_ != Mode::running || paused_) return std::nullopt;
    return anchor_real_ + (atomic - anchor_atomic_) / rate_;
}

void SimulatedClock::step_to(double atomic) {
    anchor();
    if (atomic <= anchor_atomic_) return;
    anchor_steady_ += atomic - anchor_atomic_;
    anchor_atomic_ = atomic;
}

double SimulatedClock::steady_seconds() {
    if (mode_ == Mode::wall) return real_.steady_seconds();
    return atomic_seconds() - anchor_atomic_ + anchor_steady_;
}

UtcReading SimulatedClock::utc_now() { return leaps_.utc_of(atomic_seconds()); }

double SimulatedClock::utc_seconds() {
    if (mode_ == Mode::wall) return real_.utc_seconds();
    return utc_now().posix;
}

CivilTime SimulatedClock::local_of(const UtcReading& utc) const {
    const auto second = static_cast<std::int64_t>(std::floor(utc.posix));
    CivilTime local = civil_time_of_ms((second + local_offset_(second)) * 1000);
    if (utc.leap) local.second = 60;
    return local;
}

std::string SimulatedClock::time_text() {
    if (mode_ == Mode::wall) return real_.time_text();
    return time_text_of(local_of(utc_now()));
}

std::string SimulatedClock::date_text() {
    if (mode_ == Mode::wall) return real_.date_text();
    return date_text_of(moved_days(local_of(utc_now()), std::int64_t{week_offset_} * 7));
}

std::string SimulatedClock::utc_text() {
    UtcReading utc = utc_now();
    if (mode_ == Mode::wall) utc = leaps_.utc_of(leaps_.atomic_of(real_.utc_seconds()));
    const CivilTime& c = utc.civil;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", c.year, c.month, c.day, c.hour, c.minute,
                  c.second, utc.millisecond);
    return text;
}

WallTime SimulatedClock::wall_time() {
    if (mode_ == Mode::wall) return real_.wall_time();
    const UtcReading utc = utc_now();
    WallTime w{local_of(utc), utc.civil};
    w.date_offset_days = std::int64_t{week_offset_} * 7;
    return w;
}

}  // namespace vadrel
