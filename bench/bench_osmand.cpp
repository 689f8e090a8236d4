// The OsmAnd sender alone at 1000, 5000 and 10,000 reports a second to a
// fast HTTP/1.1 receiver in another process on the loopback (epoll, one
// fixed answer per request). The reports of a second are spread evenly over
// it, a few each millisecond, as a fleet's devices are. Per rate: the
// reports sent, skipped and answered, those the receiver counted, the
// sender's CPU (user: vadrel's code; system: the kernel's sends and reads)
// and the ratio of the two, its peak memory, and the spread of the
// arrivals over the tenths of the second.
//
//   bench_osmand [SECONDS=5] [RATE...] [--burst]
//
// --burst: each second's reports all at once at its start, as a schedule
// that does not spread them would send them.
//
// Not a test: it reports figures, and fails only when a report was lost.

#include <netinet/in.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "os/name_resolver.h"
#include "tracker/osmand_sender.h"

namespace {

using namespace std::chrono_literals;

struct Tally {
    long long requests = 0;
    std::array<long long, 10> tenths{};  // arrivals in each tenth of the wall-clock second
};

int tenth_of_second() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int>(now.tv_nsec / 100000000);
}

// The receiver: answers every request it reads, until its pipe closes; writes its tally there.
[[noreturn]] void receive(int listener, int control) {
    const int poller = ::epoll_create1(0);
    epoll_event event{EPOLLIN, {}};
    event.data.fd = listener;
    ::epoll_ctl(poller, EPOLL_CTL_ADD, listener, &event);
    event.data.fd = control;
    ::epoll_ctl(poller, EPOLL_CTL_ADD, control, &event);
    Tally tally;
    std::vector<std::string> tails(65536);  // the last bytes read on each descriptor
    std::string answers;
    char bytes[65536];
    for (;;) {
        std::array<epoll_event, 64> ready{};
        const int count = ::epoll_wait(poller, ready.data(), static_cast<int>(ready.size()), -1);
        for (int i = 0; i < count; ++i) {
            const int fd = ready[static_cast<std::size_t>(i)].data.fd;
            if (fd == control) {
                if (::write(control, &tally, sizeof tally) != sizeof tally) std::_Exit(1);
                std::_Exit(0);
            }
            if (fd == listener) {
                const int client = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK);
                if (client < 0) continue;
                epoll_event in{EPOLLIN, {}};
                in.data.fd = client;
                ::epoll_ctl(poller, EPOLL_CTL_ADD, client, &in);
                continue;
            }
            const ssize_t got = ::read(fd, bytes, sizeof bytes);
            if (got <= 0) {
                ::close(fd);
                continue;
            }
            std::string& tail = tails[static_cast<std::size_t>(fd)];
            std::string seen = tail + std::string(bytes, static_cast<std::size_t>(got));
            int requests = 0;
            for (std::size_t at = seen.find("\r\n\r\n"); at != std::string::npos; at = seen.find("\r\n\r\n", at + 4))
                ++requests;
            tail = seen.substr(seen.size() - std::min<std::size_t>(3, seen.size()));
            tally.requests += requests;
            tally.tenths[static_cast<std::size_t>(tenth_of_second())] += requests;
            answers.clear();
            for (int r = 0; r < requests; ++r) answers += "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
            if (!answers.empty() && ::write(fd, answers.data(), answers.size()) < 0) ::close(fd);
        }
    }
}

double seconds_of(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

bool run(int rate, int seconds, bool burst) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 64) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("listen");
        return false;
    }
    int control[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, control) != 0) return false;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(control[0]);
        receive(listener, control[1]);
    }
    ::close(listener);
    ::close(control[1]);

    vadrel::NameResolver resolver;
    vadrel::OsmandSender sender(resolver, "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    long long given = 0;
    const long long total = static_cast<long long>(rate) * seconds;
    for (long long millisecond = 0; given < total; ++millisecond) {
        const long long due =
            std::min(total, burst ? (millisecond / 1000 + 1) * rate : (millisecond + 1) * rate / 1000);
        for (; given < due; ++given) {
            const int device = static_cast<int>(given % rate);
            sender.send(vadrel::DeviceReport{"dev-" + std::to_string(device), 45.0 + device * 1e-5, 9.0, 10.0, 90.0,
                                             0.0, 5.0, 1700000000000 + given / rate * 1000});
        }
        sender.service();
        std::this_thread::sleep_until(start + std::chrono::milliseconds(millisecond + 1));
    }
    const auto drain_until = std::chrono::steady_clock::now() + 2s;
    while (sender.answered() < sender.counts().sent && std::chrono::steady_clock::now() < drain_until) {
        sender.service();
        std::this_thread::sleep_for(1ms);
    }
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    ::shutdown(control[0], SHUT_WR);
    Tally tally;
    if (::read(control[0], &tally, sizeof tally) != sizeof tally) std::fprintf(stderr, "no tally from the receiver\n");
    ::waitpid(child, nullptr, 0);
    ::close(control[0]);

    const double user = seconds_of(after.ru_utime) - seconds_of(before.ru_utime);
    const double system = seconds_of(after.ru_stime) - seconds_of(before.ru_stime);
    const vadrel::SenderCounts counts = sender.counts();
    const auto [least, most] = std::minmax_element(tally.tenths.begin(), tally.tenths.end());
    std::printf("%6d/s %2d s: sent %lld skipped %llu answered %llu received %lld lost %lld | CPU user %.1f%% system "
                "%.1f%% (system/user %.2f) | peak RSS %ld KB | arrivals per tenth of a second %lld..%lld | %llu "
                "connections | %s\n",
                rate, seconds, static_cast<long long>(counts.sent), static_cast<unsigned long long>(counts.skipped),
                static_cast<unsigned long long>(sender.answered()), tally.requests, total - tally.requests,
                100 * user / seconds, 100 * system / seconds, user > 0 ? system / user : 0.0, after.ru_maxrss, *least,
                *most, static_cast<unsigned long long>(sender.opened()), counts.state.c_str());
    return tally.requests == total;
}

}  // namespace

int main(int argc, char** argv) {
    ::signal(SIGPIPE, SIG_IGN);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<int> rates;
    bool burst = false;
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--burst")
            burst = true;
        else
            rates.push_back(std::max(1, std::atoi(argv[i])));
    }
    if (rates.empty()) rates = {1000, 5000, 10000};
    bool whole = true;
    for (const int rate : rates) whole = run(rate, seconds, burst) && whole;
    return whole ? 0 : 1;
}
