#include "outputs/tcp_sender.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "os/descriptor_reserve.h"
#include "os/system_error.h"

namespace vadrel {

namespace {

// A pause is up at the tick nearest its end, so a tick a few milliseconds
// early does not wait a whole second more.
constexpr std::chrono::milliseconds tick_tolerance{500};

// What poll says of the socket now, for `events`.
short poll_now(int fd, short events) {
    pollfd state{fd, events, 0};
    return ::poll(&state, 1, 0) == 1 ? state.revents : 0;
}

std::string seconds_text(std::chrono::seconds s) { return std::to_string(s.count()) + " s"; }

}  // namespace

TcpSender::TcpSender(NameResolver& resolver, Endpoint server, Now now)
    : resolver_(resolver), server_(std::move(server)), now_(std::move(now)) {}

TcpSender::~TcpSender() = default;  // a lookup under way ends alone

void TcpSender::step(Time now) {
    switch (state_) {
        case State::connected: read_from_server(now); break;
        case State::connecting: finish_connect(now); break;
        case State::looking_up: {
            const std::optional<NameResolver::Answer> answer = lookup_->answer();
            if (!answer) break;
            lookup_.reset();
            if (!answer->problem.empty()) {
                fail(answer->problem, now);
                break;
            }
            connect_to(preferred_address(answer->addresses), now);
            break;
        }
        case State::waiting:
            if (now + tick_tolerance >= next_attempt_) attempt(now);
            break;
    }
}

void TcpSender::attempt(Time now) {
    if (socket_address(server_.host, server_.port)) {
        ++attempts_;
        connect_to(server_.host, now);
        return;
    }
    lookup_ = resolver_.look_up(server_.host);
    if (!lookup_) return;  // the resolver is busy: asked again at the next tick
    ++attempts_;
    state_ = State::looking_up;
    step(now);  // an answer already there (a lookup that could not start) is taken now
}

void TcpSender::connect_to(const std::string& address, Time now) {
    address_ = address;
    const std::optional<SocketAddress> where = socket_address(address, server_.port);
    if (!where) {
        fail("indirizzo non valido: " + address, now);
        return;
    }
    Descriptor fd(::socket(where->family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        fail(italian_reason(errno), now);
        return;
    }
    if (!DescriptorReserve::leaves_spare(fd.get())) {
        fail(italian_reason(EMFILE) + " (ne restano liberi " + std::to_string(DescriptorReserve::spare) +
                 " per i file del programma)",
             now);
        return;
    }
    const int on = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
#ifdef TCP_USER_TIMEOUT
    // A server that vanished (its host gone, its cable pulled) acknowledges
    // nothing: the kernel gives the connection up. One that is there but
    // does not read acknowledges the kernel's probes and stays.
    const unsigned limit = static_cast<unsigned>(std::chrono::milliseconds(unacknowledged_limit).count());
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_USER_TIMEOUT, &limit, sizeof limit);
#endif
    int result = -1;
    do {
        result = ::connect(fd.get(), where->get(), where->length);
    } while (result != 0 && errno == EINTR);
    if (result != 0 && errno != EINPROGRESS) {
        fail(italian_reason(errno), now);
        return;
    }
    fd_ = std::move(fd);
    state_ = State::connecting;
    started_ = now;
    finish_connect(now);  // on the loopback it is done already
}

void TcpSender::finish_connect(Time now) {
    const short ready = poll_now(fd_.get(), POLLOUT);
    if (ready == 0) {
        if (now - started_ >= connect_limit)
            fail(italian_reason(ETIMEDOUT) + " (nessuna risposta in " + seconds_text(connect_limit) + ")", now);
        return;
    }
    const int error = connect_error(fd_.get());
    if (error != 0) {
        fail(italian_reason(error), now);
        return;
    }
    became_connected(now);
}

void TcpSender::became_connected(Time now) {
    state_ = State::connected;
    greet_ = true;
    started_ = now;
    failure_.clear();
    ++connections_;
    tell("TCP verso " + server_.text() + ": collegato" + (address_ == server_.host ? "" : " a " + address_));
}

void TcpSender::read_from_server(Time now) {
    const short ready = poll_now(fd_.get(), POLLIN);
    if (ready == 0) return;
    char dropped[16384];
    std::size_t budget = read_budget;
    while (budget > 0) {
        const ssize_t got = ::recv(fd_.get(), dropped, std::min(sizeof dropped, budget), MSG_DONTWAIT);
        if (got > 0) {
            budget -= static_cast<std::size_t>(got);
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        fail(got == 0 ? std::string("il server ha chiuso il collegamento") : italian_reason(errno), now);
        return;
    }
    if (ready & (POLLERR | POLLHUP)) {
        const int error = connect_error(fd_.get());
        fail(error != 0 ? italian_reason(error) : std::string("il server ha chiuso il collegamento"), now);
    }
}

void TcpSender::fail(const std::string& reason, Time now) {
    const bool was_connected = state_ == State::connected;
    const std::chrono::seconds pause = pause_.failed(was_connected, started_, now);
    fd_.reset();
    lookup_.reset();
    state_ = State::waiting;
    next_attempt_ = now + pause;
    if (was_connected) {
        tell("TCP verso " + server_.text() + ": collegamento perso: " + reason + "; nuovo tentativo tra " +
             seconds_text(pause) + ", poi a pause crescenti fino a " + seconds_text(longest_pause));
    } else if (reason != failure_) {
        tell("TCP verso " + server_.text() + ": non collegato: " + reason +
             (failure_.empty() ? "; nuovo tentativo tra " + seconds_text(pause) + ", poi a pause crescenti fino a " +
                                     seconds_text(longest_pause)
                               : std::string()));
    }
    failure_ = reason;
}

void TcpSender::tell(const std::string& text) {
    if (on_event) on_event(text);
}

std::string TcpSender::note() const {
    if (state_ == State::connected) return "  [TCP verso " + server_.text() + ": saltato]";
    if (!failure_.empty()) return "  [TCP verso " + server_.text() + ": " + failure_ + "]";
    return "  [TCP verso " + server_.text() + ": collegamento in corso]";
}

OutputSink::Result TcpSender::send(std::string_view bytes) {
    const Time now = now_();
    step(now);
    if (state_ != State::connected) return {false, note()};
#ifdef __linux__
    int queued = 0;
    if (::ioctl(fd_.get(), TIOCOUTQ, &queued) == 0 && queued > 0) {
        ++skipped_;
        return {true, note()};
    }
#endif
    std::string greeted;
    if (greet_) {
        greet_ = false;
        if (greeting) greeted = greeting();
        if (!greeted.empty()) {
            greeted += bytes;
            bytes = greeted;
        }
    }
    ssize_t written = -1;
    do {
        written = ::send(fd_.get(), bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(bytes.size())) {
        ++sent_;
        return {true, ""};
    }
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        ++skipped_;
        return {true, note()};
    }
    // Only a part went (the queue was empty, but the bytes are more than the
    // socket holds): the server has half a second, and the rest never goes.
    // The connection ends there, as the TCP server closes such a client; the
    // next one starts with a whole second.
    fail(written >= 0 ? "il collegamento non ha preso intero un secondo di " + std::to_string(bytes.size()) + " byte"
                      : italian_reason(errno),
         now);
    return {false, note()};
}

bool TcpSender::busy() const {
#ifdef __linux__
    int queued = 0;
    return state_ == State::connected && ::ioctl(fd_.get(), TIOCOUTQ, &queued) == 0 && queued > 0;
#else
    return false;
#endif
}

}  // namespace vadrel
