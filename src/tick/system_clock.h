#pragma once
// The real clock: a steady clock for the steps, local time of day and date
// for the sentences.
//
//   SystemClock clock;
//   clock.steady_seconds();  // 12345.678901234: from an origin of its own, never set back
//   clock.utc_seconds();     // 1052511328.25: the wall clock in UTC
//   clock.time_text();       // "20.15.28"; "9.05.03" before ten
//   clock.date_text();       // "09/05/03" for 9 May 2003
//   clock.wall_time();       // {local 2003-05-09 20:15:28, utc 2003-05-09 18:15:28}
//
// The sentence builder asks for the time text and then the date text. Both
// come from one reading of the clock: the date text reuses the reading the
// time text was made from when that reading is less than a second old, so a
// sentence built across midnight never pairs 23.59.59 with the next day's date.

#include <QDateTime>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "model/platform.h"

namespace vadrel {

// Pure renderings of one reading.
std::string time_text_of(const QTime& time);  // "H.mm.ss", hour without a leading zero
std::string date_text_of(const QDate& date);  // "dd/MM/yy"
CivilTime civil_time_of(const QDateTime& moment);
// Seconds east of UTC of the local zone at a posix instant (SimulatedClock's zone).
int local_offset_at(std::int64_t posix);

class SystemClock final : public Clock {
public:
    using Source = std::function<QDateTime()>;
    // The source gives the local date and time; tests pass fixed readings.
    explicit SystemClock(Source source = &QDateTime::currentDateTime);

    // std::chrono::steady_clock: setting the wall clock, the clocks going
    // forward or back and midnight leave it alone.
    double steady_seconds() override;
    double utc_seconds() override;
    std::string time_text() override;
    std::string date_text() override;
    WallTime wall_time() override;

private:
    Source source_;
    std::optional<QDateTime> time_reading_;  // the reading of the last time_text()
};

}  // namespace vadrel
