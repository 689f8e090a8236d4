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
            return "errore di rete (" + detail.toStdString() + ")";
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

}  // namespace

struct TcpOutput::Client {
    int fd = -1;
    std::string peer;
    QSocketNotifier* reader = nullptr;  // deleted later: it may be the one calling
    bool reading = true;                // until the client shuts its writing side
    std::size_t budget = read_budget;
    std::chrono::steady_clock::time_point last_drained;
    long long skipped = 0;
};

TcpOutput::TcpOutput(Now now, QObject* parent) : QObject(parent), now_(std::move(now)) {}

TcpOutput::~TcpOutput() { stop(); }

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
#ifdef Q_OS_UNIX
    const int fd = static_cast<int>(descriptor);
    if (clients_.size() >= static_cast<std::size_t>(max_clients_)) {
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
    client->reader = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    Client* raw = client.get();
    connect(client->reader, &QSocketNotifier::activated, this, [this, raw] { read_from(*raw); });
    clients_.push_back(std::move(client));
#else
    Q_UNUSED(descriptor);
#endif
}

void TcpOutput::read_from(Client& client) {
#ifdef Q_OS_UNIX
    char dropped[16384];
    while (client.budget > 0) {
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
            client.reader->setEnabled(false);
            return;
        }
        close_client(client);  // reset
        drop_closed();
        return;
    }
    client.reader->setEnabled(false);  // this second's share is read; the next tick reads on
#else
    Q_UNUSED(client);
#endif
}

void TcpOutput::close_client(Client& client) {
    if (client.fd < 0) return;
    client.reader->setEnabled(false);
    client.reader->deleteLater();
    client.reader = nullptr;
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
#ifdef Q_OS_UNIX
    const auto now = now_();
    long long skipped_now = 0;
    for (auto& owned : clients_) {
        Client& client = *owned;
        client.budget = read_budget;
        if (client.reading) client.reader->setEnabled(true);

        int queued = 0;
#ifdef TIOCOUTQ
        if (::ioctl(client.fd, TIOCOUTQ, &queued) != 0) queued = 0;
#endif
        if (queued == 0) client.last_drained = now;
        bool skip = queued > 0;
        if (!skip) {
            ssize_t sent = -1;
            do {
                sent = ::send(client.fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            } while (sent < 0 && errno == EINTR);
            skip = sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
            // Reset or gone; or, only where the kernel does not show its queue,
            // a full buffer took part of the bytes and the rest would come torn.
            if (!skip && sent != static_cast<ssize_t>(bytes.size())) {
                close_client(client);
                continue;
            }
        }
        if (!skip) continue;
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
#if defined(Q_OS_UNIX) && defined(TIOCOUTQ)
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
