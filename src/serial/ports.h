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

}  // namespace vadrel
