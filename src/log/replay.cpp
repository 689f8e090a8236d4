#include "replay.h"

#include "os/system_error.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vadrel {

namespace {

// Up to size bytes at offset, fewer only at the end of the file; -1 (errno
// set) when the disk fails.
ssize_t read_at(int fd, char* data, std::size_t size, std::uint64_t offset) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, data + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

std::size_t fingerprint(std::string_view bytes) { return std::hash<std::string_view>{}(bytes); }

std::vector<std::string> refusal(std::string text) { return {std::move(text)}; }

}  // namespace

bool LogSnapshot::is(const std::string& path) const {
    struct stat named {}, held {};
    return ::stat(path.c_str(), &named) == 0 && ::fstat(file_.get(), &held) == 0 && named.st_dev == held.st_dev &&
           named.st_ino == held.st_ino;
}

std::string LogSnapshot::read_on(std::string& buffer, std::uint64_t end) {
    // Whole blocks but the last: a short one was the end of the file.
    const std::uint64_t left = size_ % block != 0 ? 0 : std::min<std::uint64_t>(end - std::min(end, size_), block);
    buffer.resize(static_cast<std::size_t>(left));
    const ssize_t got = read_at(file_.get(), buffer.data(), buffer.size(), size_);
    if (got < 0) {
        const int error = errno;
        buffer.clear();
        return "il registro " + path_ + " non si legge: " + italian_reason(error);
    }
    buffer.resize(static_cast<std::size_t>(got));
    if (!buffer.empty()) {
        fingerprints_.push_back(fingerprint(buffer));
        size_ += buffer.size();
    }
    return {};
}

std::string LogSnapshot::read_again(std::size_t index, std::string& buffer) const {
    const std::uint64_t offset = static_cast<std::uint64_t>(index) * block;
    if (index >= fingerprints_.size()) {
        buffer.clear();
        return {};
    }
    buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size_ - offset, block)));
    const ssize_t got = read_at(file_.get(), buffer.data(), buffer.size(), offset);
    if (got < 0) {
        const int error = errno;
        return "il registro " + path_ + " non si legge più: " + italian_reason(error);
    }
    if (static_cast<std::size_t>(got) < buffer.size())
        return "il registro " + path_ + " è stato accorciato dopo la verifica";
    if (fingerprint(buffer) != fingerprints_[index])
        return "il registro " + path_ + " è stato modificato dopo la verifica";
    return {};
}

CheckResult examine_log_file(const std::string& path, const std::function<bool(double)>& go_on) {
    const std::string name = "il registro " + path;
    // Without blocking: a FIFO with no writer would hold the open for good.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (!fd) {
        const int error = errno;
        if (::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode))
            return refusal(name + " è un socket, non un file: si riproducono solo file normali");
        return refusal(name + " non si apre: " + italian_reason(error));
    }
    if (::fstat(fd.get(), &info) != 0) return refusal(name + " non si apre: " + italian_reason(errno));
    const char* other = S_ISDIR(info.st_mode)    ? " è una cartella"
                        : S_ISFIFO(info.st_mode) ? " è una FIFO (pipe con nome), non un file"
                        : S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ? " è un dispositivo, non un file"
                        : !S_ISREG(info.st_mode) ? " non è un file normale"
                                                 : nullptr;
    if (other) {
        // A log is read twice, first whole to check it: only a file stays the same.
        return refusal(name + other + (S_ISDIR(info.st_mode) ? "" : ": si riproducono solo file normali"));
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > LogSnapshot::max_size) return refusal(name + " è troppo grande (oltre 1 TB)");

    // The file as it stood when it was chosen: what a writer adds later is
    // neither read nor sent.
    auto file = std::make_shared<LogSnapshot>(std::move(fd), path);
    std::string buffer;
    std::string problem;
    bool interrupted = false;
    const LogSource source = [&]() -> std::string_view {
        if (!problem.empty() || interrupted) return {};
        if (go_on && !go_on(size == 0 ? 0.0 : static_cast<double>(file->size()) / static_cast<double>(size))) {
            interrupted = true;
            return {};
        }
        problem = file->read_on(buffer, size);
        return buffer;
    };
    LogSummary summary = examine_log(source);
    if (interrupted) return CheckInterrupted{};
    if (!problem.empty()) return refusal(problem);
    return CheckedLog{path, std::move(summary), std::move(file)};
}

double Replay::steady_now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

Replay::Replay(OutputFanOut& output, Now now) : output_(output), now_(std::move(now)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.callOnTimeout([this] { schedule(); });
    finished_.setSingleShot(true);
    finished_.callOnTimeout([this] {
        if (on_finished) on_finished(end_problem_);
    });
}

Replay::~Replay() = default;

void Replay::open_round() {
    block_.clear();
    reader_ = std::make_unique<LogReader>([this, file = log_.file, index = std::size_t{0}]() mutable {
        if (!failure_.empty()) return std::string_view{};
        failure_ = file->read_again(index++, block_);
        return failure_.empty() ? std::string_view(block_) : std::string_view{};
    });
    done_in_round_ = 0;
    fetch();
}

void Replay::fetch() {
    next_.reset();
    LogTick tick;
    // A second the file's change cut into is not sent.
    if (reader_ && failure_.empty() && reader_->next(tick) && failure_.empty()) next_ = std::move(tick);
}

vadrel::Result<> Replay::start(const CheckedLog& log, double speed, bool loop) {
    stop();
    if (!log.file) return Failure("il registro " + log.path + " non è stato letto");
    log_ = log;
    speed_ = speed;
    loop_ = loop;
    failure_.clear();
    end_problem_.clear();
    round_base_ = 0.0;
    last_offset_ = 0.0;
    sent_ = 0;
    skipped_ = 0;
    skipped_untold_ = 0;
    round_ = 1;
    busy_since_.reset();
    open_round();
    if (!next_) {
        const std::string why = failure_.empty() ? "il registro " + log.path + " non ha secondi da inviare" : failure_;
        stop();
        return Failure(why);
    }
    start_ = now_();
    schedule();
    return {};
}

void Replay::stop() {
    timer_.stop();
    finished_.stop();
    reader_.reset();
    next_.reset();
}

bool Replay::reads(const std::string& path) const { return running() && log_.file && log_.file->is(path); }

double Replay::progress() const {
    if (log_.summary.ticks <= 0) return 1.0;
    return std::min(1.0, static_cast<double>(done_in_round_) / static_cast<double>(log_.summary.ticks));
}

double Replay::due(const LogTick& tick) const { return start_ + (round_base_ + tick.offset) / speed_; }

void Replay::tell_skipped() {
    if (skipped_untold_ == 0) return;
    if (on_event) {
        on_event("riproduzione in ritardo (il programma era fermo?): saltati " + std::to_string(skipped_untold_) +
                 " secondi del registro rimasti indietro, " + std::to_string(skipped_) + " in tutto");
    }
    skipped_untold_ = 0;
}

std::optional<double> Replay::step() {
    busy_wait_ = false;
    if (!reader_) return std::nullopt;
    for (;;) {
        if (!next_) {
            // The end of the log: the next round's first second comes one
            // second after this round's last.
            if (failure_.empty() && loop_ && done_in_round_ > 0) {
                round_base_ += last_offset_ + 1.0;
                ++round_;
                open_round();
                continue;
            }
            const std::string problem = failure_;
            stop();
            end_problem_ = problem;
            finished_.start(0);  // never from inside start(), before the caller is ready
            return std::nullopt;
        }
        const double now = now_();
        if (speed_ == full_speed) {
            if (output_.busy()) {
                if (!busy_since_) busy_since_ = now;
                // No system tells when a reader has taken what it holds (the
                // kernel acknowledges it, and wakes nobody): looked at again
                // at once for 0.2 ms (a reader that keeps up acknowledges
                // within microseconds), then after 1 ms and less often, at
                // most every 10 ms.
                const double held = now - *busy_since_;
                if (held < busy_limit) {
                    busy_wait_ = true;
                    const double again = held < 0.0002 ? 0.0 : std::clamp(held, 0.001, 0.01);
                    return std::min(*busy_since_ + busy_limit, now + again);
                }
            }
            busy_since_.reset();
        } else if (due(*next_) > now) {
            tell_skipped();
            return due(*next_);
        }
        LogTick tick = std::move(*next_);
        fetch();
        if (speed_ != full_speed && next_ && due(*next_) <= now && now - due(tick) > late_limit) {
            // Left behind, as the live ticks skip the seconds they missed.
            ++skipped_;
            ++skipped_untold_;
            ++done_in_round_;
            last_offset_ = tick.offset;
            continue;
        }
        tell_skipped();
        if (rewrite) tick.bytes = rewrite(tick.bytes);
        const Delivery delivery = output_.send(tick.bytes);
        ++sent_;
        ++done_in_round_;
        last_offset_ = tick.offset;
        if (on_tick) on_tick(tick.bytes, delivery);
        if (!reader_) return std::nullopt;  // stopped from on_tick
        if (speed_ == full_speed) return now_();
    }
}

namespace {
constexpr double early = 0.003;
// The wait is measured again at least this often.
constexpr double longest_wait_ms = 60'000.0;
}  // namespace

void Replay::schedule() {
    const std::optional<double> due = step();
    if (!due) return;
    // The timer wakes a little late, by a millisecond or two: it is armed
    // that much early for a second's time, and the last moments pass polling
    // the clock; a reader is looked at again no sooner than asked.
    const double wait_ms = busy_wait_ ? std::ceil((*due - now_()) * 1000.0) : std::floor((*due - now_() - early) * 1000.0);
    timer_.start(static_cast<int>(std::clamp(wait_ms, 0.0, longest_wait_ms)));
}

}  // namespace vadrel
