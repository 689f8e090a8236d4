#include "iso_time.h"

#include <cstdio>

#include "model/civil_time.h"

namespace vadrel {

namespace {

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
    if (*mo < 1 || *mo > 12 || *d < 1 || *d > static_cast<unsigned>(days_in_month(*y, static_cast<int>(*mo))) || *h > 23 || *mi > 59 || *s > 59)
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
    const std::int64_t days = days_from_civil(*y, static_cast<int>(*mo), static_cast<int>(*d));
    return days * ms_per_day + ((*h * 60 + *mi) * 60 + *s) * std::int64_t{1000} + ms -
           offset_minutes * 60'000;
}

std::string iso_time(std::int64_t utc_ms) {
    const CivilInstant t = civil_of(utc_ms);
    char text[96];
    if (t.millisecond != 0) {
        std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d.%03dZ", static_cast<long long>(t.year),
                      t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
    } else {
        std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02dZ", static_cast<long long>(t.year),
                      t.month, t.day, t.hour, t.minute, t.second);
    }
    return text;
}

}  // namespace vadrel
