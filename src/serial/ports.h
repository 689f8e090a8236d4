#pragma once
// The serial ports and line speeds vadrel offers: COM 1 to COM 4 and 2400,
// 4800 or 9600 baud, always no parity, 8 data bits, 1 stop bit. The one
// table of each for the panel's buttons, the command line, vadrel.ini and
// the port layer.

#include <array>
#include <cstdint>
#include <string>

namespace vadrel {

inline constexpr std::array<std::int16_t, 4> com_ports{1, 2, 3, 4};
constexpr bool valid_com_port(long number) { return number >= com_ports.front() && number <= com_ports.back(); }

inline constexpr std::array<int, 3> line_speeds{2400, 4800, 9600};
bool valid_line_speed(long baud);
// "4800,N,8,1"
std::string line_settings_text(int baud);
// "2400, 4800 o 9600", for messages.
std::string line_speed_list();

// The device text that makes a COM a new virtual port (a pseudo-terminal),
// in vadrel.ini and in "Porta...", as "--com N=pty" does.
inline constexpr const char* virtual_device = "pty";

// What COM 1 .. 4 stand for: the system behind the port (port_router.h).
class PortDevices {
public:
    virtual ~PortDevices() = default;
    // COM number uses this device from its next open; a number outside 1 .. 4
    // throws std::out_of_range. virtual_device makes a new virtual port now,
    // and throws PortFailure (the COM as it was) when it cannot be made.
    virtual void use_device(int number, const std::string& device) = 0;
    // "/dev/ttyS1", "/dev/pts/4 (virtuale)"; empty outside 1 .. 4.
    virtual std::string describe(int number) const = 0;
};

}  // namespace vadrel
