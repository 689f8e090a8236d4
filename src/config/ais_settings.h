#pragma once
// The AIS targets, the group [ais] of vadrel.ini, as "Opzioni" > "Bersagli
// AIS..." keeps them: whether they are sent, whether the own ship is sent
// too, and each vehicle's identity where it is not the default one
// (ais/identity.h: MMSI 900000000 + n, class A, "MEZZO n", type 90):
//
//   [ais]
//   attivi=true
//   nave_propria=false
//   statici_subito=false
//   mezzo3_mmsi=247000003
//   mezzo3_classe=B
//   mezzo3_nome=Libeccio
//   mezzo3_tipo=37
//   mezzo3_nominativo=IABC

#include <array>
#include <string>
#include <vector>

#include "ais/identity.h"
#include "config/settings_file.h"

namespace vadrel {

struct AisSettings {
    bool enabled = false;
    bool own_ship = false;  // the current vehicle as !AIVDO
    // Every target's static data (messages 5 and 24) to each new TCP client
    // and stream in its first second, beside the transponder's rhythm.
    bool statics_at_once = false;
    std::array<AisIdentity, fleet_size> vehicles = default_identities();
    bool operator==(const AisSettings&) const = default;

    static std::array<AisIdentity, fleet_size> default_identities();
};

// The settings in the file, defaults where it says nothing. A vehicle's
// value that cannot be used leaves that vehicle's identity as by default,
// and `problems` gets a line naming it; so does a vehicle whose MMSI
// another one already has.
AisSettings read_ais_settings(const SettingsFile& file, std::vector<std::string>& problems);
// "" when saved, else why not.
std::string save_ais_settings(SettingsFile& file, const AisSettings& settings);

}  // namespace vadrel
