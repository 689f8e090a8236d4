#include "nmea_log.h"

#include "model/civil_time.h"
#include "nmea/sentences.h"

#include <array>
#include <cstdio>

namespace vadrel {

namespace {

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
    const std::optional<unsigned> given = read_checksum(s.substr(star + 1));
    if (!given) return "checksum illeggibile";
    const unsigned sum = nmea_checksum(s.substr(0, star));
    if (sum != *given) return "checksum errato (" + hex(*given) + " invece di " + hex(sum) + ")";
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

std::string iso_time_text(std::int64_t utc_ms) {
    const CivilInstant t = civil_of(utc_ms);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d.%03dZ", static_cast<long long>(t.year), t.month,
                  t.day, t.hour, t.minute, t.second, t.millisecond);
    return text;
}

std::optional<std::int64_t> read_time_line(std::string_view line) {
    // # 2026-12-06T10:42:47.001Z
    if (line.size() != 26 || line.substr(0, 2) != "# " || line[6] != '-' || line[9] != '-' || line[12] != 'T' ||
        line[15] != ':' || line[18] != ':' || line[21] != '.' || line[25] != 'Z')
        return std::nullopt;
    const auto y = read_digits(line, 2, 4), mo = read_digits(line, 7, 2), d = read_digits(line, 10, 2);
    const auto h = read_digits(line, 13, 2), mi = read_digits(line, 16, 2), s = read_digits(line, 19, 2);
    const auto ms = read_digits(line, 22, 3);
    if (!y || !mo || !d || !h || !mi || !s || !ms) return std::nullopt;
    if (*mo < 1 || *mo > 12 || *d < 1 || *d > 31 || *h > 23 || *mi > 59 || *s > 60) return std::nullopt;
    return days_from_civil(*y, *mo, *d) * ms_per_day + *h * 3'600'000LL + *mi * 60'000LL + *s * 1000LL + *ms;
}

std::optional<std::int64_t> read_time_field(std::string_view field) {
    const auto h = read_digits(field, 0, 2), m = read_digits(field, 2, 2), s = read_digits(field, 4, 2);
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
        if (piece_.empty()) {
            if (source_ended_) return any;
            piece_ = source_();
            if (piece_.empty()) {
                source_ended_ = true;
                return any;
            }
        }
        any = true;
        const std::size_t end = piece_.find('\n');
        const std::size_t stop = end == std::string_view::npos ? piece_.size() : end + 1;
        const std::size_t room = max_line - std::min(max_line, line.size());
        if (stop > room) too_long = true;
        line.append(piece_.substr(0, std::min(stop, room)));
        piece_.remove_prefix(stop);
        if (end != std::string_view::npos) return true;
    }
}

void LogReader::add_problem(LogProblem::Kind kind, const std::string& reason) {
    const auto k = static_cast<std::size_t>(kind);
    if (kept_[k] == problems_kept) return;
    ++kept_[k];
    problems_.push_back({kind, line_, line_, reason});
}

void LogReader::begin(std::int64_t offset_ms) {
    if (building_) {
        finished_ = std::move(current_);
        ready_ = true;
    }
    current_ = LogTick{static_cast<double>(offset_ms) / 1000.0, {}, line_};
    building_ = true;
    over_limit_ = false;
}

namespace {

// "3 h 5 min 12 s", "12 giorni".
std::string span_text(std::int64_t ms) {
    const std::int64_t s = ms / 1000;
    if (s >= 2 * 86400) return std::to_string(s / 86400) + " giorni";
    std::string text = std::to_string(s / 3600) + " h";
    if (s % 3600 != 0) text += " " + std::to_string(s / 60 % 60) + " min";
    if (s % 60 != 0) text += " " + std::to_string(s % 60) + " s";
    return text;
}

}  // namespace

void LogReader::new_time(std::int64_t ms) {
    std::int64_t step = ms - time_ms_;
    if (mode_ == Mode::sentences) {
        // Times of day: the nearer way round, so midnight is crossed. A day
        // that ends in a leap second (23:59:60) is a second longer.
        const std::int64_t day = time_ms_ >= ms_per_day ? ms_per_day + 1000 : ms_per_day;
        if (step <= -day / 2) step += day;
        if (step > ms_per_day / 2) step -= ms_per_day;
    }
    time_ms_ = ms;
    if (step > jump_limit_ms || step < -jump_limit_ms) {
        ++jumps_;
        add_problem(LogProblem::Kind::jump,
                    std::string(step > 0 ? "l'ora salta avanti di " : "l'ora torna indietro di ") +
                        span_text(step > 0 ? step : -step));
        step = 0;
    }
    // A clock set back: this second goes at once, the ones after keep their pace.
    offset_ms_ += std::max<std::int64_t>(step, 0);
    begin(offset_ms_);
}

void LogReader::keep(std::string_view bytes) {
    if (bytes.empty()) return;
    // Past the limit, the rest of the second goes: nothing after a gap is sent.
    if (!over_limit_ && current_.bytes.size() + bytes.size() <= max_second) {
        current_.bytes += bytes;
        return;
    }
    ++dropped_;
    if (over_limit_) {
        // One problem for the run of lines past the limit in this second.
        if (over_limit_problem_ < problems_.size()) problems_[over_limit_problem_].last_line = line_;
        return;
    }
    over_limit_ = true;
    over_limit_problem_ = kept_[static_cast<std::size_t>(LogProblem::Kind::dropped)] < problems_kept
                              ? problems_.size()
                              : std::string::npos;
    add_problem(LogProblem::Kind::dropped, "il secondo supera " + std::to_string(max_second) +
                                               " byte (il massimo di un datagramma UDP): le sue righe da qui non si inviano");
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
            if (problem.empty() && text.empty()) {
                // NULs for thousands of bytes: no radio framing, a binary file (or a hole in one).
                binary_ = true;
                problem = "byte non di testo (00)";
            }
            ++dropped_;
            add_problem(LogProblem::Kind::dropped,
                        (problem.empty() ? "" : problem + ", ") + "riga troppo lunga (oltre " +
                            std::to_string(max_line) + " byte): non si invia");
            continue;
        }
        if (problem.empty() && !text.empty() && text[0] == '#') {
            // A comment is never sent; its NULs belong to the second before.
            if (building_) keep(std::string_view(line).substr(0, nuls));
            const auto ms = read_time_line(text);
            if (ms && mode_ == Mode::undecided) {
                mode_ = Mode::comments;
                time_ms_ = *ms;
                begin(0);
            } else if (ms && mode_ == Mode::comments) {
                new_time(*ms);
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
        bool timed_here = false;
        std::int64_t ms = 0;
        if (problem.empty() && mode_ != Mode::comments && timed_kind(sentence)) {
            const std::size_t comma = sentence.find(',', 7);
            const auto time = read_time_field(sentence.substr(7, comma == std::string_view::npos ? 0 : comma - 7));
            if (!time) {
                problem = "frase senza ora";
            } else {
                timed_here = true;
                ms = *time;
            }
        }
        if (timed_here) {
            if (mode_ == Mode::undecided) {
                mode_ = Mode::sentences;
                time_ms_ = ms;
                if (!building_) begin(0);
            } else if (ms != time_ms_) {
                new_time(ms);
            }
        }
        if (!building_) begin(0);
        const long dropped_before = dropped_;
        keep(line);
        if (!problem.empty() && dropped_ == dropped_before) {
            ++damaged_;
            add_problem(LogProblem::Kind::damaged, problem);
        }
    }
    tick = std::move(finished_);
    ready_ = false;
    return true;
}

LogSource source_text_of(std::string_view bytes) {
    return [bytes, given = false]() mutable {
        if (given) return std::string_view{};
        given = true;
        return bytes;
    };
}

LogSummary examine_log(const LogSource& source) {
    LogReader reader(source);
    LogSummary summary;
    LogTick tick;
    while (reader.next(tick)) {
        ++summary.ticks;
        summary.duration = tick.offset;
    }
    summary.lines = reader.lines();
    summary.damaged = reader.damaged();
    summary.dropped = reader.dropped();
    summary.jumps = reader.jumps();
    summary.problems = reader.problems();
    summary.binary = reader.binary();
    summary.timed = reader.timed();
    summary.by_comments = reader.by_comments();
    return summary;
}

namespace {

std::string lines_text(long count, const char* one, const char* many) {
    return std::to_string(count) + (count == 1 ? one : many);
}

// "  riga 12: checksum errato (...)" for each kept problem of this kind,
// and how many more there are.
void list_problems(const LogSummary& s, LogProblem::Kind kind, long count, std::vector<std::string>& out) {
    long listed = 0;
    for (const LogProblem& p : s.problems) {
        if (p.kind != kind) continue;
        ++listed;
        out.push_back(p.last_line > p.line
                          ? "  righe " + std::to_string(p.line) + "-" + std::to_string(p.last_line) + ": " + p.reason
                          : "  riga " + std::to_string(p.line) + ": " + p.reason);
    }
    if (kind == LogProblem::Kind::dropped) return;  // a run of lines is one item: no count to compare
    if (count > listed) out.push_back("  ... e altre " + std::to_string(count - listed));
}

}  // namespace

std::vector<std::string> log_problems(const std::string& path, const LogSummary& s, LogLeave leave) {
    const std::string name = "il registro " + path;
    if (s.lines == 0) return {name + " è vuoto: non c'è niente da riprodurre"};
    if (s.binary && (s.damaged + s.dropped) * 2 > s.lines)
        return {name + " non è un registro di frasi NMEA (sembra un file binario)"};
    std::vector<std::string> problems;
    if (!s.timed) {
        problems.push_back(name + " non ha righe \"# ora\" né frasi con l'ora ($GPRMC, $GPGGA, $GPZDA): "
                                  "non si sa con che ritmo inviarlo");
    }
    if (s.damaged > 0 && !leave.damaged) {
        problems.push_back(name + " ha " + lines_text(s.damaged, " riga danneggiata", " righe danneggiate") +
                           " (--invia-danneggiate le invia come sono):");
        list_problems(s, LogProblem::Kind::damaged, s.damaged, problems);
    }
    if (s.dropped > 0 && !leave.damaged) {
        problems.push_back(name + " ha " + lines_text(s.dropped, " riga che non si può inviare", " righe che non si possono inviare") +
                           " (--invia-danneggiate invia il resto):");
        list_problems(s, LogProblem::Kind::dropped, s.dropped, problems);
    }
    if (s.jumps > 0 && !leave.jumps) {
        problems.push_back(name + " ha " + lines_text(s.jumps, " salto", " salti") + " dell'ora oltre un'ora"
                           " (--salti-subito invia subito il secondo dopo il salto):");
        list_problems(s, LogProblem::Kind::jump, s.jumps, problems);
    }
    return problems;
}

std::vector<std::string> log_warnings(const LogSummary& s, LogLeave leave) {
    std::vector<std::string> notes;
    if (s.damaged > 0 && leave.damaged)
        notes.push_back("il registro ha " + lines_text(s.damaged, " riga danneggiata, inviata", " righe danneggiate, inviate") +
                        " come sono");
    if (s.dropped > 0 && leave.damaged) {
        notes.push_back(lines_text(s.dropped, " riga del registro non si invia:", " righe del registro non si inviano:"));
        list_problems(s, LogProblem::Kind::dropped, s.dropped, notes);
    }
    if (s.jumps > 0 && leave.jumps) {
        notes.push_back("il registro ha " + lines_text(s.jumps, " salto", " salti") +
                        " dell'ora oltre un'ora: il secondo dopo ciascuno si invia subito:");
        list_problems(s, LogProblem::Kind::jump, s.jumps, notes);
    }
    return notes;
}

}  // namespace vadrel
