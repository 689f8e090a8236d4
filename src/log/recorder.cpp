#include "recorder.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "log/nmea_log.h"
#include "os/system_error.h"

namespace vadrel {

namespace {

std::string reason(int error) { return italian_reason(error); }

}  // namespace

std::int64_t Recorder::system_utc_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

Recorder::~Recorder() { stop(); }

vadrel::Result<> Recorder::start(const std::string& path) {
    const std::string cannot = "la registrazione in " + path + " non si apre";
    stop();
    Descriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644));
    if (!fd) return Failure(cannot, errno);
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return Failure(cannot, std::string("un'altra registrazione lo sta scrivendo"));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !(S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode)))
        return Failure(cannot, std::string("non è un file normale o un FIFO"));
    regular_ = S_ISREG(info.st_mode);
    if (regular_ && ::ftruncate(fd.get(), 0) != 0) return Failure(cannot, errno);
    fd_ = std::move(fd);
    path_ = path;
    pending_.clear();
    good_size_ = 0;
    ticks_ = 0;
    skipped_ = 0;
    failure_.clear();
    return {};
}

void Recorder::stop() {
    if (!fd_) return;
    flush();
    fd_.reset();
}

int Recorder::flush() {
    while (!pending_.empty()) {
        const ssize_t n = ::write(fd_.get(), pending_.data(), pending_.size());
        if (n > 0) {
            pending_.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return EAGAIN;
        return n < 0 ? errno : EIO;
    }
    return 0;
}

OutputSink::Result Recorder::send(std::string_view bytes) {
    if (!fd_) return {};
    // A file removed (or its folder) would take the ticks nowhere: once a
    // second, one fstat tells.
    struct stat info {};
    if (regular_ && ::fstat(fd_.get(), &info) == 0 && info.st_nlink == 0) return fail("il file è stato cancellato");
    // A reader still busy with an earlier tick skips this one whole.
    int error = flush();
    if (error == EAGAIN) {
        ++skipped_;
        return {true, "  [registrazione: il lettore è indietro, saltati " + std::to_string(skipped_) + "]"};
    }
    if (error == 0) {
        pending_ = time_line(now_());
        pending_ += bytes;
        const auto size = static_cast<long long>(pending_.size());
        error = flush();
        if (error == 0 || error == EAGAIN) {
            good_size_ += size;
            ++ticks_;
            return {true, {}};
        }
    }
    return fail(reason(error));
}

bool Recorder::drained() {
    if (!fd_.valid() || pending_.empty()) return true;
    const int error = flush();
    if (error == 0) return true;
    if (error == EAGAIN) return false;
    fail(reason(error));
    return true;
}

OutputSink::Result Recorder::fail(const std::string& why) {
    // A tick cut short by a full disk is taken back, so the log ends whole.
    if (regular_) {
        [[maybe_unused]] const int cut = ::ftruncate(fd_.get(), good_size_);
    }
    pending_.clear();
    fd_.reset();
    failure_ = "registrazione interrotta: " + why + " (" + path_ + ", " + std::to_string(ticks_) +
               " secondi registrati)";
    if (on_event) on_event(failure_);
    return {false, "  [" + failure_ + "]"};
}

}  // namespace vadrel
