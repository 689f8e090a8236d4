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
//   std::ifstream in(path, std::ios::binary);
//   LogReader log(in);
//   LogTick tick;
//   while (log.next(tick)) send_at(tick.offset, tick.bytes);
//   log.damaged();   // lines that could not be checked, with their numbers
//
// The reader holds one second at a time, so a log of any length streams.

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vadrel {

// "2026-12-06T10:42:47.001Z" for the milliseconds since 1970 in UTC.
std::string ora_iso(std::int64_t utc_ms);
// "# 2026-12-06T10:42:47.001Z\n": the line before each second of a log.
inline std::string riga_ora(std::int64_t utc_ms) { return "# " + ora_iso(utc_ms) + "\n"; }
// The milliseconds of a line written by riga_ora (without its "\n").
std::optional<std::int64_t> leggi_riga_ora(std::string_view line);
// The time of day of an NMEA time field "hhmmss" or "hhmmss.ss", in
// milliseconds since midnight.
std::optional<std::int64_t> leggi_campo_ora(std::string_view field);

// One second of the log: its bytes exactly as they stand in the file, and
// when it comes, in seconds after the log's first second.
struct LogTick {
    double offset = 0.0;
    std::string bytes;
    long line = 0;  // the line where it starts, from 1
};

struct LogProblem {
    long line = 0;
    std::string reason;  // Italian: "checksum errato (4A invece di 4B)"
};

class LogReader {
public:
    static constexpr std::size_t max_line = 4096;
    static constexpr std::size_t problems_kept = 20;

    explicit LogReader(std::istream& in) : in_(in) {}

    // The next second; false at the end of the file. A damaged line is
    // counted and kept in its second as it stands.
    bool next(LogTick& tick);

    long lines() const { return line_; }
    // Damaged lines: counted all, the first problems_kept of them kept.
    long damaged() const { return damaged_; }
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
    // Reads one line with its "\n" (when it has one); false at the end.
    bool read_line(std::string& line, bool& too_long);
    void damage(const std::string& reason);
    // Closes the second being built and starts one at this offset.
    void begin(double offset);

    std::istream& in_;
    long line_ = 0;
    long damaged_ = 0;
    std::vector<LogProblem> problems_;
    bool binary_ = false;
    Mode mode_ = Mode::undecided;

    bool building_ = false;
    LogTick current_;
    bool ready_ = false;
    LogTick finished_;

    std::int64_t first_ms_ = 0;     // comments: the first second's time
    std::int64_t second_ms_ = 0;    // sentences: the time of the second being built
    double offset_ = 0.0;           // offset of the second being built
    std::string chunk_;             // read ahead from the stream
    std::size_t chunk_pos_ = 0;
};

// What a first reading of the whole log found.
struct LogSummary {
    long ticks = 0;
    double duration = 0.0;  // offset of the last second
    long lines = 0;
    long damaged = 0;
    std::vector<LogProblem> problems;
    bool binary = false;
    bool timed = false;
    bool by_comments = false;
};
LogSummary esamina_registro(std::istream& in);

// Why the log cannot be replayed, in Italian, one line per item; empty when
// it can. Damaged lines stop it unless they are to be sent as they stand.
std::vector<std::string> problemi_registro(const std::string& path, const LogSummary& summary,
                                           bool invia_danneggiate);

}  // namespace vadrel
