// The tracked fleet's senders: the OsmAnd request and address, the reader
// of the server's answers, and the sender against a real HTTP server on
// the loopback, with a clock the test moves.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "os/descriptor_reserve.h"
#include "os/name_resolver.h"
#include "support/descriptor_limit.h"
#include "support/event_loop.h"
#include "tracker/http_response_reader.h"
#include "tracker/osmand_sender.h"
#include "tracker/osmand_url.h"
#include "tracker/http_receiver.h"

namespace vadrel {
namespace {

using testing::HttpReceiver;
using testing::query_of;
using Response = HttpResponseReader::Response;

// ---- the address and the request ----------------------------------------

TEST(OsmandUrl, ReadsWhatAnOperatorWrites) {
    // url, host, port, path
    const std::vector<std::tuple<std::string, std::string, int, std::string>> rows = {
        {"http://127.0.0.1:5055", "127.0.0.1", 5055, "/"},
        {"HTTP://traccar.example:5055/", "traccar.example", 5055, "/"},
        {"http://[::1]:5055/osmand", "::1", 5055, "/osmand"},
        {"http://server", "server", 80, "/"},
        {"http://server/in?key=abc", "server", 80, "/in?key=abc"},
    };
    for (const auto& [url, host, port, path] : rows) {
        const auto parsed = OsmandUrl::parse(url);
        ASSERT_TRUE(std::holds_alternative<OsmandUrl>(parsed)) << url << ": " << std::get<std::string>(parsed);
        const auto& got = std::get<OsmandUrl>(parsed);
        EXPECT_EQ(got.host, host) << url;
        EXPECT_EQ(got.port, port) << url;
        EXPECT_EQ(got.path, path) << url;
        EXPECT_EQ(OsmandSender::check(url), "") << url;
    }
}

TEST(OsmandUrl, RefusesWithTheReason) {
    // url, a part of the reason
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"https://server:5055", "solo http"},
        {"ftp://server", "http://"},
        {"127.0.0.1:5055", "http://"},
        {"http://", "manca il server"},
        {"http://:5055", "manca il server"},
        {"http://server:0", "porta non valida"},
        {"http://server:65536", "porta non valida"},
        {"http://server:", "porta non valida"},
        {"http://server:50x", "porta non valida"},
        {"http://user:pw@server", "nome utente"},
        {"http://[::1:5055", "manca la ]"},
        {"http://[zz::1]:5055", "IPv6 non valido"},
        {"http://[::1]5055", "dopo la ]"},
        {"http://ser ver", "nome del server"},
        {"http://server/a b", "percorso"},
        {"http://server/a#b", "percorso"},
        {"http://server/\x01", "percorso"},
        {"http://" + std::string(3000, 'a'), "più lungo"},
    };
    for (const auto& [url, reason] : rows) {
        const std::string why = OsmandSender::check(url);
        EXPECT_NE(why.find(reason), std::string::npos) << url << " -> " << why;
    }
}

TEST(OsmandUrl, PutsTheReportInTheQuery) {
    const OsmandUrl url = std::get<OsmandUrl>(OsmandUrl::parse("http://[::1]:5055/in?key=k"));
    DeviceReport report{"nave 1/è", 45.4371, -12.33260049, 12.345, 359.96, 10.04, 5.0, 1700000000999};
    std::string request;
    url.append_request(request, report);
    EXPECT_EQ(request,
              "GET /in?key=k&id=nave%201%2F%C3%A8&timestamp=1700000000&lat=45.4371000&lon=-12.3326005&speed=12.35"
              "&bearing=360.0&altitude=10.0&accuracy=5.0 HTTP/1.1\r\nHost: [::1]:5055\r\n\r\n");
}

// The query of the request `url` makes of `report`.
std::map<std::string, std::string> request_query(const OsmandUrl& url, const DeviceReport& report) {
    std::string request;
    url.append_request(request, report);
    return query_of(request.substr(4, request.find(' ', 4) - 4));
}

TEST(OsmandUrl, WritesWholeSecondsAndLeavesOutWhatIsNoNumber) {
    // utc_ms, timestamp: seconds rounded down, before 1970 too
    const std::vector<std::pair<std::int64_t, std::string>> times = {
        {0, "0"}, {999, "0"}, {-1, "-1"}, {-1000, "-1"}, {-1001, "-2"}, {4102444800000, "4102444800"}};
    const OsmandUrl url = std::get<OsmandUrl>(OsmandUrl::parse("http://s:1"));
    for (const auto& [ms, seconds] : times) {
        EXPECT_EQ(request_query(url, DeviceReport{"a", 0, 0, 0, 0, 0, 0, ms})["timestamp"], seconds) << ms;
    }
    const auto query = request_query(url, DeviceReport{"a", 1.5, std::nan(""), 1e300, -0.0, 0, 0, 0});
    EXPECT_EQ(query.count("lon"), 0u);
    EXPECT_EQ(query.at("lat"), "1.5000000");
    EXPECT_EQ(query.at("speed").size(), 304u);  // 1e300 written out, fixed
}

// ---- the server's answers ------------------------------------------------

const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";

TEST(HttpResponseReader, ReadsAnswersInAnyPieces) {
    // name, bytes, the responses, whether the bytes are HTTP
    const std::vector<std::tuple<std::string, std::string, std::vector<Response>, bool>> rows = {
        {"empty body", ok, {{200, false}}, true},
        {"three pipelined", ok + ok + ok, {{200, false}, {200, false}, {200, false}}, true},
        {"body with a length", "HTTP/1.1 400 Bad Request\r\nContent-Length: 5\r\n\r\nHELLO" + ok,
         {{400, false}, {200, false}}, true},
        {"chunked with extension and trailer",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n4;x=y\r\nabcd\r\n0\r\nX-T: 1\r\n\r\n" + ok,
         {{200, false}, {200, false}}, true},
        {"interim answer passed over", "HTTP/1.1 100 Continue\r\n\r\n" + ok, {{200, false}}, true},
        {"no content", "HTTP/1.1 204 No Content\r\n\r\n" + ok, {{204, false}, {200, false}}, true},
        {"close said", "HTTP/1.1 200 OK\r\nConnection: Close\r\nContent-Length: 0\r\n\r\n", {{200, true}}, true},
        {"1.0 closes", "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", {{200, true}}, true},
        {"1.0 kept alive", "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nContent-Length: 0\r\n\r\n", {{200, false}},
         true},
        {"bare line ends", "HTTP/1.1 200 OK\nContent-Length: 1\n\nx", {{200, false}}, true},
        {"no reason", "HTTP/1.1 200\r\nContent-Length: 0\r\n\r\n", {{200, false}}, true},
        {"not http", "SSH-2.0-OpenSSH\r\n", {}, false},
        {"version 2", "HTTP/2.0 200 OK\r\n\r\n", {}, false},
        {"status of letters", "HTTP/1.1 2x0 OK\r\n\r\n", {}, false},
        {"status below 100", "HTTP/1.1 099 OK\r\n\r\n", {}, false},
        {"header without colon", "HTTP/1.1 200 OK\r\nbroken\r\n\r\n", {}, false},
        {"folded header", "HTTP/1.1 200 OK\r\n folded: x\r\n\r\n", {}, false},
        {"length of letters", "HTTP/1.1 200 OK\r\nContent-Length: 1x\r\n\r\n", {}, false},
        {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", {}, false},
        {"lengths differ", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", {}, false},
        {"body too long", "HTTP/1.1 200 OK\r\nContent-Length: 99999999\r\n\r\n", {}, false},
        {"chunk too long", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFF\r\n", {}, false},
        {"chunk size not hex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", {}, false},
        {"chunk without its end", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nab\r\n", {}, false},
        {"other coding", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n", {}, false},
        {"switching protocols", "HTTP/1.1 101 Switching\r\n\r\n", {}, false},
        {"line too long", "HTTP/1.1 200 OK\r\nX: " + std::string(HttpResponseReader::line_limit, 'a'), {}, false},
        {"too many headers", "HTTP/1.1 200 OK\r\n" + [] {
             std::string many;
             for (int i = 0; i <= HttpResponseReader::header_count_limit; ++i) many += "X: 1\r\n";
             return many;
         }(), {}, false},
    };
    for (const auto& [name, bytes, expected, whole] : rows) {
        for (const std::size_t piece : {bytes.size(), std::size_t{1}, std::size_t{7}}) {
            HttpResponseReader reader;
            std::vector<Response> done;
            bool fine = true;
            for (std::size_t at = 0; at < bytes.size() && fine; at += piece)
                fine = reader.feed(std::string_view(bytes).substr(at, piece), done);
            EXPECT_EQ(fine, whole) << name << " in pieces of " << piece;
            EXPECT_EQ(done, expected) << name << " in pieces of " << piece;
            EXPECT_EQ(reader.problem().empty(), whole) << name;
        }
    }
}

TEST(HttpResponseReader, TheCloseEndsABodyWithoutLengthAndCutsOthersShort) {
    // bytes before the close, the response the close completes (status 0: none), whether the close is fine
    const std::vector<std::tuple<std::string, int, bool>> rows = {
        {"HTTP/1.1 200 OK\r\n\r\nanything", 200, true},
        {ok, 0, true},
        {"", 0, true},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nab", 0, false},
        {"HTTP/1.1 20", 0, false},
    };
    for (const auto& [bytes, status, fine] : rows) {
        HttpResponseReader reader;
        std::vector<Response> done;
        ASSERT_TRUE(reader.feed(bytes, done)) << bytes;
        done.clear();
        EXPECT_EQ(reader.finish(done), fine) << bytes;
        EXPECT_EQ(done.empty() ? 0 : done.front().status, status) << bytes;
    }
}

// ---- the sender against a real server ------------------------------------

class OsmandOnTheLoopback : public WithEventLoop {
protected:
    std::chrono::steady_clock::time_point now_ = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    NameResolver resolver_;

    OsmandSender::Now clock() {
        return [this] { return now_; };
    }
    static DeviceReport report(int i) {
        return DeviceReport{"dev " + std::to_string(i), 45.0 + i * 1e-4, 9.0 - i * 1e-4, i % 40 * 0.5, i % 360 + 0.5,
                            12.0, 4.0, 1700000000000 + i * 1000LL};
    }
    // Runs the server and the sender until `done`.
    template <typename Done>
    static bool served_until(OsmandSender& sender, Done done) {
        return run_until([&] {
            sender.service();
            return done();
        });
    }
    // Until the sender has `answers` answers.
    static bool answered(OsmandSender& sender, std::uint64_t answers) {
        return served_until(sender, [&] { return sender.answered() >= answers; });
    }
};

TEST_F(OsmandOnTheLoopback, EveryReportArrivesOnceWithItsParameters) {
    HttpReceiver server;
    OsmandSender sender(resolver_, server.url() + "/", clock());
    for (int i = 0; i < 50; ++i) sender.send(report(i));
    ASSERT_TRUE(answered(sender, 50));
    ASSERT_EQ(server.targets.size(), 50u);
    std::set<std::string> ids;
    for (int i = 0; i < 50; ++i) {
        auto query = query_of(server.targets[static_cast<std::size_t>(i)]);
        const int which = std::stoi(query["id"].substr(6));  // "dev%20N"
        ids.insert(query["id"]);
        const DeviceReport sent = report(which);
        EXPECT_NEAR(std::stod(query["lat"]), sent.lat, 1e-7) << i;
        EXPECT_NEAR(std::stod(query["lon"]), sent.lon, 1e-7) << i;
        EXPECT_EQ(std::stod(query["speed"]), sent.speed_knots) << i;
        EXPECT_EQ(std::stod(query["bearing"]), sent.course) << i;
        EXPECT_EQ(std::stoll(query["timestamp"]), sent.utc_ms / 1000) << i;
    }
    EXPECT_EQ(ids.size(), 50u);
    const SenderCounts counts = sender.counts();
    EXPECT_EQ(counts.sent, 50u);
    EXPECT_EQ(counts.skipped, 0u);
    EXPECT_EQ(counts.state, "collegato");
    EXPECT_GE(counts.connections, 1u);
}

TEST_F(OsmandOnTheLoopback, AThousandInOneGoKeepAFewConnectionsAndReuseThem) {
    HttpReceiver server;
    OsmandSender sender(resolver_, server.url(), clock());
    for (int round = 1; round <= 3; ++round) {
        for (int i = 0; i < 1000; ++i) sender.send(report(i));  // the server reads nothing meanwhile
        ASSERT_TRUE(answered(sender, 1000u * static_cast<unsigned>(round))) << round;
        EXPECT_EQ(server.targets.size(), 1000u * static_cast<unsigned>(round));
        EXPECT_EQ(sender.counts().skipped, 0u);
        EXPECT_LE(server.accepted, OsmandSender::most_connections) << round;
    }
    EXPECT_EQ(sender.opened(), static_cast<std::uint64_t>(server.accepted));
}

TEST_F(OsmandOnTheLoopback, ASlowServerMakesReportsSkipNeverWait) {
    HttpReceiver server(HttpReceiver::Answer::held);
    OsmandSender sender(resolver_, server.url(), clock());
    const std::uint64_t bound = OsmandSender::most_connections * OsmandSender::most_in_flight;
    for (int i = 0; i < 20000; ++i) {
        sender.send(report(i));
        if (i % 1000 == 0) QCoreApplication::processEvents();  // the server reads, and answers nothing
        ASSERT_LE(sender.buffered(), OsmandSender::most_connections * PipelinedConnection::buffer_limit);
    }
    SenderCounts counts = sender.counts();
    EXPECT_EQ(counts.sent + counts.skipped, 20000u);
    EXPECT_LE(counts.sent, bound);
    EXPECT_GE(counts.skipped, 20000u - bound);
    // Once it answers, reports go again.
    ASSERT_TRUE(run_until([&] { return server.targets.size() == counts.sent; }));
    server.release();
    ASSERT_TRUE(answered(sender, counts.sent));
    sender.send(report(1));
    EXPECT_EQ(sender.counts().sent, counts.sent + 1);
}

TEST_F(OsmandOnTheLoopback, AServerSilentForLongIsLeftAndTriedAgain) {
    HttpReceiver server(HttpReceiver::Answer::held);
    OsmandSender sender(resolver_, server.url(), clock());
    sender.send(report(1));
    ASSERT_TRUE(served_until(sender, [&] { return server.targets.size() == 1; }));
    now_ += PipelinedConnection::answer_limit - std::chrono::seconds(1);
    sender.service();
    EXPECT_EQ(sender.counts().sent, 1u);
    now_ += std::chrono::seconds(1);
    sender.service();
    EXPECT_EQ(sender.counts().sent, 0u);
    EXPECT_EQ(sender.counts().skipped, 1u);
    EXPECT_NE(sender.counts().state.find("nessuna risposta dal server in 30 s"), std::string::npos)
        << sender.counts().state;
}

TEST_F(OsmandOnTheLoopback, AServerThatClosesAfterEachAnswerGetsOneRequestAConnection) {
    for (const auto answer : {HttpReceiver::Answer::close_each, HttpReceiver::Answer::close_said}) {
        HttpReceiver server(answer);
        OsmandSender sender(resolver_, server.url(), clock());
        for (int i = 0; i < 20; ++i) {
            sender.send(report(i));
            ASSERT_TRUE(answered(sender, static_cast<std::uint64_t>(i) + 1)) << i;
        }
        EXPECT_EQ(server.accepted, 20);
        // A few at once: one a connection, the rest skipped; none sent and lost.
        for (int i = 0; i < 10; ++i) sender.send(report(i));
        ASSERT_TRUE(served_until(sender, [&] {
            const SenderCounts counts = sender.counts();
            return counts.sent + counts.skipped == 30 && sender.answered() == counts.sent;
        }));
        const std::uint64_t sent = sender.counts().sent;
        EXPECT_EQ(server.targets.size(), sent);
        EXPECT_GT(sent, 21u);
        EXPECT_LE(sent, 20u + OsmandSender::most_connections);
    }
}

TEST_F(OsmandOnTheLoopback, AServerThatGoesAwayIsTriedAgainAfterThePause) {
    HttpReceiver server;
    const std::string url = server.url();
    OsmandSender sender(resolver_, url, clock());
    sender.send(report(1));
    ASSERT_TRUE(answered(sender, 1));
    server.stop();
    // Until the sender sees it gone and each connection is refused once.
    for (int i = 0; i < 2 * OsmandSender::most_connections + 2; ++i) sender.send(report(i));
    EXPECT_EQ(sender.counts().connections, 0u);
    EXPECT_EQ(sender.counts().state, "non collegato: rifiutato dalla destinazione; nuovo tentativo tra 1 s");
    ASSERT_TRUE(server.listen(server.port()));  // back within the pause
    now_ += std::chrono::milliseconds(900);
    sender.send(report(2));
    QCoreApplication::processEvents();
    EXPECT_EQ(server.accepted, 1) << "no attempt before the pause ends";
    now_ += std::chrono::milliseconds(100);
    sender.send(report(3));
    ASSERT_TRUE(answered(sender, 2));
    EXPECT_EQ(query_of(server.targets.back())["id"], "dev%203");
    EXPECT_EQ(sender.counts().state, "collegato");
}

TEST_F(OsmandOnTheLoopback, GarbageOrRefusalIsSaidInTheState) {
    // (the server's answer, reports, then sent, skipped, refused, the state)
    const std::tuple<HttpReceiver::Answer, int, std::uint64_t, std::uint64_t, std::uint64_t, std::string> rows[] = {
        {HttpReceiver::Answer::garbage, 1, 0, 1, 0,
         "non collegato: risposta non valida dal server: risposta non HTTP; nuovo tentativo tra 1 s"},
        {HttpReceiver::Answer::not_found, 3, 3, 0, 3, "collegato; 3 risposte non 2xx (l'ultima: 400)"},
        {HttpReceiver::Answer::at_once, 3, 3, 0, 0, "collegato"},
    };
    for (const auto& [answer, reports, sent, skipped, refused, state] : rows) {
        HttpReceiver server(answer);
        OsmandSender sender(resolver_, server.url(), clock());
        for (int i = 0; i < reports; ++i) sender.send(report(i));
        ASSERT_TRUE(served_until(sender, [&] { return sender.answered() + sender.counts().skipped == sent + skipped; }))
            << state;
        EXPECT_EQ(sender.counts().sent, sent) << state;
        EXPECT_EQ(sender.counts().skipped, skipped) << state;
        EXPECT_EQ(sender.refused(), refused) << state;
        EXPECT_EQ(sender.counts().state, state);
    }
}

TEST_F(OsmandOnTheLoopback, TheProgramsOwnFilesKeepTheirDescriptors) {
    HttpReceiver server;
    OsmandSender sender(resolver_, server.url(), clock());
    {
        const testing::DescriptorLimit limit(DescriptorReserve::spare);
        sender.send(report(1));
        EXPECT_EQ(sender.counts().skipped, 1u);
        EXPECT_EQ(sender.counts().state,
                  "non collegato: troppi file aperti dal programma (ne restano liberi 16 per i file del programma); "
                  "nuovo tentativo tra 1 s");
    }
    now_ += std::chrono::seconds(1);
    sender.send(report(2));
    ASSERT_TRUE(answered(sender, 1));
    EXPECT_EQ(query_of(server.targets.front())["id"], "dev%202");
}

TEST_F(OsmandOnTheLoopback, ANameIsLookedUpAsideAndAnAddressRefusedSkipsAll) {
    HttpReceiver server;
    OsmandSender sender(resolver_, "http://localhost:" + std::to_string(server.port()), clock());
    ASSERT_TRUE(run_until([&] {
        sender.send(report(1));
        return !server.targets.empty();
    }));
    EXPECT_EQ(query_of(server.targets.front())["id"], "dev%201");

    OsmandSender bad(resolver_, "https://127.0.0.1:1", clock());
    bad.send(report(1));
    EXPECT_EQ(bad.counts().skipped, 1u);
    EXPECT_NE(bad.counts().state.find("solo http"), std::string::npos);
}

}  // namespace
}  // namespace vadrel
