#pragma once
// Calendar arithmetic on milliseconds since 1970-01-01 00:00:00 UTC (leap
// seconds not counted, as the system clock counts them), proleptic Gregorian
// in both directions, without the C library's time zone or locale.
//
//   civil_of(1'049'919'328'000);   // {2003, 4, 9, 20, 15, 28, 0}
//   ms_of({2003, 4, 9, 20, 15, 28, 0});

#include <cstdint>

namespace vadrel {

inline constexpr std::int64_t ms_per_day = 86'400'000;

struct CivilInstant {
    std::int64_t year = 1970;
    int month = 1;  // 1 .. 12
    int day = 1;    // 1 .. 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    bool operator==(const CivilInstant&) const = default;
};

// Days since 1970-01-01 of a date, and the date of such a day.
std::int64_t days_from_civil(std::int64_t year, int month, int day);
CivilInstant civil_of(std::int64_t ms);
// The milliseconds of an instant whose fields are in range.
std::int64_t ms_of(const CivilInstant& t);

// The milliseconds since midnight of `ms`, 0 .. ms_per_day - 1.
std::int64_t ms_of_day(std::int64_t ms);

// Days in a month of a year.
int days_in_month(std::int64_t year, int month);

}  // namespace vadrel
