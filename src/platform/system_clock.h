#pragma once
// The real clock: local time of day and date.
//
//   SystemClock clock;
//   clock.seconds_since_midnight();  // 72928.25f at 20:15:28.250 in winter (counted on standard time)
//   clock.time_text();               // "20.15.28"; "9.05.03" before ten
//   clock.date_text();               // "09/05/03" for 9 May 2003
//
// The sentence builder asks for the time text and then the date text. Both
// come from one reading of the clock: the date text reuses the reading the
// time text was made from when that reading is less than a second old, so a
// sentence built across midnight never pairs 23.59.59 with the next day's date.

#include <QDateTime>
#include <functional>
#include <optional>
#include <string>

#include "model/platform.h"

namespace vadrel {

// Pure renderings of one reading.
// The real time elapsed since the local day began: on the days the clocks go
// forward or back it differs from the time of day by an hour, so the step of
// a vehicle across the change covers the seconds that really went by.
float seconds_since_midnight_of(const QDateTime& reading);
std::string time_text_of(const QTime& time);  // "H.mm.ss", hour without a leading zero
std::string date_text_of(const QDate& date);  // "dd/MM/yy"

class SystemClock final : public Clock {
public:
    using Source = std::function<QDateTime()>;
    // The source gives the local date and time; tests pass fixed readings.
    explicit SystemClock(Source source = &QDateTime::currentDateTime);

    float seconds_since_midnight() override;
    std::string time_text() override;
    std::string date_text() override;

private:
    Source source_;
    std::optional<QDateTime> time_reading_;  // the reading of the last time_text()
};

}  // namespace vadrel
