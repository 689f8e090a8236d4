#pragma once
// A real serial device through QSerialPort (a UART, a USB adapter, or any
// tty such as the slave side of a pseudo-terminal).
//
//   DevicePort port("/dev/ttyUSB0");
//   port.open(*parse_line_settings("4800,N,8,1"));   // throws PortFailure
//   port.write("$GPRMC,...\r\n");                     // false: line still busy
//
// Needs a Qt event dispatcher in its thread (a QCoreApplication), as every
// QSerialPort does. QSerialPort writes, opened write-only so that opening,
// writing and losing the port go as they always did; what the far end sends
// is read through a second descriptor of the same open device (Linux), by
// a PortInput: lines for the listener, the rest dropped.

#include <QSerialPort>
#include <functional>
#include <string>

#include "os/descriptor.h"
#include "serial/port_input.h"
#include "serial/port_line.h"

namespace vadrel {

// Bytes still in the kernel's output queue of a device (TIOCOUTQ), 0 where
// the platform cannot tell.
int kernel_output_queue(qintptr handle);

class DevicePort final : public PortLine {
public:
    // How many bytes the device still has to send; the kernel's count, or a
    // stand-in where no real UART is there to fill its queue (tests).
    using OutputQueue = std::function<int(qintptr handle)>;

    explicit DevicePort(std::string device, OutputQueue output_queue = &kernel_output_queue);
    ~DevicePort() override;
    DevicePort(const DevicePort&) = delete;
    DevicePort& operator=(const DevicePort&) = delete;

    void open(const LineSettings& settings) override;
    void close() override;
    bool is_open() const override;
    // Skips while QSerialPort still holds bytes or the kernel's output queue
    // of the device is not empty: a radio burst at 2400 baud takes about
    // 1.84 s, and queuing the next one behind it would send stale positions.
    bool write(std::string_view bytes) override;
    std::string describe() const override;
    void set_lines(LineListener* lines) override { input_.set_lines(lines); }
    void take_input() override { input_.next_second(); }

private:
    // The second descriptor, for reading; none where it cannot be had.
    void open_input();

    // Closes the port and throws porta_persa; `system_error` is errno right
    // after the failing call, 0 when there is none.
    [[noreturn]] void lose(const std::string& what, int system_error);

    std::string device_;
    OutputQueue output_queue_;
    QSerialPort port_;
    Descriptor reader_;
    PortInput input_;
};

}  // namespace vadrel
