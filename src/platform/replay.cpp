#include "replay.h"

#include "os/system_error.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

namespace vadrel {

std::variant<LogSummary, std::vector<std::string>> esamina_file_registro(const std::string& path,
                                                                         bool invia_danneggiate) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        return std::vector<std::string>{"il registro " + path + " non si apre: " +
                                        italian_reason(error)};
    }
    if (S_ISDIR(info.st_mode)) return std::vector<std::string>{"il registro " + path + " è una cartella"};
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::vector<std::string>{"il registro " + path + " non si apre: " +
                                        italian_reason(errno)};
    }
    LogSummary summary = esamina_registro(in);
    if (in.bad()) return std::vector<std::string>{"il registro " + path + " non si legge fino in fondo"};
    std::vector<std::string> problems = problemi_registro(path, summary, invia_danneggiate);
    if (!problems.empty()) return problems;
    return summary;
}

double Replay::steady_now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

Replay::Replay(OutputFanOut& output, Now now) : output_(output), now_(std::move(now)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.callOnTimeout([this] { schedule(); });
}

Replay::~Replay() = default;

bool Replay::open() {
    file_ = std::make_unique<std::ifstream>(path_, std::ios::binary);
    if (!*file_) return false;
    reader_ = std::make_unique<LogReader>(*file_);
    LogTick tick;
    next_.reset();
    if (reader_->next(tick)) next_ = std::move(tick);
    sent_in_round_ = 0;
    return true;
}

std::string Replay::start(const std::string& path, const LogSummary& summary, double speed, bool loop) {
    stop();
    path_ = path;
    summary_ = summary;
    speed_ = speed;
    loop_ = loop;
    if (!open()) {
        reader_.reset();
        return "il registro " + path + " non si apre più";
    }
    start_ = now_();
    round_base_ = 0.0;
    last_offset_ = 0.0;
    sent_ = 0;
    round_ = 1;
    busy_since_.reset();
    ended_ = false;
    schedule();
    return {};
}

void Replay::stop() {
    timer_.stop();
    reader_.reset();
    file_.reset();
    next_.reset();
}

double Replay::progress() const {
    if (summary_.ticks <= 0) return 1.0;
    return std::min(1.0, static_cast<double>(sent_in_round_) / static_cast<double>(summary_.ticks));
}

std::optional<double> Replay::step() {
    if (!reader_) return std::nullopt;
    for (;;) {
        if (!next_) {
            // The end of the log: the next round's first second comes one
            // second after this round's last.
            if (!loop_ || sent_in_round_ == 0) {
                ended_ = true;
                stop();
                return std::nullopt;
            }
            round_base_ += last_offset_ + 1.0;
            ++round_;
            if (!open()) {
                stop();
                return std::nullopt;
            }
            continue;
        }
        const double now = now_();
        if (speed_ == full_speed) {
            if (output_.busy()) {
                if (!busy_since_) busy_since_ = now;
                if (now - *busy_since_ < busy_limit) return now;
            }
            busy_since_.reset();
        } else {
            const double due = start_ + (round_base_ + next_->offset) / speed_;
            if (due > now) return due;
        }
        LogTick tick = std::move(*next_);
        next_.reset();
        output_.send(tick.bytes);
        ++sent_;
        ++sent_in_round_;
        last_offset_ = tick.offset;
        if (on_tick) on_tick(tick.bytes);
        if (!reader_) return std::nullopt;  // stopped from on_tick
        LogTick following;
        if (reader_->next(following)) next_ = std::move(following);
        if (speed_ == full_speed) return now_();
    }
}

namespace {
constexpr double early = 0.003;
}  // namespace

void Replay::schedule() {
    const std::optional<double> due = step();
    if (!due) {
        if (ended_ && on_finished) on_finished();
        return;
    }
    // The timer wakes a little late, by a millisecond or two: it is armed
    // that much early, and the last moments pass polling the clock.
    const double wait = *due - now_();
    timer_.start(wait > early ? static_cast<int>(std::floor((wait - early) * 1000.0)) : 0);
}

}  // namespace vadrel
