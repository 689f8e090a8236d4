#pragma once
// The devices COM 1 to COM 4 stand for, the group [porte] of vadrel.ini:
//
//   [porte]
//   com1=/dev/ttyUSB0
//   com3=ttyACM0
//
// A number that is not there uses its default device. A device is a full
// path, or a bare name the serial layer looks for under /dev.

#include <map>
#include <string>
#include <vector>

#include "config/settings_file.h"
#include "config/settings_model.h"

namespace vadrel {

struct PortSettings {
    std::map<int, std::string> devices;  // COM number -> device; only the mapped ones

    bool operator==(const PortSettings&) const = default;
};

// Why a device text cannot stand for a port, in Italian; "" when it can.
// A relative path with a folder in it would name something else once the
// program's folder is current.
std::string device_problem(const std::string& device);

// The mappings in the file; other keys are not read. A device that cannot
// be is left out, with a line naming it.
GroupRead<PortSettings> read_port_settings(const SettingsFile& file);
Result<> save_port_settings(SettingsFile& file, const PortSettings& settings);

// The group as a model, one change path for every source.
using PortSettingsModel = SettingsModel<PortSettings>;

}  // namespace vadrel
