#include "port_input.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>
#include <utility>

namespace vadrel {

namespace {

bool hung_up_now(int fd) {
    pollfd state{fd, POLLIN, 0};
    return ::poll(&state, 1, 0) == 1 && (state.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace

PortInput::PortInput(Now now, std::size_t bytes_a_second) : now_(std::move(now)), budget_(bytes_a_second) {}

PortInput::~PortInput() = default;

void PortInput::watch(int fd, std::string source) {
    stop();
    fd_ = fd;
    source_ = std::move(source);
    hung_up_ = false;
    assembler_.drop_line_begun();
    if (fd_ >= 0 && QAbstractEventDispatcher::instance() != nullptr) {
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { read_waiting(); });
    }
}

void PortInput::stop() {
    notifier_.reset();
    fd_ = -1;
}

void PortInput::listen(bool on) {
    if (notifier_) notifier_->setEnabled(on);
}

void PortInput::next_second() {
    budget_.renew(now_());
    read_waiting();
}

void PortInput::read_waiting() {
    if (fd_ < 0 || hung_up_) return;
    char bytes[4096];
    std::size_t dropped = 0;
    while (dropped < most_dropped) {
        const ssize_t got = ::read(fd_, bytes, sizeof bytes);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        // A tty in raw mode (no minimum count) reads 0 when it has nothing;
        // only its poll tells a hang-up from that.
        if (got == 0 && !hung_up_now(fd_)) break;
        if (got <= 0) {
            // A hung-up tty is readable at every wait: watched on, it would spin.
            hung_up_ = true;
            listen(false);
            return;
        }
        dropped += take(std::string_view(bytes, static_cast<std::size_t>(got)));
    }
    // Dropped as much as one read may: the rest at the next turn of the loop.
}

std::size_t PortInput::take(std::string_view bytes) {
    // Lines not wanted still mark where the next one begins.
    const bool wanted = lines_ && lines_->wants_lines();
    const auto each_line = [&](std::string_view line) {
        if (wanted) lines_->line(line, source_);
    };
    const std::size_t taken = std::min(bytes.size(), budget_.left());
    if (taken > 0) {
        budget_.spend(taken, now_());
        assembler_.feed(bytes.substr(0, taken), each_line);
    }
    if (!wanted) assembler_.drop_line_begun();
    assembler_.skip(bytes.substr(taken));
    return bytes.size() - taken;
}

}  // namespace vadrel
