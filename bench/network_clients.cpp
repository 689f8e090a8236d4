// The headless program feeding 1000 TCP clients and 10 UDP targets on the
// loopback. Per tick: the time from the wall-clock second to the last
// client's receipt (the kernel's receive time stamp of its bytes); over the
// run: the median and p99 of it, whether every client got every tick, the
// program's CPU share and its peak memory. Then, for comparison, the time the
// same number of bare sends (a TIOCOUTQ and a send of 71 bytes to each
// client) takes from a plain loop in this process: what the kernel alone
// costs on this machine.
//
//   network_clients PATH/TO/vadrel [SECONDS=60] [CLIENTS=1000] [TARGETS=10] [NICE=0] [--subito]
//
// The clients read each second's bytes half a second after the second, so
// that a thousand receivers waking up do not take the cores from the program
// while it sends, as clients on other computers would not; the receipt is
// the kernel's time stamp either way. --subito: they read as the bytes come.
//
// NICE: the program's scheduling priority (as root, -10 gives it the CPU
// before the bench's own receiving clients, which on the loopback share the
// machine's cores with it and otherwise take turns with it at each wake-up).
//
// Not a test: it reports figures, and fails only when a client missed a tick.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

double now_realtime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A socket of `type` bound to a free port of the loopback, which `port` gets.
int bound_loopback_socket(int type, std::uint16_t& port) {
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

int connected_client(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        std::exit(1);
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

// CPU seconds (user + system) of a process so far.
double cpu_seconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::stoull(field);
        if (i == 15) system = std::stoull(field);
    }
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string status_line(pid_t pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key, 0) == 0) return line.substr(key.size());
    }
    return "?";
}

// The median time of `rounds` loops of a bare TIOCOUTQ and send of `size`
// bytes to each of `clients` loopback connections, in milliseconds.
double bare_sends(int clients, std::size_t size, int rounds);

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const std::size_t index = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

double bare_sends(int clients, std::size_t size, int rounds) {
    std::uint16_t port = 0;
    const int listener = bound_loopback_socket(SOCK_STREAM, port);
    listen(listener, 4096);
    std::vector<int> near;
    std::vector<int> far;
    for (int c = 0; c < clients; ++c) {
        far.push_back(connected_client(port));
        near.push_back(accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        const int on = 1;
        setsockopt(near.back(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    const std::string bytes(size, 'x');
    std::vector<double> times;
    char sink[4096];
    for (int round = 0; round < rounds; ++round) {
        const double start = now_realtime();
        for (const int fd : near) {
            int queued = 0;
            ioctl(fd, TIOCOUTQ, &queued);
            send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        }
        times.push_back((now_realtime() - start) * 1000.0);
        for (const int fd : far) {
            while (recv(fd, sink, sizeof sink, MSG_DONTWAIT) > 0) {
            }
        }
        usleep(100000);
    }
    for (const int fd : near) close(fd);
    for (const int fd : far) close(fd);
    close(listener);
    return percentile(times, 0.5);
}

}  // namespace

int main(int argc, char** argv) {
    const bool at_once = argc > 2 && std::string(argv[argc - 1]) == "--subito";
    if (at_once) --argc;
    if (argc < 2) {
        std::fprintf(stderr, "uso: %s PATH/TO/vadrel [SECONDI] [CLIENT] [DESTINAZIONI] [NICE] [--subito]\n",
                     argv[0]);
        return 2;
    }
    const std::string vadrel = argv[1];
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const int clients = argc > 3 ? std::atoi(argv[3]) : 1000;
    const int targets = argc > 4 ? std::atoi(argv[4]) : 10;
    const int priority = argc > 5 ? std::atoi(argv[5]) : 0;
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

    std::vector<int> udp;
    std::vector<std::string> args = {vadrel, "--senza-finestra", "--tcp", "0", "--tcp-max",
                                     std::to_string(clients + 10)};
    for (int t = 0; t < targets; ++t) {
        std::uint16_t port = 0;
        udp.push_back(bound_loopback_socket(SOCK_DGRAM | SOCK_NONBLOCK, port));
        args.push_back("--udp");
        args.push_back("127.0.0.1:" + std::to_string(port));
    }
    char folder[] = "/tmp/vadrel-bench-XXXXXX";
    mkdtemp(folder);
    args.push_back("--cartella");
    args.push_back(folder);

    int error_pipe[2];
    pipe2(error_pipe, O_CLOEXEC);
    const pid_t pid = fork();
    if (pid == 0) {
        if (priority != 0 && setpriority(PRIO_PROCESS, 0, priority) != 0) std::perror("setpriority");
        dup2(error_pipe[1], 2);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<char*> raw;
        for (std::string& a : args) raw.push_back(a.data());
        raw.push_back(nullptr);
        execv(raw[0], raw.data());
        _exit(127);
    }
    close(error_pipe[1]);
    // "vadrel: TCP in ascolto su 127.0.0.1:PORT (...)"
    std::string said;
    std::uint16_t port = 0;
    while (port == 0) {
        char buffer[512];
        const ssize_t n = read(error_pipe[0], buffer, sizeof buffer);
        if (n <= 0) {
            std::fprintf(stderr, "vadrel non è partito: %s\n", said.c_str());
            return 1;
        }
        said.append(buffer, static_cast<std::size_t>(n));
        const std::size_t at = said.find("in ascolto su 127.0.0.1:");
        if (at != std::string::npos && said.find('(', at) != std::string::npos)
            port = static_cast<std::uint16_t>(std::atoi(said.c_str() + at + 24));
    }
    fcntl(error_pipe[0], F_SETFL, O_NONBLOCK);

    const int poller = epoll_create1(EPOLL_CLOEXEC);
    std::vector<int> tcp;
    const int on = 1;
    for (int c = 0; c < clients; ++c) {
        tcp.push_back(connected_client(port));
        setsockopt(tcp.back(), SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    }
    for (int fd : udp) setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    for (int fd : tcp) {
        epoll_event event{EPOLLIN, {.fd = fd}};
        epoll_ctl(poller, EPOLL_CTL_ADD, fd, &event);
    }
    for (int fd : udp) {
        epoll_event event{EPOLLIN, {.fd = fd}};
        epoll_ctl(poller, EPOLL_CTL_ADD, fd, &event);
    }

    // The tick of a receipt is the whole second before it; two ticks to warm up.
    const long first = static_cast<long>(now_realtime()) + 3;
    const long last = first + seconds - 1;
    std::map<long, std::pair<int, double>> ticks;  // second -> receipts, latest receipt after it
    double cpu_start = 0;
    bool measuring = false;
    std::vector<epoll_event> events(static_cast<std::size_t>(clients + targets) + 16);  // all at once
    char data[65536];
    char control[256];
    while (now_realtime() < static_cast<double>(last) + 1.5) {
        if (!measuring && now_realtime() >= static_cast<double>(first)) {
            cpu_start = cpu_seconds(pid);
            measuring = true;
        }
        char drop[4096];
        while (read(error_pipe[0], drop, sizeof drop) > 0) {
        }
        if (!at_once) {
            // Half a second after the coming second; then everything there is now.
            const double now = now_realtime();
            const double wake = std::floor(now) + (now - std::floor(now) < 0.5 ? 0.5 : 1.5);
            const timespec until{static_cast<time_t>(wake), static_cast<long>((wake - std::floor(wake)) * 1e9)};
            clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &until, nullptr);
        }
        const int ready = epoll_wait(poller, events.data(), static_cast<int>(events.size()), at_once ? 200 : 0);
        for (int e = 0; e < ready; ++e) {
            const int fd = events[static_cast<std::size_t>(e)].data.fd;
            for (;;) {
                iovec io{data, sizeof data};
                msghdr message{};
                message.msg_iov = &io;
                message.msg_iovlen = 1;
                message.msg_control = control;
                message.msg_controllen = sizeof control;
                const ssize_t n = recvmsg(fd, &message, MSG_DONTWAIT);
                if (n <= 0) break;
                double stamp = now_realtime();
                for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
                    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                        timespec ts{};
                        std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
                        stamp = static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
                    }
                }
                const long second = static_cast<long>(std::floor(stamp));
                auto& [count, latest] = ticks[second];
                ++count;
                latest = std::max(latest, stamp - static_cast<double>(second));
            }
        }
    }
    const double cpu = cpu_seconds(pid) - cpu_start;
    const std::string peak = status_line(pid, "VmHWM:");
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::string remove = std::string("rm -rf ") + folder;
    std::system(remove.c_str());
    for (const int fd : tcp) close(fd);
    const double bare = bare_sends(clients, 71, 20);

    std::vector<double> latest;
    int incomplete = 0;
    for (long second = first; second <= last; ++second) {
        const auto found = ticks.find(second);
        const int count = found == ticks.end() ? 0 : found->second.first;
        if (count != clients + targets) {
            ++incomplete;
            std::fprintf(stderr, "secondo %ld: %d ricezioni su %d\n", second, count, clients + targets);
            continue;
        }
        latest.push_back(found->second.second * 1000.0);
    }
    if (latest.empty()) return 1;
    std::printf("%d client TCP + %d destinazioni UDP, %d secondi: %zu secondi completi, %d incompleti\n", clients,
                targets, seconds, latest.size(), incomplete);
    std::printf("dal secondo all'ultima ricezione: mediana %.2f ms, p99 %.2f ms, massimo %.2f ms\n",
                percentile(latest, 0.5), percentile(latest, 0.99), percentile(latest, 1.0));
    std::printf("CPU di vadrel: %.3f s in %d s = %.3f %% di un core; memoria di picco:%s\n", cpu, seconds,
                100.0 * cpu / seconds, peak.c_str());
    std::printf("gli stessi %d invii da un semplice ciclo in questo processo: mediana %.2f ms\n", clients, bare);
    return incomplete == 0 ? 0 : 1;
}
