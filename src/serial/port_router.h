#pragma once
// The program's serial port: COM 1 to COM 4, each on its own backend.
//
//   PortRouter port;                                   // every COM N on its default device
//   port.use_device(3, "/dev/ttyUSB0");                // COM 3 is a USB adapter
//   const auto& com2 = port.use_virtual(2, "/tmp/vadrel-com2");  // COM 2 is a pseudo-terminal
//   std::cout << com2.slave_path();                    // printable before the first tick
//   Platform platform{port, clock, shell};             // the panel sees a SerialPort
//
// Default devices: COM N is "/dev/ttyS<N-1>" on Linux and other Unix systems,
// "COMN" on Windows. Changing a map takes effect at the next open of that number.
//
// Port semantics, as the panel relies on them:
// * is_open() never fails.
// * set_port_number() and set_settings() only record; they take effect at the
//   next open(). A settings text that cannot be read throws PortFailure (8010)
//   and leaves the former settings.
// * open() opens the recorded number with the recorded settings. When that
//   very port is already open with those settings it does nothing (start-up may
//   open a port the window's own port choice has opened); an open port of
//   another number or with other settings is closed first. A number outside
//   1..4 is a PortFailure (8002).
// * write() returns false when it skipped (see the backends), throws
//   PortFailure (8015) when the port was lost; the port is then closed, and a
//   later open() of any number starts afresh.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/platform.h"
#include "serial/line_settings.h"
#include "serial/port_line.h"
#include "serial/ports.h"

namespace vadrel {

class VirtualSerialPort;

// The device a port number uses when nothing else is mapped; empty outside 1..4.
std::string default_device(int number);

class PortRouter final : public SerialPort, public PortDevices {
public:
    PortRouter();
    ~PortRouter() override;
    PortRouter(const PortRouter&) = delete;
    PortRouter& operator=(const PortRouter&) = delete;

    // COM number uses this device through QSerialPort. Throws
    // std::out_of_range for a number outside 1..4.
    void use_device(int number, const std::string& device) override;
    // COM number becomes a virtual port: the pseudo-terminal is made now (and
    // the link, when link_path is not empty). Throws PortFailure (8018) when it
    // cannot be made, std::out_of_range for a number outside 1..4.
    const VirtualSerialPort& use_virtual(int number, const std::string& link_path = {});
    // "/dev/ttyS1", "/dev/pts/4 (virtuale)"; empty outside 1..4.
    std::string describe(int number) const override;
    // The path a client opens to read COM number when it is a virtual port
    // ("/dev/pts/4", or the link asked for); "" otherwise.
    std::string virtual_path(int number) const;

    bool is_open() const override;
    void open() override;
    void close() override;
    void set_port_number(std::int16_t number) override;
    void set_settings(const std::string& settings) override;
    std::string settings() const override { return settings_text_; }
    bool write(std::string_view bytes) override;
    // Who takes the lines the other end of the port sends (nullptr:
    // nobody); it must outlive the router or be taken away first.
    void set_lines(LineListener* lines);
    // From the tick: the open port's new share of what comes in, once a
    // real second has gone by, and what waited read; whether the port
    // transmits or not.
    void take_input();

private:
    struct Slot {
        std::string device;
        std::string virtual_path;  // what a client opens, for a virtual port
        std::unique_ptr<PortLine> line;  // made at the first open, or by use_virtual
    };
    Slot& slot(int number);
    const Slot& slot(int number) const;

    std::array<Slot, com_ports.size()> slots_;
    std::int16_t number_ = 1;
    std::string settings_text_ = "4800,N,8,1";
    LineSettings settings_;
    PortLine* active_ = nullptr;
    LineListener* lines_ = nullptr;
    LineSettings active_settings_;
};

}  // namespace vadrel
