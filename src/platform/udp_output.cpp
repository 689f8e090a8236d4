#include "udp_output.h"

#include <QHostAddress>
#include <QHostInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace vadrel {

struct UdpOutput::Target {
    Endpoint where;
    int fd = -1;
    sockaddr_storage address{};
    socklen_t address_length = 0;
    int lookup = -1;  // the QHostInfo lookup under way, -1 when none
    std::chrono::steady_clock::time_point next_lookup{};
    std::string failure;
    long long sent = 0;
    long long skipped = 0;

    Target() = default;
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;
    ~Target() {
        if (lookup >= 0) QHostInfo::abortHostLookup(lookup);
#ifdef Q_OS_UNIX
        if (fd >= 0) ::close(fd);
#endif
    }

    // A socket for this address; "" when made, else why not.
    std::string open(const QHostAddress& host) {
#ifdef Q_OS_UNIX
        bool is_ipv4 = false;  // also an IPv4 address written as IPv6 (::ffff:a.b.c.d)
        const quint32 ipv4 = host.toIPv4Address(&is_ipv4);
        address = {};
        if (is_ipv4) {
            auto& in = reinterpret_cast<sockaddr_in&>(address);
            in.sin_family = AF_INET;
            in.sin_port = htons(where.port);
            in.sin_addr.s_addr = htonl(ipv4);
            address_length = sizeof(sockaddr_in);
        } else {
            auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
            in6.sin6_family = AF_INET6;
            in6.sin6_port = htons(where.port);
            const Q_IPV6ADDR bytes = host.toIPv6Address();
            std::memcpy(&in6.sin6_addr, &bytes, sizeof in6.sin6_addr);
            in6.sin6_scope_id = host.scopeId().toUInt();
            address_length = sizeof(sockaddr_in6);
        }
        if (fd >= 0) ::close(fd);
        fd = ::socket(address.ss_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) return network_reason(errno);
        if (address.ss_family == AF_INET) {
            // Sending to a broadcast address (255.255.255.255 or a network's) needs it.
            const int on = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        }
        return {};
#else
        Q_UNUSED(host);
        return "non disponibile su questo sistema";
#endif
    }
};

UdpOutput::UdpOutput(Now now, QObject* parent) : QObject(parent), now_(std::move(now)) {}

UdpOutput::~UdpOutput() = default;

void UdpOutput::set_targets(const std::vector<Endpoint>& targets) {
    if (targets == endpoints_) return;
    endpoints_ = targets;
    targets_.clear();
    for (const Endpoint& where : targets) {
        auto target = std::make_unique<Target>();
        target->where = where;
        const QHostAddress literal(QString::fromStdString(where.host));
        if (literal.isNull()) {
            look_up(*target);
        } else if (const std::string problem = target->open(literal); !problem.empty()) {
            fail(*target, problem);
        } else {
            tell("UDP verso " + where.text());
        }
        targets_.push_back(std::move(target));
    }
}

void UdpOutput::look_up(Target& target) {
    target.next_lookup = now_() + lookup_retry;
    // The answer finds its target by the lookup's number: a target replaced
    // meanwhile is gone, and its answer is dropped.
    target.lookup = QHostInfo::lookupHost(QString::fromStdString(target.where.host), this,
                                          [this](const QHostInfo& info) {
        const auto found = std::find_if(targets_.begin(), targets_.end(),
                                        [&](const auto& t) { return t->lookup == info.lookupId(); });
        if (found == targets_.end()) return;
        Target& target = **found;
        target.lookup = -1;
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            fail(target, "nome sconosciuto");
            return;
        }
        std::vector<std::string> found_addresses;
        for (const QHostAddress& a : info.addresses()) found_addresses.push_back(a.toString().toStdString());
        const QHostAddress address(QString::fromStdString(preferred_address(found_addresses)));
        if (const std::string problem = target.open(address); !problem.empty()) {
            fail(target, problem);
            return;
        }
        target.failure.clear();
        tell("UDP verso " + target.where.text() + " (" + address.toString().toStdString() + ")");
    });
}

void UdpOutput::fail(Target& target, const std::string& problem) {
    if (problem != target.failure) tell("UDP verso " + target.where.text() + ": " + problem);
    target.failure = problem;
}

void UdpOutput::tell(const std::string& text) {
    if (on_event) on_event(text);
}

OutputSink::Result UdpOutput::send(std::string_view bytes) {
    Result result;
#ifdef Q_OS_UNIX
    for (auto& owned : targets_) {
        Target& target = *owned;
        if (target.fd < 0) {
            // A name not found yet, or a socket that could not be made.
            if (target.lookup < 0 && !QHostAddress(QString::fromStdString(target.where.host)).isNull()) {
                if (const std::string problem = target.open(QHostAddress(QString::fromStdString(target.where.host)));
                    !problem.empty())
                    fail(target, problem);
            } else if (target.lookup < 0 && now_() >= target.next_lookup) {
                look_up(target);
            }
            if (target.fd < 0) {
                if (!target.failure.empty()) result.note += "  [UDP " + target.where.text() + ": " + target.failure + "]";
                continue;
            }
        }
        ssize_t sent = -1;
        do {
            sent = ::sendto(target.fd, bytes.data(), bytes.size(), MSG_DONTWAIT,
                            reinterpret_cast<const sockaddr*>(&target.address), target.address_length);
        } while (sent < 0 && errno == EINTR);
        if (sent == static_cast<ssize_t>(bytes.size())) {
            ++target.sent;
            result.running = true;
            if (!target.failure.empty()) tell("UDP verso " + target.where.text() + " di nuovo raggiungibile");
            target.failure.clear();
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)) {
            ++target.skipped;
            result.note += "  [UDP " + target.where.text() + ": saltato]";
        } else {
            fail(target, sent < 0 ? network_reason(errno) : "datagramma troncato");
            result.note += "  [UDP " + target.where.text() + ": " + target.failure + "]";
        }
    }
#else
    Q_UNUSED(bytes);
#endif
    return result;
}

std::vector<UdpOutput::TargetView> UdpOutput::targets() const {
    std::vector<TargetView> views;
    for (const auto& target : targets_) views.push_back({target->where.text(), target->failure, target->sent, target->skipped});
    return views;
}

}  // namespace vadrel
