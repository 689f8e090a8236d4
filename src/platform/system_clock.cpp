#include "system_clock.h"

#include <QTimeZone>
#include <cstdio>
#include <utility>

namespace vadrel {

float seconds_since_midnight_of(const QDateTime& reading) {
    const QDateTime midnight = reading.timeSpec() == Qt::TimeZone
                                   ? reading.date().startOfDay(reading.timeZone())
                                   : reading.date().startOfDay(reading.timeSpec(), reading.offsetFromUtc());
    const qint64 elapsed = midnight.msecsTo(reading);
    return static_cast<float>(elapsed) / 1000.0f;
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
