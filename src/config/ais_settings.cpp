#include "ais_settings.h"

#include <QString>

namespace vadrel {

namespace {

constexpr const char* ais_group = "ais";

std::string key(std::size_t n, const char* field) { return "mezzo" + std::to_string(n) + "_" + field; }

// Vehicle n's identity as the file gives it; nullopt when it refuses a value
// (said in `problems`).
std::optional<AisIdentity> read_identity(const SettingsFile& file, GroupReader& read, std::size_t n,
                                         std::vector<std::string>& problems) {
    const std::size_t before = read.refused();
    AisIdentity id = default_identity(n);
    const std::string mmsi_key = key(n, "mmsi");
    const std::string mmsi = read.text(mmsi_key.c_str(), mmsi_text(id.mmsi));
    const auto read_number = read_mmsi(mmsi);
    if (const auto* value = std::get_if<std::uint32_t>(&read_number)) {
        id.mmsi = *value;
    } else {
        read.refuse(mmsi_key.c_str(), "un MMSI di nove cifre, da 000000001 a 999999999", 0);
    }
    const std::string class_key = key(n, "classe");
    const auto ais_class = read_ais_class(read.text(class_key.c_str(), "A"));
    if (const auto* value = std::get_if<AisClass>(&ais_class)) {
        id.ais_class = *value;
    } else {
        read.refuse(class_key.c_str(), "A o B", 0);
    }
    const std::string type_key = key(n, "tipo");
    id.ship_type = static_cast<std::uint8_t>(read.integer(type_key.c_str(), id.ship_type, 0, 99));
    const std::string name_key = key(n, "nome");
    id.name = read.text(name_key.c_str(), "");
    const std::string call_key = key(n, "nominativo");
    id.call_sign = read.text(call_key.c_str(), "");
    if (read.refused() != before) return std::nullopt;
    if (const auto problem = identity_problem(id)) {
        const std::string field = problem->field == "nominativo" ? call_key : name_key;
        problems.push_back(file.path() + ": [" + ais_group + "] " + field + ": " + problem->reason);
        return std::nullopt;
    }
    return id;
}

}  // namespace

std::array<AisIdentity, fleet_size> AisSettings::default_identities() {
    std::array<AisIdentity, fleet_size> ids;
    for (std::size_t n = 0; n < fleet_size; ++n) ids[n] = default_identity(n);
    return ids;
}

AisSettings read_ais_settings(const SettingsFile& file, std::vector<std::string>& problems) {
    GroupReader read(file, ais_group, problems);
    AisSettings s;
    s.enabled = read.flag("attivi", s.enabled);
    s.own_ship = read.flag("nave_propria", s.own_ship);
    s.statics_at_once = read.flag("statici_subito", s.statics_at_once);
    for (std::size_t n = 0; n < fleet_size; ++n) {
        if (auto id = read_identity(file, read, n, problems)) s.vehicles[n] = *id;
    }
    // Two vehicles with one MMSI: the later one set in the file goes back to
    // its own default (a default is never another vehicle's).
    for (std::size_t i = 0; i < fleet_size; ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (s.vehicles[i].mmsi != s.vehicles[j].mmsi) continue;
            const std::size_t back = s.vehicles[i] == default_identity(i) ? j : i;
            problems.push_back(file.path() + ": [" + ais_group + "] l'MMSI " + mmsi_text(s.vehicles[i].mmsi) +
                               " è sia del mezzo " + std::to_string(j) + " sia del mezzo " + std::to_string(i) +
                               ": il mezzo " + std::to_string(back) + " torna a " +
                               mmsi_text(default_identity(back).mmsi));
            s.vehicles[back] = default_identity(back);
        }
    }
    return s;
}

std::string save_ais_settings(SettingsFile& file, const AisSettings& s) {
    std::map<std::string, QVariant> values{{"attivi", s.enabled}, {"nave_propria", s.own_ship},
                                         {"statici_subito", s.statics_at_once}};
    for (std::size_t n = 0; n < fleet_size; ++n) {
        const AisIdentity& id = s.vehicles[n];
        if (id == default_identity(n)) continue;
        values[key(n, "mmsi")] = QString::fromStdString(mmsi_text(id.mmsi));
        values[key(n, "classe")] = ais_class_text(id.ais_class);
        values[key(n, "tipo")] = id.ship_type;
        values[key(n, "nome")] = QString::fromStdString(id.name);
        values[key(n, "nominativo")] = QString::fromStdString(id.call_sign);
    }
    return file.save_group(ais_group, values);
}

}  // namespace vadrel
