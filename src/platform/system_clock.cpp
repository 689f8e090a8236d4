#include "system_clock.h"

#include <QTimeZone>
#include <cstdio>
#include <utility>

namespace vadrel {

// Counted on the zone's standard time, so the reading runs on without a jump
// when the clocks change and comes back to 0 exactly once a day, a whole day
// after it last did: the elapsed time of a step is then never an hour off,
// neither at the change nor at the midnight after it. (In summer the reading
// is an hour behind the time of day; only differences of it are used.)
float seconds_since_midnight_of(const QDateTime& reading) {
    int offset = reading.offsetFromUtc();
    if (reading.timeSpec() == Qt::TimeZone || reading.timeSpec() == Qt::LocalTime) {
        const QTimeZone zone =
            reading.timeSpec() == Qt::TimeZone ? reading.timeZone() : QTimeZone::systemTimeZone();
        if (zone.isValid()) offset = zone.standardTimeOffset(reading);
    }
    constexpr qint64 day_ms = 86'400'000;
    const qint64 local_ms = reading.toMSecsSinceEpoch() + static_cast<qint64>(offset) * 1000;
    const qint64 ms = ((local_ms % day_ms) + day_ms) % day_ms;
    return static_cast<float>(ms) / 1000.0f;
}

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

SystemClock::SystemClock(Source source) : source_(std::move(source)) {}

float SystemClock::seconds_since_midnight() { return seconds_since_midnight_of(source_()); }

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

}  // namespace vadrel
