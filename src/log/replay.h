#pragma once
// Replay: a log sent again through the same outputs as the tick's bytes
// (serial or virtual port, TCP, UDP, the recorder), at its own pace, faster
// or slower, once or in a loop.
//
//   auto checked = esamina_file_registro("viaggio.nmea", [] { return true; });
//   CheckedLog& log = std::get<CheckedLog>(checked);    // or why not
//   problemi_registro(log.path, log.summary, leave);    // what the operator must allow
//   Replay replay(fan_out);
//   replay.on_finished = [&](const std::string& problem) { ... };
//   Result<> running = replay.start(log, 1.0, false);   // or why not
//
// The check reads the file whole once, a block at a time, and keeps it open
// with a fingerprint of each block. The replay reads that same open file
// (renamed or replaced meanwhile, it is still the file checked), only as far
// as the check read, and sends a block's bytes only when the block still
// holds what the check read: a log appended to sends what was checked, one
// cut or rewritten stops the replay before the changed bytes, and says so.
//
// Each second is sent when its offset from the first, divided by the speed,
// has gone by on the steady clock since the start, so a late second never
// shifts the ones after it; a second later than late_limit when the one after
// it is due as well is skipped (the program was stopped, say), and counted.
// At full speed (speed 0) each second goes as soon as no output still holds
// the one before (a client that never reads holds it at most busy_limit).

#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "log/nmea_log.h"
#include "os/descriptor.h"
#include "os/result.h"
#include "outputs/output_fanout.h"

namespace vadrel {

// A log file as its check read it.
class LogSnapshot {
public:
    // Read and compared a block at a time.
    static constexpr std::size_t block = std::size_t{1} << 20;
    // A fingerprint a block: 8 MB for the largest log.
    static constexpr std::uint64_t max_size = std::uint64_t{1} << 40;

    LogSnapshot(Descriptor file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}

    const std::string& path() const { return path_; }
    // How far the check read: nothing after it is sent.
    std::uint64_t size() const { return size_; }
    // Whether path names this very file now.
    bool is(const std::string& path) const;

    // The check: the next block into buffer (empty past `end` or the end of
    // the file), its fingerprint kept. "" or why not, in Italian.
    std::string read_on(std::string& buffer, std::uint64_t end);
    // The replay: block `index` into buffer (empty past the checked end).
    // "" when it holds what the check read, else why not, in Italian.
    std::string read_again(std::size_t index, std::string& buffer) const;

private:
    Descriptor file_;
    std::string path_;
    std::uint64_t size_ = 0;
    std::vector<std::size_t> fingerprints_;
};

struct CheckedLog {
    std::string path;
    LogSummary summary;
    std::shared_ptr<const LogSnapshot> file;
};

// The check stopped before its end (go_on said so).
struct CheckInterrupted {};

// Reads the log at path once, a block at a time, asking go_on(done, 0 to 1)
// before each block whether to go on. Returns the log as read, or why it
// cannot be read, in Italian, one line per item: a missing file, a folder, a
// FIFO, a device (only regular files are replayed), a file too large, an
// error of the disk. What its lines hold is judged by problemi_registro.
using CheckResult = std::variant<CheckedLog, std::vector<std::string>, CheckInterrupted>;
CheckResult examine_log_file(const std::string& path, const std::function<bool(double)>& go_on = {});

class Replay {
public:
    using Now = std::function<double()>;  // steady seconds
    static double steady_now();
    static constexpr double full_speed = 0.0;
    // How long a reader may hold a second at full speed before the next goes anyway.
    static constexpr double busy_limit = 1.0;
    // A second this late, when the one after it is due too, is skipped.
    static constexpr double late_limit = 1.0;

    explicit Replay(OutputFanOut& output, Now now = &steady_now);
    ~Replay();
    Replay(const Replay&) = delete;
    Replay& operator=(const Replay&) = delete;

    // Starts sending the log as checked; its first second goes at once.
    // Returns why it cannot, in Italian.
    vadrel::Result<> start(const CheckedLog& log, double speed, bool loop);
    // Stops before the next second; on_finished is not called.
    void stop();
    bool running() const { return reader_ != nullptr; }
    // Whether the replay reads the file that path names.
    bool reads(const std::string& path) const;

    // Sends every second due by now (skipping those left behind). The steady
    // time to look again, nullopt when the replay has ended.
    std::optional<double> step();

    const std::string& path() const { return log_.path; }
    long ticks() const { return log_.summary.ticks; }  // seconds in one round
    long long sent() const { return sent_; }           // seconds sent, every round
    long long skipped() const { return skipped_; }     // seconds left behind, every round
    int round() const { return round_; }
    // How far this round is, 0 to 1.
    double progress() const;

    // Each second sent: its bytes and what the outputs did with them.
    std::function<void(const std::string&, const Delivery&)> on_tick;
    // What a second's bytes become before they leave (a log moved to the
    // present); unset: as recorded.
    std::function<std::string(const std::string&)> rewrite;
    // The replay has ended (not after stop()), always from the event loop:
    // "" when the log came to its end, else why it stopped, in Italian.
    std::function<void(const std::string&)> on_finished;
    // Seconds skipped, in Italian, when the replay goes on after them.
    std::function<void(const std::string&)> on_event;

private:
    void open_round();
    // The next second of the file into next_ (none at its end or when the
    // file changed: failure_ says which).
    void fetch();
    double due(const LogTick& tick) const;
    void schedule();
    void tell_skipped();

    OutputFanOut& output_;
    Now now_;
    CheckedLog log_;
    double speed_ = 1.0;
    bool loop_ = false;
    std::unique_ptr<LogReader> reader_;
    std::string block_;         // the block the reader is reading
    std::string failure_;       // why the file cannot be read on
    std::optional<LogTick> next_;
    double start_ = 0.0;        // steady time of the first second
    double round_base_ = 0.0;   // offset of this round's first second from the first round's
    double last_offset_ = 0.0;
    long long sent_ = 0;
    long long skipped_ = 0;
    long long skipped_untold_ = 0;
    long long done_in_round_ = 0;
    int round_ = 1;
    std::optional<double> busy_since_;
    bool busy_wait_ = false;  // step() waits for a reader, not for a second's time
    std::string end_problem_;
    QTimer timer_;
    QTimer finished_;  // on_finished, from the event loop
};

}  // namespace vadrel
