#include "serial_devices.h"

#include <QSerialPortInfo>
#include <algorithm>

namespace vadrel {

std::vector<SerialDevice> serial_devices() {
    std::vector<SerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        devices.push_back({info.systemLocation().toStdString(), info.portName().toStdString(),
                           info.description().toStdString(), info.manufacturer().toStdString(),
                           info.serialNumber().toStdString()});
    }
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.path < b.path; });
    return devices;
}

}  // namespace vadrel
