#include "line_output.h"

#include <QString>
#include <QtGlobal>
#include <cerrno>
#include <string>

#include "model/utf8.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0  // SIGPIPE is ignored anyway
#endif
#else
#include <io.h>
#endif

namespace vadrel {

#if defined(__unix__) || defined(__APPLE__)

LineOutput::LineOutput(int fd, std::size_t backlog_limit) : fd_(fd), limit_(backlog_limit) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        closed_ = true;
        return;
    }
    if (S_ISSOCK(info.st_mode)) {
        kind_ = Kind::socket;
    } else if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        own_fd_.reset(::open(self.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (own_fd_) {
            kind_ = Kind::own_description;
        } else if (errno == ENXIO) {
            closed_ = true;  // a pipe whose reader has gone
        } else {
            // No /proc, or a terminal of another user that we may only use
            // through the descriptor we were given: nonblocking for the
            // moment of each write.
            kind_ = Kind::plain;
            const int flags = ::fcntl(fd, F_GETFL);
            if (flags >= 0 && (flags & O_NONBLOCK) == 0) temporary_nonblock_ = true;
        }
    }
}

LineOutput::~LineOutput() {
    flush();
}

std::size_t LineOutput::put(std::string_view bytes) {
    if (closed_ || bytes.empty()) return 0;
    ssize_t written = -1;
    do {
        switch (kind_) {
            case Kind::own_description:
                written = ::write(own_fd_.get(), bytes.data(), bytes.size());
                break;
            case Kind::socket:
                written = ::send(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
                break;
            case Kind::plain: {
                const int flags = temporary_nonblock_ ? ::fcntl(fd_, F_GETFL) : -1;
                if (flags >= 0) ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
                written = ::write(fd_, bytes.data(), bytes.size());
                const int error = errno;
                if (flags >= 0) ::fcntl(fd_, F_SETFL, flags);
                errno = error;
                break;
            }
        }
    } while (written < 0 && errno == EINTR);
    if (written >= 0) return static_cast<std::size_t>(written);
    if (errno != EAGAIN && errno != EWOULDBLOCK) closed_ = true;  // EPIPE, EIO (hung up), EBADF...
    return 0;
}

#else  // elsewhere: plain blocking writes

LineOutput::LineOutput(int fd, std::size_t backlog_limit) : fd_(fd), limit_(backlog_limit) {}
LineOutput::~LineOutput() { flush(); }
std::size_t LineOutput::put(std::string_view bytes) {
    const auto written = ::_write(fd_, bytes.data(), static_cast<unsigned>(bytes.size()));
    if (written < 0) closed_ = true;
    return written < 0 ? 0 : static_cast<std::size_t>(written);
}

#endif

void LineOutput::flush() {
    if (!backlog_.empty()) backlog_.erase(0, put(backlog_));
    if (closed_) backlog_.clear();
}

bool LineOutput::write_line(std::string_view line) {
    flush();
    if (closed_) return false;
    // Every line may carry a name or a value from a file or a client: none
    // may steer the terminal. The line feeds of a message of several lines
    // stay line breaks.
    std::string text = printable(line, LineFeeds::kept);
    text += '\n';
    if (!backlog_.empty()) {
        if (backlog_.size() + text.size() > limit_) {
            ++dropped_;
            return false;
        }
        backlog_ += text;
        return true;
    }
    const std::size_t written = put(text);
    if (closed_) return false;
    if (written == 0 && text.size() > limit_) {
        ++dropped_;
        return false;
    }
    backlog_ = text.substr(written);  // the rest of a line begun, or a whole line that fits the limit
    return true;
}

namespace {

// At most this much of a message: a pipe takes a write up to PIPE_BUF (4096)
// bytes whole or not at all, so the message is never torn.
constexpr std::size_t longest_qt_message = 4000;

void write_qt_message(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    // Made printable before it is cut, so that it stays within the limit.
    std::string text = printable(qFormatLogMessage(type, context, message).toStdString(), LineFeeds::kept);
    if (text.size() > longest_qt_message) text.resize(longest_qt_message);
    constexpr int standard_error = 2;
    LineOutput(standard_error, 0).write_line(text);
}

}  // namespace

void route_qt_messages() { qInstallMessageHandler(write_qt_message); }

}  // namespace vadrel
