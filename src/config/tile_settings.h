#pragma once
// The map's street layer, the group [mappa] of vadrel.ini, as the map's
// "Strade..." dialog keeps them:
//
//   [mappa]
//   strade=false
//   indirizzo=https://tile.openstreetmap.org/{z}/{x}/{y}.png
//
// Off by default: with it off the program asks nothing of the network.

#include <string>
#include <vector>

#include "config/settings_file.h"
#include "config/settings_model.h"

namespace vadrel {

inline constexpr const char* default_tile_address = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";

struct TileSettings {
    bool on = false;
    std::string address = default_tile_address;
    bool operator==(const TileSettings&) const = default;
};

// Why the address cannot be used, in Italian; "" when it can: an http or
// https address with a host, holding {z}, {x} and {y}.
std::string tile_address_problem(const std::string& address);

// The settings in the file, the defaults for what is missing; an address
// that cannot be used gets a line and leaves the layer off.
GroupRead<TileSettings> read_tile_settings(const SettingsFile& file);
Result<> save_tile_settings(SettingsFile& file, const TileSettings& settings);

// The group as a model, one change path for every source.
using TileSettingsModel = SettingsModel<TileSettings>;

}  // namespace vadrel
