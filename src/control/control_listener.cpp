#include "control_listener.h"

#include <QJsonDocument>
#include <QTcpSocket>
#include <algorithm>
#include <cerrno>

#include <sys/socket.h>

#include "control/http_head.h"
#include "os/descriptor.h"
#include "os/descriptor_reserve.h"
#include "os/system_error.h"

namespace vadrel {

namespace {

using namespace http_status;

const char* reason_phrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 409: return "Conflict";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 415: return "Unsupported Media Type";
    case 426: return "Upgrade Required";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "";
    }
}

// Whether the request line names a route that takes a large body.
bool large_allowed(const RequestHead& head) {
    if (head.method != "PUT") return false;
    const std::string_view target = head.target;
    return takes_large_body(QHttpServerRequest::Method::Put, QString::fromLatin1(target.substr(0, target.find('?'))));
}

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

std::string kib(qint64 bytes) { return std::to_string(bytes / 1024) + " KB"; }
std::string mib(qint64 bytes) { return std::to_string(bytes / (1024 * 1024)) + " MB"; }

}  // namespace

QByteArray whole_reply(const ApiReply& reply, bool closing) {
    const QByteArray body = QJsonDocument(reply.body).toJson(QJsonDocument::Compact);
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason_phrase(reply.status) + "\r\n" +
                       "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
                       "\r\n" + (closing ? "Connection: close\r\n" : "");
    for (const auto& [name, value] : reply.headers) bytes += name + ": " + value + "\r\n";
    return bytes + "\r\n" + body;
}

struct ControlListener::Connection {
    QPointer<QTcpSocket> socket;
    Clock::time_point last_activity;
    Clock::time_point request_since;
    QByteArray head;         // the head of the request under way, while its end is looked for
    bool head_done = false;  // looked at whole
    bool refusing = false;   // refused before its body: what still comes is dropped
    bool large = false;      // sending a body beyond body_limit (a route's file)
    bool keep_alive = true;  // as the head looked at last asks
    bool closed = false;

    bool busy() const {
        return refusing || (socket && (socket->isTransactionStarted() || socket->bytesAvailable() > 0));
    }
};

ControlListener::ControlListener(ControlLimits limits, Now now, QObject* parent)
    : QTcpServer(parent), limits_(limits), now_(std::move(now)) {
    // Many clients connecting at once wait in the kernel's queue (capped by
    // its somaxconn) instead of having their first try dropped.
    setListenBacklogSize(4096);
    // Qt stops accepting when accept() itself fails (no descriptor left):
    // the next check starts again, rather than the interface going deaf.
    connect(this, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        if (!accept_paused_ && on_event) {
            on_event("Interfaccia di controllo: impossibile accettare altre connessioni: " + italian_reason(EMFILE));
        }
        accept_paused_ = true;
    });
}

ControlListener::~ControlListener() {
    for (auto& connection : connections_) close(*connection);
}

std::size_t ControlListener::connection_count() const {
    return static_cast<std::size_t>(std::count_if(connections_.begin(), connections_.end(), [](const auto& c) {
        return !c->closed && c->socket;
    }));
}

ControlListener::Connection* ControlListener::find(const QTcpSocket* socket) {
    for (auto& connection : connections_) {
        if (connection->socket == socket && !connection->closed) return connection.get();
    }
    return nullptr;
}

void ControlListener::drop_gone() {
    std::erase_if(connections_, [](const auto& c) { return c->closed || !c->socket; });
}

void ControlListener::incomingConnection(qintptr handle) {
    Descriptor fd(static_cast<int>(handle));  // closed here unless a socket takes it
    drop_gone();
    if (!DescriptorReserve::leaves_spare(fd.get())) {
        ++refused_;
        if (!short_of_files_told_ && on_event) {
            on_event("Interfaccia di controllo: rifiutate le nuove connessioni: " + italian_reason(EMFILE) +
                     " (ne restano liberi " + std::to_string(DescriptorReserve::spare) + " per i file del programma)");
        }
        short_of_files_told_ = true;
        return;
    }
    if (connections_.size() >= static_cast<std::size_t>(std::max(1, limits_.max_connections))) {
        Connection* oldest = nullptr;
        for (auto& connection : connections_) {
            if (!connection->busy() && (oldest == nullptr || connection->last_activity < oldest->last_activity)) {
                oldest = connection.get();
            }
        }
        if (oldest == nullptr) {
            ++refused_;
            const QByteArray bytes = closing_reply(vadrel::refused(
                unavailable, "troppe connessioni all'interfaccia di controllo (al massimo " +
                                 std::to_string(limits_.max_connections) + " insieme): riprovare fra poco"));
            // Best effort: a client that cannot take it now is closed all the same.
            [[maybe_unused]] const auto sent = ::send(fd.get(), bytes.constData(), static_cast<std::size_t>(bytes.size()),
                                                      MSG_DONTWAIT | MSG_NOSIGNAL);
            return;
        }
        ++evicted_;
        close(*oldest);
        drop_gone();
    }
    short_of_files_told_ = false;
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(fd.get())) {
        delete socket;
        return;
    }
    fd.release();
    // Beyond this the kernel keeps what the client sends, and slows it.
    socket->setReadBufferSize(limits_.head_limit + limits_.body_limit);
    auto connection = std::make_unique<Connection>();
    connection->socket = socket;
    connection->last_activity = connection->request_since = now_();
    connections_.push_back(std::move(connection));
    // Connected before Qt's server connects its own: the head is looked at
    // before Qt reads on.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        if (Connection* c = find(socket)) look_at(*c);
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
        Connection* c = find(socket);
        if (c == nullptr) return;
        c->last_activity = now_();
        if (c->refusing && socket->bytesToWrite() == 0) ::shutdown(static_cast<int>(socket->socketDescriptor()), SHUT_WR);
    });
    addPendingConnection(socket);
}

void ControlListener::look_at(Connection& c) {
    QTcpSocket& socket = *c.socket;
    const auto now = now_();
    c.last_activity = now;
    if (c.refusing) {
        socket.skip(socket.bytesAvailable());
        return;
    }
    if (socket.bytesToWrite() > limits_.reply_limit) {
        close(c);  // it does not read its replies
        return;
    }
    if (!socket.isTransactionStarted()) {
        // Qt's server has no request under way: one starts here.
        c.head.clear();
        c.head_done = false;
        c.request_since = now;
        if (c.large) {
            c.large = false;
            socket.setReadBufferSize(limits_.head_limit + limits_.body_limit);
        }
    }
    if (c.head_done) return;
    const qint64 room = limits_.head_limit + 4 - c.head.size();
    c.head += socket.peek(std::min(socket.bytesAvailable(), std::max<qint64>(room, 0)));
    c.head.remove(0, static_cast<qsizetype>(leading_blank_lines(view(c.head))));
    const auto span = head_end(view(c.head));
    if (!span) {
        if (c.head.size() > limits_.head_limit) {
            refuse(c, vadrel::refused(header_too_large, "l'intestazione della richiesta supera " + kib(limits_.head_limit)));
        }
        return;
    }
    c.head_done = true;
    const RequestHead facts = read_request_head(std::string_view(c.head.constData(), span->end));
    c.head.clear();
    c.keep_alive = facts.keep_alive;
    const bool large_asked = large_allowed(facts);
    if (!known_method(facts.method)) {
        // Qt's server would take it for no method at all.
        const std::string path = facts.target.substr(0, facts.target.find('?'));
        refuse(c, method_refusal(shown_text(facts.method, max_method_bytes), QString::fromLatin1(path)));
    } else if (facts.length_unclear) {
        refuse(c, vadrel::refused(bad_request, "la lunghezza del corpo (Content-Length) non è chiara: va data una "
                                               "volta sola, con un numero"));
    } else if (facts.chunked) {
        refuse(c, vadrel::refused(length_required, "il corpo della richiesta deve avere la sua lunghezza (Content-Length), non "
                                           "arrivare a pezzi"));
    } else if (facts.length > limits_.body_limit && !large_asked) {
        refuse(c, vadrel::refused(payload_too_large, "il corpo della richiesta supera " + kib(limits_.body_limit)));
    } else if (facts.length > limits_.route_body_limit) {
        refuse(c, vadrel::refused(payload_too_large, "il percorso supera " + mib(limits_.route_body_limit) +
                                                         ", il massimo che l'interfaccia di controllo riceve"));
    } else if (facts.length > limits_.body_limit) {
        const bool another = std::any_of(connections_.begin(), connections_.end(), [&c](const auto& other) {
            return other.get() != &c && !other->closed && other->socket && other->large && other->busy();
        });
        if (another) {
            refuse(c, vadrel::refused(unavailable, "l'interfaccia di controllo sta già ricevendo un altro percorso "
                                                   "grande: riprovare fra poco"));
            return;
        }
        // Qt's server holds the body in the socket's buffer until the request is whole.
        c.large = true;
        socket.setReadBufferSize(limits_.head_limit + limits_.route_body_limit);
    }
}

void ControlListener::refuse(Connection& c, const ApiReply& reply) {
    ++too_large_;
    QTcpSocket& socket = *c.socket;
    c.refusing = true;
    c.request_since = now_();
    // Qt's server reads no more of it; this listener drops what comes.
    disconnect(&socket, &QTcpSocket::readyRead, nullptr, nullptr);
    connect(&socket, &QTcpSocket::readyRead, this, [this, s = &socket] {
        if (Connection* found = find(s)) look_at(*found);
    });
    if (socket.isTransactionStarted()) socket.commitTransaction();
    socket.skip(socket.bytesAvailable());
    socket.write(closing_reply(reply));
    // The client reads the reply once it has sent what it meant to: the
    // connection closes from its side, or at the time limit.
    socket.flush();
    if (socket.bytesToWrite() == 0) ::shutdown(static_cast<int>(socket.socketDescriptor()), SHUT_WR);
}

void ControlListener::close(Connection& c) {
    if (c.closed) return;
    c.closed = true;
    // Qt's server deletes the socket once it is disconnected.
    if (c.socket) c.socket->abort();
}

bool ControlListener::keeps_alive(const QTcpSocket* socket) {
    const Connection* c = find(socket);
    return c == nullptr || c->keep_alive;
}

void ControlListener::release(QTcpSocket* socket) {
    if (Connection* c = find(socket)) {
        c->socket = nullptr;
        drop_gone();
    }
}

void ControlListener::check_time_limits() {
    if (accept_paused_) {
        accept_paused_ = false;
        resumeAccepting();
    }
    const auto now = now_();
    for (auto& owned : connections_) {
        Connection& c = *owned;
        if (c.closed || !c.socket) continue;
        const bool late = c.busy() ? now - c.request_since >= limits_.request_limit
                                   : now - c.last_activity >= limits_.idle_limit;
        // A connection whose replies wait unread has nothing under way, but
        // its activity stops: the idle limit closes it as well.
        if (late || now - c.last_activity >= limits_.idle_limit) {
            ++timed_out_;
            close(c);
        }
    }
    drop_gone();
    if (refused_ != refused_told_ && on_event) {
        on_event("Interfaccia di controllo: rifiutate " + std::to_string(refused_ - refused_told_) +
                 " connessioni oltre il massimo di " + std::to_string(limits_.max_connections) + " (" +
                 std::to_string(refused_) + " in tutto)");
    }
    refused_told_ = refused_;
}

}  // namespace vadrel
