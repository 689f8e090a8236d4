#include "port_settings.h"

#include "serial/ports.h"

namespace vadrel {

namespace {

constexpr const char* ports_group = "porte";

std::string port_key(int number) { return "com" + std::to_string(number); }

}  // namespace

std::string device_problem(const std::string& device) {
    if (device.empty()) return "manca il dispositivo";
    if (device.front() != '/' && device.find('/') != std::string::npos)
        return "vuole un percorso completo (/dev/...) o il nome di un dispositivo, non \"" + device + "\"";
    return {};
}

GroupRead<PortSettings> read_port_settings(const SettingsFile& file) {
    GroupReader read(file, ports_group);
    PortSettings settings;
    for (const std::int16_t number : com_ports) {
        const QVariant value = file.value(ports_group, port_key(number));
        if (!value.isValid()) continue;
        const std::string device = value.toString().trimmed().toStdString();
        if (device.empty()) continue;
        if (const std::string why = device_problem(device); !why.empty()) {
            read.note(port_key(number) + " " + why);
            continue;
        }
        settings.devices[number] = device;
    }
    return read.done(settings);
}

Result<> save_port_settings(SettingsFile& file, const PortSettings& settings) {
    std::map<std::string, QVariant> values;
    for (const auto& [number, device] : settings.devices) values[port_key(number)] = QString::fromStdString(device);
    return file.save_group(ports_group, values);
}

}  // namespace vadrel
