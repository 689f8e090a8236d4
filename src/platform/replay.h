#pragma once
// Replay: a log sent again through the same outputs as the tick's bytes
// (serial or virtual port, TCP, UDP, the recorder), at its own pace, faster
// or slower, once or in a loop. The log streams from disk one second at a
// time; it is read whole once beforehand (esamina_registro) to be checked
// and counted.
//
//   Replay replay(fan_out);
//   replay.on_finished = [&] { ... };
//   replay.start("viaggio.nmea", summary, 1.0, false);   // "" when it runs
//
// Each second is sent when its offset from the first, divided by the speed,
// has gone by on the steady clock since the start, so a late second never
// shifts the ones after it. At full speed (speed 0) each second goes as soon
// as no output still holds the one before (a client that never reads holds
// it at most a second).

#include <QTimer>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/nmea_log.h"
#include "platform/output_fanout.h"

namespace vadrel {

// Reads the log at path once: its summary, or why it cannot be replayed, in
// Italian, one line per item (a missing file, a folder, an empty log, a
// binary file, damaged lines unless they are to be sent as they stand).
std::variant<LogSummary, std::vector<std::string>> esamina_file_registro(const std::string& path,
                                                                         bool invia_danneggiate);

class Replay {
public:
    using Now = std::function<double()>;  // steady seconds
    static double steady_now();
    static constexpr double full_speed = 0.0;
    // How long a reader may hold a second at full speed before the next goes anyway.
    static constexpr double busy_limit = 1.0;

    explicit Replay(OutputFanOut& output, Now now = &steady_now);
    ~Replay();
    Replay(const Replay&) = delete;
    Replay& operator=(const Replay&) = delete;

    // Starts sending the log at path, which esamina_registro read as summary;
    // its first second goes at once. Returns why it cannot, in Italian.
    std::string start(const std::string& path, const LogSummary& summary, double speed, bool loop);
    // Stops before the next second; on_finished is not called.
    void stop();
    bool running() const { return reader_ != nullptr; }

    // Sends every second due by now. The steady time the next one is due,
    // nullopt when the log has ended (and no loop goes on).
    std::optional<double> step();

    const std::string& path() const { return path_; }
    long ticks() const { return summary_.ticks; }  // seconds in one round
    long long sent() const { return sent_; }       // seconds sent, every round
    int round() const { return round_; }
    // How far this round is, 0 to 1.
    double progress() const;

    // Each second sent, with its bytes (for the monitor).
    std::function<void(const std::string&)> on_tick;
    // The log has ended (not after stop()).
    std::function<void()> on_finished;

private:
    bool open();
    void schedule();

    OutputFanOut& output_;
    Now now_;
    std::string path_;
    LogSummary summary_;
    double speed_ = 1.0;
    bool loop_ = false;
    std::unique_ptr<std::ifstream> file_;
    std::unique_ptr<LogReader> reader_;
    std::optional<LogTick> next_;
    double start_ = 0.0;       // steady time of the first second
    double round_base_ = 0.0;  // offset of this round's first second from the first round's
    double last_offset_ = 0.0;
    long long sent_ = 0;
    long long sent_in_round_ = 0;
    int round_ = 1;
    std::optional<double> busy_since_;
    bool ended_ = false;  // the log came to its end (not stopped)
    QTimer timer_;
};

}  // namespace vadrel
