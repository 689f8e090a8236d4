#pragma once
// What only some systems have: the network's errors for a datagram socket's
// datagrams, each with its destination. One file per platform, chosen by
// CMake (datagram_reports_linux.cpp, datagram_reports_portable.cpp).

#include <vector>

#include "outputs/datagram_socket.h"

namespace vadrel::datagram_reports {

// Asks the system to keep the network's errors for `fd`'s datagrams.
void ask_for(int fd, int family);
// Appends to `reports` those kept since the last call, without waiting.
void take(int fd, std::vector<DatagramSocket::Report>& reports);

}  // namespace vadrel::datagram_reports
