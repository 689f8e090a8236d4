#include "tcp_output.h"

#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <algorithm>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/epoll.h>
#endif

namespace vadrel {

namespace {

// Enough for any client that really talks (a command now and then); what a
// client sends beyond it each second waits in this buffer and then in its own.
constexpr int client_receive_buffer = 16384;
// The kernel caps it at its own maximum (somaxconn): many clients connecting
// at once wait there instead of being turned away.
constexpr int listen_backlog = 4096;

QHostAddress listen_address(const std::string& host) {
    if (host == "localhost") return QHostAddress(QHostAddress::LocalHost);
    if (host == "::") return QHostAddress(QHostAddress::Any);  // IPv6 and IPv4 alike
    return QHostAddress(QString::fromStdString(host));
}

std::string address_text(const QHostAddress& address, quint16 port) {
    bool mapped = false;
    const quint32 ipv4 = address.toIPv4Address(&mapped);
    const QHostAddress shown = mapped ? QHostAddress(ipv4) : address;
    return Endpoint{shown.toString().toStdString(), port}.text();
}

std::string listen_problem(QAbstractSocket::SocketError error, const QString& detail) {
    switch (error) {
        case QAbstractSocket::AddressInUseError:
            return "indirizzo già in uso (un altro programma ascolta su questa porta)";
        case QAbstractSocket::SocketAccessError:
            return "permesso negato (le porte sotto 1024 sono riservate all'amministratore)";
        case QAbstractSocket::SocketAddressNotAvailableError:
            return "indirizzo non disponibile su questo computer";
        case QAbstractSocket::UnsupportedSocketOperationError:
            return "protocollo non disponibile su questo computer";
        case QAbstractSocket::SocketResourceError:
            return "risorse esaurite (troppi file aperti)";
        default:
            Q_UNUSED(detail);
            return "errore di rete";
    }
}

// Hands each accepted descriptor over as it is, without a QTcpSocket.
class Listener final : public QTcpServer {
public:
    explicit Listener(std::function<void(qintptr)> take) : take_(std::move(take)) {}

protected:
    void incomingConnection(qintptr descriptor) override { take_(descriptor); }

private:
    std::function<void(qintptr)> take_;
};

// What a tick did for a client.
enum class Outcome : unsigned char { sent, skipped, failed };

}  // namespace

struct TcpOutput::Client {
    int fd = -1;
    std::string peer;
    bool reading = true;   // until the client shuts its writing side
    bool watched = false;  // its socket is in the epoll set for reading
    std::size_t budget = read_budget;
    std::chrono::steady_clock::time_point last_drained;
    long long skipped = 0;
};

namespace {

#ifdef __linux__
// Sends a tick's bytes to one client unless its socket still holds anything
// of an earlier tick.
Outcome deliver(int fd, std::string_view bytes) {
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0) return Outcome::skipped;
    ssize_t sent = -1;
    do {
        sent = ::send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent == static_cast<ssize_t>(bytes.size())) return Outcome::sent;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Outcome::skipped;
    return Outcome::failed;  // reset or gone
}
#endif

}  // namespace

TcpOutput::TcpOutput(Now now, QObject* parent) : QObject(parent), now_(std::move(now)) {
#ifdef __linux__
    reads_fd_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (reads_fd_ >= 0) {
        reads_ = std::make_unique<QSocketNotifier>(reads_fd_, QSocketNotifier::Read);
        connect(reads_.get(), &QSocketNotifier::activated, this, &TcpOutput::read_ready);
    }
#endif
}

TcpOutput::~TcpOutput() {
    stop();
    reads_.reset();
#ifdef __linux__
    if (reads_fd_ >= 0) ::close(reads_fd_);
#endif
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
    server_.reset();
    started_ = false;
    failure_.clear();
    accept_paused_ = false;
}

bool TcpOutput::listening() const { return server_ && server_->isListening(); }

std::string TcpOutput::address() const {
    if (listening()) return address_text(server_->serverAddress(), server_->serverPort());
    return where_.text();
}

void TcpOutput::try_listen() {
    auto server = std::make_unique<Listener>([this](qintptr descriptor) { accept(descriptor); });
    server->setListenBacklogSize(listen_backlog);
    if (!server->listen(listen_address(where_.host), where_.port)) {
        const std::string problem = listen_problem(server->serverError(), server->errorString());
        if (problem != failure_) tell("TCP " + where_.text() + " non attivo: " + problem);
        failure_ = problem;
        return;
    }
    // Out of descriptors, say: the server stops accepting; the next tick resumes.
    connect(server.get(), &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError error) {
        if (!accept_paused_)
            tell("TCP: impossibile accettare altri client: " + listen_problem(error, server_->errorString()));
        accept_paused_ = true;
    });
    server_ = std::move(server);
    failure_.clear();
    tell("TCP in ascolto su " + address() + " (al massimo " + std::to_string(max_clients_) + " client)");
}

void TcpOutput::accept(qintptr descriptor) {
    const int fd = static_cast<int>(descriptor);
#ifdef __linux__
    if (clients_.size() >= static_cast<std::size_t>(max_clients_) || reads_fd_ < 0) {
        ::close(fd);
        ++refused_;
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &client_receive_buffer, sizeof client_receive_buffer);

    auto client = std::make_unique<Client>();
    client->fd = fd;
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0) {
        const QHostAddress address(reinterpret_cast<const sockaddr*>(&peer));
        const quint16 port = peer.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6&>(peer).sin6_port)
                                                        : ntohs(reinterpret_cast<sockaddr_in&>(peer).sin_port);
        client->peer = address_text(address, port);
    }
    client->last_drained = now_();
    epoll_event event{};
    event.data.ptr = client.get();
    if (::epoll_ctl(reads_fd_, EPOLL_CTL_ADD, fd, &event) != 0) {
        ::close(fd);
        ++refused_;
        return;
    }
    watch_reads(*client, true);
    clients_.push_back(std::move(client));
#else
    // Only Linux shows a socket's send queue, which keeps a slow client from
    // getting half a tick or a backlog.
    ::close(fd);
    ++refused_;
#endif
}

void TcpOutput::read_ready() {
#ifdef __linux__
    epoll_event events[64];
    const int ready = ::epoll_wait(reads_fd_, events, 64, 0);
    for (int i = 0; i < ready; ++i) read_from(*static_cast<Client*>(events[i].data.ptr));
    drop_closed();
#endif
}

void TcpOutput::read_from(Client& client) {
#ifdef __linux__
    char dropped[16384];
    while (client.budget > 0 && client.fd >= 0) {
        const ssize_t got = ::recv(client.fd, dropped, std::min(sizeof dropped, client.budget), MSG_DONTWAIT);
        if (got > 0) {
            client.budget -= static_cast<std::size_t>(got);
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (got == 0) {
            // It shut its writing side; it may still be reading.
            client.reading = false;
            watch_reads(client, false);
            return;
        }
        close_client(client);  // reset
        return;
    }
    watch_reads(client, false);  // this second's share is read; the next tick reads on
#else
    Q_UNUSED(client);
#endif
}

void TcpOutput::watch_reads(Client& client, bool on) {
#ifdef __linux__
    if (client.fd < 0 || client.watched == on) return;
    epoll_event event{};
    event.events = on ? EPOLLIN : 0U;
    event.data.ptr = &client;
    if (::epoll_ctl(reads_fd_, EPOLL_CTL_MOD, client.fd, &event) == 0) client.watched = on;
#else
    Q_UNUSED(client);
    Q_UNUSED(on);
#endif
}

void TcpOutput::close_client(Client& client) {
    if (client.fd < 0) return;
#ifdef __linux__
    // Out of the set before it is closed: a copy of the descriptor held by a
    // child process for a moment would keep it there.
    ::epoll_ctl(reads_fd_, EPOLL_CTL_DEL, client.fd, nullptr);
#endif
#ifdef Q_OS_UNIX
    ::close(client.fd);
#endif
    client.fd = -1;
}

void TcpOutput::drop_closed() {
    std::erase_if(clients_, [](const std::unique_ptr<Client>& client) { return client->fd < 0; });
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
        server_->resumeAccepting();
    }
    if (refused_ != refused_told_) {
        tell("TCP: rifiutati " + std::to_string(refused_ - refused_told_) + " client oltre il massimo di " +
             std::to_string(max_clients_) + " (" + std::to_string(refused_) + " in tutto)");
        refused_told_ = refused_;
    }
#ifdef __linux__
    const auto now = now_();
    long long skipped_now = 0;
    for (auto& owned : clients_) {
        Client& client = *owned;
        client.budget = read_budget;
        if (client.reading) watch_reads(client, true);
        const Outcome outcome = deliver(client.fd, bytes);
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
                 " s (" + std::to_string(client.skipped) + " frasi saltate)");
            close_client(client);
        }
    }
    drop_closed();
    if (skipped_now == 0) return {true, ""};
    return {true, "  [TCP: saltati " + std::to_string(skipped_now) + " client]"};
#else
    Q_UNUSED(bytes);
    return {false, "  [TCP: non disponibile su questo sistema]"};
#endif
}

bool TcpOutput::busy() const {
#ifdef __linux__
    for (const auto& client : clients_) {
        int queued = 0;
        if (client->fd >= 0 && ::ioctl(client->fd, TIOCOUTQ, &queued) == 0 && queued > 0) return true;
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
