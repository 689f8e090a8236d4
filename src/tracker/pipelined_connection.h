#pragma once
// One kept-alive HTTP/1.1 connection to a tracking server, its requests
// pipelined: each request is written as it comes, the answers are read in
// the order the requests went. Nothing blocks: the socket is non-blocking,
// what the kernel does not take at once waits in a buffer of bounded size,
// and the caller looks at the socket (service) when poll says so.
//
//   PipelinedConnection connection;
//   connection.open(address, now);                 // connecting
//   connection.take(request, bound, now, tally);   // false: no room, the caller skips the report
//   connection.service(revents, now, tally);       // answers read, the rest written
//
// The connection ends
// * cleanly when the server closes it after answering at least once (or
//   says Connection: close): it may be opened again at once;
// * as a failure when the server refuses, goes away before answering,
//   answers with bytes that are no HTTP, or answers nothing for 30 s: it is
//   opened again after the doubling pause (RetryPause).
// Either way the requests on it that have no answer are skipped. The
// `tally` counts for the sender: a request is sent once written whole, and
// moves from sent to skipped when the connection ends before its answer.

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "os/descriptor.h"
#include "outputs/network_address.h"
#include "outputs/retry_pause.h"
#include "tracker/http_response_reader.h"

namespace vadrel {

// What the connections of one sender have done.
struct RequestTally {
    std::uint64_t sent = 0;      // written whole, and not lost since
    std::uint64_t skipped = 0;   // never written whole, or lost before the answer
    std::uint64_t answered = 0;  // answers read
    std::uint64_t refused = 0;   // answers other than 2xx
    int last_refusal = 0;        // the status of the last of them
    std::uint64_t opened = 0;    // connections made
};

class PipelinedConnection {
public:
    using Time = std::chrono::steady_clock::time_point;
    enum class State : unsigned char { closed, connecting, connected };
    static constexpr std::chrono::seconds connect_limit{10};
    static constexpr std::chrono::seconds answer_limit{30};
    static constexpr std::size_t buffer_limit = 512 * 1024;  // written, not yet taken by the kernel
    static constexpr std::size_t read_budget = 256 * 1024;   // read at one service

    PipelinedConnection() = default;
    PipelinedConnection(const PipelinedConnection&) = delete;
    PipelinedConnection& operator=(const PipelinedConnection&) = delete;

    // Starts connecting to `address`; false when that failed at once (the pause begins).
    bool open(const SocketAddress& address, Time now);
    // Queues `request` and writes what the socket takes; false, and nothing
    // queued, when `bound` requests wait for their answers already or the
    // buffer is full. A connection still connecting takes them too.
    bool take(std::string_view request, int bound, Time now, RequestTally& tally);
    // What poll said of the socket (`revents`, 0 for nothing): finishes the
    // connecting, reads the answers, writes what waits, keeps the deadlines.
    void service(short revents, Time now, RequestTally& tally);
    // The events to poll for; 0 when closed.
    short events() const;
    int fd() const { return fd_.get(); }

    State state() const { return state_; }
    bool open() const { return state_ != State::closed; }
    // Closed, and its pause over.
    bool may_open(Time now) const { return state_ == State::closed && now >= next_attempt_; }
    Time next_attempt() const { return next_attempt_; }
    // Requests without an answer yet, written or not.
    int outstanding() const { return written_ + static_cast<int>(pending_.size()); }
    std::size_t buffered() const { return buffer_.size(); }
    // Why the last attempt or connection failed, in Italian; "" if none did.
    const std::string& failure() const { return failure_; }
    // Whether the server ended this connection after its answers (Connection: close).
    bool closed_after_answers() const { return closed_after_answers_; }

private:
    void finish_connect(Time now, RequestTally& tally);
    void read(Time now, RequestTally& tally);
    void answered(const std::vector<HttpResponseReader::Response>& responses, Time now, RequestTally& tally);
    void write(Time now, RequestTally& tally);
    // Ends the connection, its unanswered requests skipped; a failure brings the pause.
    void end(bool failed, const std::string& reason, Time now, RequestTally& tally);

    State state_ = State::closed;
    Descriptor fd_;
    std::string buffer_;                // the bytes of the pending requests
    std::deque<std::size_t> pending_;   // the length of each request in the buffer, oldest first
    std::size_t front_written_ = 0;     // bytes of the oldest pending request written already
    int written_ = 0;                   // written whole, unanswered
    int answers_ = 0;                   // answers on this connection
    HttpResponseReader reader_;
    std::vector<HttpResponseReader::Response> responses_;
    Time started_{};
    Time progress_{};  // the last answer, or when the oldest unanswered request went
    Time next_attempt_{};
    RetryPause pause_;
    std::string failure_;
    bool closed_after_answers_ = false;
};

}  // namespace vadrel
