// A 24-hour log (86,400 seconds as vadrel records them) replayed at full
// speed through the TCP server to one client on the loopback, a process of
// its own that reads as fast as it can. Reports the time of the first
// reading (the check), of the replay, the throughput, whether the client got
// every byte, and the peak memory of the replaying process.
//
//   replay_day [MODE=gps|radio] [SECONDS=86400]
//
//   replay_day MODE SECONDS slow   the client reads 4 KB every 50 ms: the
//                                  replay waits on it; the CPU time it takes
//
// Not a test: it reports figures, and fails only when the client missed bytes.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "log/nmea_log.h"
#include "outputs/output_fanout.h"
#include "log/replay.h"
#include "outputs/tcp_output.h"
#include "support/fakes.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string sentence(const std::string& body) {
    unsigned sum = 0;
    for (const char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

// The log, and the bytes a client should get.
long long write_log(const std::string& path, bool radio, long seconds) {
    std::ofstream out(path, std::ios::binary);
    long long payload = 0;
    const std::string sep("\r\n\0\0\0\0\0", 7);
    for (long i = 0; i < seconds; ++i) {
        char body[128];
        std::snprintf(body, sizeof body, "GPRMC,%02ld%02ld%02ld,A,4400.%04ld,N,01007.7087,E,0.0,000.0,061226,000.0,W,",
                      i / 3600, i / 60 % 60, i % 60, i % 10000);
        std::string tick = sentence(body);
        if (radio) {
            // The burst's size: six fixed sentences and the live one, framed.
            const std::string fixed = sentence("GPGSV,2,1,08,04,47,228,46,14,05,121,,16,16,303,39,18,57,057,46");
            std::string burst = sep;
            for (int k = 0; k < 7; ++k) burst += (k == 3 ? tick : fixed).substr(0, (k == 3 ? tick : fixed).size() - 2) + sep;
            tick = burst;
        }
        out << vadrel::time_line(1796553767000LL + i * 1000LL) << tick;
        payload += static_cast<long long>(tick.size());
    }
    return payload;
}

// The client: connects, reads until the server closes or expected bytes came,
// and exits with 0 when they all came.
[[noreturn]] void client(int port, long long expected, bool slow) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<std::uint16_t>(port));
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) std::_Exit(3);
    std::string buffer(slow ? 4096 : 1 << 16, '\0');
    long long got = 0;
    while (got < expected) {
        if (slow) ::usleep(50'000);
        const ssize_t n = ::read(s, buffer.data(), buffer.size());
        if (n <= 0) break;
        got += n;
    }
    std::fprintf(stderr, "client: %lld of %lld bytes\n", got, expected);
    std::_Exit(got == expected ? 0 : 1);
}

}  // namespace

int main(int argc, char** argv) {
    const bool radio = argc > 1 && std::string(argv[1]) == "radio";
    const long seconds = argc > 2 ? std::atol(argv[2]) : 86400;
    const bool slow = argc > 3 && std::string(argv[3]) == "slow";
    QCoreApplication app(argc, argv);
    const std::string path = "/tmp/vadrel-replay-day-" + std::to_string(::getpid()) + ".nmea";
    const long long expected = write_log(path, radio, seconds);

    auto start = std::chrono::steady_clock::now();
    auto examined = vadrel::examine_log_file(path);
    if (!std::holds_alternative<vadrel::CheckedLog>(examined)) {
        std::fprintf(stderr, "the log does not read back\n");
        return 2;
    }
    const vadrel::CheckedLog log = std::get<vadrel::CheckedLog>(examined);
    const double check = seconds_since(start);

    vadrel::testing::FakePort port;  // closed: the TCP client alone
    vadrel::OutputFanOut fan_out(port);
    vadrel::TcpOutput tcp;
    tcp.start(vadrel::Endpoint{"127.0.0.1", 0}, 4);
    fan_out.add(tcp);
    const int tcp_port = std::stoi(tcp.address().substr(tcp.address().rfind(':') + 1));
    const pid_t child = ::fork();
    if (child == 0) client(tcp_port, expected, slow);
    while (tcp.client_count() == 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    vadrel::Replay replay(fan_out);
    replay.on_finished = [&](const std::string&) { app.quit(); };
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    start = std::chrono::steady_clock::now();
    replay.start(log, vadrel::Replay::full_speed, false);
    app.exec();
    const double took = seconds_since(start);
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    const auto cpu = [](const rusage& u) {
        return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    tcp.stop();  // the client sees the end
    int status = 0;
    ::waitpid(child, &status, 0);
    std::remove(path.c_str());

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%s%s, %ld seconds, %.1f MB: checked in %.2f s; replayed in %.2f s = %.0f seconds/s, %.1f MB/s, "
                "CPU %.2f s; skipped %lld; peak memory %.1f MB\n",
                radio ? "radio" : "gps", slow ? " (slow client)" : "", seconds, static_cast<double>(expected) / 1e6,
                check, took, static_cast<double>(replay.sent()) / took, static_cast<double>(expected) / 1e6 / took,
                cpu(after) - cpu(before), tcp.skipped(), static_cast<double>(usage.ru_maxrss) / 1024.0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
