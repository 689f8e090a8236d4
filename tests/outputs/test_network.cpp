// The network outputs on real sockets on the loopback: the texts of their
// addresses, the TCP server with clients that read, pause, talk, half-close
// or reset, the UDP targets, and both beside the serial port in the fan-out.
// The 30 s rule runs on a clock the test moves.

#include <gtest/gtest.h>
#include <netdb.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QUdpSocket>
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "os/descriptor_reserve.h"
#include "os/name_resolver.h"
#include "outputs/network_address.h"
#include "outputs/network_outputs.h"
#include "os/open_files.h"
#include "outputs/output_fanout.h"
#include "outputs/tcp_output.h"
#include "outputs/udp_output.h"
#include "support/descriptor_limit.h"
#include "support/fakes.h"
#include "support/scratch_folder.h"
#include "support/event_loop.h"

namespace vadrel {
namespace {

using namespace std::chrono_literals;

// Each tick's bytes differ, and carry NUL bytes as the radio burst does.
std::string tick_bytes(int tick, std::size_t size = 80) {
    std::string bytes = "$GPRMC," + std::to_string(tick) + std::string("\r\n\0\0\0\0\0", 7);
    bytes.resize(size, 'x');
    return bytes;
}

// A TCP client of the server at "ADDRESS:PORT", as a chart plotter or gpsd is.
class Client {
public:
    explicit Client(const std::string& address, int receive_buffer = 0, int send_buffer = 0) {
        const std::size_t colon = address.rfind(':');
        const std::string host = address.substr(address[0] == '[' ? 1 : 0, colon - (address[0] == '[' ? 2 : 0));
        addrinfo hints{};
        hints.ai_flags = AI_NUMERICHOST;
        addrinfo* found = nullptr;
        if (::getaddrinfo(host.c_str(), address.c_str() + colon + 1, &hints, &found) != 0) return;
        fd_ = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (receive_buffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
        if (send_buffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &send_buffer, sizeof send_buffer);
        ::connect(fd_, found->ai_addr, found->ai_addrlen);
        ::freeaddrinfo(found);
    }
    ~Client() { close(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    int fd() const { return fd_; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // Reads until `count` bytes have come, the server closed, or 5 s passed.
    std::string read(std::size_t count) { return read_bytes(fd_, count, 5000); }
    // Everything until the server closes.
    std::string read_to_end() { return read(std::string::npos / 2); }
    // What is there now, at most `count` bytes, without waiting.
    std::string read_now(std::size_t count) { return read_bytes(fd_, count, 0); }

private:
    int fd_ = -1;
};

class Network : public WithEventLoop {
protected:
    std::chrono::steady_clock::time_point now_ = std::chrono::steady_clock::time_point{} + 1000s;
    std::vector<std::string> events_;
    TcpOutput tcp_{[this] { return now_; }};
    NameResolver resolver_;
    UdpOutput udp_{resolver_, [this] { return now_; }};

    void SetUp() override {
        tcp_.on_event = [this](const std::string& text) { events_.push_back(text); };
        udp_.on_event = tcp_.on_event;
    }
    // One tick, one second after the last.
    OutputSink::Result tick(TcpOutput& output, const std::string& bytes) {
        now_ += 1s;
        return output.send(bytes);
    }
    bool accepted(std::size_t clients) {
        return run_until([&] { return tcp_.client_count() == clients; });
    }
};

// A name with IPv4 and IPv6 addresses (localhost on Debian: ::1 first) is
// sent to over IPv4, whichever order the resolver gives; IPv6 only when the
// name has nothing else.
TEST(NetworkAddress, ANameWithBothFamiliesIsReachedOverIPv4) {
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"::1", "127.0.0.1"}, "127.0.0.1"},
        {{"127.0.0.1", "::1"}, "127.0.0.1"},
        {{"fe80::1", "2001:db8::1", "192.0.2.7", "192.0.2.8"}, "192.0.2.7"},
        {{"::ffff:192.0.2.9", "::1"}, "::ffff:192.0.2.9"},
        {{"2001:db8::1", "::1"}, "2001:db8::1"},
        {{}, ""},
    };
    for (const auto& [addresses, expected] : rows) EXPECT_EQ(preferred_address(addresses), expected) << expected;
}

TEST(NetworkAddress, ListenAddressesAndTargetsAsTheOperatorWritesThem) {
    struct Row {
        bool target;         // a UDP target, else the TCP server's address
        const char* text;
        const char* result;  // the endpoint as text, or a piece of the message
    };
    const Row rows[] = {
        {false, "10110", "127.0.0.1:10110"},
        {false, "0", "127.0.0.1:0"},
        {false, "0.0.0.0:10110", "0.0.0.0:10110"},
        {false, "[::]:10110", "[::]:10110"},
        {false, "[::1]:2000", "[::1]:2000"},
        {false, "localhost:10110", "localhost:10110"},
        {false, "::1:10110", "parentesi quadre"},
        {false, "[::1]", "manca :PORTA"},
        {false, "[::1:10110", "parentesi quadra chiusa"},
        {false, "[127.0.0.1]:10110", "IPv6"},
        {false, "plotter:10110", "non è un indirizzo IP"},
        {false, "65536", "la porta va da 0 a 65535"},
        {false, "10110x", "la porta"},
        {false, "127.0.0.1:", "la porta"},
        {false, "-1", "la porta"},
        {false, "", "la porta"},
        {true, "192.168.1.255:10110", "192.168.1.255:10110"},
        {true, "[ff02::1]:10110", "[ff02::1]:10110"},
        {true, "plotter.local:10110", "plotter.local:10110"},
        {true, "plotter.local:0", "la porta va da 1"},
        {true, "10110", "manca :PORTA"},
        {true, ":10110", "non è un indirizzo IP né un nome"},
        {true, "a..b:10110", "non è un indirizzo IP né un nome"},
        {true, "plot ter:10110", "non è un indirizzo IP né un nome"},
    };
    for (const Row& row : rows) {
        const auto parsed = row.target ? parse_target(row.text) : parse_listen_address(row.text);
        const std::string got = std::holds_alternative<Endpoint>(parsed) ? std::get<Endpoint>(parsed).text()
                                                                          : std::get<std::string>(parsed);
        EXPECT_NE(got.find(row.result), std::string::npos) << row.text << " -> " << got;
    }
}

// The texts of [uscite] checked at start-up as the outputs check them: a bad
// address leaves the server off, a bad target is left out; each is named.
TEST(NetworkAddress, TheSettingsFilesAddressAndTargetsAreCheckedAndNamed) {
    testing::ScratchFolder folder;
    folder.put("vadrel.ini", "[uscite]\ntcp=true\ntcp_indirizzo=plotter\nudp=true\n"
                             "udp_destinazioni=10.0.0.255:99999, 10.0.0.255:10110\n");
    ProgramFolder place(folder.path());
    SettingsFile file(place);
    std::vector<std::string> problems;
    const OutputSettings read = read_network_settings(file, problems);
    EXPECT_FALSE(read.tcp);
    EXPECT_EQ(read.udp_targets, std::vector<std::string>{"10.0.0.255:10110"});
    const std::string where = folder.at("vadrel.ini") + ": [uscite] ";
    EXPECT_EQ(problems, (std::vector<std::string>{
                            where + "tcp_indirizzo: \"plotter\" non è un indirizzo IP di questo computer (per esempio "
                                    "127.0.0.1, 0.0.0.0 o [::])",
                            where + "udp_destinazioni: la porta va da 1 a 65535, non \"99999\""}));
}

// From the tick after it connects every client gets every tick's bytes, whole
// and nothing else; on [::] both IPv6 and IPv4 clients come in. One client
// more than the maximum is closed at once and counted.
TEST_F(Network, EveryClientGetsEachTicksBytesFromTheTickAfterItConnects) {
    for (const char* host : {"127.0.0.1", "::"}) {
        tcp_.start(Endpoint{host, 0}, 3);
        ASSERT_TRUE(tcp_.listening()) << tcp_.failure();
        EXPECT_EQ(tcp_.address().rfind(std::string(host) == "::" ? "[::]:" : "127.0.0.1:", 0), 0u) << tcp_.address();
        const std::string port = tcp_.address().substr(tcp_.address().rfind(':'));
        const std::string other = std::string(host) == "::" ? "[::1]" + port : "127.0.0.1" + port;
        Client first("127.0.0.1" + port);
        Client second(other);
        ASSERT_TRUE(accepted(2)) << host;
        EXPECT_EQ(tick(tcp_, tick_bytes(1)).running, true);
        Client third("127.0.0.1" + port);
        ASSERT_TRUE(accepted(3)) << host;
        const long long refused_before = tcp_.refused();
        Client refused("127.0.0.1" + port);
        ASSERT_TRUE(run_until([&] { return tcp_.refused() == refused_before + 1; })) << host;
        tcp_.start(Endpoint{host, 0}, 3);  // the same address again: the server and its clients stay
        EXPECT_TRUE(tick(tcp_, tick_bytes(2)).note.empty());

        const std::string both = tick_bytes(1) + tick_bytes(2);
        EXPECT_EQ(first.read(both.size()), both) << host;
        EXPECT_EQ(second.read(both.size()), both) << host;
        EXPECT_EQ(third.read(tick_bytes(2).size()), tick_bytes(2)) << host;
        EXPECT_EQ(refused.read_to_end(), "") << host;
        EXPECT_EQ(first.read_now(1) + second.read_now(1) + third.read_now(1), "") << host;
        tcp_.stop();
        EXPECT_EQ(first.read_to_end(), "") << "stop closes every client";
    }
    EXPECT_EQ(tcp_.refused(), 2);
    EXPECT_NE(events_.front().find("TCP in ascolto su 127.0.0.1:"), std::string::npos);
}

// A client that stops reading is skipped, counted, while its queue holds
// anything. Reading slowly, less than the ticks bring, keeps it; 30 s after
// its queue last emptied it is closed. What it got is whole ticks; the client beside
// it gets every tick all along.
TEST_F(Network, AClientThatDoesNotReadIsSkippedThenClosedAfterThirtySeconds) {
    tcp_.start(Endpoint{"127.0.0.1", 0}, 64);
    Client reader(tcp_.address());
    Client sleeper(tcp_.address(), 1);  // the smallest receive buffer: it fills in a few ticks
    ASSERT_TRUE(accepted(2));
    const std::size_t size = 1500;
    std::string read_by_reader;
    std::string read_by_sleeper;
    int ticks = 0;
    int stopped_reading = 0;
    std::string first_note;
    while (tcp_.client_count() == 2 && ticks < 200) {
        const std::string note = tick(tcp_, tick_bytes(++ticks, size)).note;
        if (first_note.empty()) first_note = note;
        read_by_reader += reader.read(size);
        // skipped since the 5th tick: it reads a little for 40 s, then no more
        if (ticks >= 5 && ticks < 45) read_by_sleeper += sleeper.read_now(200);
        if (ticks == 45) stopped_reading = ticks;
    }
    EXPECT_EQ(first_note, "  [TCP: saltati 1 client]");
    EXPECT_GT(tcp_.skipped(), 30) << "the slow reader is skipped, not closed";
    EXPECT_EQ(tcp_.idle_closed(), 1);
    EXPECT_GE(ticks - stopped_reading, 29) << "closed 30 s after its queue last emptied";
    EXPECT_LE(ticks - stopped_reading, 30) << "closed 30 s after its queue last emptied";
    read_by_sleeper += sleeper.read_to_end();
    EXPECT_EQ(read_by_sleeper.size() % size, 0u) << "only whole ticks";
    std::string every_tick;
    for (int t = 1; t <= ticks; ++t) every_tick += tick_bytes(t, size);
    EXPECT_EQ(read_by_reader, every_tick);
    EXPECT_NE(events_.back().find("non legge da 30 s"), std::string::npos) << events_.back();
}

// A client that talks is read and ignored, up to 64 KB a tick; one that
// shuts its writing side still gets the bytes; one that resets is gone at
// once. The tick never waits for any of them.
TEST_F(Network, TalkingHalfClosedAndResettingClientsLeaveTheOthersServed) {
    tcp_.start(Endpoint{"127.0.0.1", 0}, 64);
    Client talker(tcp_.address(), 0, 4096);
    Client half(tcp_.address());
    Client resetter(tcp_.address());
    Client quiet(tcp_.address());
    ASSERT_TRUE(accepted(4));
    ::shutdown(half.fd(), SHUT_WR);
    const linger abort{1, 0};
    ::setsockopt(resetter.fd(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    resetter.close();
    ASSERT_TRUE(accepted(3));

    // The talker sends all it can; each tick the server reads on.
    std::size_t pushed = 0;
    const auto pushed_more = [&](std::size_t wanted) {
        const std::string chunk(4096, 'z');
        return run_until([&] {
            for (ssize_t n; (n = ::send(talker.fd(), chunk.data(), chunk.size(), MSG_DONTWAIT)) > 0;)
                pushed += static_cast<std::size_t>(n);
            return pushed >= wanted;
        });
    };
    std::string expected;
    for (int t = 1; t <= 3; ++t) {
        tick(tcp_, tick_bytes(t));
        expected += tick_bytes(t);
        EXPECT_TRUE(pushed_more(pushed + 60 * 1024)) << "tick " << t << ": the server stopped reading at " << pushed;
    }
    EXPECT_EQ(talker.read(expected.size()), expected);
    EXPECT_EQ(half.read(expected.size()), expected);
    EXPECT_EQ(quiet.read(expected.size()), expected);
    EXPECT_EQ(tcp_.skipped(), 0);
}

// A client that is gone is closed as soon as its socket says so, with no
// tick in between: its place goes to the next client, and the socket, which
// reports its hang-up at every wait, no longer wakes the program. One that
// closes after reading is known gone when the next tick's bytes draw its
// reset; one that resets after filling its share of reading, at once.
TEST_F(Network, AClientThatIsGoneIsClosedAtOnceAndItsPlaceGoesToTheNext) {
    struct Row {
        const char* name;
        std::function<void(Client&)> leave;
        bool tick_after;  // its end is known only when the next tick is sent
    };
    const Row rows[] = {
        {"reads, then closes", [](Client& c) { c.close(); }, true},
        {"sends more than its share, then resets",
         [](Client& c) {
             // Until the server stops reading this second: its socket is not watched.
             const std::string chunk(4096, 'z');
             std::size_t pushed = 0, before = 1;
             EXPECT_TRUE(run_until([&] {
                 for (ssize_t n; (n = ::send(c.fd(), chunk.data(), chunk.size(), MSG_DONTWAIT)) > 0;)
                     pushed += static_cast<std::size_t>(n);
                 return std::exchange(before, pushed) == pushed;
             }));
             EXPECT_GT(pushed, TcpOutput::read_budget);
             const linger abort{1, 0};
             ::setsockopt(c.fd(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
             c.close();
         },
         false},
    };
    for (const Row& row : rows) {
        tcp_.start(Endpoint{"127.0.0.1", 0}, 2);
        Client stays(tcp_.address());
        Client leaves(tcp_.address(), 0, 4096);
        ASSERT_TRUE(accepted(2)) << row.name;
        tick(tcp_, tick_bytes(1));
        EXPECT_EQ(leaves.read(tick_bytes(1).size()), tick_bytes(1)) << row.name;
        row.leave(leaves);
        if (row.tick_after) tick(tcp_, tick_bytes(2));
        EXPECT_TRUE(run_until([&] { return tcp_.client_count() == 1; })) << row.name;
        Client next(tcp_.address());
        EXPECT_TRUE(accepted(2)) << row.name;
        const std::string bytes = tick_bytes(3);
        EXPECT_EQ(tick(tcp_, bytes).note, "") << row.name;
        EXPECT_EQ(next.read(bytes.size()), bytes) << row.name;
        EXPECT_EQ(tcp_.refused(), 0) << row.name;
        tcp_.stop();
    }
}

// A port in use: said once in Italian, shown on each tick's monitor line,
// tried again at each tick; the serial port and the UDP target go on.
TEST_F(Network, AnAddressInUseIsReportedAndTriedAgainWhileTheOtherOutputsRun) {
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress::LocalHost));
    QUdpSocket receiver;
    ASSERT_TRUE(receiver.bind(QHostAddress::LocalHost));
    testing::FakePort serial;
    serial.force_open();
    OutputFanOut fan_out(serial);
    fan_out.add(tcp_);
    fan_out.add(udp_);
    tcp_.start(Endpoint{"127.0.0.1", squatter.serverPort()}, 64);
    udp_.set_targets({Endpoint{"127.0.0.1", receiver.localPort()}});

    for (int t = 1; t <= 2; ++t) {
        const Delivery delivery = fan_out.send(tick_bytes(t));
        EXPECT_EQ(delivery.serial, Delivery::Serial::written);
        EXPECT_TRUE(delivery.elsewhere);
        EXPECT_NE(delivery.notes.find("già in uso"), std::string::npos) << delivery.notes;
        ASSERT_TRUE(run_until([&] { return receiver.hasPendingDatagrams(); }));
        EXPECT_EQ(receiver.receiveDatagram().data().toStdString(), tick_bytes(t));
    }
    EXPECT_EQ(std::count_if(events_.begin(), events_.end(),
                            [](const std::string& e) { return e.find("già in uso") != std::string::npos; }),
              1);
    squatter.close();
    const Delivery delivery = fan_out.send(tick_bytes(3));
    EXPECT_TRUE(tcp_.listening());
    EXPECT_EQ(delivery.notes, "");
    EXPECT_EQ(serial.written.size(), 3u);
}

// Short of descriptors a client is not taken, said once each time: one
// whose descriptor would leave fewer than the spare ones is accepted and
// closed at once; with none left at all it waits in the backlog and is taken
// at the next tick, once there is room again.
TEST_F(Network, ShortOfDescriptorsAClientIsRefusedOrWaitsForTheNextTick) {
    tcp_.start(Endpoint{"127.0.0.1", 0}, 64);
    std::vector<std::unique_ptr<Client>> refused;
    // The test's own end of each connection takes a descriptor too: the
    // first client's accepted socket is the only one that fits.
    std::optional<testing::DescriptorLimit> limit(std::in_place, DescriptorReserve::spare + 3);
    Client first(tcp_.address());
    ASSERT_TRUE(accepted(1));
    for (int i = 0; i < 2; ++i) {
        refused.push_back(std::make_unique<Client>(tcp_.address()));
        ASSERT_TRUE(run_until([&] { return tcp_.refused() == i + 1; })) << i;
        EXPECT_EQ(refused.back()->read_to_end(), "") << "closed at once";
    }
    limit.emplace(1);  // the client's end of the next connection, nothing for the server's
    Client waiting(tcp_.address());
    const bool said = run_until([&] { return events_.back().find("impossibile accettare") != std::string::npos; });
    limit.reset();
    EXPECT_TRUE(said) << events_.back();
    EXPECT_EQ(tcp_.client_count(), 1u);
    const auto told = [&](const std::string& text) { return std::count(events_.begin(), events_.end(), text); };
    EXPECT_EQ(told("TCP: rifiutati i nuovi client: troppi file aperti dal programma (ne restano liberi 16 per i "
                   "file del programma)"),
              1);
    EXPECT_EQ(told("TCP: impossibile accettare altri client: troppi file aperti dal programma"), 1);
    tick(tcp_, tick_bytes(1));
    ASSERT_TRUE(accepted(2));
    tick(tcp_, tick_bytes(2));
    EXPECT_EQ(waiting.read(tick_bytes(2).size()), tick_bytes(2));
}

// One datagram per tick to each target: IPv4, IPv6, a broadcast address
// (which needs SO_BROADCAST) and a name. A name that is not found is said,
// and the others go on.
TEST_F(Network, EachTargetGetsOneDatagramPerTick) {
    QUdpSocket v4, v6, broadcast, named;
    ASSERT_TRUE(v4.bind(QHostAddress::LocalHost));
    ASSERT_TRUE(v6.bind(QHostAddress::LocalHostIPv6));
    ASSERT_TRUE(broadcast.bind(QHostAddress::AnyIPv4));
    ASSERT_TRUE(named.bind(QHostAddress::LocalHost));
    udp_.set_targets({{"127.0.0.1", v4.localPort()},
                      {"::1", v6.localPort()},
                      {"127.255.255.255", broadcast.localPort()},
                      {"localhost", named.localPort()},
                      {"nessun-computer.invalid", 10110}});
    // A name's answer is taken at a tick.
    ASSERT_TRUE(run_until([&] { return udp_.send(tick_bytes(0)).note.find("nome sconosciuto") != std::string::npos; }));
    ASSERT_TRUE(run_until([&] { return udp_.send(tick_bytes(0)).running && udp_.targets()[3].sent > 0; }));
    for (QUdpSocket* socket : {&v4, &v6, &broadcast, &named}) {
        while (socket->hasPendingDatagrams()) socket->receiveDatagram();
    }
    // The name may take several ticks to resolve: count from here.
    const auto sent_before = udp_.targets()[0].sent;
    const auto named_before = udp_.targets()[3].sent;
    for (int t = 1; t <= 3; ++t) {
        const OutputSink::Result result = udp_.send(tick_bytes(t));
        EXPECT_EQ(result.note, "  [UDP nessun-computer.invalid:10110: nome sconosciuto]");
        for (QUdpSocket* socket : {&v4, &v6, &broadcast, &named}) {
            ASSERT_TRUE(run_until([&] { return socket->hasPendingDatagrams(); })) << t;
            EXPECT_EQ(socket->receiveDatagram().data().toStdString(), tick_bytes(t));
        }
    }
    EXPECT_EQ(udp_.targets()[0].sent - sent_before, 3);
    EXPECT_EQ(udp_.targets()[3].sent - named_before, 3);

    // A lookup left behind ends alone.
    udp_.set_targets({{"localhost", 10110}});
    udp_.set_targets({});
    EXPECT_TRUE(run_until([&] { return resolver_.under_way() == 0; }));
}

// Targets whose sockets would leave fewer than the spare descriptors have
// none: said together and once, shown on the monitor line as one note; they
// get theirs at the first tick with room again.
TEST_F(Network, TargetsThatWouldLeaveTheProgramShortOfDescriptorsWaitForRoom) {
    QUdpSocket receiver;
    ASSERT_TRUE(receiver.bind(QHostAddress::LocalHost));
    const std::vector<Endpoint> six(6, Endpoint{"127.0.0.1", receiver.localPort()});
    {
        const testing::DescriptorLimit limit(DescriptorReserve::spare + 3);  // room for three sockets
        udp_.set_targets(six);
        for (int t = 1; t <= 2; ++t) {
            EXPECT_EQ(udp_.send(tick_bytes(t)).note,
                      "  [UDP: 3 destinazioni senza socket: troppi file aperti dal programma]");
        }
        EXPECT_EQ(udp_.targets()[3].failure, "troppi file aperti dal programma");
    }
    EXPECT_EQ(udp_.send(tick_bytes(3)).note, "");
    int received = 0;
    while (received < 3 + 3 + 6 && run_until([&] { return receiver.hasPendingDatagrams(); })) {
        receiver.receiveDatagram();
        ++received;
    }
    EXPECT_EQ(received, 12);
    for (const auto& target : udp_.targets()) EXPECT_EQ(target.failure, "") << target.target;
    std::vector<std::string> said;  // of all the targets together
    std::copy_if(events_.begin(), events_.end(), std::back_inserter(said),
                 [](const std::string& e) { return e.rfind("UDP: ", 0) == 0; });
    EXPECT_EQ(said, (std::vector<std::string>{"UDP: 3 destinazioni senza socket: troppi file aperti dal programma (ne "
                                              "restano liberi 16 per i file del programma)",
                                              "UDP: ogni destinazione ha di nuovo il suo socket"}));
}

TEST(OpenFiles, TheSoftLimitIsRaisedToTheHardOne) {
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max < 2) GTEST_SKIP() << "no finite hard limit";
    rlimit lowered = limit;
    lowered.rlim_cur = limit.rlim_max / 2;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    EXPECT_EQ(raise_open_file_limit(), static_cast<long>(limit.rlim_max));
}

}  // namespace
}  // namespace vadrel
