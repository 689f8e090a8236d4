// Each vehicle's stream on real sockets on the loopback: a client of port
// BASE + k gets vehicle k's bytes and nothing else; a vehicle out of use
// closes its port; the ports a base may take.

#include <gtest/gtest.h>
#include <netinet/in.h>

#include "loopback.h"
#include "os/name_resolver.h"
#include "outputs/vehicle_streams.h"

namespace vadrel::testing {
namespace {

using namespace std::chrono_literals;

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

class Streams : public WithEventLoop {
protected:
    std::chrono::steady_clock::time_point now_ = std::chrono::steady_clock::time_point{} + 1000s;
    NameResolver resolver_;
    VehicleStreams streams_{resolver_, [this] { return now_; }};
    std::vector<std::string> events_;

    Streams() { streams_.on_event = [this](const std::string& text) { events_.push_back(text); }; }
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

TEST_F(Streams, AClientOfPortKSeesOnlyVehicleKAndAVehicleOutOfUseClosesItsPort) {
    const int base = free_base();
    ASSERT_NE(base, 0);
    streams_.listen(Endpoint{"127.0.0.1", static_cast<std::uint16_t>(base)}, 4);
    ASSERT_TRUE(streams_.on());
    tick(1, 3);  // the servers listen from the first tick
    EXPECT_EQ(streams_.port_of(2), base + 2);
    EXPECT_FALSE(client_of(base + 3).valid()) << "vehicle 3 is not in use";
    std::vector<Descriptor> clients;
    for (int k = 0; k < 3; ++k) {
        clients.push_back(client_of(base + k));
        ASSERT_TRUE(clients.back().valid()) << k;
    }
    ASSERT_TRUE(run_until([&] {
        return streams_.server(0)->client_count() + streams_.server(1)->client_count() + streams_.server(2)->client_count() == 3;
    }));
    tick(2, 3);
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(read_bytes(clients[k].get(), line(2, k).size()), line(2, k)) << k;
    // "Numero di mezzi mobili" down to 2: vehicle 2's port closes, its client hears the end
    tick(3, 2);
    EXPECT_EQ(read_bytes(clients[2].get(), 1), "");
    EXPECT_FALSE(client_of(base + 2).valid());
    EXPECT_EQ(read_bytes(clients[1].get(), line(3, 1).size()), line(3, 1));
    EXPECT_EQ(events_.front().rfind("mezzo 0: TCP in ascolto su 127.0.0.1:" + std::to_string(base), 0), 0u)
        << events_.front();
    // off: every port closes
    streams_.listen(std::nullopt, 4);
    tick(4, 2);
    EXPECT_FALSE(streams_.on());
    EXPECT_FALSE(client_of(base).valid());
    EXPECT_EQ(streams_.port_of(0), std::nullopt);
}

TEST(StreamPorts, ABaseLeavesRoomForEveryVehicleAndForTheProgramsOtherPorts) {
    const std::vector<std::pair<int, std::string>> taken{{10110, "del server TCP"}, {8080, "dell'interfaccia"}};
    const std::tuple<int, const char*, const char*> rows[] = {  // base, what the message holds ("" none), the case
        {10111, "", "just past the TCP server"},
        {10089, "", "vehicle 20 on 10109, just below the TCP server"},
        {10090, "--tcp-mezzi: la porta 10110 è già del server TCP (è quella del mezzo 20)", "vehicle 20 on the TCP server"},
        {8080, "la porta 8080 è già dell'interfaccia", "vehicle 0 on the control port"},
        {65515, "", "vehicle 20 on 65535"},
        {65516, "la porta base va da 1 a 65515", "vehicle 20 past 65535"},
        {0, "la porta base va da 1 a 65515", "no base 0: the ports must be known"},
    };
    for (const auto& [base, holds, name] : rows) {
        const std::string problem = stream_ports_problem("--tcp-mezzi", base, taken);
        EXPECT_EQ(problem.empty(), *holds == '\0') << name << ": " << problem;
        EXPECT_NE(problem.find(holds), std::string::npos) << name << ": " << problem;
    }
}

}  // namespace
}  // namespace vadrel::testing
