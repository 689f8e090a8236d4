#include "datagram_socket.h"

#include <sys/socket.h>

#include <cerrno>

#include "os/descriptor.h"
#include "os/descriptor_reserve.h"
#include "outputs/datagram_reports.h"

namespace vadrel {

namespace {

class SystemDatagramSocket final : public DatagramSocket {
public:
    explicit SystemDatagramSocket(Descriptor fd) : fd_(std::move(fd)) {}

    int send_to(const SocketAddress& to, std::string_view bytes) override {
        ssize_t sent = -1;
        do {
            sent = ::sendto(fd_.get(), bytes.data(), bytes.size(), MSG_DONTWAIT, to.get(), to.length);
        } while (sent < 0 && errno == EINTR);
        if (sent < 0) return errno;
        return sent == static_cast<ssize_t>(bytes.size()) ? 0 : EMSGSIZE;
    }

    std::vector<Report> take_reports() override {
        std::vector<Report> reports;
        datagram_reports::take(fd_.get(), reports);
        return reports;
    }

private:
    Descriptor fd_;
};

}  // namespace

OpenedSocket open_datagram_socket(int family) {
    Descriptor fd(::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) return {nullptr, errno};
    if (!DescriptorReserve::leaves_spare(fd.get())) return {nullptr, EMFILE};
    if (family == AF_INET) {
        // Sending to a broadcast address (255.255.255.255 or a network's) needs it.
        const int on = 1;
        ::setsockopt(fd.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    }
    // Every target of the family shares its send buffer, which a tick's
    // burst to many targets fills while the interface drains it: as large
    // as the system allows (net.core.wmem_max caps it).
    const int buffer = 4 << 20;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    datagram_reports::ask_for(fd.get(), family);
    return {std::make_unique<SystemDatagramSocket>(std::move(fd)), 0};
}

}  // namespace vadrel
