#include "tcp_output.h"

#include <QHostAddress>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#ifdef __linux__
#include <sys/epoll.h>
#endif

#include "model/line_assembler.h"
#include "os/descriptor_reserve.h"
#include "os/system_error.h"

namespace vadrel {

namespace {

// Enough for any client that really talks (a command now and then); what a
// client sends beyond it each second waits in this buffer and then in its own.
constexpr int client_receive_buffer = 16384;
// The kernel caps it at its own maximum (somaxconn): many clients connecting
// at once wait there instead of being turned away.
constexpr int listen_backlog = 4096;
// Connections accepted at one wake-up; more wait for the next one.
constexpr int accepts_at_once = 64;

// "127.0.0.1:40312" of a socket's address; an IPv4 client of a socket
// listening on "::" as IPv4.
std::string address_text(const sockaddr_storage& address) {
    QHostAddress host(reinterpret_cast<const sockaddr*>(&address));
    quint16 port = ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
        port = ntohs(in6.sin6_port);
        if (IN6_IS_ADDR_V4MAPPED(&in6.sin6_addr)) host = QHostAddress(host.toIPv4Address());
    }
    return Endpoint{host.toString().toStdString(), port}.text();
}

// Why a socket cannot listen on `where`, as the operator reads it.
std::string listen_problem(int error, const Endpoint& where) {
    std::string reason = italian_reason(error);
    if (error == EADDRINUSE) reason += " (un altro programma ascolta su questa porta)";
    if ((error == EACCES || error == EPERM) && where.port > 0 && where.port < 1024)
        reason += " (le porte sotto 1024 sono riservate all'amministratore)";
    return reason;
}

// A socket listening on `where` ("localhost": 127.0.0.1; "::": every
// address, IPv6 and IPv4), or the error number of the step that failed.
Descriptor listening_socket(const Endpoint& where, int& error) {
    const auto address = socket_address(where.host == "localhost" ? "127.0.0.1" : where.host, where.port);
    if (!address) {
        error = EADDRNOTAVAIL;
        return {};
    }
    Descriptor fd(::socket(address->family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        error = errno;
        return {};
    }
    const int on = 1, off = 0;
    // A port a vadrel that just ended still has in TIME_WAIT is taken again at once.
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (address->family() == AF_INET6) ::setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    if (::bind(fd.get(), address->get(), address->length) != 0 || ::listen(fd.get(), listen_backlog) != 0) {
        error = errno;
        return {};
    }
    return fd;
}

// What a tick did for a client.
enum class Outcome : unsigned char { sent, skipped, failed };

#ifdef __linux__
// Whether the peer is gone: its socket hangs up (both ways shut, or reset)
// or holds an error. The kernel reports it whatever was asked for.
bool gone(int fd) {
    pollfd state{fd, 0, 0};
    return ::poll(&state, 1, 0) == 1 && (state.revents & (POLLHUP | POLLERR)) != 0;
}
#endif

// Sends a tick's bytes to one client unless its socket still holds anything
// of an earlier tick.
Outcome deliver(int fd, std::string_view bytes) {
#ifdef __linux__
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
        // A reset socket keeps what it had not delivered counted as queued.
        return gone(fd) ? Outcome::failed : Outcome::skipped;
    }
#endif
    ssize_t sent = -1;
    do {
        sent = ::send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent == static_cast<ssize_t>(bytes.size())) return Outcome::sent;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Outcome::skipped;
    return Outcome::failed;  // reset or gone
}

#ifndef __linux__
// Elsewhere there is no set: every call below fails and nothing listens.
constexpr int EPOLL_CTL_ADD = 1, EPOLL_CTL_DEL = 2, EPOLL_CTL_MOD = 3;
constexpr unsigned EPOLLIN = 1;
#endif

// Puts `fd` into the epoll set `events`, changes what it is watched for, or takes it out.
bool watch(int events, int operation, int fd, unsigned what, void* data) {
#ifdef __linux__
    epoll_event event{};
    event.events = what;
    event.data.ptr = data;
    return ::epoll_ctl(events, operation, fd, &event) == 0;
#else
    Q_UNUSED(events);
    Q_UNUSED(operation);
    Q_UNUSED(fd);
    Q_UNUSED(what);
    Q_UNUSED(data);
    return false;
#endif
}

}  // namespace

struct TcpOutput::Client {
    Descriptor fd;
    std::string peer;
    bool reading = true;   // until the client shuts its writing side
    bool watched = false;  // its socket is watched for reading
    ReadBudget budget{read_budget};  // a real second's share, whatever the clock's rate
    std::chrono::steady_clock::time_point last_drained;
    long long skipped = 0;
    LineAssembler lines{LineListener::longest_line};  // a line begun, for the line listener
};

TcpOutput::TcpOutput(Now now, QObject* parent) : QObject(parent), now_(std::move(now)) {
#ifdef __linux__
    events_.reset(::epoll_create1(EPOLL_CLOEXEC));
    events_error_ = events_ ? 0 : errno;
#else
    // Only Linux shows a socket's send queue, which keeps a slow client from
    // getting half a tick or a backlog.
    events_error_ = ENOSYS;
#endif
    if (events_) {
        events_notifier_ = std::make_unique<QSocketNotifier>(events_.get(), QSocketNotifier::Read);
        connect(events_notifier_.get(), &QSocketNotifier::activated, this, &TcpOutput::events_ready);
    }
}

TcpOutput::~TcpOutput() {
    stop();
    events_notifier_.reset();
}

void TcpOutput::start(const Endpoint& where, int max_clients) {
    max_clients_ = std::max(1, max_clients);
    if (started_ && where == where_) return;
    stop();
    started_ = true;
    where_ = where;
    try_listen();
}

void TcpOutput::stop() {
    for (auto& client : clients_) close_client(*client);
    clients_.clear();
    if (listener_) watch(events_.get(), EPOLL_CTL_DEL, listener_.get(), 0, nullptr);
    listener_.reset();
    started_ = false;
    failure_.clear();
    accept_paused_ = false;
    accept_problem_.clear();
    files_told_ = false;
}

std::string TcpOutput::address() const { return listening() ? bound_ : where_.text(); }

void TcpOutput::try_listen() {
    int error = events_error_;
    Descriptor fd = error != 0 ? Descriptor() : listening_socket(where_, error);
    // The listening socket goes into the set with no client: nullptr.
    if (fd && !watch(events_.get(), EPOLL_CTL_ADD, fd.get(), EPOLLIN, nullptr)) {
        error = errno;
        fd.reset();
    }
    if (!fd) {
        const std::string problem = listen_problem(error, where_);
        if (problem != failure_) tell("TCP " + where_.text() + " non attivo: " + problem);
        failure_ = problem;
        return;
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    bound_ = ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&bound), &length) == 0 ? address_text(bound)
                                                                                       : where_.text();
    listener_ = std::move(fd);
    failure_.clear();
    accept_paused_ = false;
    tell("TCP in ascolto su " + address() + " (al massimo " + std::to_string(max_clients_) + " client)");
}

void TcpOutput::events_ready() {
#ifdef __linux__
    epoll_event events[64];
    const int ready = ::epoll_wait(events_.get(), events, 64, 0);
    for (int i = 0; i < ready; ++i) {
        if (events[i].data.ptr == nullptr) {
            accept_waiting();
            continue;
        }
        Client& client = *static_cast<Client*>(events[i].data.ptr);
        if (!client.fd) continue;  // closed by an earlier event of this batch
        // Hang-up and error come whatever the socket is watched for, on every
        // wait until it is closed: the client is gone (reset, or it closed and
        // the last bytes drew its reset).
        if (events[i].events & (EPOLLHUP | EPOLLERR)) {
            close_client(client);
            continue;
        }
        read_from(client);
    }
    drop_closed();
#endif
}

void TcpOutput::accept_waiting() {
#ifdef __linux__
    for (int i = 0; i < accepts_at_once && listener_; ++i) {
        Descriptor fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (fd) {
            accept_problem_.clear();
            take_client(std::move(fd));
            continue;
        }
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK) return;
        if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) {
            // The waiting client stays in the backlog; the listening socket
            // is not watched until the next tick, or it would wake the loop
            // at once again.
            if (italian_reason(error) != accept_problem_)
                tell("TCP: impossibile accettare altri client: " + italian_reason(error));
            accept_problem_ = italian_reason(error);
            accept_paused_ = true;
            watch_listener(false);
            return;
        }
        // ECONNABORTED, EINTR, or a network error the new connection met: the next one.
    }
#endif
}

void TcpOutput::take_client(Descriptor fd) {
    if (clients_.size() >= static_cast<std::size_t>(max_clients_)) {
        ++refused_;
        return;
    }
    // Said once until a client is taken again.
    const auto refuse = [this](const std::string& why) {
        ++refused_for_files_;
        if (!files_told_) tell("TCP: rifiutati i nuovi client: " + why);
        files_told_ = true;
    };
    if (!DescriptorReserve::leaves_spare(fd.get())) {
        refuse(italian_reason(EMFILE) + " (ne restano liberi " + std::to_string(DescriptorReserve::spare) +
               " per i file del programma)");
        return;
    }
    const int on = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &client_receive_buffer, sizeof client_receive_buffer);

    auto client = std::make_unique<Client>();
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(fd.get(), reinterpret_cast<sockaddr*>(&peer), &length) == 0) client->peer = address_text(peer);
    client->last_drained = now_();
    if (!watch(events_.get(), EPOLL_CTL_ADD, fd.get(), EPOLLIN, client.get())) {
        refuse(italian_reason(errno));
        return;
    }
    files_told_ = false;
    client->fd = std::move(fd);
    client->watched = true;
    // Into an empty socket, so it goes whole; a client gone meanwhile is
    // found by the next tick.
    if (greeting) {
        if (const std::string bytes = greeting(); !bytes.empty()) deliver(client->fd.get(), bytes);
    }
    clients_.push_back(std::move(client));
}

void TcpOutput::read_from(Client& client) {
    char dropped[16384];
    // Lines not wanted still mark where the next one begins.
    const bool wanted = lines_ && lines_->wants_lines();
    const auto each_line = [&](std::string_view line) {
        if (wanted) lines_->line(line, "tcp " + client.peer);
    };
    while (client.budget.left() > 0 && client.fd) {
        const ssize_t got =
            ::recv(client.fd.get(), dropped, std::min(sizeof dropped, client.budget.left()), MSG_DONTWAIT);
        if (got > 0) {
            client.budget.spend(static_cast<std::size_t>(got), now_());
            if (lines_) client.lines.feed(std::string_view(dropped, static_cast<std::size_t>(got)), each_line);
            if (!wanted) client.lines.drop_line_begun();
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (got == 0) {
            // It shut its writing side; it may still be reading. If it
            // closed altogether, the next tick's bytes draw its reset.
            client.reading = false;
            watch_reads(client, false);
            return;
        }
        close_client(client);  // reset
        return;
    }
    watch_reads(client, false);  // this second's share is read; a tick a second later reads on
}

void TcpOutput::watch_reads(Client& client, bool on) {
    if (!client.fd || client.watched == on) return;
    if (watch(events_.get(), EPOLL_CTL_MOD, client.fd.get(), on ? EPOLLIN : 0U, &client)) client.watched = on;
}

void TcpOutput::watch_listener(bool on) {
    if (listener_) watch(events_.get(), EPOLL_CTL_MOD, listener_.get(), on ? EPOLLIN : 0U, nullptr);
}

void TcpOutput::close_client(Client& client) {
    if (!client.fd) return;
    // Out of the set before it is closed: a copy of the descriptor held by a
    // child process for a moment would keep it there.
    watch(events_.get(), EPOLL_CTL_DEL, client.fd.get(), 0, nullptr);
    client.fd.reset();
}

void TcpOutput::drop_closed() {
    std::erase_if(clients_, [](const std::unique_ptr<Client>& client) { return !client->fd; });
}

void TcpOutput::tell(const std::string& text) {
    if (on_event) on_event(text);
}

OutputSink::Result TcpOutput::send(std::string_view bytes) {
    if (!started_) return {};
    if (!listening()) {
        try_listen();
        if (!listening()) return {false, "  [TCP " + where_.text() + ": " + failure_ + "]"};
    }
    if (accept_paused_) {
        accept_paused_ = false;
        watch_listener(true);
    }
    if (refused_ != refused_told_) {
        tell("TCP: rifiutati " + std::to_string(refused_ - refused_told_) + " client oltre il massimo di " +
             std::to_string(max_clients_) + " (" + std::to_string(refused_) + " in tutto)");
        refused_told_ = refused_;
    }
    const auto now = now_();
    long long skipped_now = 0;
    for (auto& owned : clients_) {
        Client& client = *owned;
        client.budget.renew(now);
        if (client.reading && client.budget.left() > 0) watch_reads(client, true);
        const Outcome outcome = deliver(client.fd.get(), bytes);
        if (outcome == Outcome::failed) {
            close_client(client);
            continue;
        }
        if (outcome == Outcome::sent) {
            client.last_drained = now;
            continue;
        }
        ++client.skipped;
        ++skipped_;
        ++skipped_now;
        if (now - client.last_drained >= idle_limit) {
            ++idle_closed_;
            tell("TCP: chiuso il client " + client.peer + ", non legge da " + std::to_string(idle_limit.count()) +
                 " s (" + std::to_string(client.skipped) + " secondi saltati)");
            close_client(client);
        }
    }
    drop_closed();
    if (skipped_now == 0) return {true, ""};
    return {true, "  [TCP: saltati " + std::to_string(skipped_now) + " client]"};
}

bool TcpOutput::busy() const {
#ifdef __linux__
    for (const auto& client : clients_) {
        int queued = 0;
        if (client->fd && ::ioctl(client->fd.get(), TIOCOUTQ, &queued) == 0 && queued > 0) return true;
    }
#endif
    return false;
}

std::vector<TcpOutput::ClientView> TcpOutput::clients() const {
    std::vector<ClientView> views;
    views.reserve(clients_.size());
    for (const auto& client : clients_) views.push_back({client->peer, client->skipped});
    return views;
}

}  // namespace vadrel
