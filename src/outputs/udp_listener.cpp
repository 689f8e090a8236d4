#include "udp_listener.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <utility>

#include "model/line_assembler.h"

namespace vadrel {

namespace {

QHostAddress host_address(const std::string& host) {
    if (host == "localhost") return QHostAddress(QHostAddress::LocalHost);
    if (host == "::") return QHostAddress(QHostAddress::Any);  // IPv6 and IPv4
    return QHostAddress(QString::fromStdString(host));
}

std::string peer_text(const QHostAddress& address, quint16 port) {
    bool v4 = false;
    const quint32 ipv4 = address.toIPv4Address(&v4);
    const std::string host =
        v4 ? QHostAddress(ipv4).toString().toStdString() : "[" + address.toString().toStdString() + "]";
    return host + ":" + std::to_string(port);
}

}  // namespace

UdpListener::UdpListener(Now now, QObject* parent) : QObject(parent), now_(std::move(now)) {
    connect(&socket_, &QUdpSocket::readyRead, this, &UdpListener::read_waiting);
}

std::string UdpListener::start(const Endpoint& where) {
    stop();
    if (const std::string problem = listen_host_problem(where.host); !problem.empty()) return problem;
    if (!socket_.bind(host_address(where.host), where.port, QAbstractSocket::DontShareAddress))
        return socket_.errorString().toStdString();
    return {};
}

void UdpListener::stop() { socket_.close(); }

std::string UdpListener::address() const {
    if (!listening()) return {};
    return peer_text(socket_.localAddress(), socket_.localPort());
}

void UdpListener::next_second() {
    budget_.renew(now_());
    if (listening()) read_waiting();
}

void UdpListener::read_waiting() {
    while (budget_.left() > 0 && socket_.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket_.receiveDatagram();
        const QByteArray& bytes = datagram.data();
        ++datagrams_;
        budget_.spend(static_cast<std::size_t>(std::max<qsizetype>(1, bytes.size())), now_());
        if (!lines_ || !lines_->wants_lines()) continue;
        const std::string source = "udp " + peer_text(datagram.senderAddress(), datagram.senderPort());
        // Each datagram whole: its last line needs no line end.
        LineAssembler lines(LineListener::longest_line);
        const auto each = [&](std::string_view line) { lines_->line(line, source); };
        lines.feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), each);
        if (!bytes.endsWith('\n')) lines.feed("\n", each);
    }
}

}  // namespace vadrel
