#include "system_clock.h"

#include <chrono>
#include <cstdio>
#include <utility>

namespace vadrel {

std::string time_text_of(const QTime& time) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d.%02d", time.hour(), time.minute(), time.second());
    return text;
}

std::string date_text_of(const QDate& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d", date.day(), date.month(), date.year() % 100);
    return text;
}

CivilTime civil_time_of(const QDateTime& moment) {
    const QDate d = moment.date();
    const QTime t = moment.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

int local_offset_at(std::int64_t posix) { return QDateTime::fromSecsSinceEpoch(posix).offsetFromUtc(); }

SystemClock::SystemClock(Source source) : source_(std::move(source)) {}

double SystemClock::steady_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double SystemClock::utc_seconds() { return static_cast<double>(source_().toMSecsSinceEpoch()) / 1000.0; }

std::string SystemClock::time_text() {
    time_reading_ = source_();
    return time_text_of(time_reading_->time());
}

std::string SystemClock::date_text() {
    const QDateTime now = source_();
    QDateTime reading = now;
    if (time_reading_) {
        const qint64 age = time_reading_->msecsTo(now);
        if (age >= 0 && age < 1000) reading = *time_reading_;
    }
    time_reading_.reset();
    return date_text_of(reading.date());
}

WallTime SystemClock::wall_time() {
    const QDateTime now = source_();
    return {civil_time_of(now), civil_time_of(now.toUTC())};
}

}  // namespace vadrel
