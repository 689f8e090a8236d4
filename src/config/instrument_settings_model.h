#pragma once
// The own ship's instruments, the group [strumenti] of vadrel.ini, as
// "Opzioni" > "Strumenti di bordo..." keeps them (marine/instrument_settings.h):
//
//   [strumenti]
//   attivi=true
//   vento_direzione=270
//   vento_nodi=15
//   corrente_direzione=90
//   corrente_nodi=1.5
//   profondita=12.5
//   offset_trasduttore=0.5
//   temperatura_acqua=14
//   variazione=2.5        ; empty or missing: not known
//   deviazione=

#include "config/settings_file.h"
#include "config/settings_model.h"
#include "marine/instrument_settings.h"

namespace vadrel {

// The settings in the file, defaults where it says nothing; a value out of
// range gives its default, with a line naming it.
GroupRead<InstrumentSettings> read_instrument_settings(const SettingsFile& file);
Result<> save_instrument_settings(SettingsFile& file, const InstrumentSettings& settings);

// The group as a model, one change path for every source.
using InstrumentSettingsModel = SettingsModel<InstrumentSettings>;
// Refuses a value out of range (instrument_settings_problem); the file
// keeps the switch only when a change touches it, and every value.
InstrumentSettingsModel::Rules instrument_rules(SettingsFile& file);

}  // namespace vadrel
