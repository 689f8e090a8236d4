#include "nmea_log.h"

#include <array>
#include <cstdio>

namespace vadrel {

namespace {

constexpr std::int64_t ms_per_day = 86'400'000;

// Days since 1970-01-01 to the civil date, and back (proleptic Gregorian).
void civil_from_days(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

std::int64_t days_from_civil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::optional<int> digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string hex(unsigned value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
    return text;
}

// What is wrong with a sentence line (without leading NULs and line end);
// empty when it is whole. The checksum covers every character after the
// first, up to "*": the "$" of a plain sentence is left out, and so is the
// "@" of a multi-user line, as the receivers that read those check them.
std::string sentence_problem(std::string_view s) {
    const std::size_t star = s.rfind('*');
    if (star == std::string_view::npos) return "frase senza checksum";
    if (s.size() != star + 3 || hex_digit(s[star + 1]) < 0 || hex_digit(s[star + 2]) < 0)
        return "checksum illeggibile";
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(s[i]);
    const unsigned given = static_cast<unsigned>(hex_digit(s[star + 1]) * 16 + hex_digit(s[star + 2]));
    if (sum != given) return "checksum errato (" + hex(given) + " invece di " + hex(sum) + ")";
    return {};
}

// The sentence after an "@n" prefix: "$GPRMC,...".
std::string_view without_prefix(std::string_view s) {
    if (!s.empty() && s[0] == '@') {
        const std::size_t dollar = s.find('$');
        return dollar == std::string_view::npos ? std::string_view{} : s.substr(dollar);
    }
    return s;
}

// $..RMC, $..GGA and $..ZDA (any talker) carry the time in their first field.
bool timed_kind(std::string_view s) {
    if (s.size() < 7 || s[0] != '$' || s[6] != ',') return false;
    const std::string_view kind = s.substr(3, 3);
    return kind == "RMC" || kind == "GGA" || kind == "ZDA";
}

}  // namespace

std::string ora_iso(std::int64_t utc_ms) {
    std::int64_t days = utc_ms / ms_per_day;
    std::int64_t in_day = utc_ms % ms_per_day;
    if (in_day < 0) {
        in_day += ms_per_day;
        --days;
    }
    int y = 0, m = 0, d = 0;
    civil_from_days(days, y, m, d);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", y, m, d,
                  static_cast<int>(in_day / 3'600'000), static_cast<int>(in_day / 60'000 % 60),
                  static_cast<int>(in_day / 1000 % 60), static_cast<int>(in_day % 1000));
    return text;
}

std::optional<std::int64_t> leggi_riga_ora(std::string_view line) {
    // # 2026-12-06T10:42:47.001Z
    if (line.size() != 26 || line.substr(0, 2) != "# " || line[6] != '-' || line[9] != '-' || line[12] != 'T' ||
        line[15] != ':' || line[18] != ':' || line[21] != '.' || line[25] != 'Z')
        return std::nullopt;
    const auto y = digits(line, 2, 4), mo = digits(line, 7, 2), d = digits(line, 10, 2);
    const auto h = digits(line, 13, 2), mi = digits(line, 16, 2), s = digits(line, 19, 2);
    const auto ms = digits(line, 22, 3);
    if (!y || !mo || !d || !h || !mi || !s || !ms) return std::nullopt;
    if (*mo < 1 || *mo > 12 || *d < 1 || *d > 31 || *h > 23 || *mi > 59 || *s > 60) return std::nullopt;
    return days_from_civil(*y, *mo, *d) * ms_per_day + *h * 3'600'000LL + *mi * 60'000LL + *s * 1000LL + *ms;
}

std::optional<std::int64_t> leggi_campo_ora(std::string_view field) {
    const auto h = digits(field, 0, 2), m = digits(field, 2, 2), s = digits(field, 4, 2);
    if (!h || !m || !s || *h > 23 || *m > 59 || *s > 60) return std::nullopt;
    std::int64_t ms = *h * 3'600'000LL + *m * 60'000LL + *s * 1000LL;
    if (field.size() > 6) {
        if (field[6] != '.' || field.size() == 7) return std::nullopt;
        std::int64_t scale = 100;
        for (std::size_t i = 7; i < field.size(); ++i, scale /= 10) {
            if (field[i] < '0' || field[i] > '9') return std::nullopt;
            ms += (field[i] - '0') * scale;
        }
    }
    return ms;
}

bool LogReader::read_line(std::string& line, bool& too_long) {
    line.clear();
    too_long = false;
    bool any = false;
    for (;;) {
        if (chunk_pos_ == chunk_.size()) {
            chunk_.resize(65536);
            in_.read(chunk_.data(), static_cast<std::streamsize>(chunk_.size()));
            chunk_.resize(static_cast<std::size_t>(in_.gcount()));
            chunk_pos_ = 0;
            if (chunk_.empty()) return any;
        }
        any = true;
        const std::size_t end = chunk_.find('\n', chunk_pos_);
        const std::size_t stop = end == std::string::npos ? chunk_.size() : end + 1;
        const std::size_t room = max_line - std::min(max_line, line.size());
        if (stop - chunk_pos_ > room) too_long = true;
        line.append(chunk_, chunk_pos_, std::min(stop - chunk_pos_, room));
        chunk_pos_ = stop;
        if (end != std::string::npos) return true;
    }
}

void LogReader::damage(const std::string& reason) {
    ++damaged_;
    if (problems_.size() < problems_kept) problems_.push_back({line_, reason});
}

void LogReader::begin(double offset) {
    if (building_) {
        finished_ = std::move(current_);
        ready_ = true;
    }
    current_ = LogTick{offset, {}, line_};
    building_ = true;
}

bool LogReader::next(LogTick& tick) {
    std::string line;
    bool too_long = false;
    while (!ready_) {
        if (!read_line(line, too_long)) {
            if (!building_) return false;
            finished_ = std::move(current_);
            building_ = false;
            ready_ = true;
            break;
        }
        ++line_;
        // The radio burst's NULs stand before each line; they are bytes of
        // the second they follow.
        const std::size_t nuls = line.find_first_not_of('\0');
        std::string_view text(line);
        text.remove_prefix(nuls == std::string::npos ? text.size() : nuls);
        const bool ended = !text.empty() && text.back() == '\n';
        if (ended) text.remove_suffix(1);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);

        std::string problem;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte > 0x7E) {
                binary_ = true;
                problem = "byte non di testo (" + hex(byte) + ")";
                break;
            }
        }
        if (too_long) {
            damage(problem.empty() ? "riga troppo lunga (oltre " + std::to_string(max_line) + " byte)" : problem);
            continue;
        }
        if (problem.empty() && !text.empty() && text[0] == '#') {
            // A comment is never sent; its NULs belong to the second before.
            if (building_) current_.bytes.append(line, 0, nuls);
            const auto ms = leggi_riga_ora(text);
            if (ms && mode_ != Mode::sentences) {
                if (mode_ == Mode::undecided) {
                    mode_ = Mode::comments;
                    first_ms_ = *ms;
                }
                // A wall clock set back sends at once, never before the second before.
                begin(std::max(offset_, static_cast<double>(*ms - first_ms_) / 1000.0));
                offset_ = current_.offset;
            }
            continue;
        }
        const std::string_view sentence = without_prefix(text);
        if (problem.empty() && !text.empty()) {
            if (sentence.empty() || (sentence[0] != '$' && sentence[0] != '!')) {
                problem = "non è una frase NMEA";
            } else {
                problem = sentence_problem(text);
                if (problem.empty() && !ended) problem = "frase senza fine riga (file troncato?)";
            }
        }
        if (problem.empty() && mode_ != Mode::comments && timed_kind(sentence)) {
            const std::size_t comma = sentence.find(',', 7);
            const auto ms = leggi_campo_ora(sentence.substr(7, comma == std::string_view::npos ? 0 : comma - 7));
            if (!ms) {
                problem = "frase senza ora";
            } else if (mode_ == Mode::undecided) {
                mode_ = Mode::sentences;
                second_ms_ = *ms;
                if (!building_) begin(0.0);
            } else if (*ms != second_ms_) {
                std::int64_t step = *ms - second_ms_;
                if (step < -ms_per_day / 2) step += ms_per_day;  // past midnight
                if (step < 0) step = 0;                           // a receiver's clock set back
                second_ms_ = *ms;
                offset_ += static_cast<double>(step) / 1000.0;
                begin(offset_);
            }
        }
        if (!problem.empty()) damage(problem);
        if (!building_) begin(0.0);
        current_.bytes += line;
    }
    tick = std::move(finished_);
    ready_ = false;
    return true;
}

LogSummary esamina_registro(std::istream& in) {
    LogReader reader(in);
    LogSummary summary;
    LogTick tick;
    while (reader.next(tick)) {
        ++summary.ticks;
        summary.duration = tick.offset;
    }
    summary.lines = reader.lines();
    summary.damaged = reader.damaged();
    summary.problems = reader.problems();
    summary.binary = reader.binary();
    summary.timed = reader.timed();
    summary.by_comments = reader.by_comments();
    return summary;
}

std::vector<std::string> problemi_registro(const std::string& path, const LogSummary& s, bool invia_danneggiate) {
    const std::string name = "il registro " + path;
    if (s.lines == 0) return {name + " è vuoto: non c'è niente da riprodurre"};
    if (s.binary && s.damaged * 2 > s.lines)
        return {name + " non è un registro di frasi NMEA (sembra un file binario)"};
    std::vector<std::string> problems;
    if (!s.timed) {
        problems.push_back(name + " non ha righe \"# ora\" né frasi con l'ora ($GPRMC, $GPGGA, $GPZDA): "
                                  "non si sa con che ritmo inviarlo");
    }
    if (s.damaged > 0 && !invia_danneggiate) {
        problems.push_back(name + " ha " + std::to_string(s.damaged) +
                           (s.damaged == 1 ? " riga danneggiata" : " righe danneggiate") +
                           " (--invia-danneggiate le invia come sono):");
        for (const LogProblem& p : s.problems)
            problems.push_back("  riga " + std::to_string(p.line) + ": " + p.reason);
        if (s.damaged > static_cast<long>(s.problems.size()))
            problems.push_back("  ... e altre " + std::to_string(s.damaged - static_cast<long>(s.problems.size())));
    }
    return problems;
}

}  // namespace vadrel
