#pragma once
// The log of what vadrel sent, and the logs of real receivers, as lines.
//
// vadrel writes each second's bytes exactly as the outputs got them, behind
// a comment line with the UTC time of that second:
//
//   # 2026-12-06T10:42:47.001Z
//   $GPRMC,114247,A,4401.7775,N,01008.0623,E,0.0,000.0,061226,000.0,W,*4F
//
// A log from any other receiver has no such lines: its seconds are told by
// the time fields of $..RMC, $..GGA and $..ZDA, and a sentence without a time
// ($GPGSV, $GPGSA, ...) belongs to the second of the timed sentence before it.
//
//   LogReader log(source);          // source(): the next piece of the file, "" at its end
//   LogTick tick;
//   while (log.next(tick)) send_at(tick.offset, tick.bytes);
//   log.damaged();   // lines that could not be checked, with their numbers
//
// The reader holds one line, one second and the source's piece at a time, so
// a log of any length and any content streams in bounded memory: a line is
// at most max_line bytes and a second at most max_second; what lies beyond
// is dropped and counted. A time that jumps more than jump_limit_ms either
// way is counted too, and its second comes at once after the one before.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vadrel {

// "2026-12-06T10:42:47.001Z" for the milliseconds since 1970 in UTC.
std::string iso_time_text(std::int64_t utc_ms);
// "# 2026-12-06T10:42:47.001Z\n": the line before each second of a log.
inline std::string time_line(std::int64_t utc_ms) { return "# " + iso_time_text(utc_ms) + "\n"; }
// The milliseconds of a line written by riga_ora (without its "\n").
std::optional<std::int64_t> read_time_line(std::string_view line);
// The time of day of an NMEA time field "hhmmss" or "hhmmss.ss", in
// milliseconds since midnight.
std::optional<std::int64_t> read_time_field(std::string_view field);

// One second of the log: its bytes exactly as they stand in the file, and
// when it comes, in seconds after the log's first second.
struct LogTick {
    double offset = 0.0;
    std::string bytes;
    long line = 0;  // the line where it starts, from 1
};

struct LogProblem {
    enum class Kind {
        damaged,  // kept in its second; sent as it stands only with the operator's leave
        dropped,  // never sent: a line too long, or past its second's limit
        jump,     // the time jumps beyond the limit: its second goes at once
    };
    Kind kind = Kind::damaged;
    long line = 0;
    long last_line = 0;  // the last of a run of lines with this problem (= line for one)
    std::string reason;  // Italian: "checksum errato (4A invece di 4B)"
};

// Where the reader takes its bytes: each call gives the next piece of the
// file, valid until the next call; an empty piece at its end (after which
// the source is not called again).
using LogSource = std::function<std::string_view()>;

class LogReader {
public:
    static constexpr std::size_t max_line = 4096;
    // A second's bytes: the most one UDP datagram carries, so every output
    // takes a second whole. A receiver at 10 Hz with every sentence it has
    // sends about a third of it.
    static constexpr std::size_t max_second = 65507;
    // A time that moves more than this from the second before, either way.
    static constexpr std::int64_t jump_limit_ms = 3'600'000;
    // Problems kept of each kind, with their lines; all are counted.
    static constexpr std::size_t problems_kept = 20;

    explicit LogReader(LogSource source) : source_(std::move(source)) {}

    // The next second; false at the end of the file. A damaged line is
    // counted and kept in its second as it stands; a dropped one is counted.
    bool next(LogTick& tick);

    long lines() const { return line_; }
    long damaged() const { return damaged_; }
    long dropped() const { return dropped_; }
    long jumps() const { return jumps_; }
    // The first problems_kept of each kind, in the order of their lines.
    const std::vector<LogProblem>& problems() const { return problems_; }
    // Whether a line held bytes that no text log has (NUL or control
    // characters inside a line, bytes above 127).
    bool binary() const { return binary_; }
    // Whether the seconds come from vadrel's comment lines.
    bool by_comments() const { return mode_ == Mode::comments; }
    // Whether any line told a time at all.
    bool timed() const { return mode_ != Mode::undecided; }

private:
    enum class Mode { undecided, comments, sentences };
    // Reads one line with its "\n" (when it has one), at most max_line
    // bytes of it; false at the end.
    bool read_line(std::string& line, bool& too_long);
    void add_problem(LogProblem::Kind kind, const std::string& reason);
    // A new time: the second being built closes and one starts.
    void new_time(std::int64_t ms);
    // Closes the second being built and starts one at this offset.
    void begin(std::int64_t offset_ms);
    // Adds bytes to the second being built unless they pass its limit.
    void keep(std::string_view bytes);

    LogSource source_;
    std::string_view piece_;
    bool source_ended_ = false;
    long line_ = 0;
    long damaged_ = 0;
    long dropped_ = 0;
    long jumps_ = 0;
    std::vector<LogProblem> problems_;
    std::size_t kept_[3] = {0, 0, 0};  // problems kept of each kind
    bool binary_ = false;
    Mode mode_ = Mode::undecided;

    bool building_ = false;
    bool over_limit_ = false;  // the second being built dropped a line for its size
    std::size_t over_limit_problem_ = 0;  // the problem that tells it, npos when not kept
    LogTick current_;
    bool ready_ = false;
    LogTick finished_;

    std::int64_t time_ms_ = 0;    // the time of the second being built (of day, for sentences)
    std::int64_t offset_ms_ = 0;  // its offset from the first second
};

// What a first reading of the whole log found.
struct LogSummary {
    long ticks = 0;
    double duration = 0.0;  // offset of the last second
    long lines = 0;
    long damaged = 0;
    long dropped = 0;
    long jumps = 0;
    std::vector<LogProblem> problems;
    bool binary = false;
    bool timed = false;
    bool by_comments = false;
};
// Reads the whole log from source.
LogSummary examine_log(const LogSource& source);
// A source that gives these bytes in one piece.
LogSource source_text_of(std::string_view bytes);

// What the operator allows of a log that is not whole.
struct LogLeave {
    bool damaged = false;  // damaged lines sent as they stand, lines too long left out
    bool jumps = false;    // a jump of the time sends its second at once
};

// Why the log cannot be replayed with this leave, in Italian, one line per
// item; empty when it can.
std::vector<std::string> log_problems(const std::string& path, const LogSummary& summary, LogLeave leave);
// What a replay with this leave does with what the log has that is not
// whole, in Italian, one line per item, to be said before it starts.
std::vector<std::string> log_warnings(const LogSummary& summary, LogLeave leave);

}  // namespace vadrel
