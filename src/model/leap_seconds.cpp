#include "leap_seconds.h"

#include <algorithm>
#include <cmath>

#include "model/civil_time.h"

namespace vadrel {

namespace {

constexpr int first_offset = 10;  // TAI-UTC from 1972-01-01
constexpr double seconds_per_day = 86'400.0;

struct LeapDate {
    int year;
    int month;
};

// The days after which IERS inserted a second, as its Bulletin C lists them.
constexpr LeapDate iers_table[] = {
    {1972, 7}, {1973, 1}, {1974, 1}, {1975, 1}, {1976, 1}, {1977, 1}, {1978, 1}, {1979, 1}, {1980, 1},
    {1981, 7}, {1982, 7}, {1983, 7}, {1985, 7}, {1988, 1}, {1990, 1}, {1991, 1}, {1992, 7}, {1993, 7},
    {1994, 7}, {1996, 1}, {1997, 7}, {1999, 1}, {2006, 1}, {2009, 1}, {2012, 7}, {2015, 7}, {2017, 1},
};

}  // namespace

CivilTime civil_time_of_ms(std::int64_t ms) {
    const CivilInstant c = civil_of(ms);
    return {static_cast<int>(c.year), c.month, c.day, c.hour, c.minute, c.second};
}

LeapSeconds::LeapSeconds() {
    for (const LeapDate& d : iers_table) days_after_.push_back(days_from_civil(d.year, d.month, 1));
}

bool LeapSeconds::add(std::int64_t day_after) {
    if (!days_after_.empty() && day_after <= days_after_.back()) return false;
    days_after_.push_back(day_after);
    return true;
}

int LeapSeconds::offset_at(double posix) const {
    int offset = first_offset;
    for (const std::int64_t day : days_after_) {
        if (posix < static_cast<double>(day) * seconds_per_day) break;
        ++offset;
    }
    return offset;
}

UtcReading LeapSeconds::utc_of(double atomic) const {
    // Leap second i (0 first) fills the atomic seconds [T + 10 + i, T + 11 + i),
    // T its day after in posix seconds.
    int offset = first_offset;
    std::int64_t leap_day = 0;
    bool leap = false;
    for (const std::int64_t day : days_after_) {
        const double start = static_cast<double>(day) * seconds_per_day + offset;
        if (atomic < start) break;
        if (atomic < start + 1.0) {
            leap = true;
            leap_day = day;
            break;
        }
        ++offset;
    }
    UtcReading r;
    if (!leap) {
        r.posix = atomic - offset;
        const auto ms = static_cast<std::int64_t>(std::floor(r.posix * 1000.0));
        r.civil = civil_time_of_ms(ms);
        r.millisecond = static_cast<int>((ms % 1000 + 1000) % 1000);
        return r;
    }
    const double into = atomic - (static_cast<double>(leap_day) * seconds_per_day + offset);
    r.leap = true;
    r.posix = static_cast<double>(leap_day) * seconds_per_day - 1.0 + into;
    r.civil = civil_time_of_ms(leap_day * ms_per_day - 1000);
    r.civil.second = 60;
    r.millisecond = std::min(999, static_cast<int>(std::floor(into * 1000.0)));
    return r;
}

}  // namespace vadrel
