#pragma once
// The control interface's listening socket and the rules of its
// connections, ahead of Qt's HTTP server (which reads and parses the
// requests on the sockets this hands it):
//
// * At most max_connections HTTP connections at once. One more takes the
//   place of the connection idle the longest (no request under way); when
//   every one is in the middle of a request the newcomer gets 503 and is
//   closed. A connection that would leave the program short of descriptors
//   for its own files (DescriptorReserve) is refused as well.
// * A request must arrive whole, and a connection must ask again, in time:
//   request_limit from its first byte, idle_limit between requests; then the
//   connection is closed. The checks run on a clock the caller gives.
// * A request's head is looked at as it arrives, before Qt reads its body:
//   a Content-Length above body_limit gets 413 (above route_body_limit for
//   a route's file, takes_large_body; and while another connection sends
//   such a body larger than body_limit, 503: one large body at a time), a body sent in chunks (its
//   size not said) 411, a Content-Length twice with two values (or not a
//   number) 400, a method Qt's server does not know 405 (named as sent), a head beyond head_limit without its end 431. The
//   body is never read into memory: the connection says why, stops
//   answering, drops what still comes, and closes when the client has sent
//   it or at request_limit. Qt's HTTP server (6.4) would otherwise keep a
//   whole body of any size in memory, twice.
// * Each socket keeps at most head_limit + body_limit (+ route_body_limit
//   while it sends a route's file) of what a client sent
//   and did not yet have answered (its read buffer: beyond it the kernel
//   holds the rest and slows the client), and at most reply_limit of
//   replies the client does not read; past that the connection is closed.
//
// These looks at the head (http_head.h) find its end, the request line and
// three header lines, no more; the parsing of the request is Qt's.

#include <QPointer>
#include <QTcpServer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/control_api.h"

class QTcpSocket;

namespace vadrel {

struct ControlLimits {
    int max_connections = 64;
    int max_event_clients = 16;
    std::chrono::seconds request_limit{10};
    std::chrono::seconds idle_limit{30};
    qint64 head_limit = 8 * 1024;
    qint64 body_limit = 64 * 1024;
    // A route's file: 32 MiB holds a track of some 200,000 points.
    qint64 route_body_limit = 32 * 1024 * 1024;
    qint64 reply_limit = 256 * 1024;
};

class ControlListener final : public QTcpServer {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;

    ControlListener(ControlLimits limits, Now now, QObject* parent = nullptr);
    ~ControlListener() override;

    // Closes the connections that went past their time limits, and accepts
    // again after the system ran out of descriptors.
    void check_time_limits();
    // Whether the connection stays open after the reply to its request, as
    // its head asked (HTTP/1.0 closes unless it asks to keep alive).
    bool keeps_alive(const QTcpSocket* socket);
    // A connection that became a WebSocket: no longer an HTTP connection.
    void release(QTcpSocket* socket);

    std::size_t connection_count() const;
    long long refused() const { return refused_; }
    long long evicted() const { return evicted_; }
    long long timed_out() const { return timed_out_; }
    long long too_large() const { return too_large_; }

    // The Italian lines for the operator: connections refused, with counts,
    // at most once a check.
    std::function<void(const std::string&)> on_event;

protected:
    void incomingConnection(qintptr handle) override;

private:
    struct Connection;
    void look_at(Connection& connection);
    void refuse(Connection& connection, const ApiReply& reply);
    void close(Connection& connection);
    Connection* find(const QTcpSocket* socket);
    void drop_gone();

    ControlLimits limits_;
    Now now_;
    std::vector<std::unique_ptr<Connection>> connections_;
    long long refused_ = 0, refused_told_ = 0;
    long long evicted_ = 0;
    long long timed_out_ = 0;
    long long too_large_ = 0;
    bool short_of_files_told_ = false;
    bool accept_paused_ = false;  // the kernel had no descriptor for a connection: tried again at the next check
};

// The bytes of a whole HTTP reply: one that ends its connection, for the
// refusals made before Qt's server has a request to answer, or one that
// keeps it, for an answer made after Qt's server let the request go.
QByteArray whole_reply(const ApiReply& reply, bool closing);
inline QByteArray closing_reply(const ApiReply& reply) { return whole_reply(reply, true); }

}  // namespace vadrel
