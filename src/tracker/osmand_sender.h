#pragma once
// The OsmAnd protocol, as Traccar reads it (its OsmAnd port is 5055): one
// HTTP/1.1 request a report, the report in the query (osmand_url.h).
//
//   NameResolver resolver;
//   if (const std::string why = OsmandSender::check(url); !why.empty()) ...   // refused, in Italian
//   OsmandSender sender(resolver, "http://127.0.0.1:5055");
//   sender.send(report);        // written, or skipped and counted; never waits
//   sender.counts().state       // "collegato", or why not
//
// * Up to `most_connections` kept-alive connections, opened as the load
//   asks (another when the least busy has `spread_above` requests
//   unanswered) and reused; on each, up to `most_in_flight` requests are
//   pipelined and their answers read in order. A report beyond those bounds
//   is skipped and counted: nothing waits without bound.
// * A server that ends the connection after its answers (Connection: close)
//   is reconnected at once, and from then on given one request a
//   connection; one that refuses, goes away, answers garbage or nothing is
//   tried again after the doubling pause of each connection. The requests
//   that were on a connection that ended without answering are skipped.
// * The server's name is looked up by the resolver in a thread of its own;
//   while it is, reports are skipped.
// * Answers other than 2xx are counted and said in the state.
// `send` looks at the connections (one poll for all) before it writes;
// `service` does only that, between reports (the answers read, connections
// completed, what waits written). The steady time comes from `now`, read
// once a call.

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "os/name_resolver.h"
#include "tracker/osmand_url.h"
#include "tracker/pipelined_connection.h"
#include "tracker/report_sender.h"

namespace vadrel {

class OsmandSender final : public ReportSender {
public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr int most_connections = 4;
    static constexpr int most_in_flight = 2048;  // requests unanswered on one connection: a second of 8000 reports at once
    static constexpr int spread_above = 32;

    OsmandSender(NameResolver& resolver, std::string url, Now now = &std::chrono::steady_clock::now);
    OsmandSender(const OsmandSender&) = delete;
    OsmandSender& operator=(const OsmandSender&) = delete;

    // Why `url` is no address to send OsmAnd reports to, in Italian; "" when it is one.
    static std::string check(const std::string& url);

    void send(const DeviceReport& report) override;
    SenderCounts counts() const override;
    void service() override;

    // Answers read, and of those the ones other than 2xx.
    std::uint64_t answered() const { return tally_.answered; }
    std::uint64_t refused() const { return tally_.refused; }
    // Connections made since the start.
    std::uint64_t opened() const { return tally_.opened; }
    // Bytes of requests the kernel has not taken yet, on all connections.
    std::size_t buffered() const;

private:
    using Time = std::chrono::steady_clock::time_point;
    void service(Time now);
    PipelinedConnection* connection_for(Time now);
    PipelinedConnection* open_another(Time now);
    // The numeric address to connect to, once known.
    const SocketAddress* address(Time now);
    std::string waiting_state(Time now) const;

    NameResolver& resolver_;
    OsmandUrl url_;
    std::string url_problem_;
    Now now_;
    std::array<PipelinedConnection, most_connections> connections_;
    RequestTally tally_;
    std::shared_ptr<const NameResolver::Lookup> lookup_;
    std::optional<SocketAddress> address_;
    bool numeric_host_ = false;
    std::string lookup_problem_;
    Time next_lookup_{};
    RetryPause lookup_pause_;
    bool one_at_a_time_ = false;  // the server closes after each answer
    std::string request_;         // reused for each report
};

}  // namespace vadrel
