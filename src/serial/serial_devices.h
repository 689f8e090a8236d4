#pragma once
// The serial devices the system has now, as QSerialPortInfo finds them
// (UARTs, USB adapters, Bluetooth serial links; pseudo-terminals are not
// listed).

#include <string>
#include <vector>

namespace vadrel {

struct SerialDevice {
    std::string path;  // "/dev/ttyUSB0"
    std::string name;  // "ttyUSB0"
    std::string description;
    std::string manufacturer;
    std::string serial_number;

    bool operator==(const SerialDevice&) const = default;
};

// In the order of their paths.
std::vector<SerialDevice> serial_devices();

}  // namespace vadrel
