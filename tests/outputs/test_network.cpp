// The network outputs on real sockets on the loopback: the texts of their
// addresses, the TCP server with clients that read, pause, talk, half-close
// or reset, the UDP targets (their shared sockets, and each failure given to
// its own target, also on a fake socket), both beside the serial port in the
// fan-out, each vehicle's stream, and the outgoing TCP connection with servers that
// go away, never read, or never answer. The time limits run on a clock the
// test moves.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>

#include <QNetworkDatagram>
#include <QTcpServer>
#include <QUdpSocket>
#include <algorithm>
#include <functional>
#include <map>
#include <optional>

#include "loopback.h"
#include "outputs/datagram_socket.h"
#include "os/descriptor_reserve.h"
#include "os/open_files.h"
#include "outputs/network_address.h"
#include "outputs/network_outputs.h"
#include "outputs/tcp_output.h"
#include "outputs/tcp_sender.h"
#include "outputs/udp_listener.h"
#include "outputs/udp_output.h"
#include "outputs/vehicle_streams.h"
#include "support/descriptor_limit.h"
#include "support/scratch_folder.h"

namespace vadrel::testing {
namespace {

using namespace std::chrono_literals;

class Network : public OnTheLoopback {
protected:
    TcpOutput tcp_{clock()};
    UdpOutput udp_{resolver_, clock()};

    void SetUp() override {
        heard(tcp_);
        heard(udp_);
    }
    // Tick t's bytes, one second after the last.
    OutputSink::Result tick(int t, std::size_t size = 80) {
        now_ += 1s;
        return tcp_.send(tick_bytes(t, size));
    }
    bool accepted(std::size_t clients) {
        return run_until([&] { return tcp_.client_count() == clients; });
    }
};

// Sends from `client` all it can, the event loop running, until
// `done(bytes pushed)` or 10 s; the bytes pushed.
std::size_t push_until(const Descriptor& client, const std::function<bool(std::size_t)>& done) {
    const std::string chunk(4096, 'z');
    std::size_t pushed = 0;
    run_until([&] {
        for (ssize_t n; (n = ::send(client.get(), chunk.data(), chunk.size(), MSG_DONTWAIT)) > 0;) {
            pushed += static_cast<std::size_t>(n);
        }
        return done(pushed);
    });
    return pushed;
}

// A name with IPv4 and IPv6 addresses (localhost on Debian: ::1 first) is
// sent to over IPv4, whichever order the resolver gives; IPv6 only when the
// name has nothing else.
TEST(NetworkAddress, ANameWithBothFamiliesIsReachedOverIPv4) {
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"::1", "127.0.0.1"}, "127.0.0.1"},
        {{"fe80::1", "2001:db8::1", "192.0.2.7", "192.0.2.8"}, "192.0.2.7"},
        {{"::ffff:192.0.2.9", "::1"}, "::ffff:192.0.2.9"},
        {{"2001:db8::1", "::1"}, "2001:db8::1"},
        {{}, ""},
    };
    for (const auto& [addresses, expected] : rows) EXPECT_EQ(preferred_address(addresses), expected) << expected;
}

TEST(NetworkAddress, ListenAddressesAndTargetsAsTheOperatorWritesThem) {
    const std::tuple<bool, const char*, const char*> rows[] = {
        // a UDP target (else the TCP server's address), the text, the endpoint or a piece of the message
        {false, "10110", "127.0.0.1:10110"},
        {false, "0.0.0.0:10110", "0.0.0.0:10110"},
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
        {true, "[ff02::1]:10110", "[ff02::1]:10110"},
        {true, "plotter.local:10110", "plotter.local:10110"},
        {true, "plotter.local:0", "la porta va da 1"},
        {true, "10110", "manca :PORTA"},
        {true, ":10110", "non è un indirizzo IP né un nome"},
        {true, "a..b:10110", "non è un indirizzo IP né un nome"},
        {true, "plot ter:10110", "non è un indirizzo IP né un nome"},
    };
    for (const auto& [target, text, result] : rows) {
        const auto parsed = target ? parse_target(text) : parse_listen_address(text);
        const auto* endpoint = std::get_if<Endpoint>(&parsed);
        const std::string got = endpoint ? endpoint->text() : std::get<std::string>(parsed);
        EXPECT_NE(got.find(result), std::string::npos) << text << " -> " << got;
    }
}

// The texts of [uscite] checked at start-up as the outputs check them: a bad
// address leaves the server off, a bad target is left out; each is named.
TEST(NetworkAddress, TheSettingsFilesAddressAndTargetsAreCheckedAndNamed) {
    ScratchFolder folder;
    folder.put("vadrel.ini", "[uscite]\ntcp=true\ntcp_indirizzo=plotter\nudp=true\n"
                             "udp_destinazioni=10.0.0.255:99999, 10.0.0.255:10110\n");
    ProgramFolder place(folder.path());
    const auto [read, problems] = read_network_settings(SettingsFile(place));
    EXPECT_FALSE(read.tcp);
    EXPECT_EQ(read.udp_targets, std::vector<std::string>{"10.0.0.255:10110"});
    const std::string where = folder.at("vadrel.ini") + ": [uscite] ";
    EXPECT_EQ(problems, (std::vector<std::string>{
                            where + "tcp_indirizzo: \"plotter\" non è un indirizzo IP di questo computer (per esempio "
                                    "127.0.0.1, 0.0.0.0 o [::])",
                            where + "udp_destinazioni: la porta va da 1 a 65535, non \"99999\""}));
}

// On [::] both IPv6 and IPv4 clients come in, and from the tick after it
// connects every client gets every tick's bytes, whole and nothing else. One
// client more than the maximum is closed at once and counted. (The same on
// 127.0.0.1 with 200 clients: integration.network, room_of_clients.)
TEST_F(Network, EveryClientGetsEachTicksBytesFromTheTickAfterItConnects) {
    tcp_.start(Endpoint{"::", 0}, 3);
    ASSERT_TRUE(tcp_.listening()) << tcp_.failure();
    const std::string port = tcp_.address().substr(tcp_.address().rfind(':'));
    EXPECT_EQ(tcp_.address(), "[::]" + port);
    const Descriptor v4 = client_of("127.0.0.1" + port), v6 = client_of("[::1]" + port);
    ASSERT_TRUE(accepted(2));
    tick(1);
    const Descriptor third = client_of("127.0.0.1" + port);
    ASSERT_TRUE(accepted(3));
    const Descriptor refused = client_of("127.0.0.1" + port);
    ASSERT_TRUE(run_until([&] { return tcp_.refused() == 1; }));
    tcp_.start(Endpoint{"::", 0}, 3);  // the same address again: the server and its clients stay
    EXPECT_EQ(tick(2).note, "");

    const std::string both = tick_bytes(1) + tick_bytes(2);
    EXPECT_EQ(read_bytes(v4.get(), both.size()) + read_bytes(v6.get(), both.size()), both + both);
    EXPECT_EQ(read_bytes(third.get(), tick_bytes(2).size()), tick_bytes(2));
    EXPECT_EQ(read_to_end(refused), "");
    tcp_.stop();
    for (const Descriptor* client : {&v4, &v6, &third}) EXPECT_EQ(read_to_end(*client), "") << "stop closes it";
}

// A client that stops reading is skipped, counted, while its queue holds
// anything. Reading slowly, less than the ticks bring, keeps it; 30 s after
// its queue last emptied it is closed. What it got is whole ticks. (The
// clients beside it get every tick all along: integration.network,
// room_of_clients.)
TEST_F(Network, AClientThatDoesNotReadIsSkippedThenClosedAfterThirtySeconds) {
    tcp_.start(Endpoint{"127.0.0.1", 0}, 64);
    const Descriptor sleeper = client_of(tcp_.address(), 1);  // the smallest receive buffer: it fills in a few ticks
    ASSERT_TRUE(accepted(1));
    const std::size_t size = 1500;
    std::string read_by_sleeper, first_note;
    int ticks = 0;
    while (tcp_.client_count() == 1 && ticks < 200) {
        const std::string note = tick(++ticks, size).note;
        if (first_note.empty()) first_note = note;
        // skipped since the 5th tick: it reads a little for 40 s, then no more
        if (ticks >= 5 && ticks < 45) read_by_sleeper += read_bytes(sleeper.get(), 200, 0);
    }
    EXPECT_EQ(first_note, "  [TCP: saltati 1 client]");
    EXPECT_GT(tcp_.skipped(), 30) << "the slow reader is skipped, not closed";
    EXPECT_EQ(tcp_.idle_closed(), 1);
    EXPECT_TRUE(ticks - 45 == 29 || ticks - 45 == 30) << ticks << ": closed 30 s after its queue last emptied";
    read_by_sleeper += read_to_end(sleeper);
    EXPECT_EQ(read_by_sleeper.size() % size, 0u) << "only whole ticks";
    EXPECT_NE(events_.back().find("non legge da 30 s"), std::string::npos) << events_.back();
}

// A client that talks is read and ignored, up to 64 KB a tick: each tick
// the server reads on, and the tick never waits for it.
TEST_F(Network, ATalkingClientIsReadAndIgnored) {
    tcp_.start(Endpoint{"127.0.0.1", 0}, 64);
    const Descriptor talker = client_of(tcp_.address(), 0, 4096);
    ASSERT_TRUE(accepted(1));
    std::string expected;
    for (int t = 1; t <= 3; ++t) {
        expected += tick_bytes(t);
        tick(t);
        EXPECT_GE(push_until(talker, [](std::size_t n) { return n >= 60 * 1024; }), 60u * 1024) << "tick " << t;
    }
    EXPECT_EQ(read_bytes(talker.get(), expected.size()), expected);
    EXPECT_EQ(tcp_.skipped(), 0);
}

// The events of what the loopback holds already, handled.
void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

// Sends lines of 100 bytes from `client` without pause, the event loop
// running, until 8 KB more than a second's share have gone.
void flood_lines(const Descriptor& client) {
    std::string lines;
    for (int i = 0; i < 40; ++i) lines += std::string(98, 'x') + "\r\n";
    std::size_t pushed = 0, offset = 0;
    run_until([&] {
        for (ssize_t n; (n = ::send(client.get(), lines.data() + offset, lines.size() - offset, MSG_DONTWAIT)) > 0;) {
            pushed += static_cast<std::size_t>(n);
            offset = (offset + static_cast<std::size_t>(n)) % lines.size();
        }
        return pushed >= TcpOutput::read_budget + 8192;
    });
}

// Takes the lines a peer sends, while it wants them.
struct HeardLines final : LineListener {
    bool wanted = true;
    std::vector<std::pair<std::string, std::string>> lines;  // text, source
    mutable int asked = 0;  // each read asks once
    bool wants_lines() const override {
        ++asked;
        return wanted;
    }
    void line(std::string_view text, std::string_view source) override { lines.emplace_back(text, source); }
};

// What a client sends reaches the line listener as whole lines, whatever
// pieces it came in, named by the client; not while the listener wants
// none (a line begun then is dropped whole), and at most 64 KB a tick of a
// client that floods.
TEST_F(Network, AClientsLinesReachTheListenerWhileItWantsThem) {
    HeardLines heard;
    tcp_.set_lines(&heard);
    tcp_.start(Endpoint{"127.0.0.1", 0}, 64);
    const Descriptor plotter = client_of(tcp_.address());
    ASSERT_TRUE(accepted(1));
    const std::string source = "tcp " + tcp_.clients().front().peer;
    const auto say = [&](const std::string& bytes) {
        ASSERT_EQ(::send(plotter.get(), bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    };
    say("$GPAPB,1*00\r\n$GPA");
    say("PB,2*00\r\n");
    ASSERT_TRUE(run_until([&] { return heard.lines.size() == 2; }));
    EXPECT_EQ(heard.lines[0], std::make_pair(std::string("$GPAPB,1*00"), source));
    EXPECT_EQ(heard.lines[1].first, "$GPAPB,2*00");

    heard.wanted = false;
    const int asked = heard.asked;
    say("$GPAPB,3*00\r\n$GPAPB,half");
    ASSERT_TRUE(run_until([&] { return heard.asked > asked; }));
    heard.wanted = true;
    tick(1);
    say("-line*00\r\n$GPAPB,4*00\r\n");
    ASSERT_TRUE(run_until([&] { return heard.lines.size() == 3; }));
    EXPECT_EQ(heard.lines[2].first, "$GPAPB,4*00") << "nothing of what came while it wanted none, nor its rest";

    // Lines of 100 bytes without pause: 655 and a piece of them a tick.
    heard.lines.clear();
    flood_lines(plotter);
    ASSERT_TRUE(run_until([&] { return heard.lines.size() >= TcpOutput::read_budget / 100; }));
    settle();
    EXPECT_EQ(heard.lines.size(), TcpOutput::read_budget / 100) << "64 KB a tick";
    tick(2);
    ASSERT_TRUE(run_until([&] { return heard.lines.size() > TcpOutput::read_budget / 100; })) << "the next tick reads on";
    tcp_.set_lines(nullptr);
}

// A client that floods is read 64 KB a real second whatever the rate of the
// simulated clock: at x10 the ten ticks of a real second read no more than
// the one tick at x1, and the tick a second after the share began reads on.
TEST_F(Network, AFloodingClientIsRead64KBARealSecondAtAnyClockRate) {
    HeardLines heard;
    tcp_.set_lines(&heard);
    for (const int rate : {1, 10}) {
        tcp_.start(Endpoint{"127.0.0.1", 0}, 64);
        const Descriptor plotter = client_of(tcp_.address());
        ASSERT_TRUE(accepted(1)) << rate;
        heard.lines.clear();
        flood_lines(plotter);
        const std::size_t share = TcpOutput::read_budget / 100;  // whole lines of 100 bytes in 64 KB
        ASSERT_TRUE(run_until([&] { return heard.lines.size() >= share; })) << rate;
        const auto tick_every = std::chrono::milliseconds(1000 / rate);
        for (int t = 1; t < rate; ++t) {
            now_ += tick_every;
            tcp_.send(tick_bytes(t));
            settle();
            EXPECT_EQ(heard.lines.size(), share) << "x" << rate << ", tick " << t << " within the real second";
        }
        now_ += tick_every;
        tcp_.send(tick_bytes(rate));
        EXPECT_TRUE(run_until([&] { return heard.lines.size() > share; })) << "x" << rate << ": a second on, it reads on";
        tcp_.stop();
    }
    tcp_.set_lines(nullptr);
}

// Datagrams to the UDP listener: each one or more lines, its last without a
// line end too, named by the sender; a flood read 64 KB a real second, the
// rest left waiting for the next, however many ticks come in between.
TEST_F(Network, TheUdpListenerGivesEachDatagramsLinesAndReads64KBASecond) {
    HeardLines heard;
    UdpListener listener{clock()};
    listener.set_lines(&heard);
    ASSERT_EQ(listener.start(Endpoint{"127.0.0.1", 0}), "");
    ASSERT_TRUE(listener.listening());
    QUdpSocket plotter;
    ASSERT_TRUE(plotter.bind(QHostAddress::LocalHost, 0));
    const std::string source = "udp 127.0.0.1:" + std::to_string(plotter.localPort());
    const auto port = static_cast<quint16>(std::stoi(listener.address().substr(listener.address().rfind(':') + 1)));
    plotter.writeDatagram(QByteArray("$L1*00\r\n$L2*00"), QHostAddress::LocalHost, port);
    plotter.writeDatagram(QByteArray("$L3*00\n"), QHostAddress::LocalHost, port);
    ASSERT_TRUE(run_until([&] { return heard.lines.size() == 3; }));
    EXPECT_EQ(heard.lines[1], std::make_pair(std::string("$L2*00"), source));
    EXPECT_EQ(heard.lines[2].first, "$L3*00");

    // 70 datagrams of 1000 bytes (what the kernel's buffer holds), five lines each: 21 bytes of this second
    // are gone, so 66 are read (the 66th begun within the 64 KB), the rest
    // at the next second.
    heard.lines.clear();
    QByteArray five_lines;
    for (int i = 0; i < 5; ++i) five_lines += QByteArray(199, 'k') + '\n';
    for (int i = 0; i < 70; ++i) plotter.writeDatagram(five_lines, QHostAddress::LocalHost, port);
    ASSERT_TRUE(run_until([&] { return listener.datagrams() == 68; }));
    settle();
    EXPECT_EQ(listener.datagrams(), 68);
    EXPECT_EQ(heard.lines.size(), 66u * 5);
    now_ += 900ms;
    listener.next_second();
    EXPECT_EQ(listener.datagrams(), 68) << "a tick at x10: the share is not a real second old";
    now_ += 100ms;
    listener.next_second();
    EXPECT_EQ(listener.datagrams(), 72);
    EXPECT_EQ(heard.lines.size(), 70u * 5);
    UdpListener second;
    EXPECT_NE(second.start(Endpoint{"127.0.0.1", port}), "") << "a port in use is said";
}

// A client that resets is closed as soon as its socket says so, with no tick
// in between: its place goes to the next client, and the socket, which
// reports its hang-up at every wait, no longer wakes the program; so is one
// that resets after sending more than the 64 KB a tick reads from it, its
// socket no longer watched. (One that reads and closes, known gone when the
// next tick draws its reset: integration.network, clients_that_leave.)
TEST_F(Network, AClientThatResetsIsClosedAtOnceAndItsPlaceGoesToTheNext) {
    for (const bool talks : {false, true}) {
        tcp_.start(Endpoint{"127.0.0.1", 0}, 2);
        const Descriptor stays = client_of(tcp_.address());  // half-closed: it still reads
        Descriptor leaves = client_of(tcp_.address(), 0, 4096);
        ::shutdown(stays.get(), SHUT_WR);
        ASSERT_TRUE(accepted(2)) << talks;
        tick(1);
        EXPECT_EQ(read_bytes(leaves.get(), tick_bytes(1).size()), tick_bytes(1)) << talks;
        // Until the server stops reading this second.
        const auto unread = [before = std::size_t{1}](std::size_t n) mutable { return std::exchange(before, n) == n; };
        EXPECT_TRUE(!talks || push_until(leaves, unread) > TcpOutput::read_budget);
        reset(leaves);
        EXPECT_TRUE(run_until([&] { return tcp_.client_count() == 1; })) << talks;
        const Descriptor next = client_of(tcp_.address());
        EXPECT_TRUE(accepted(2)) << talks;
        EXPECT_EQ(tick(2).note, "") << talks;
        EXPECT_EQ(read_bytes(next.get(), tick_bytes(2).size()), tick_bytes(2)) << talks;
        EXPECT_EQ(tcp_.refused(), 0) << talks;
        tcp_.stop();
    }
}

// A port in use: said once in Italian, shown on each tick's monitor line,
// tried again at each tick. (A second program on the port, its serial port
// running on: integration.network, mistakes.)
TEST_F(Network, AnAddressInUseIsReportedAndTriedAgainAtEachTick) {
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress::LocalHost));
    tcp_.start(Endpoint{"127.0.0.1", squatter.serverPort()}, 64);
    const std::string where = "TCP 127.0.0.1:" + std::to_string(squatter.serverPort());
    const std::string why = "indirizzo già in uso (un altro programma ascolta su questa porta)";
    for (int t = 1; t <= 2; ++t) EXPECT_EQ(tick(t).note, "  [" + where + ": " + why + "]") << t;
    EXPECT_EQ(told(where + " non attivo: " + why), 1);
    squatter.close();
    EXPECT_EQ(tick(3).note, "");
    EXPECT_TRUE(tcp_.listening());
}

// With no descriptor left at all a client waits in the backlog, said once,
// and is taken at the next tick once there is room again. (One whose
// descriptor would leave fewer than the spare ones is refused, said once:
// integration.network, out_of_descriptors.)
TEST_F(Network, WithNoDescriptorLeftAClientWaitsForTheNextTick) {
    tcp_.start(Endpoint{"127.0.0.1", 0}, 64);
    std::optional<DescriptorLimit> limit(std::in_place, 1);  // the client's end, nothing for the server's
    const Descriptor waiting = client_of(tcp_.address());
    const std::string full = "TCP: impossibile accettare altri client: troppi file aperti dal programma";
    const bool said = run_until([&] { return told(full) > 0; });
    limit.reset();
    EXPECT_TRUE(said) << ::testing::PrintToString(events_);
    EXPECT_EQ(std::pair(told(full), tcp_.client_count()), std::pair(1L, std::size_t{0}));
    tick(1);
    ASSERT_TRUE(accepted(1));
    tick(2);
    EXPECT_EQ(read_bytes(waiting.get(), tick_bytes(2).size()), tick_bytes(2));
}

// Each tick's datagram to an IPv6 target and to a broadcast address (which
// needs SO_BROADCAST); a name that is not found is said, and the others go
// on. (An IPv4 target and a name: integration.network, room_of_clients and
// named_target.)
TEST_F(Network, EachTargetGetsEachTicksDatagram) {
    QUdpSocket v6, broadcast;
    ASSERT_TRUE(v6.bind(QHostAddress::LocalHostIPv6) && broadcast.bind(QHostAddress::AnyIPv4));
    udp_.set_targets({{"::1", v6.localPort()},
                      {"127.255.255.255", broadcast.localPort()},
                      {"nessun-computer.invalid", 10110}});
    // The name's answer is taken at a tick, however many ticks it takes.
    ASSERT_TRUE(run_until([&] { return udp_.send(tick_bytes(0)).note.find("nome sconosciuto") != std::string::npos; }));
    for (QUdpSocket* socket : {&v6, &broadcast}) {
        while (socket->hasPendingDatagrams()) socket->receiveDatagram();
    }
    for (int t = 1; t <= 2; ++t) {
        EXPECT_EQ(udp_.send(tick_bytes(t)).note, "  [UDP nessun-computer.invalid:10110: nome sconosciuto]");
        for (QUdpSocket* socket : {&v6, &broadcast}) {
            ASSERT_TRUE(run_until([&] { return socket->hasPendingDatagrams(); })) << t;
            EXPECT_EQ(socket->receiveDatagram().data().toStdString(), tick_bytes(t));
        }
    }
    // A lookup left behind ends alone.
    udp_.set_targets({{"localhost", 10110}});
    udp_.set_targets({});
    EXPECT_TRUE(run_until([&] { return resolver_.under_way() == 0; }));
}

// The IPv4 targets share one socket and the IPv6 ones another; where the
// second would leave fewer than the spare descriptors, the IPv6 targets have
// none: said together and once, shown on the monitor line as one note; they
// get it at the first tick with room again.
TEST_F(Network, TargetsThatWouldLeaveTheProgramShortOfDescriptorsWaitForRoom) {
    QUdpSocket v4, v6;
    ASSERT_TRUE(v4.bind(QHostAddress::LocalHost) && v6.bind(QHostAddress::LocalHostIPv6));
    std::vector<Endpoint> targets(3, Endpoint{"127.0.0.1", v4.localPort()});
    targets.resize(6, Endpoint{"::1", v6.localPort()});
    {
        const DescriptorLimit limit(DescriptorReserve::spare + 1);  // room for one socket
        udp_.set_targets(targets);
        for (int t = 1; t <= 2; ++t) {
            EXPECT_EQ(udp_.send(tick_bytes(t)).note,
                      "  [UDP: 3 destinazioni senza socket: troppi file aperti dal programma]");
        }
        EXPECT_EQ(udp_.targets()[3].failure, "troppi file aperti dal programma");
    }
    EXPECT_EQ(udp_.send(tick_bytes(3)).note, "");
    for (const auto& [socket, expected] : {std::pair{&v4, 3 + 3 + 3}, std::pair{&v6, 3}}) {
        int received = 0;
        for (; received < expected && run_until([&] { return socket->hasPendingDatagrams(); }); ++received)
            socket->receiveDatagram();
        EXPECT_EQ(received, expected);
        EXPECT_FALSE(socket->hasPendingDatagrams()) << "more than " << expected;  // the loopback delivers at once
    }
    for (const auto& target : udp_.targets()) EXPECT_EQ(target.failure, "") << target.target;
    EXPECT_EQ(told("UDP: 3 destinazioni senza socket: troppi file aperti dal programma (ne restano liberi 16 per i "
                   "file del programma)"),
              1);
    EXPECT_EQ(told("UDP: ogni destinazione ha di nuovo il suo socket"), 1);
}

// How many descriptors the process holds.
std::size_t open_descriptors() {
    std::size_t count = 0;
    for (int fd = 0; fd < 65536; ++fd) count += ::fcntl(fd, F_GETFD) != -1;
    return count;
}

// A port of the loopback nobody listens on (bound, then let go).
std::uint16_t closed_port(const QHostAddress& address) {
    QUdpSocket probe;
    return probe.bind(address) ? probe.localPort() : 0;
}

// On real sockets: a thousand targets of each family hold one socket each;
// a target on a port nobody listens on hears "rifiutato" from the network,
// and neither the target sent to before it nor the one after does, whatever
// the order, in each family. The refusal shows on the monitor line while it
// lasts.
TEST_F(Network, ARefusalIsTheFailureOfTheTargetRefusedAlone) {
    // the loopback address, then for each order: whether the refused target comes first
    for (const QHostAddress& loopback : {QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)}) {
        for (const bool refused_first : {true, false}) {
            const std::string row = loopback.toString().toStdString() + (refused_first ? ", refused first" : ", refused last");
            QUdpSocket before, after;
            ASSERT_TRUE(before.bind(loopback) && after.bind(loopback)) << row;
            const std::uint16_t closed = closed_port(loopback);
            const std::string host = loopback.toString().toStdString();
            std::vector<Endpoint> targets{{host, before.localPort()}, {host, closed}, {host, after.localPort()}};
            if (refused_first) std::swap(targets[0], targets[1]);
            const std::size_t refused = refused_first ? 0 : 1;
            const std::size_t held = open_descriptors();
            udp_.set_targets(targets);
            EXPECT_LE(open_descriptors(), held + 1) << row;
            const Endpoint& closed_target = targets[refused];
            const std::string refusal = "  [UDP " + closed_target.text() + ": rifiutato dalla destinazione]";
            // The refusal comes back within the tick on the loopback, or by a
            // later one on a busy machine: three ticks at least.
            int ticks = 0;
            std::string note;
            EXPECT_TRUE(run_until([&] {
                now_ += 1s;
                note = udp_.send(tick_bytes(++ticks)).note;
                return ticks >= 3 && note == refusal;
            })) << row << ": " << note;
            for (QUdpSocket* listener : {&before, &after}) {
                for (int t = 1; t <= ticks; ++t) {
                    const bool came = listener->hasPendingDatagrams() || listener->waitForReadyRead(2000);
                    ASSERT_TRUE(came) << row << ": tick " << t << " of " << ticks << " did not come";
                    EXPECT_EQ(listener->receiveDatagram().data().toStdString(), tick_bytes(t)) << row;
                }
            }
            const auto views = udp_.targets();
            for (std::size_t i = 0; i < views.size(); ++i) {
                EXPECT_EQ(views[i].failure, i == refused ? "rifiutato dalla destinazione" : "") << row << ": " << views[i].target;
                EXPECT_EQ(views[i].sent, ticks) << row << ": " << views[i].target;
            }
            EXPECT_EQ(told("UDP verso " + closed_target.text() + ": rifiutato dalla destinazione"), 1) << row;
            udp_.set_targets({});
            EXPECT_EQ(open_descriptors(), held) << row << ": no target, no socket";
        }
    }
    const std::size_t held = open_descriptors();
    std::vector<Endpoint> thousand(1000, Endpoint{"127.0.0.1", 9});
    thousand.resize(2000, Endpoint{"::1", 9});
    udp_.set_targets(thousand);
    EXPECT_EQ(open_descriptors(), held + 2);
}

// A socket of one family as the system keeps one: a destination in
// `answered` takes the datagram and the network answers later with that
// error, which the next send to any destination returns until the answer
// is read; a destination in `refused` is refused at once.
struct FakeNetwork {
    std::map<std::string, int> refused;
    std::map<std::string, int> answered;
    std::map<std::string, int> delivered;
    int sockets = 0;
};

std::string text_of(const SocketAddress& address) {
    char host[INET6_ADDRSTRLEN] = "";
    const bool v6 = address.family() == AF_INET6;
    const auto& in = reinterpret_cast<const sockaddr_in&>(address.storage);
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address.storage);
    ::inet_ntop(address.family(), v6 ? static_cast<const void*>(&in6.sin6_addr) : &in.sin_addr, host, sizeof host);
    return Endpoint{host, ntohs(v6 ? in6.sin6_port : in.sin_port)}.text();
}

class FakeSocket final : public DatagramSocket {
public:
    explicit FakeSocket(FakeNetwork& network) : network_(network) {}
    int send_to(const SocketAddress& to, std::string_view) override {
        if (pending_ != 0) return std::exchange(pending_, 0);
        const std::string where = text_of(to);
        if (const auto found = network_.refused.find(where); found != network_.refused.end()) return found->second;
        ++network_.delivered[where];
        if (const auto found = network_.answered.find(where); found != network_.answered.end()) {
            queue_.push_back({to, found->second});
            pending_ = found->second;
        }
        return 0;
    }
    std::vector<Report> take_reports() override {
        pending_ = 0;
        return std::exchange(queue_, {});
    }

private:
    FakeNetwork& network_;
    int pending_ = 0;
    std::vector<Report> queue_;
};

class SharedSocket : public OnTheLoopback {
protected:
    FakeNetwork network_;
    UdpOutput udp_{resolver_, clock(), [this](int) {
                       ++network_.sockets;
                       return OpenedSocket{std::make_unique<FakeSocket>(network_), 0};
                   }};
    void SetUp() override { heard(udp_); }
};

// Each failure goes to the target it concerns, on a network that answers
// at once (the loopback) or late; after two ticks.
TEST_F(SharedSocket, EachFailureGoesToItsOwnTarget) {
    struct Row {
        const char* name;
        std::vector<Endpoint> targets;
        std::map<std::string, int> refused, answered;  // what the network does with each destination
        std::vector<const char*> failures;             // each target's
        std::vector<long long> sent, skipped;          // each target's datagrams
        std::map<std::string, int> delivered;          // the datagrams each destination got
    };
    const Endpoint a{"10.0.0.1", 1}, b{"10.0.0.2", 2}, c{"10.0.0.3", 3}, v6{"2001:db8::1", 1};
    const std::string refused = "rifiutato dalla destinazione";
    const Row rows[] = {
        {"refused first", {a, b}, {}, {{"10.0.0.1:1", ECONNREFUSED}}, {refused.c_str(), ""}, {2, 2}, {0, 0},
         {{"10.0.0.1:1", 2}, {"10.0.0.2:2", 2}}},
        {"refused last", {b, a}, {}, {{"10.0.0.1:1", ECONNREFUSED}}, {"", refused.c_str()}, {2, 2}, {0, 0},
         {{"10.0.0.1:1", 2}, {"10.0.0.2:2", 2}}},
        {"two answers around a good one", {a, b, c}, {}, {{"10.0.0.1:1", ECONNREFUSED}, {"10.0.0.3:3", EHOSTUNREACH}},
         {refused.c_str(), "", "destinazione irraggiungibile"}, {2, 2, 2}, {0, 0, 0},
         {{"10.0.0.1:1", 2}, {"10.0.0.2:2", 2}, {"10.0.0.3:3", 2}}},
        {"refused at once", {a, b}, {{"10.0.0.1:1", ENETUNREACH}}, {}, {"rete irraggiungibile", ""}, {0, 2}, {0, 0},
         {{"10.0.0.2:2", 2}}},
        {"a full buffer skips", {a, b}, {{"10.0.0.1:1", EAGAIN}}, {}, {"", ""}, {0, 2}, {2, 0}, {{"10.0.0.2:2", 2}}},
        {"the same target twice", {a, a, b}, {}, {{"10.0.0.1:1", ECONNREFUSED}}, {refused.c_str(), refused.c_str(), ""},
         {2, 2, 2}, {0, 0, 0}, {{"10.0.0.1:1", 4}, {"10.0.0.2:2", 2}}},
        {"the families apart", {v6, a}, {}, {{"[2001:db8::1]:1", ECONNREFUSED}}, {refused.c_str(), ""}, {2, 2}, {0, 0},
         {{"[2001:db8::1]:1", 2}, {"10.0.0.1:1", 2}}},
    };
    for (const Row& row : rows) {
        network_ = FakeNetwork{row.refused, row.answered, {}, 0};
        udp_.set_targets(row.targets);
        for (int t = 1; t <= 2; ++t) {
            now_ += 1s;
            udp_.send(tick_bytes(t));
        }
        const auto views = udp_.targets();
        for (std::size_t i = 0; i < views.size(); ++i) {
            EXPECT_EQ(views[i].failure, row.failures[i]) << row.name << ": " << views[i].target;
            EXPECT_EQ(std::pair(views[i].sent, views[i].skipped), std::pair(row.sent[i], row.skipped[i]))
                << row.name << ": " << views[i].target;
        }
        EXPECT_EQ(network_.delivered, row.delivered) << row.name;
        udp_.set_targets({});
    }
}

// A refusal holds while the network keeps answering, and for five seconds
// after its last answer: said once, and its end once.
TEST_F(SharedSocket, ARefusalEndsFiveSecondsAfterTheLastAnswer) {
    network_.answered = {{"10.0.0.1:1", ECONNREFUSED}};
    udp_.set_targets({{"10.0.0.1", 1}, {"10.0.0.2", 2}});
    std::vector<std::string> notes;
    for (int t = 1; t <= 9; ++t) {
        if (t == 4) network_.answered.clear();  // someone listens from tick 4
        now_ += 1s;
        notes.push_back(udp_.send(tick_bytes(t)).note);
    }
    const std::string refused = "  [UDP 10.0.0.1:1: rifiutato dalla destinazione]";
    EXPECT_EQ(notes, (std::vector<std::string>{refused, refused, refused, refused, refused, refused, refused, "", ""}));
    EXPECT_EQ(told("UDP verso 10.0.0.1:1: rifiutato dalla destinazione"), 1);
    EXPECT_EQ(told("UDP verso 10.0.0.1:1 di nuovo raggiungibile"), 1);
    EXPECT_EQ(network_.sockets, 1);
}

// A base whose 21 ports nobody listens on now.
int free_base() {
    for (int base = 20000 + static_cast<int>(::getpid() % 400) * 21; base < 60000; base += 21 * 7) {
        bool free = true;
        for (int k = 0; k < static_cast<int>(stream_ports) && free; ++k) {
            const Descriptor probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
            sockaddr_in address{AF_INET, htons(static_cast<std::uint16_t>(base + k)), {htonl(INADDR_LOOPBACK)}, {}};
            free = ::bind(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        }
        if (free) return base;
    }
    return 0;
}

Descriptor client_of(int port) { return testing::client_of("127.0.0.1:" + std::to_string(port)); }

class Streams : public OnTheLoopback {
protected:
    VehicleStreams streams_{resolver_, clock()};

    Streams() { heard(streams_); }
    // One tick: vehicles 0 .. in_use - 1, each its own line.
    void tick(int t, std::size_t in_use) {
        now_ += 1s;
        std::vector<std::optional<std::string>> bytes(21);
        for (std::size_t n = 0; n < in_use; ++n) bytes[n] = line(t, n);
        streams_.send(bytes);
    }
    static std::string line(int t, std::size_t n) {
        return "$GPRMC,mezzo" + std::to_string(n) + ",secondo" + std::to_string(t) + "\r\n";
    }
};

// A vehicle out of use closes its port, and its client hears the end; off,
// every port closes. (A client of port BASE + k sees only vehicle k, and
// nobody listens for a vehicle not in use: integration.streams, per_vehicle.)
TEST_F(Streams, AVehicleOutOfUseClosesItsPort) {
    const int base = free_base();
    ASSERT_NE(base, 0);
    streams_.listen(Endpoint{"127.0.0.1", static_cast<std::uint16_t>(base)}, 4);
    tick(1, 3);  // the servers listen from the first tick
    EXPECT_EQ(streams_.port_of(2), base + 2);
    const Descriptor first = client_of(base + 1), last = client_of(base + 2);
    ASSERT_TRUE(run_until([&] { return streams_.server(1)->client_count() + streams_.server(2)->client_count() > 1; }));
    // "Numero di mezzi mobili" down to 2
    tick(2, 2);
    EXPECT_EQ(read_bytes(last.get(), 1), "");
    EXPECT_FALSE(client_of(base + 2).valid());
    EXPECT_EQ(read_bytes(first.get(), line(2, 1).size()), line(2, 1));
    streams_.listen(std::nullopt, 4);
    tick(3, 2);
    EXPECT_FALSE(streams_.on());
    EXPECT_FALSE(client_of(base).valid());
    EXPECT_EQ(streams_.port_of(0), std::nullopt);
}

// A vehicle's port another program holds: said behind the vehicle, and no
// port reported for it while it cannot listen; the others go on.
TEST_F(Streams, APortAnotherProgramHoldsIsSaidAndNotReported) {
    const int base = free_base();
    ASSERT_NE(base, 0);
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::LocalHost, static_cast<quint16>(base + 1)));
    streams_.listen(Endpoint{"127.0.0.1", static_cast<std::uint16_t>(base)}, 4);
    tick(1, 3);
    EXPECT_EQ(std::tuple(streams_.port_of(0), streams_.port_of(1), streams_.port_of(2)),
              std::tuple(std::optional(base), std::optional<int>(), std::optional(base + 2)));
    EXPECT_NE(streams_.failure_of(1).find("un altro programma ascolta su questa porta"), std::string::npos);
    EXPECT_EQ(streams_.failure_of(0), "");
    EXPECT_EQ(told("mezzo 1: TCP 127.0.0.1:" + std::to_string(base + 1) + " non attivo: " + streams_.failure_of(1)), 1);
    // On every monitor line while it lasts.
    EXPECT_EQ(streams_.note(), "  [mezzo 1: TCP 127.0.0.1:" + std::to_string(base + 1) + ": " + streams_.failure_of(1) + "]");
    // Once the other program leaves, the next tick listens and reports it.
    other.close();
    tick(2, 3);
    EXPECT_EQ(streams_.port_of(1), base + 1);
    EXPECT_EQ(streams_.failure_of(1), "");
    EXPECT_EQ(streams_.note(), "");
}

TEST(StreamPorts, ABaseLeavesRoomForEveryVehicleAndForTheProgramsOtherPorts) {
    const std::vector<std::pair<int, std::string>> taken{{10110, "del server TCP"}, {8080, "dell'interfaccia"}};
    const std::tuple<int, const char*, const char*> rows[] = {
        // base, what the message holds ("" none), the case
        {10111, "", "just past the TCP server"},
        {10089, "", "vehicle 20 on 10109, just below the TCP server"},
        {10090, "--tcp-mezzi: la porta 10110 è già del server TCP (è quella del mezzo 20)",
         "vehicle 20 on the TCP server"},
        {8080, "la porta 8080 è già dell'interfaccia", "vehicle 0 on the control port"},
        {65515, "", "vehicle 20 on 65535"},
        {65516, "la porta base va da 1 a 65515", "vehicle 20 past 65535"},
    };
    for (const auto& [base, holds, name] : rows) {
        const std::string problem = stream_ports_problem("--tcp-mezzi", base, taken);
        EXPECT_EQ(problem.empty(), *holds == '\0') << name << ": " << problem;
        EXPECT_NE(problem.find(holds), std::string::npos) << name << ": " << problem;
    }
}

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
        if (receive_buffer > 0)
            ::setsockopt(listener_.get(), SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
        listening_ =
            ::bind(listener_.get(), found->ai_addr, found->ai_addrlen) == 0 && ::listen(listener_.get(), backlog) == 0;
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
    std::unique_ptr<TcpSender> sending_;

    void send_to(const std::string& host, std::uint16_t port) {
        sending_ = std::make_unique<TcpSender>(resolver_, Endpoint{host, port}, clock());
        heard(*sending_);
    }
    // Tick t's bytes, about one second after the last: as the timer fires, a
    // few milliseconds early or late.
    OutputSink::Result tick(int t, std::size_t size = 80) {
        now_ += (++ticks_ % 2 ? 997ms : 1003ms);
        return sending_->send(tick_bytes(t, size));
    }
};

// Not there at first: tried after 1, 2 and 4 s. Then connected. The server
// goes: said once; a connection that held 10 s starts the pauses from 1 s
// again: tried after 1, 2, 4, 8 s; back meanwhile, it gets the stream at the
// next attempt, from that tick on. (The stream itself: integration.streams,
// sending.)
TEST_F(Sender, AServerThatGoesAwayAndComesBackGetsTheStreamAgainWithinThePause) {
    auto server = std::make_unique<Server>();
    const std::uint16_t port = server->port();
    const std::string where = "TCP verso 127.0.0.1:" + std::to_string(port);
    server.reset();
    send_to("127.0.0.1", port);
    std::vector<std::string> notes;
    // The ticks from `first` on, until it connects, at which a connection was
    // tried, counted from `first`; the server back after tick first + `back`.
    const auto tried = [&](int first, int last, int back) {
        std::vector<int> at;
        const long long connections = sending_->connections();
        for (int t = first; t <= last && sending_->connections() == connections; ++t) {
            const long long before = sending_->attempts();
            const OutputSink::Result result = tick(t);
            EXPECT_EQ(result.running, sending_->connected()) << t;
            if (!result.note.empty()) notes.push_back(result.note);
            if (sending_->attempts() > before) at.push_back(t - first);
            if (t - first == back) server = std::make_unique<Server>("127.0.0.1", port);
        }
        return at;
    };
    EXPECT_EQ(tried(1, 8, 4), (std::vector<int>{0, 1, 3, 7}));
    ASSERT_TRUE(server->accept());
    for (int t = 9; t <= 20; ++t) tick(t);  // a connection that holds 12 s
    server->read(13 * tick_bytes(0).size());  // all read: its close is an orderly one

    server.reset();
    notes.clear();
    const std::vector<int> again = tried(21, 50, 9);
    EXPECT_EQ(again, (std::vector<int>{1, 3, 7, 15})) << "pauses of 1, 2, 4 and 8 s";
    ASSERT_TRUE(server->accept());
    const int connected_at = 21 + again.back();
    std::string after = tick_bytes(connected_at);
    for (int t = connected_at + 1; t <= connected_at + 3; ++t) {
        tick(t);
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

// Each connection's first second comes after the greeting (the AIS targets'
// static data), asked anew at each connection; the later seconds alone.
TEST_F(Sender, EachConnectionIsGreetedBeforeItsFirstSecond) {
    auto server = std::make_unique<Server>();
    const std::uint16_t port = server->port();
    send_to("127.0.0.1", port);
    int asked = 0;
    sending_->greeting = [&asked] { return "!AIVDM,greeting," + std::to_string(++asked) + "\r\n"; };
    int t = 1;
    while (!sending_->connected() && t < 20) tick(t++);
    ASSERT_TRUE(server->accept());
    // The tick that connected sent its second, greeted; the next one alone.
    const std::string first = "!AIVDM,greeting,1\r\n" + tick_bytes(t - 1) + tick_bytes(t);
    tick(t);
    EXPECT_EQ(server->read(first.size()), first);
    EXPECT_EQ(asked, 1);
    server->hang_up();
    server.reset();
    server = std::make_unique<Server>("127.0.0.1", port);
    for (++t; sending_->connections() < 2 && t < 200; ++t) tick(t);
    ASSERT_TRUE(server->accept());
    const std::string second = "!AIVDM,greeting,2\r\n" + tick_bytes(t - 1);
    EXPECT_EQ(server->read(second.size()), second);
}

// A server that hangs up at once, again and again, is tried less and less often.
TEST_F(Sender, AServerThatHangsUpAtOnceIsTriedLessAndLessOften) {
    Server server;
    send_to("127.0.0.1", server.port());
    std::vector<int> connected_at;
    for (int t = 0; t < 70; ++t) {
        tick(t);
        if (sending_->connected() && server.accept(0)) {
            connected_at.push_back(t);
            server.hang_up();
        }
    }
    EXPECT_EQ(connected_at, (std::vector<int>{0, 2, 5, 10, 19, 36, 69}));
}

// Each tick's bytes whole or not at all: while the server does not read,
// the ticks are skipped, and sending never waits; what it finally reads is
// whole ticks in order. (The skip on the monitor line, and the seconds going
// on at their rate: integration.streams, sending.)
TEST_F(Sender, AServerThatNeverReadsIsSkippedAndNeverSlowsTheTick) {
    Server server("127.0.0.1", 0, 1);  // the smallest receive buffer
    send_to("127.0.0.1", server.port());
    const std::size_t size = 4096;
    tick(0, size);
    ASSERT_TRUE(server.accept());
    for (int t = 1; t < 300; ++t) tick(t, size);
    EXPECT_GT(sending_->skipped(), 250);
    EXPECT_EQ(sending_->sent() + sending_->skipped(), 300);
    EXPECT_TRUE(sending_->busy() && sending_->connected()) << "a server that does not read is still there";
    const std::string got = server.read(sending_->sent() * size, 2000);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(sending_->sent()) * size);
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
    send_to("localhost", v4.port());
    ASSERT_TRUE(run_until([&] { return tick(1).running; }));
    EXPECT_TRUE(v4.accept());
    EXPECT_FALSE(v6.listening() && v6.accept(100));
    EXPECT_EQ(events_.back(), "TCP verso localhost:" + std::to_string(v4.port()) + ": collegato a 127.0.0.1");
}

TEST_F(Sender, ANameNotFoundIsSaidOnceAndTriedAgainAfterThePause) {
    send_to("nessun-computer.invalid", 5000);
    ASSERT_TRUE(run_until([&] { return !tick(1).note.empty() && !sending_->failure().empty(); }));
    EXPECT_EQ(sending_->failure(), "nome sconosciuto");
    EXPECT_EQ(tick(2).note, "  [TCP verso nessun-computer.invalid:5000: nome sconosciuto]");
    ASSERT_EQ(events_.size(), 1U);
    EXPECT_EQ(events_.front().rfind("TCP verso nessun-computer.invalid:5000: non collegato: nome sconosciuto", 0), 0U);
    EXPECT_TRUE(run_until([&] { return resolver_.under_way() == 0; }));
}

// A server whose queue of connections is full answers nothing: the attempt
// is given up after 10 s, and the ticks meanwhile say it is under way.
TEST_F(Sender, AnAttemptNobodyAnswersIsGivenUpAfterTenSeconds) {
    Server full("127.0.0.1", 0, 0, 0);
    const Descriptor waiting[] = {full.knock(), full.knock(), full.knock()};
    send_to("127.0.0.1", full.port());
    EXPECT_EQ(tick(1).note, "  [TCP verso 127.0.0.1:" + std::to_string(full.port()) + ": collegamento in corso]");
    for (int t = 2; t <= 10; ++t) tick(t);
    EXPECT_EQ(sending_->state(), TcpSender::State::connecting);
    tick(11);
    EXPECT_EQ(sending_->state(), TcpSender::State::waiting);
    EXPECT_EQ(sending_->failure(), "tempo scaduto (nessuna risposta in 10 s)");
}

// A socket that would leave the program short of descriptors is not taken:
// the attempt fails, said, and is tried again after the pause.
TEST_F(Sender, NoConnectionTakesTheDescriptorsKeptForTheProgramsFiles) {
    Server server;
    send_to("127.0.0.1", server.port());
    {
        const DescriptorLimit limit(DescriptorReserve::spare);
        tick(1);
        EXPECT_EQ(sending_->failure(),
                  "troppi file aperti dal programma (ne restano liberi 16 per i file del programma)");
    }
    tick(2);
    EXPECT_TRUE(sending_->connected());
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
}  // namespace vadrel::testing
