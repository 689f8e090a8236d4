#include "civil_time.h"

namespace vadrel {

namespace {

std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

// The era arithmetic of Howard Hinnant's "chrono-compatible low-level date
// algorithms": a year starting in March, eras of 400 years.
std::int64_t days_from_civil(std::int64_t year, int month, int day) {
    const std::int64_t y = year - (month <= 2);
    const std::int64_t era = floor_div(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilInstant civil_of(std::int64_t ms) {
    const std::int64_t days = floor_div(ms, ms_per_day);
    std::int64_t rest = ms - days * ms_per_day;
    const std::int64_t z = days + 719468;
    const std::int64_t era = floor_div(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    CivilInstant t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = yoe + era * 400 + (t.month <= 2);
    t.hour = static_cast<int>(rest / 3'600'000);
    rest %= 3'600'000;
    t.minute = static_cast<int>(rest / 60'000);
    rest %= 60'000;
    t.second = static_cast<int>(rest / 1000);
    t.millisecond = static_cast<int>(rest % 1000);
    return t;
}

std::int64_t ms_of(const CivilInstant& t) {
    return days_from_civil(t.year, t.month, t.day) * ms_per_day + t.hour * 3'600'000LL + t.minute * 60'000LL +
           t.second * 1000LL + t.millisecond;
}

std::int64_t ms_of_day(std::int64_t ms) { return ms - floor_div(ms, ms_per_day) * ms_per_day; }

int days_in_month(std::int64_t year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2) {
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return leap ? 29 : 28;
    }
    return days[month - 1];
}

}  // namespace vadrel
