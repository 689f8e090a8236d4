// The control interface under load beside the tick, in one process as the
// program will have them: a second timer armed on the wall-clock second
// advances 19 vehicles (multi-user) and publishes the second to the events,
// while 10 clients (threads of their own, keep-alive connections on the
// loopback) send 1000 vehicle changes a second in all. The same run first
// without the clients, then with them:
// * the tick's arrival after the wall-clock second (median, p99, max), both ways;
// * each request's time from its sending to its reply read whole (median, p99, max);
// * the process's peak resident memory.
//
//   control_load [SECONDS=20] [CLIENTS=10] [CHANGES_PER_SECOND=1000]
//
// Not a test: it reports figures; it fails only when a request was not answered 200.

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "control/control_server.h"
#include "control/fake_target.h"

namespace {

using Steady = std::chrono::steady_clock;

double wall_now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Figures {
    double median = 0, p99 = 0, max = 0;
};

Figures figures(std::vector<double> values) {
    if (values.empty()) return {};
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) { return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))]; };
    return {at(0.5), at(0.99), values.back()};
}

long peak_kb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

// One client: a change every `period`, on one connection, each reply read whole.
void client(quint16 port, int index, std::chrono::microseconds period, Steady::time_point until,
            std::vector<double>& latencies_ms, std::atomic<int>& failures) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ++failures;
        return;
    }
    char buffer[8192];
    auto next = Steady::now();
    for (int i = 0; Steady::now() < until; ++i) {
        std::this_thread::sleep_until(next);
        next += period;
        const std::string body = "{\"rotta\": " + std::to_string(i % 360) + ", \"velocita\": " + std::to_string(i % 90) + "}";
        const std::string request = "PATCH /api/v1/mezzi/" + std::to_string(index % 19) +
                                    " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nContent-Length: " +
                                    std::to_string(body.size()) + "\r\n\r\n" + body;
        const auto sent = Steady::now();
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
            ++failures;
            break;
        }
        std::string reply;
        std::size_t want = std::string::npos;
        while (reply.size() < want) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            reply.append(buffer, static_cast<std::size_t>(n));
            const std::size_t end = reply.find("\r\n\r\n");
            const std::size_t length = reply.find("Content-Length: ");
            if (end != std::string::npos && length != std::string::npos) {
                want = end + 4 + std::stoul(reply.substr(length + 16));
            }
        }
        latencies_ms.push_back(std::chrono::duration<double, std::milli>(Steady::now() - sent).count());
        if (reply.rfind("HTTP/1.1 200", 0) != 0) ++failures;
    }
    ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int clients = argc > 2 ? std::atoi(argv[2]) : 10;
    const int rate = argc > 3 ? std::atoi(argv[3]) : 1000;

    vadrel::testing::FakeTarget target;
    target.fleet.set_mode(vadrel::Mode::multi_user, nullptr);
    target.fleet.set_cycle(19, nullptr);
    for (std::size_t n = 0; n < 19; ++n) {
        target.fleet.set_speed(n, 40, nullptr);
        target.fleet.set_course(n, static_cast<double>(n * 18), nullptr);
    }
    vadrel::ControlServer server(target);
    if (auto problem = server.start({"127.0.0.1", 0})) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }
    const std::string address = server.address();
    const auto port = static_cast<quint16>(std::stoi(address.substr(address.rfind(':') + 1)));

    // The tick: armed on each wall-clock second, as the program's timer is.
    std::vector<double> quiet_ms, loaded_ms;
    std::vector<double>* arrivals = &quiet_ms;
    QTimer tick;
    tick.setSingleShot(true);
    tick.setTimerType(Qt::PreciseTimer);
    const auto arm = [&] {
        const double now = wall_now();
        tick.start(static_cast<int>(std::ceil((std::floor(now) + 1 - now) * 1000)));
    };
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double now = wall_now();
        const double late_ms = (now - std::floor(now)) * 1000;
        arrivals->push_back(late_ms > 500 ? late_ms - 1000 : late_ms);
        const double steady = std::chrono::duration<double>(Steady::now().time_since_epoch()).count();
        std::vector<vadrel::VehicleEntry> in_use;
        for (std::size_t n = 0; n < 19; ++n) {
            target.fleet.advance(n, steady);
            in_use.push_back(target.entry(n));
        }
        server.publish("$GPRMC,000000,A,4401.7775,N,01008.0623,E,0.0,000.0,010124,000.0,W*00\r\n", in_use);
        arm();
    });
    arm();

    const auto run_for = [&](int s) {
        const auto until = Steady::now() + std::chrono::seconds(s);
        while (Steady::now() < until) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    };
    run_for(seconds);

    arrivals = &loaded_ms;
    std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
    std::atomic<int> failures{0};
    const auto until = Steady::now() + std::chrono::seconds(seconds);
    const auto period = std::chrono::microseconds(1000000LL * clients / std::max(1, rate));
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i) {
        threads.emplace_back(client, port, i, period, until, std::ref(latencies[static_cast<std::size_t>(i)]),
                             std::ref(failures));
    }
    run_for(seconds + 1);
    for (auto& thread : threads) thread.join();

    std::vector<double> all;
    for (const auto& one : latencies) all.insert(all.end(), one.begin(), one.end());
    const Figures quiet = figures(quiet_ms), loaded = figures(loaded_ms), requests = figures(all);
    std::printf("tick after the second, without clients: median %.2f ms, p99 %.2f ms, max %.2f ms (%zu ticks)\n",
                quiet.median, quiet.p99, quiet.max, quiet_ms.size());
    std::printf("tick after the second, with %d clients:  median %.2f ms, p99 %.2f ms, max %.2f ms (%zu ticks)\n",
                clients, loaded.median, loaded.p99, loaded.max, loaded_ms.size());
    std::printf("requests: %zu in %d s (%.0f/s), answered: median %.3f ms, p99 %.3f ms, max %.2f ms; failures %d\n",
                all.size(), seconds, static_cast<double>(all.size()) / seconds, requests.median, requests.p99,
                requests.max, failures.load());
    std::printf("peak memory %.1f MB\n", static_cast<double>(peak_kb()) / 1024.0);
    return failures.load() == 0 ? 0 : 1;
}
