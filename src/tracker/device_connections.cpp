#include "device_connections.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <linux/sockios.h>

#include <array>
#include <cerrno>

#include "os/descriptor_reserve.h"
#include "os/system_error.h"
#include "tracker/report_sender.h"

namespace vadrel {

namespace {

constexpr std::chrono::milliseconds scan_every{200};
// What a server sends is read at most this much a wake-up, and dropped.
constexpr std::size_t read_bytes = 4096;

}  // namespace

DeviceConnections::DeviceConnections(Endpoint server, NameResolver& resolver, std::function<Time()> now)
    : server_(std::move(server)), resolver_(resolver), now_(std::move(now)), epoll_(::epoll_create1(EPOLL_CLOEXEC)) {
    if (!epoll_) last_problem_ = italian_reason(errno);
}

DeviceConnections::~DeviceConnections() = default;

void DeviceConnections::open(std::size_t count, std::function<std::string(std::size_t)> greeting) {
    greeting_ = std::move(greeting);
    links_ = std::vector<Link>(count);
    connected_ = connecting_ = 0;
    next_scan_ = now_();
    next_retry_ = next_scan_;
    service();
}

bool DeviceConnections::address_known(Time now) {
    if (address_) return true;
    if (const auto numeric = socket_address(server_.host, server_.port)) {
        address_ = numeric;
        return true;
    }
    if (!lookup_) {
        lookup_ = resolver_.look_up(server_.host);
        return false;
    }
    const auto answer = lookup_->answer();
    if (!answer) return false;
    lookup_.reset();
    const std::string chosen = preferred_address(answer->addresses);
    address_ = chosen.empty() ? std::nullopt : socket_address(chosen, server_.port);
    if (!address_) {
        last_problem_ = answer->problem.empty() ? "nessun indirizzo per " + server_.host : answer->problem;
        next_scan_ = now + std::chrono::seconds(5);  // asked again then
    }
    return address_.has_value();
}

void DeviceConnections::attempt(std::size_t device, Time now) {
    Link& link = links_[device];
    link.started = now;
    ++attempts_;
    Descriptor fd(::socket(address_->family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) return drop(device, errno, now);
    if (!DescriptorReserve::leaves_spare(fd.get(), fleet_leaves_descriptors)) {
        drop(device, EMFILE, now);
        last_problem_ = italian_reason(EMFILE) + " (ne restano liberi " + std::to_string(fleet_leaves_descriptors) +
                        " per l'interfaccia di controllo, le uscite e i file del programma)";
        return;
    }
    const int on = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    int result = -1;
    do {
        result = ::connect(fd.get(), address_->get(), address_->length);
    } while (result != 0 && errno == EINTR);
    if (result != 0 && errno != EINPROGRESS) return drop(device, errno, now);
    epoll_event event{};
    event.events = EPOLLOUT | EPOLLIN | EPOLLRDHUP;
    event.data.u64 = device;
    if (::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd.get(), &event) != 0) return drop(device, errno, now);
    link.fd = std::move(fd);
    link.phase = Phase::connecting;
    ++connecting_;
}

void DeviceConnections::finish_connect(std::size_t device, Time now) {
    Link& link = links_[device];
    if (const int error = connect_error(link.fd.get()); error != 0) return drop(device, error, now);
    link.phase = Phase::up;
    --connecting_;
    ++connected_;
    ++connects_;
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP;
    event.data.u64 = device;
    ::epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, link.fd.get(), &event);
    const std::string hello = greeting_ ? greeting_(device) : std::string();
    if (!hello.empty() && !send(device, hello) && link.phase == Phase::up) drop(device, EAGAIN, now);
}

void DeviceConnections::drop(std::size_t device, int error, Time now) {
    Link& link = links_[device];
    const bool was_up = link.phase == Phase::up;
    if (link.phase == Phase::up) --connected_;
    if (link.phase == Phase::connecting) --connecting_;
    link.fd.reset();  // closing takes it out of the epoll set
    link.phase = Phase::waiting;
    link.next_attempt = now + link.pause.failed(was_up, link.started, now);
    next_retry_ = std::min(next_retry_, link.next_attempt);
    last_problem_ = error == 0 ? std::string("il server ha chiuso la connessione") : italian_reason(error);
}

bool DeviceConnections::send(std::size_t device, std::string_view line) {
    if (device >= links_.size()) return false;
    Link& link = links_[device];
    if (link.phase != Phase::up) return false;
    int unsent = 0;
    if (::ioctl(link.fd.get(), SIOCOUTQNSD, &unsent) == 0 && unsent > 0) return false;
    ssize_t put = -1;
    do {
        put = ::send(link.fd.get(), line.data(), line.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (put < 0 && errno == EINTR);
    if (put == static_cast<ssize_t>(line.size())) return true;
    if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
    // A part of a line, or a failure: the stream cannot go on as it was.
    drop(device, put < 0 ? errno : EPIPE, now_());
    return false;
}

void DeviceConnections::events(Time now) {
    std::array<epoll_event, 256> ready{};
    std::array<char, read_bytes> sink{};
    while (true) {
        const int count = ::epoll_wait(epoll_.get(), ready.data(), static_cast<int>(ready.size()), 0);
        if (count <= 0) return;
        for (int k = 0; k < count; ++k) {
            const auto device = static_cast<std::size_t>(ready[static_cast<std::size_t>(k)].data.u64);
            const std::uint32_t what = ready[static_cast<std::size_t>(k)].events;
            if (device >= links_.size() || !links_[device].fd) continue;
            if (links_[device].phase == Phase::connecting) {
                finish_connect(device, now);
                continue;
            }
            if (what & EPOLLIN) {
                const ssize_t got = ::recv(links_[device].fd.get(), sink.data(), sink.size(), MSG_DONTWAIT);
                if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
                    drop(device, got == 0 ? 0 : errno, now);
                    continue;
                }
            }
            if (what & (EPOLLERR | EPOLLHUP | EPOLLRDHUP)) drop(device, connect_error(links_[device].fd.get()), now);
        }
        if (count < static_cast<int>(ready.size())) return;
    }
}

void DeviceConnections::retries(Time now) {
    // A scan now and then for connections that take too long; at once when
    // a retry is due.
    if (now < next_scan_ && now < next_retry_) return;
    next_scan_ = now + scan_every;
    next_retry_ = Time::max();
    if (!address_known(now)) return;
    std::size_t started = 0;
    for (std::size_t device = 0; device < links_.size(); ++device) {
        Link& link = links_[device];
        if (link.phase == Phase::connecting && now - link.started >= connect_limit) {
            drop(device, ETIMEDOUT, now);
        } else if (link.phase == Phase::waiting && now >= link.next_attempt && started < connects_per_service) {
            attempt(device, now);
            ++started;
        }
        if (link.phase == Phase::waiting) next_retry_ = std::min(next_retry_, std::max(link.next_attempt, now));
    }
}

void DeviceConnections::service() {
    if (!epoll_) return;
    const Time now = now_();
    events(now);
    retries(now);
}

std::string DeviceConnections::state() const {
    if (!links_.empty() && connected_ == links_.size()) return "collegato";
    std::string text = std::to_string(connected_) + " di " + std::to_string(links_.size()) + " collegati";
    if (!last_problem_.empty()) text += " (" + last_problem_ + ")";
    return text;
}

}  // namespace vadrel
