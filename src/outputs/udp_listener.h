#pragma once
// A UDP port the program listens on for lines a peer sends (a chart
// plotter's autopilot sentences): each datagram one or more whole lines.
//
//   UdpListener udp;
//   udp.start(Endpoint{"0.0.0.0", 10111});   // "" or why it cannot listen
//   udp.set_lines(&pilot);
//   udp.next_second();                       // from the tick: a new share once a second has gone by
//
// A flooding peer is read at most read_budget bytes a real second (a second
// of `now`, however fast the program's clock runs); what is left
// waits in the kernel's buffer, which drops the excess, and never slows the
// tick. While the listener wants no lines, the datagrams are read and dropped.

#include <QObject>
#include <QUdpSocket>
#include <chrono>
#include <functional>
#include <string>

#include "model/line_listener.h"
#include "model/read_budget.h"
#include "outputs/network_address.h"

namespace vadrel {

class UdpListener final : public QObject {
    Q_OBJECT
public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::size_t read_budget = 64 * 1024;

    explicit UdpListener(Now now = &std::chrono::steady_clock::now, QObject* parent = nullptr);

    // Listens on `where` (a listener elsewhere is closed first); "" when it
    // does, else why not, in Italian.
    std::string start(const Endpoint& where);
    void stop();
    bool listening() const { return socket_.state() == QAbstractSocket::BoundState; }
    // "127.0.0.1:10111", with the port taken when 0 was asked; "" when not listening.
    std::string address() const;

    // Who takes the lines (nullptr: nobody); it must outlive the listener
    // or be taken away first.
    void set_lines(LineListener* lines) { lines_ = lines; }
    // A new share when a real second has gone by since this one began, and
    // what waited meanwhile read.
    void next_second();
    // Datagrams read so far, and bytes left to the kernel for want of budget.
    long long datagrams() const { return datagrams_; }

private:
    void read_waiting();

    Now now_;
    QUdpSocket socket_;
    ReadBudget budget_{read_budget};
    LineListener* lines_ = nullptr;
    long long datagrams_ = 0;
};

}  // namespace vadrel
