#pragma once
// The TCP server: every client gets each tick's bytes, whole, from the tick
// after it connects, the same bytes the serial port gets.
//
//   TcpOutput tcp;
//   tcp.start(Endpoint{"127.0.0.1", 10110}, 64);   // a failure is kept and tried again each tick
//   fan_out.add(tcp);
//
// One slow client is that client's problem, never the others':
// * A client whose socket still holds anything of an earlier tick (the
//   kernel's send queue, TIOCOUTQ: sent but not yet taken by the client) skips
//   this tick; the skips are counted per client. Nothing is queued in the
//   program, so a client gets either a tick's bytes whole or nothing of them,
//   and never a backlog from here. (A client that stops reading still finds
//   in its own receive buffer what its kernel took before the queue stopped
//   draining.)
// * A client whose queue has not emptied for 30 s (it has not read, or has
//   read less than one tick's bytes meanwhile) is closed.
// * What a client sends is read, at most 64 KB a real second per client
//   (a second of `now`, however fast the program's clock runs), and
//   thrown away, or split into lines for a LineListener that wants them
//   (the autopilot's sentences); the rest waits in its small kernel buffer
//   and slows only that client's sending.
// * A client that half-closes (shuts its writing side) still gets the bytes.
//   A client that is gone (it reset, or closed and the next bytes drew its
//   reset: the socket hangs up or reports an error) is closed as soon as the
//   kernel says so, its descriptor and its place freed; one that vanishes
//   without a word is closed after 30 s. None of them ever makes a tick wait.
// * At most max_clients at a time: one more is accepted, closed at once and
//   counted. So is one whose descriptor would leave the program short of
//   descriptors for its own files (DescriptorReserve), said once.
// The listening socket and the clients' sockets are plain descriptors in one
// epoll set, itself watched by one QSocketNotifier, so the event loop's own
// wait does not grow with the clients; the program sees the kernel's queue
// of each and never keeps a copy of the bytes.

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/line_listener.h"
#include "model/read_budget.h"
#include "os/descriptor.h"
#include "outputs/network_address.h"
#include "outputs/output_fanout.h"

class QSocketNotifier;

namespace vadrel {

class TcpOutput final : public QObject, public OutputSink {
    Q_OBJECT
public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::seconds idle_limit{30};
    static constexpr std::size_t read_budget = 64 * 1024;
    static constexpr int default_max_clients = 64;

    explicit TcpOutput(Now now = &std::chrono::steady_clock::now, QObject* parent = nullptr);
    ~TcpOutput() override;
    TcpOutput(const TcpOutput&) = delete;
    TcpOutput& operator=(const TcpOutput&) = delete;

    // Listens on `where` for at most max_clients at a time. A server running
    // elsewhere is closed first, with its clients; the same address only
    // takes the new maximum. When it cannot listen, failure() says why and
    // each tick tries again.
    void start(const Endpoint& where, int max_clients);
    // Closes the server and every client.
    void stop();

    Result send(std::string_view bytes) override;
    // Whether a client's socket still holds bytes it has not taken.
    bool busy() const override;

    bool started() const { return started_; }
    bool listening() const { return listener_.valid(); }
    // Where it listens: "127.0.0.1:10110" (the port taken when 0 was asked),
    // else where it was asked to.
    std::string address() const;
    const std::string& failure() const { return failure_; }
    int max_clients() const { return max_clients_; }

    struct ClientView {
        std::string peer;  // "127.0.0.1:40312"
        long long skipped = 0;
    };
    std::vector<ClientView> clients() const;
    std::size_t client_count() const { return clients_.size(); }
    long long skipped() const { return skipped_; }  // ticks skipped, over every client so far
    // Clients refused: beyond the maximum, or for want of descriptors.
    long long refused() const { return refused_ + refused_for_files_; }
    long long idle_closed() const { return idle_closed_; }

    // What the operator should hear of, in Italian: listening, a failure and
    // its end, clients refused or closed for not reading.
    std::function<void(const std::string&)> on_event;
    // Who takes the lines the clients send (nullptr: nobody); it must
    // outlive the server or be taken away first.
    void set_lines(LineListener* lines) { lines_ = lines; }
    // Whole lines a new client gets as soon as it is taken, before any
    // tick's bytes (the AIS targets' static data); "" for none.
    std::function<std::string()> greeting;

private:
    struct Client;
    void try_listen();
    void events_ready();
    void accept_waiting();
    void take_client(Descriptor fd);
    void read_from(Client& client);
    void watch_reads(Client& client, bool on);
    void watch_listener(bool on);
    void close_client(Client& client);
    void drop_closed();
    void tell(const std::string& text);

    Now now_;
    bool started_ = false;
    Endpoint where_;
    int max_clients_ = default_max_clients;
    Descriptor events_;  // the epoll set of the listening socket and the clients' sockets
    int events_error_ = 0;  // why there is no epoll set
    std::unique_ptr<QSocketNotifier> events_notifier_;
    Descriptor listener_;
    std::string bound_;  // where it listens, as address() says it
    std::string failure_;
    bool accept_paused_ = false;  // out of descriptors: accepting again at the next tick
    std::string accept_problem_;  // said once, until a client is accepted again
    std::vector<std::unique_ptr<Client>> clients_;
    long long skipped_ = 0;
    long long refused_ = 0;
    long long refused_told_ = 0;
    long long refused_for_files_ = 0;
    bool files_told_ = false;
    long long idle_closed_ = 0;
    LineListener* lines_ = nullptr;
};

}  // namespace vadrel
