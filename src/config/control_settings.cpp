#include "control_settings.h"

namespace vadrel {

namespace {

constexpr const char* control_group = "controllo";

}  // namespace

GroupRead<ControlSettings> read_control_settings(const SettingsFile& file) {
    GroupReader read(file, control_group);
    ControlSettings settings;
    settings.on = read.flag("attivo", settings.on);
    settings.address = read.text("indirizzo", settings.address);
    settings.port = static_cast<int>(read.integer("porta", settings.port, 0, 65535));
    // An interface that cannot be what the file says stays off.
    if (read.refused() != 0) settings.on = false;
    return read.done(settings);
}

Result<> save_control_settings(SettingsFile& file, const ControlSettings& settings) {
    return file.save_group(control_group, {
                                      {"attivo", settings.on},
                                      {"indirizzo", QString::fromStdString(settings.address)},
                                      {"porta", settings.port},
                                  });
}

}  // namespace vadrel
