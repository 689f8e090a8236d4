#pragma once
// An outgoing TCP connection: vadrel connects to a listening server, as a
// tracking device does, and sends it each tick's bytes, the same bytes the
// serial port gets.
//
//   NameResolver resolver;
//   TcpSender sender(resolver, Endpoint{"tracker.example", 5055});
//   fan_out.add(sender);                  // tries at the first tick
//
// * The server's name is looked up by the resolver in a thread of its own,
//   at each new attempt; of its addresses the first IPv4 one is taken, else
//   the first IPv6 one (preferred_address). A lookup that never ends holds
//   neither a tick nor the shut-down. The connection itself never blocks:
//   a connection under way is looked at each tick, and given up after 10 s.
// * A server that is not there, refuses, goes away or is not found is tried
//   again after a pause that grows from 1 s to 60 s (1, 2, 4 ... 60, 60).
//   A connection that held for 10 s starts the pauses again from 1 s; one
//   the server ends sooner counts as a failed attempt, so a server that
//   accepts and hangs up at once is tried less and less often.
// * Each tick's bytes go whole or not at all: while the socket still holds
//   anything of an earlier tick (the kernel's send queue, TIOCOUTQ) the tick
//   is skipped and counted; nothing is queued in the program. A server that
//   never reads therefore never slows the tick. One that vanishes without a
//   word (nothing acknowledged for 30 s, TCP_USER_TIMEOUT) is given up and
//   tried again. What the server sends is read and thrown away, at most
//   64 KB a tick.
// * Each change is said once, in Italian (connected; not connected and
//   why; lost and why), and while it is not connected every tick's note
//   says why.
// The steady time comes from `now`, read once a tick.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "os/descriptor.h"
#include "os/name_resolver.h"
#include "outputs/network_address.h"
#include "outputs/output_fanout.h"
#include "outputs/retry_pause.h"

namespace vadrel {

class TcpSender final : public OutputSink {
public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::seconds first_pause = RetryPause::first;
    static constexpr std::chrono::seconds longest_pause = RetryPause::longest;
    static constexpr std::chrono::seconds connect_limit{10};
    static constexpr std::chrono::seconds held_long_enough = RetryPause::held_long_enough;
    static constexpr std::chrono::seconds unacknowledged_limit{30};
    static constexpr std::size_t read_budget = 64 * 1024;

    TcpSender(NameResolver& resolver, Endpoint server, Now now = &std::chrono::steady_clock::now);
    ~TcpSender() override;
    TcpSender(const TcpSender&) = delete;
    TcpSender& operator=(const TcpSender&) = delete;

    Result send(std::string_view bytes) override;
    // Whether the server has not yet taken all of an earlier tick.
    bool busy() const override;

    enum class State : unsigned char { waiting, looking_up, connecting, connected };
    State state() const { return state_; }
    bool connected() const { return state_ == State::connected; }
    const Endpoint& server() const { return server_; }
    // The numeric address connected to, or tried last.
    const std::string& address() const { return address_; }
    // Why it is not connected, in Italian; "" while connected or before the first attempt ended.
    const std::string& failure() const { return failure_; }
    // The pause after the next failure.
    std::chrono::seconds pause() const { return pause_.next(); }
    long long sent() const { return sent_; }
    long long skipped() const { return skipped_; }
    long long attempts() const { return attempts_; }
    long long connections() const { return connections_; }

    // What the operator should hear of, in Italian: each change of the connection.
    std::function<void(const std::string&)> on_event;
    // Whole lines sent before the first second of each connection (the AIS
    // targets' static data); "" for none.
    std::function<std::string()> greeting;

private:
    using Time = std::chrono::steady_clock::time_point;
    void step(Time now);
    void attempt(Time now);
    void connect_to(const std::string& address, Time now);
    void finish_connect(Time now);
    void read_from_server(Time now);
    void became_connected(Time now);
    bool greet_ = false;  // the greeting goes before the next second
    // The connection or the attempt ended for `reason`: closed, the next attempt after the pause.
    void fail(const std::string& reason, Time now);
    void tell(const std::string& text);
    std::string note() const;

    NameResolver& resolver_;
    Endpoint server_;
    Now now_;
    State state_ = State::waiting;
    Descriptor fd_;
    std::shared_ptr<const NameResolver::Lookup> lookup_;
    std::string address_;
    std::string failure_;
    Time next_attempt_{};
    Time started_{};  // of the attempt or of the connection
    RetryPause pause_;
    long long sent_ = 0;
    long long skipped_ = 0;
    long long attempts_ = 0;
    long long connections_ = 0;
};

}  // namespace vadrel
