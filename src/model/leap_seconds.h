#pragma once
// UTC as the sky keeps it: the leap seconds of the IERS table, and a scale
// of seconds that counts them (`atomic` seconds: TAI less nothing, since
// 1970 as UTC counts from it, so atomic = posix + TAI-UTC).
//
//   LeapSeconds leaps;                                   // the table, 1972 .. 2016-12-31
//   leaps.atomic_of(1483228800.0);                       // 2017-01-01 00:00:00: 1483228837
//   leaps.utc_of(1483228836.5);                          // 2016-12-31 23:59:60.500
//   leaps.add(days_from_civil(2030, 7, 1));              // one more at the end of 2030-06-30
//
// Before 1972 TAI-UTC counts as 10 s (the table's first value; the
// fractional offsets of the 1960s are not kept). Only inserted seconds:
// no negative leap second has ever been announced.

#include <cstdint>
#include <vector>

#include "model/platform.h"

namespace vadrel {

// One instant of UTC: seconds since 1970 as the system clock counts them
// (posix, with fractions; inside a leap second it stays on 23:59:59 of the
// day, as the kernel's clock does), and the civil time with second 60.
struct UtcReading {
    double posix = 0.0;
    CivilTime civil;
    int millisecond = 0;
    bool leap = false;  // inside a 23:59:60
};

class LeapSeconds {
public:
    LeapSeconds();

    // A second 23:59:60 at the end of the UTC day before `day_after` (days
    // since 1970). Refused (false) unless later than the last one.
    bool add(std::int64_t day_after);
    // The days after each leap second, in order.
    const std::vector<std::int64_t>& days_after() const { return days_after_; }

    // TAI-UTC, seconds, at a posix instant.
    int offset_at(double posix) const;
    double atomic_of(double posix) const { return posix + offset_at(posix); }
    UtcReading utc_of(double atomic) const;

private:
    std::vector<std::int64_t> days_after_;
};

// The civil time `ms` (since 1970, leap seconds not counted) shows.
CivilTime civil_time_of_ms(std::int64_t ms);

}  // namespace vadrel
