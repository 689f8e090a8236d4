#pragma once
// The control interface: HTTP/1.1 and JSON under /api/v1 and a WebSocket of
// the events, on one port, on the program's event loop. Qt's HTTP server
// reads and parses the requests; ControlListener (control_listener.h) owns
// the listening socket and the connections' limits; control_api.h answers;
// the simulator is reached only through the ControlTarget it is given.
//
//   ControlServer server(target);
//   if (auto problem = server.start({"127.0.0.1", 0})) ...;   // Italian, for standard error
//   server.address();                                      // "127.0.0.1:40312"
//   server.publish(second_bytes, vehicles_in_use);         // each second, to the WebSocket clients
//
// Access: bound to the loopback it needs no key and answers only requests
// that name a local host (access.h); bound to any other address it needs the
// key (control_token.h) in every request, and does not start without one.
//
// The WebSocket (GET /api/v1/eventi with Upgrade: websocket, on the same
// port) gets one text message a second from publish(); at most
// max_event_clients at once (then 503). A client whose socket still holds
// the earlier second's message skips this one (counted), so nothing queues
// in the program; one that has taken nothing for idle_limit is closed. What
// a client sends on it is read and dropped (messages of at most 4 KB); the
// pongs Qt answers its pings with count against the same bound: once more
// than reply_limit beyond that second waits unread, the client is closed.
//
// A route given by PUT is read and checked on a thread of its own, one
// route at a time in the order they came, never on the loop that makes the
// seconds; the route read is given on the loop, and the answer sent then.
// The bodies waiting there hold at most twice the listener's
// route_body_limit in all: past it, 503. Stopping the server stops a
// reading under way at its next piece.

#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/access.h"
#include "control/control_listener.h"
#include "control/control_target.h"

class QWebSocket;
class QTcpSocket;
class QHttpServerRequest;

namespace vadrel {

struct ControlAddress {
    std::string host;  // an IPv4 address, an IPv6 address without brackets, or "localhost"
    std::uint16_t port = 0;  // 0: any free port
};

class ControlServer final : public QObject {
    Q_OBJECT
public:
    using Clock = ControlListener::Clock;
    using Now = ControlListener::Now;

    explicit ControlServer(ControlTarget& target, ControlLimits limits = {}, Now now = &Clock::now,
                           QObject* parent = nullptr);
    ~ControlServer() override;
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens on `where`; `token` is the key asked of every request, needed
    // when `where` is not the loopback. Nothing when listening, else why not
    // in Italian. A server already listening is stopped first.
    std::optional<std::string> start(const ControlAddress& where, const std::string& token = {});
    void stop();
    bool listening() const;
    // "127.0.0.1:40312", "[::1]:8080": where it listens, the port taken when 0 was asked.
    std::string address() const;
    // Whether requests need the key.
    bool needs_token() const { return !rules_.token.empty(); }

    // One second for the WebSocket clients: the bytes sent and each vehicle in use.
    // `utc`: the second's time on the program's clock, "ora" in the message.
    // `marks`: the scenario's events played before this second.
    void publish(std::string_view bytes, const std::vector<VehicleEntry>& vehicles, const std::string& utc = {},
                 const std::vector<ScenarioMark>& marks = {});

    // The connections' time limits, checked each second by the server's own
    // timer; the tests call it after moving their clock.
    void check_time_limits();

    std::size_t connection_count() const;
    std::size_t event_client_count() const;
    long long events_skipped() const { return events_skipped_; }
    const ControlListener* listener() const { return listener_; }

    // What the operator should hear of, in Italian: listening, connections
    // refused, event clients closed.
    std::function<void(const std::string&)> on_event;

private:
    class HttpFront;
    struct EventClient;
    friend class HttpFront;

    // What the request gets: true with nothing written when it is a WebSocket
    // upgrade to accept.
    bool accept_upgrade(const QHttpServerRequest& request) const;
    ApiReply reply_to(const QHttpServerRequest& request);
    bool handle(const QHttpServerRequest& request, QTcpSocket* socket);
    void handle_refused(const QHttpServerRequest& request, QTcpSocket* socket);
    // False when the connection ends after its answer (HTTP/1.0 without
    // keep-alive, "Connection: close").
    bool keeps_open(const QHttpServerRequest& request, QTcpSocket* socket) const;
    // Reads the route of `request` off the loop, gives it to vehicle n on
    // the loop and answers on `socket` then.
    void read_route_later(ApiRequest request, std::size_t n, QTcpSocket* socket, bool close_after);
    // Reads a scenario's or a fleet's body off the loop, applies it on the
    // loop and answers then; a second of a kind while one is read is
    // refused (409).
    void read_body_later(BodyToRead what, QByteArray body, QTcpSocket* socket, bool close_after);
    void take_event_clients();
    // Closes an events client whose unread replies pass its bound: the
    // second it was given last and reply_limit. False when closed.
    bool check_queue(QWebSocket* socket);
    void tell(const std::string& text);

    ControlTarget& target_;
    ControlLimits limits_;
    Now now_;
    AccessRules rules_;
    std::unique_ptr<HttpFront> front_;
    QPointer<ControlListener> listener_;  // owned by front_
    std::vector<QPointer<QTcpSocket>> upgrading_;
    std::vector<std::unique_ptr<EventClient>> event_clients_;
    long long events_skipped_ = 0;
    QTimer limits_timer_;
    // The routes' reading: the bytes of the bodies given to it and not yet
    // answered, and the flag that stops it. Declared last: the pool, waited
    // for first, is gone before anything its task touches.
    qint64 reading_bytes_ = 0;
    std::vector<Action> reading_bodies_;  // the kinds of body being read
    std::shared_ptr<std::atomic<bool>> stopping_ = std::make_shared<std::atomic<bool>>(false);
    QThreadPool readers_;
};

}  // namespace vadrel
