#include "replay_now.h"

#include <array>
#include <cstdio>
#include <vector>

#include "nmea/sentences.h"
#include "model/civil_time.h"

namespace vadrel {

namespace {

// The fields that carry time and date, by sentence kind; -1: none.
struct TimedKind {
    std::string_view kind;
    int time;
    int date;  // ddmmyy (RMC) or the first of day, month, year (ZDA)
};
constexpr std::array<TimedKind, 8> timed_kinds{{
    {"RMC", 1, 9},
    {"GGA", 1, -1},
    {"GNS", 1, -1},
    {"GBS", 1, -1},
    {"GST", 1, -1},
    {"GRS", 1, -1},
    {"ZDA", 1, 2},
    {"GLL", 5, -1},
}};

// Moving by more than this is taken for a mistake: the sentence stays.
constexpr std::int64_t longest_move_s = 10'000LL * 366 * 86'400;

// A time field: seconds of the day, and the decimals after them ("" or ".50").
// A leap second, 23:59:60, is the day's last second again (as POSIX time
// counts it), marked.
struct TimeOfDay {
    std::int64_t seconds;
    std::string_view decimals;
    bool leap = false;
};
std::optional<TimeOfDay> time_of_day(std::string_view field) {
    const auto h = read_digits(field, 0, 2), m = read_digits(field, 2, 2), s = read_digits(field, 4, 2);
    const bool leap = h == 23 && m == 59 && s == 60;
    if (!h || !m || !s || *h > 23 || *m > 59 || (*s > 59 && !leap)) return std::nullopt;
    const std::string_view decimals = field.substr(6);
    if (!decimals.empty()) {
        if (decimals[0] != '.' || decimals.size() == 1 || !read_digits(decimals, 1, decimals.size() - 1)) {
            return std::nullopt;
        }
    }
    return TimeOfDay{*h * 3600LL + *m * 60LL + (leap ? 59 : *s), decimals, leap};
}

// A date's days since 1970: RMC's ddmmyy, or ZDA's three fields.
std::optional<std::int64_t> date_days(std::string_view kind, const std::vector<std::string_view>& fields, int at) {
    int day = 0, month = 0;
    std::int64_t year = 0;
    if (kind == "RMC") {
        const std::string_view f = fields[static_cast<std::size_t>(at)];
        const auto d = read_digits(f, 0, 2), m = read_digits(f, 2, 2), y = read_digits(f, 4, 2);
        if (f.size() != 6 || !d || !m || !y) return std::nullopt;
        day = *d;
        month = *m;
        year = *y + (*y >= 80 ? 1900 : 2000);
    } else {
        if (fields.size() < static_cast<std::size_t>(at) + 3) return std::nullopt;
        const std::string_view fd = fields[static_cast<std::size_t>(at)];
        const std::string_view fm = fields[static_cast<std::size_t>(at) + 1];
        const std::string_view fy = fields[static_cast<std::size_t>(at) + 2];
        const auto d = read_digits(fd, 0, 2), m = read_digits(fm, 0, 2), y = read_digits(fy, 0, 4);
        if (fd.size() != 2 || fm.size() != 2 || fy.size() != 4 || !d || !m || !y) return std::nullopt;
        day = *d;
        month = *m;
        year = *y;
    }
    if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, month)) return std::nullopt;
    return days_from_civil(year, month, day);
}

// A sentence taken apart: the NULs of a radio burst before it, what stands
// before its "$" ("@3"; in the checksum), its fields, and what follows them
// (the checksum and the line end).
struct Parts {
    std::string_view nuls;
    std::string_view prefix;
    std::vector<std::string_view> fields;
    bool checksum = false;
    std::string_view line_end;
    const TimedKind* kind = nullptr;
};

std::optional<Parts> parts_of(std::string_view text) {
    Parts p;
    const std::size_t content_end = text.find_last_not_of("\r\n");
    if (content_end == std::string_view::npos) return std::nullopt;
    p.line_end = text.substr(content_end + 1);
    text = text.substr(0, content_end + 1);
    p.nuls = text.substr(0, text.find_first_not_of('\0'));
    text.remove_prefix(p.nuls.size());
    const std::size_t dollar = text.find('$');
    if (dollar == std::string_view::npos || text.size() < dollar + 6 || text[dollar + 1] == 'P') return std::nullopt;
    p.prefix = text.substr(0, dollar);
    const std::string_view kind = text.substr(dollar + 3, 3);
    for (const TimedKind& k : timed_kinds) {
        if (k.kind == kind) p.kind = &k;
    }
    if (!p.kind) return std::nullopt;
    std::string_view body = text;
    if (const std::size_t star = text.find('*', dollar); star != std::string_view::npos) {
        if (star + 3 != text.size()) return std::nullopt;
        const std::optional<unsigned> given = read_checksum(text.substr(star + 1));
        if (!given || nmea_checksum(text.substr(0, star)) != *given) return std::nullopt;
        body = text.substr(0, star);
        p.checksum = true;
    }
    body.remove_prefix(dollar);
    for (std::size_t start = 0;;) {
        const std::size_t comma = body.find(',', start);
        p.fields.push_back(body.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (p.fields.size() <= static_cast<std::size_t>(p.kind->time)) return std::nullopt;
    return p;
}

std::string two_digits(std::int64_t n) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", static_cast<int>(n % 100));
    return text;
}

}  // namespace

std::optional<LoggedTime> sentence_time(std::string_view sentence) {
    const auto p = parts_of(sentence);
    if (!p) return std::nullopt;
    const auto t = time_of_day(p->fields[static_cast<std::size_t>(p->kind->time)]);
    if (!t) return std::nullopt;
    std::int64_t ms = t->seconds * 1000;
    if (!t->decimals.empty()) {
        std::int64_t scale = 100;
        for (std::size_t i = 1; i < t->decimals.size() && scale > 0; ++i, scale /= 10) ms += (t->decimals[i] - '0') * scale;
    }
    if (p->kind->date >= 0 && p->fields.size() > static_cast<std::size_t>(p->kind->date)) {
        if (const auto days = date_days(p->kind->kind, p->fields, p->kind->date)) {
            return LoggedTime{*days * ms_per_day + ms, true};
        }
    }
    return LoggedTime{ms, false};
}

std::int64_t seconds_to_now(const LoggedTime& first, std::int64_t now_ms) {
    std::int64_t ms = first.dated ? now_ms - first.ms : ms_of_day(now_ms) - first.ms;
    if (!first.dated && ms < 0) ms += ms_per_day;
    return ms / 1000 - (ms % 1000 < 0);  // floor: the first fix at now or just before
}

std::string moved_in_time(std::string_view sentence, std::int64_t seconds) {
    const auto p = parts_of(sentence);
    if (!p || seconds > longest_move_s || seconds < -longest_move_s) return std::string(sentence);
    const auto time_at = static_cast<std::size_t>(p->kind->time);
    const auto t = time_of_day(p->fields[time_at]);
    if (!t) return std::string(sentence);

    std::vector<std::string> fields(p->fields.begin(), p->fields.end());
    std::optional<std::int64_t> days;
    if (p->kind->date >= 0 && p->fields.size() > static_cast<std::size_t>(p->kind->date)) {
        days = date_days(p->kind->kind, p->fields, p->kind->date);
    }
    const std::int64_t moved = (days ? *days * 86'400 : 0) + t->seconds + seconds;
    const CivilInstant c = civil_of(moved * 1000);
    // A leap second moved by whole days is still the day's leap second;
    // moved by anything else, it is its day's last second again.
    const bool still_leap = t->leap && seconds % 86'400 == 0;
    fields[time_at] =
        two_digits(c.hour) + two_digits(c.minute) + two_digits(still_leap ? 60 : c.second) + std::string(t->decimals);
    if (days) {
        if (c.year < 0 || c.year > 9999) return std::string(sentence);
        const auto at = static_cast<std::size_t>(p->kind->date);
        if (p->kind->kind == "RMC") {
            fields[at] = two_digits(c.day) + two_digits(c.month) + two_digits(c.year);
        } else {
            char year[8];
            std::snprintf(year, sizeof year, "%04d", static_cast<int>(c.year));
            fields[at] = two_digits(c.day);
            fields[at + 1] = two_digits(c.month);
            fields[at + 2] = year;
        }
    }
    std::string out(p->prefix);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        out += fields[i];
    }
    if (p->checksum) out += checksum_field(out);
    return std::string(p->nuls) + out + std::string(p->line_end);
}

}  // namespace vadrel
