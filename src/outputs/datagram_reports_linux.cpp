// Linux keeps the network's errors for a socket that asks (IP_RECVERR,
// IPV6_RECVERR) on its error queue: one message each, whose name is the
// destination of the datagram the error answers (ip(7), ipv6(7)).

#include "datagram_reports.h"

#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace vadrel::datagram_reports {

void ask_for(int fd, int family) {
    const int on = 1;
    if (family == AF_INET6) {
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_RECVERR, &on, sizeof on);
    } else {
        ::setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    }
}

void take(int fd, std::vector<DatagramSocket::Report>& reports) {
    // The queue holds what fits the socket's receive buffer; the bound
    // keeps a flood from holding the tick.
    constexpr int most = 4096;
    for (int n = 0; n < most; ++n) {
        DatagramSocket::Report report;
        alignas(cmsghdr) char control[512];
        msghdr message{};
        message.msg_name = &report.destination.storage;
        message.msg_namelen = sizeof report.destination.storage;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (::recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) {
            if (errno == EINTR) continue;
            return;  // EAGAIN: none left
        }
        report.destination.length = message.msg_namelen;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            const bool ipv4 = c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR;
            const bool ipv6 = c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_RECVERR;
            if (!ipv4 && !ipv6) continue;
            sock_extended_err error;
            std::memcpy(&error, CMSG_DATA(c), sizeof error);
            report.error = static_cast<int>(error.ee_errno);
        }
        if (report.error != 0 && report.destination.length > 0) reports.push_back(report);
    }
}

}  // namespace vadrel::datagram_reports
