#pragma once
// One datagram socket of an address family, shared by every UDP target of
// that family: it sends without waiting, and hands back the errors the
// network reports for its datagrams, each with the destination it concerns.
//
//   OpenedSocket v4 = open_datagram_socket(AF_INET);
//   if (!v4.socket) ...                                   // v4.error: why not
//   int error = v4.socket->send_to(*socket_address("127.0.0.1", 10110), bytes);
//   for (const auto& report : v4.socket->take_reports()) ...   // ECONNREFUSED for 127.0.0.1:10110
//
// On Linux the socket asks for the network's errors (IP_RECVERR,
// IPV6_RECVERR) and reads them from its error queue, where each carries the
// destination of the datagram it answers. Elsewhere it reports nothing:
// a target then hears only of what sending itself refuses.

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "outputs/network_address.h"

namespace vadrel {

class DatagramSocket {
public:
    struct Report {
        SocketAddress destination;
        int error = 0;  // errno: ECONNREFUSED, EHOSTUNREACH, EMSGSIZE, ...
    };

    virtual ~DatagramSocket() = default;
    // 0 when the whole datagram went, else the system's error number; never
    // waits (EAGAIN when the socket's buffer is full). An error may be one
    // the network reported for an earlier datagram to another destination:
    // take_reports() tells.
    virtual int send_to(const SocketAddress& to, std::string_view bytes) = 0;
    // The network's errors since the last call, oldest first.
    virtual std::vector<Report> take_reports() = 0;
};

struct OpenedSocket {
    std::unique_ptr<DatagramSocket> socket;
    int error = 0;  // why there is none: EMFILE also when it would leave the program short of descriptors
};
using DatagramSocketOpener = std::function<OpenedSocket(int family)>;

// A non-blocking socket of `family` (AF_INET may broadcast), within the
// program's descriptor reserve.
OpenedSocket open_datagram_socket(int family);

}  // namespace vadrel
