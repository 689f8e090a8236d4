#include "control_server.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QTcpSocket>
#include <QWebSocket>
#include <algorithm>
#include <cerrno>

#include "control/control_json.h"
#include "control/route_api.h"
#include "os/system_error.h"

namespace vadrel {

namespace {

using namespace http_status;
// What an events client may send: it has nothing to say, but pings and a
// close carry a little.
constexpr quint64 event_message_limit = 4096;

bool is_upgrade(const QHttpServerRequest& request) {
    return request.value("connection").toLower().contains("upgrade") &&
           request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
}

RequestHeaders headers_of(const QHttpServerRequest& request) {
    return {request.value("host"), request.value("origin"), request.value("authorization")};
}

// The system's error number behind a listening socket's failure.
int error_number(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::AddressInUseError: return EADDRINUSE;
    case QAbstractSocket::SocketAccessError: return EACCES;
    case QAbstractSocket::SocketAddressNotAvailableError: return EADDRNOTAVAIL;
    case QAbstractSocket::UnsupportedSocketOperationError: return EAFNOSUPPORT;
    case QAbstractSocket::SocketResourceError: return EMFILE;
    default: return EIO;
    }
}

std::string address_text(const QHostAddress& address, quint16 port) {
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(address.toString())
                             : address.toString();
    return host.toStdString() + ":" + std::to_string(port);
}

struct LaterDelete {
    void operator()(QObject* object) const { object->deleteLater(); }
};

}  // namespace

// Qt's HTTP server, which hands each parsed request to the ControlServer.
class ControlServer::HttpFront final : public QAbstractHttpServer {
public:
    explicit HttpFront(ControlServer& server) : server_(server) {}

    static void respond(const QHttpServerRequest& request, QTcpSocket* socket, const ApiReply& reply) {
        QHttpServerResponder responder = makeResponder(request, socket);
        const QByteArray body = QJsonDocument(reply.body).toJson(QJsonDocument::Compact);
        responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(reply.status));
        responder.writeHeader("Content-Type", "application/json");
        responder.writeHeader("Content-Length", QByteArray::number(body.size()));
        for (const auto& [name, value] : reply.headers) responder.writeHeader(name, value);
        responder.writeBody(body);
    }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        return server_.handle(request, socket);
    }
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override {
        server_.handle_refused(request, socket);
    }

private:
    ControlServer& server_;
};

struct ControlServer::EventClient {
    std::unique_ptr<QWebSocket, LaterDelete> socket;
    std::string peer;
    Clock::time_point last_taken;
    long long skipped = 0;
    qint64 last_message = 0;  // the bytes of the second it was given last
};

ControlServer::ControlServer(ControlTarget& target, ControlLimits limits, Now now, QObject* parent)
    : QObject(parent), target_(target), limits_(limits), now_(std::move(now)) {
    readers_.setMaxThreadCount(1);
    readers_.setExpiryTimeout(-1);
    limits_timer_.setInterval(1000);
    connect(&limits_timer_, &QTimer::timeout, this, &ControlServer::check_time_limits);
}

ControlServer::~ControlServer() {
    stop();
    // A reading under way stops at its next piece; those waiting never start.
    stopping_->store(true);
    readers_.clear();
    readers_.waitForDone();
}

std::optional<std::string> ControlServer::start(const ControlAddress& where, const std::string& token) {
    stop();
    const QString host = where.host == "localhost" ? QStringLiteral("127.0.0.1") : QString::fromStdString(where.host);
    const QHostAddress bind_address(host);
    const std::string asked = (where.host.find(':') != std::string::npos ? "[" + where.host + "]" : where.host) + ":" +
                              std::to_string(where.port);
    if (bind_address.isNull()) return "interfaccia di controllo: " + where.host + " non è un indirizzo IP";
    rules_ = {bind_address.isLoopback(), token};
    if (!rules_.loopback && token.empty()) {
        return "interfaccia di controllo su " + asked +
               ": fuori da questo computer serve la chiave di accesso (vadrel.token), che manca";
    }
    // Qt's HTTP server says in English, on standard error, each time it
    // hands back a WebSocket upgrade this server refused (with a 401, 403
    // or 503 the client reads): not for the operator.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.httpserver.warning=false"));
    front_ = std::make_unique<HttpFront>(*this);
    auto* listener = new ControlListener(limits_, now_, front_.get());
    listener->on_event = [this](const std::string& text) { tell(text); };
    if (!listener->listen(bind_address, where.port)) {
        const int error = error_number(listener->serverError());
        std::string reason = italian_reason(error);
        if (error == EADDRINUSE) reason += " (un altro programma ascolta su questa porta)";
        front_.reset();
        return "interfaccia di controllo non attiva su " + asked + ": " + reason;
    }
    front_->bind(listener);
    listener_ = listener;
    connect(front_.get(), &QAbstractHttpServer::newWebSocketConnection, this, &ControlServer::take_event_clients);
    limits_timer_.start();
    tell("Interfaccia di controllo in ascolto su http://" + address() + "/api/v1" +
         (needs_token() ? " (con chiave di accesso)" : ""));
    return std::nullopt;
}

void ControlServer::stop() {
    limits_timer_.stop();
    event_clients_.clear();
    upgrading_.clear();
    front_.reset();
}

bool ControlServer::listening() const { return listener_ && listener_->isListening(); }

std::string ControlServer::address() const {
    return listening() ? address_text(listener_->serverAddress(), listener_->serverPort()) : std::string();
}

std::size_t ControlServer::connection_count() const { return listener_ ? listener_->connection_count() : 0; }

std::size_t ControlServer::event_client_count() const { return event_clients_.size(); }

void ControlServer::tell(const std::string& text) {
    if (on_event) on_event(text);
}

ApiReply ControlServer::reply_to(const QHttpServerRequest& request) {
    if (auto refusal = access_refusal(rules_, headers_of(request))) return *refusal;
    return answer({request.method(), request.url().path(), request.value("content-type"), request.body(),
                   request.url().query(QUrl::FullyEncoded)},
                  target_);
}

bool ControlServer::accept_upgrade(const QHttpServerRequest& request) const {
    if (request.method() != QHttpServerRequest::Method::Get || request.url().path() != QLatin1String(events_path)) {
        return false;
    }
    if (access_refusal(rules_, headers_of(request))) return false;
    const auto upgrading = std::count_if(upgrading_.begin(), upgrading_.end(), [](const auto& s) {
        return s && s->state() == QAbstractSocket::ConnectedState;
    });
    return event_clients_.size() + static_cast<std::size_t>(upgrading) < static_cast<std::size_t>(limits_.max_event_clients);
}

bool ControlServer::handle(const QHttpServerRequest& request, QTcpSocket* socket) {
    if (is_upgrade(request)) {
        // Refused: handle_refused answers and Qt closes the connection.
        if (!accept_upgrade(request)) return false;
        // Qt's WebSocket server takes it from here; the client comes back in
        // take_event_clients().
        if (listener_) listener_->release(socket);
        std::erase_if(upgrading_, [](const auto& s) { return !s; });
        upgrading_.emplace_back(socket);
        return true;
    }
    const bool close_after = !keeps_open(request, socket);
    if (auto refusal = access_refusal(rules_, headers_of(request))) {
        HttpFront::respond(request, socket, *refusal);
    } else {
        ApiRequest api{request.method(), request.url().path(), request.value("content-type"), request.body(),
                       request.url().query(QUrl::FullyEncoded)};
        auto begun = begin_answer(api, target_);
        if (auto* to_read = std::get_if<RouteToRead>(&begun)) {
            read_route_later(std::move(api), to_read->n, socket, close_after);
            return true;
        }
        if (auto* body = std::get_if<BodyToRead>(&begun)) {
            read_body_later(std::move(*body), std::move(api.body), socket, close_after);
            return true;
        }
        HttpFront::respond(request, socket, std::get<ApiReply>(begun));
    }
    if (close_after) socket->disconnectFromHost();
    return true;
}

bool ControlServer::keeps_open(const QHttpServerRequest& request, QTcpSocket* socket) const {
    // Qt's server keeps every connection open; HTTP/1.0 without keep-alive
    // (which the listener saw in the head) and "Connection: close" end after
    // their answer.
    return !request.value("connection").toLower().contains("close") && listener_ && listener_->keeps_alive(socket);
}

namespace {

// Answers on `socket` later, when it is still there: the client may have
// gone meanwhile, and what it asked stands all the same.
std::function<void(const ApiReply&)> later_answer(QTcpSocket* socket, bool close_after) {
    return [answer_to = QPointer<QTcpSocket>(socket), close_after](const ApiReply& reply) {
        if (!answer_to || answer_to->state() != QAbstractSocket::ConnectedState) return;
        answer_to->write(whole_reply(reply, false));
        if (close_after) answer_to->disconnectFromHost();
    };
}

}  // namespace

void ControlServer::read_body_later(BodyToRead what, QByteArray body, QTcpSocket* socket, bool close_after) {
    const auto answer = later_answer(socket, close_after);
    // One of a kind at a time: a second would replace the first as soon as both are read.
    if (std::find(reading_bodies_.begin(), reading_bodies_.end(), what.action) != reading_bodies_.end()) {
        answer(body_busy(what));
        return;
    }
    reading_bodies_.push_back(what.action);
    readers_.start([this, what = std::move(what), body = std::move(body), answer]() mutable {
        auto play = std::make_shared<ControlTarget::BodyPlay>(prepare_body(target_, what, body));
        body = {};
        QMetaObject::invokeMethod(
            this,
            [this, what, answer, play] {
                std::erase(reading_bodies_, what.action);
                answer(body_reply(target_, what, *play));
            },
            Qt::QueuedConnection);
    });
}

void ControlServer::read_route_later(ApiRequest request, std::size_t n, QTcpSocket* socket, bool close_after) {
    const auto answer = later_answer(socket, close_after);
    const qint64 bytes = request.body.size();
    if (reading_bytes_ + bytes > 2 * limits_.route_body_limit) {
        answer(refused(unavailable, "l'interfaccia di controllo sta già leggendo altri percorsi: riprovare fra poco"));
        return;
    }
    reading_bytes_ += bytes;
    readers_.start([this, request = std::move(request), n, answer, bytes, stopping = stopping_]() mutable {
        auto offer = route_offer(request, [&stopping] { return !stopping->load(); });
        request = {};  // the body's memory goes before the route is handed over
        // Back on the loop; dropped if the server is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, n, answer, bytes, offer = std::make_shared<decltype(offer)>(std::move(offer))]() mutable {
                reading_bytes_ -= bytes;
                answer(give_offered_route(target_, n, std::move(*offer)));
            },
            Qt::QueuedConnection);
    });
}

void ControlServer::handle_refused(const QHttpServerRequest& request, QTcpSocket* socket) {
    ApiReply reply = reply_to(request);
    if (reply.status == 426) {
        // The events' route with the upgrade, allowed, but no room.
        reply = refused(unavailable, "troppi client degli eventi (al massimo " +
                                         std::to_string(limits_.max_event_clients) + " insieme): riprovare fra poco");
    }
    HttpFront::respond(request, socket, reply);
    if (!keeps_open(request, socket)) socket->disconnectFromHost();
}

void ControlServer::take_event_clients() {
    while (front_ && front_->hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = front_->nextPendingWebSocketConnection();
        if (!socket) break;
        auto client = std::make_unique<EventClient>();
        client->peer = address_text(socket->peerAddress(), socket->peerPort());
        client->last_taken = now_();
        socket->setMaxAllowedIncomingMessageSize(event_message_limit);
        socket->setMaxAllowedIncomingFrameSize(event_message_limit);
        // Its TCP socket, still connected under the WebSocket, is no longer
        // one upgrading: counted as both, each client took two places.
        QTcpSocket* under = nullptr;
        std::erase_if(upgrading_, [&](const auto& s) {
            const bool same = s && s->peerPort() == socket->peerPort() && s->peerAddress() == socket->peerAddress();
            if (same) under = s.data();
            return same;
        });
        QWebSocket* raw = socket.get();
        client->socket.reset(socket.release());
        connect(raw, &QWebSocket::disconnected, this, [this, raw] {
            std::erase_if(event_clients_, [raw](const auto& c) { return c->socket.get() == raw; });
        });
        if (under != nullptr) {
            // Qt's WebSocket answers each ping with a pong, written whether
            // or not the client reads: after the pings it read, a client
            // whose replies pass the bound is closed at once.
            connect(under, &QTcpSocket::readyRead, this, [this, raw] { check_queue(raw); });
        }
        event_clients_.push_back(std::move(client));
    }
    std::erase_if(upgrading_, [](const auto& s) { return !s || s->state() != QAbstractSocket::ConnectedState; });
}

bool ControlServer::check_queue(QWebSocket* socket) {
    const auto found = std::find_if(event_clients_.begin(), event_clients_.end(),
                                    [socket](const auto& c) { return c->socket.get() == socket; });
    if (found == event_clients_.end()) return true;
    EventClient& client = **found;
    if (socket->bytesToWrite() <= client.last_message + limits_.reply_limit) return true;
    tell("Interfaccia di controllo: chiuso il client degli eventi " + client.peer + ", non legge le risposte ai suoi ping (" +
         std::to_string(socket->bytesToWrite() / 1024) + " KB in attesa)");
    // Its entry goes with the socket's disconnected().
    socket->abort();
    return false;
}

void ControlServer::publish(std::string_view bytes, const std::vector<VehicleEntry>& vehicles, const std::string& utc,
                            const std::vector<ScenarioMark>& marks) {
    if (event_clients_.empty()) return;
    const QString message =
        QString::fromUtf8(QJsonDocument(second_json(bytes, vehicles, utc, marks)).toJson(QJsonDocument::Compact));
    const auto now = now_();
    std::erase_if(event_clients_, [&](const std::unique_ptr<EventClient>& owned) {
        EventClient& client = *owned;
        if (client.socket->state() != QAbstractSocket::ConnectedState) return true;
        if (client.socket->bytesToWrite() == 0) {
            client.last_message = client.socket->sendTextMessage(message);
            client.last_taken = now;
            return false;
        }
        ++client.skipped;
        ++events_skipped_;
        if (now - client.last_taken < limits_.idle_limit) return false;
        tell("Interfaccia di controllo: chiuso il client degli eventi " + client.peer + ", non legge da " +
             std::to_string(limits_.idle_limit.count()) + " s (" + std::to_string(client.skipped) +
             " secondi saltati)");
        client.socket->abort();
        return true;
    });
}

void ControlServer::check_time_limits() {
    if (listener_) listener_->check_time_limits();
    std::erase_if(upgrading_, [](const auto& s) { return !s; });
}

}  // namespace vadrel
