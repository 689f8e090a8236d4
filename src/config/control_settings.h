#pragma once
// The control interface's settings, the group [controllo] of vadrel.ini, as
// the window's "Uscite > Controllo..." keeps them:
//
//   [controllo]
//   attivo=true
//   indirizzo=127.0.0.1
//   porta=8080
//
// Off by default. The address is kept as written; the program checks it
// when it listens. --controllo overrides the group for one run.

#include <string>
#include <vector>

#include "config/settings_file.h"
#include "config/settings_model.h"

namespace vadrel {

struct ControlSettings {
    bool on = false;
    std::string address = "127.0.0.1";
    int port = 8080;
    bool operator==(const ControlSettings&) const = default;
};

// The settings in the file, the defaults for what is missing; a value that
// cannot be used gets a line and leaves the interface off.
GroupRead<ControlSettings> read_control_settings(const SettingsFile& file);
Result<> save_control_settings(SettingsFile& file, const ControlSettings& settings);

// The group as a model, one change path for every source.
using ControlSettingsModel = SettingsModel<ControlSettings>;

}  // namespace vadrel
