// The outgoing TCP connection on real sockets on the loopback, its pauses
// on a clock the test moves: a server that goes away and comes back, one
// that never reads, one whose queue of connections is full, a name with
// addresses of both families, a name not found, a program short of
// descriptors.

#include <gtest/gtest.h>
#include <netinet/in.h>

#include "loopback.h"
#include "os/descriptor_reserve.h"
#include "outputs/tcp_sender.h"
#include "support/descriptor_limit.h"

namespace vadrel::testing {
namespace {

using namespace std::chrono_literals;

// A listening server on the loopback, as a tracking server is.
class Server {
public:
    // `port` 0: any free one. `backlog` 0 with clients waiting: its queue is full.
    explicit Server(const char* host = "127.0.0.1", std::uint16_t port = 0, int receive_buffer = 0, int backlog = 16) {
        addrinfo hints{};
        hints.ai_flags = AI_NUMERICHOST;
        addrinfo* found = nullptr;
        ::getaddrinfo(host, std::to_string(port).c_str(), &hints, &found);
        listener_.reset(::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const int on = 1;
        ::setsockopt(listener_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        ::setsockopt(listener_.get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);  // IPv6 only; nothing on IPv4
        if (receive_buffer > 0) ::setsockopt(listener_.get(), SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
        listening_ = ::bind(listener_.get(), found->ai_addr, found->ai_addrlen) == 0 && ::listen(listener_.get(), backlog) == 0;
        ::freeaddrinfo(found);
        socklen_t length = sizeof address_;
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address_), &length);
    }
    bool listening() const { return listening_; }
    std::uint16_t port() const { return ntohs(reinterpret_cast<const sockaddr_in&>(address_).sin_port); }
    // A client whose connection is under way, the socket not blocking.
    Descriptor knock() const {
        Descriptor fd(::socket(address_.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address_), sizeof address_);
        return fd;
    }
    // Whether a connection waits (within `wait_ms`); accepts it.
    bool accept(int wait_ms = 5000) {
        if (!readable(listener_.get(), wait_ms)) return false;
        connection_.reset(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        return connection_.valid();
    }
    std::string read(std::size_t count, int wait_ms = 5000) { return read_bytes(connection_.get(), count, wait_ms); }
    void hang_up() { connection_.reset(); }

private:
    sockaddr_storage address_{};
    Descriptor listener_;
    Descriptor connection_;
    bool listening_ = false;
};

class Sender : public OnTheLoopback {
protected:
    int ticks_ = 0;

    std::unique_ptr<TcpSender> sender(const std::string& host, std::uint16_t port) {
        auto made = std::make_unique<TcpSender>(resolver_, Endpoint{host, port}, clock());
        heard(*made);
        return made;
    }
    // One tick, about one second after the last: as the timer fires, a few
    // milliseconds early or late.
    OutputSink::Result tick(TcpSender& sender, const std::string& bytes) {
        now_ += (++ticks_ % 2 ? 997ms : 1003ms);
        return sender.send(bytes);
    }
};

// Not there at first: tried after 1, 2 and 4 s. Then connected, every
// tick whole. The server goes: said once; a connection that held 10 s
// starts the pauses from 1 s again: tried after 1, 2, 4, 8 s; back
// meanwhile, it gets the stream at the next attempt, from that tick on.
TEST_F(Sender, AServerThatGoesAwayAndComesBackGetsTheStreamAgainWithinThePause) {
    auto server = std::make_unique<Server>();
    const std::uint16_t port = server->port();
    const std::string where = "TCP verso 127.0.0.1:" + std::to_string(port);
    server.reset();
    const auto sending = sender("127.0.0.1", port);
    std::vector<std::string> notes;
    // The ticks from `first` on, until it connects, at which a connection was
    // tried, counted from `first`; the server back after tick first + `back`.
    const auto tried = [&](int first, int last, int back) {
        std::vector<int> at;
        const long long connections = sending->connections();
        for (int t = first; t <= last && sending->connections() == connections; ++t) {
            const long long before = sending->attempts();
            const OutputSink::Result result = tick(*sending, tick_bytes(t));
            EXPECT_EQ(result.running, sending->connected()) << t;
            if (!result.note.empty()) notes.push_back(result.note);
            if (sending->attempts() > before) at.push_back(t - first);
            if (t - first == back) server = std::make_unique<Server>("127.0.0.1", port);
        }
        return at;
    };
    EXPECT_EQ(tried(1, 8, 4), (std::vector<int>{0, 1, 3, 7}));
    ASSERT_TRUE(server->accept());
    std::string all = tick_bytes(8);
    for (int t = 9; t <= 20; ++t) {
        EXPECT_TRUE(tick(*sending, tick_bytes(t)).running);
        all += tick_bytes(t);
    }
    EXPECT_EQ(server->read(all.size()), all);

    server.reset();
    notes.clear();
    const std::vector<int> again = tried(21, 50, 9);
    EXPECT_EQ(again, (std::vector<int>{1, 3, 7, 15})) << "pauses of 1, 2, 4 and 8 s";
    ASSERT_TRUE(server->accept());
    const int connected_at = 21 + again.back();
    std::string after = tick_bytes(connected_at);
    for (int t = connected_at + 1; t <= connected_at + 3; ++t) {
        tick(*sending, tick_bytes(t));
        after += tick_bytes(t);
    }
    EXPECT_EQ(server->read(after.size()), after) << "from the tick it connected at, within the pause";
    EXPECT_EQ(notes.front(), "  [" + where + ": il server ha chiuso il collegamento]");
    EXPECT_EQ(notes.back(), "  [" + where + ": rifiutato dalla destinazione]");
    const std::string pauses = "; nuovo tentativo tra 1 s, poi a pause crescenti fino a 60 s";
    EXPECT_EQ(events_, (std::vector<std::string>{
                           where + ": non collegato: rifiutato dalla destinazione" + pauses, where + ": collegato",
                           where + ": collegamento perso: il server ha chiuso il collegamento" + pauses,
                           where + ": non collegato: rifiutato dalla destinazione", where + ": collegato"}));
}

// A server that hangs up at once, again and again, is tried less and less often.
TEST_F(Sender, AServerThatHangsUpAtOnceIsTriedLessAndLessOften) {
    Server server;
    const auto sending = sender("127.0.0.1", server.port());
    std::vector<int> connected_at;
    for (int t = 0; t < 70; ++t) {
        tick(*sending, tick_bytes(t));
        if (sending->connected() && server.accept(0)) {
            connected_at.push_back(t);
            server.hang_up();
        }
    }
    EXPECT_EQ(connected_at, (std::vector<int>{0, 2, 5, 10, 19, 36, 69}));
}

// Each tick's bytes whole or not at all: while the server does not read,
// the ticks are skipped, and sending never waits; what it finally reads is
// whole ticks in order.
TEST_F(Sender, AServerThatNeverReadsIsSkippedAndNeverSlowsTheTick) {
    Server server("127.0.0.1", 0, 1);  // the smallest receive buffer
    const auto sending = sender("127.0.0.1", server.port());
    const std::size_t size = 4096;
    tick(*sending, tick_bytes(0, size));
    ASSERT_TRUE(server.accept());
    std::string first_skip;
    for (int t = 1; t < 300; ++t) {
        const OutputSink::Result result = tick(*sending, tick_bytes(t, size));
        EXPECT_TRUE(result.running) << t;
        if (first_skip.empty()) first_skip = result.note;
    }
    EXPECT_EQ(first_skip, "  [TCP verso 127.0.0.1:" + std::to_string(server.port()) + ": saltato]");
    EXPECT_GT(sending->skipped(), 250);
    EXPECT_EQ(sending->sent() + sending->skipped(), 300);
    EXPECT_TRUE(sending->busy() && sending->connected()) << "a server that does not read is still there";
    const std::string got = server.read(sending->sent() * size, 2000);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(sending->sent()) * size);
    for (std::size_t at = 0, last = 0; at < got.size(); at += size) {
        const auto t = std::stoul(got.substr(at + 7, 3));
        EXPECT_EQ(got.substr(at, size), tick_bytes(static_cast<int>(t), size));
        EXPECT_TRUE(at == 0 || t > last) << t << " after " << last;
        last = t;
    }
}

// localhost has ::1 and 127.0.0.1: vadrel connects over IPv4, where most
// servers listen, whichever the resolver gives first.
TEST_F(Sender, ANameWithBothFamiliesIsReachedOverIPv4) {
    Server v4;
    Server v6("::1", v4.port());
    const auto sending = sender("localhost", v4.port());
    ASSERT_TRUE(run_until([&] { return tick(*sending, tick_bytes(1)).running; }));
    EXPECT_TRUE(v4.accept());
    EXPECT_FALSE(v6.listening() && v6.accept(100));
    EXPECT_EQ(events_.back(), "TCP verso localhost:" + std::to_string(v4.port()) + ": collegato a 127.0.0.1");
}

TEST_F(Sender, ANameNotFoundIsSaidOnceAndTriedAgainAfterThePause) {
    const auto sending = sender("nessun-computer.invalid", 5000);
    ASSERT_TRUE(run_until([&] { return !tick(*sending, tick_bytes(1)).note.empty() && !sending->failure().empty(); }));
    EXPECT_EQ(sending->failure(), "nome sconosciuto");
    EXPECT_EQ(tick(*sending, tick_bytes(2)).note, "  [TCP verso nessun-computer.invalid:5000: nome sconosciuto]");
    ASSERT_EQ(events_.size(), 1U);
    EXPECT_EQ(events_.front().rfind("TCP verso nessun-computer.invalid:5000: non collegato: nome sconosciuto", 0), 0U);
    EXPECT_TRUE(run_until([&] { return resolver_.under_way() == 0; }));
}

// A server whose queue of connections is full answers nothing: the attempt
// is given up after 10 s, and the ticks meanwhile say it is under way.
TEST_F(Sender, AnAttemptNobodyAnswersIsGivenUpAfterTenSeconds) {
    Server full("127.0.0.1", 0, 0, 0);
    const Descriptor waiting[] = {full.knock(), full.knock(), full.knock()};
    const auto sending = sender("127.0.0.1", full.port());
    EXPECT_EQ(tick(*sending, tick_bytes(1)).note,
              "  [TCP verso 127.0.0.1:" + std::to_string(full.port()) + ": collegamento in corso]");
    for (int t = 2; t <= 10; ++t) tick(*sending, tick_bytes(t));
    EXPECT_EQ(sending->state(), TcpSender::State::connecting);
    tick(*sending, tick_bytes(11));
    EXPECT_EQ(sending->state(), TcpSender::State::waiting);
    EXPECT_EQ(sending->failure(), "tempo scaduto (nessuna risposta in 10 s)");
}

// A socket that would leave the program short of descriptors is not taken:
// the attempt fails, said, and is tried again after the pause.
TEST_F(Sender, NoConnectionTakesTheDescriptorsKeptForTheProgramsFiles) {
    Server server;
    const auto sending = sender("127.0.0.1", server.port());
    {
        const DescriptorLimit limit(DescriptorReserve::spare);
        tick(*sending, tick_bytes(1));
        EXPECT_EQ(sending->failure(), "troppi file aperti dal programma (ne restano liberi 16 per i file del programma)");
    }
    tick(*sending, tick_bytes(2));
    EXPECT_TRUE(sending->connected());
}

}  // namespace
}  // namespace vadrel::testing
