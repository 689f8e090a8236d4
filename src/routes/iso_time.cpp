#include "iso_time.h"

#include <cstdio>

namespace vadrel {

namespace {

constexpr std::int64_t ms_per_day = 86'400'000;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and
// back (H. Hinnant's algorithms).
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civil_from_days(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

bool leap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned days_in_month(std::int64_t y, unsigned m) {
    static constexpr unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads `count` digits at `at`, moving past them.
std::optional<unsigned> digits(std::string_view text, std::size_t& at, std::size_t count) {
    if (at + count > text.size()) return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[at + i];
        if (!is_digit(c)) return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    at += count;
    return value;
}

bool expect(std::string_view text, std::size_t& at, char c) {
    if (at >= text.size() || text[at] != c) return false;
    ++at;
    return true;
}

}  // namespace

std::optional<std::int64_t> read_iso_time(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    std::size_t at = 0;
    const auto y = digits(text, at, 4);
    if (!y || !expect(text, at, '-')) return std::nullopt;
    const auto mo = digits(text, at, 2);
    if (!mo || !expect(text, at, '-')) return std::nullopt;
    const auto d = digits(text, at, 2);
    if (!d || !expect(text, at, 'T')) return std::nullopt;
    const auto h = digits(text, at, 2);
    if (!h || !expect(text, at, ':')) return std::nullopt;
    const auto mi = digits(text, at, 2);
    if (!mi || !expect(text, at, ':')) return std::nullopt;
    const auto s = digits(text, at, 2);
    if (!s) return std::nullopt;
    if (*mo < 1 || *mo > 12 || *d < 1 || *d > days_in_month(*y, *mo) || *h > 23 || *mi > 59 || *s > 59)
        return std::nullopt;
    // The decimals of the second, to the millisecond, rounded half up.
    std::int64_t ms = 0;
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        ++at;
        const std::size_t first = at;
        std::int64_t scale = 100;
        bool round_up = false;
        while (at < text.size() && is_digit(text[at])) {
            const int digit = text[at] - '0';
            if (scale > 0) {
                ms += digit * scale;
                scale /= 10;
            } else if (at == first + 3) {
                round_up = digit >= 5;
            }
            ++at;
        }
        if (at == first) return std::nullopt;
        if (round_up) ++ms;
    }
    std::int64_t offset_minutes = 0;
    if (at < text.size()) {
        const char zone = text[at++];
        if (zone == 'Z') {
            if (at != text.size()) return std::nullopt;
        } else if (zone == '+' || zone == '-') {
            const auto oh = digits(text, at, 2);
            if (!oh) return std::nullopt;
            unsigned om = 0;
            if (at < text.size()) {
                expect(text, at, ':');
                const auto m = digits(text, at, 2);
                if (!m) return std::nullopt;
                om = *m;
            }
            if (at != text.size() || *oh > 23 || om > 59) return std::nullopt;
            offset_minutes = (zone == '-' ? -1 : 1) * static_cast<std::int64_t>(*oh * 60 + om);
        } else {
            return std::nullopt;
        }
    }
    const std::int64_t days = days_from_civil(*y, *mo, *d);
    return days * ms_per_day + ((*h * 60 + *mi) * 60 + *s) * std::int64_t{1000} + ms -
           offset_minutes * 60'000;
}

std::string iso_time(std::int64_t utc_ms) {
    std::int64_t days = utc_ms / ms_per_day;
    std::int64_t in_day = utc_ms % ms_per_day;
    if (in_day < 0) {
        in_day += ms_per_day;
        --days;
    }
    std::int64_t y = 0;
    unsigned m = 0, d = 0;
    civil_from_days(days, y, m, d);
    char text[96];
    const int hh = static_cast<int>(in_day / 3'600'000), mm = static_cast<int>(in_day / 60'000 % 60);
    const int ss = static_cast<int>(in_day / 1000 % 60), milli = static_cast<int>(in_day % 1000);
    if (milli != 0) {
        std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<long long>(y), m,
                      d, hh, mm, ss, milli);
    } else {
        std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02dZ", static_cast<long long>(y), m, d,
                      hh, mm, ss);
    }
    return text;
}

}  // namespace vadrel
