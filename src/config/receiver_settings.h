#pragma once
// The receiver options, the group [ricevitore] of vadrel.ini, as the menu
// "Opzioni" keeps them:
//
//   [ricevitore]
//   utc=true
//   moto_reale=true
//   frasi=complete
//   quota=254.5
//   senza_fix=false
//   guasti=true
//   guasti_perdita=0.1
//   guasti_checksum=0.05
//   guasti_tronca=0.05
//   guasti_seme=7
//   guasti_perdita_fix=30/300
//   satelliti=true
//   maschera=10
//   ostacoli="200-340:40,0-30:15"
//   rumore=3
//   frequenza=5
//   talker=GN
//   elenco_frasi="RMC,GGA,VTG,GSA,GSV,ZDA,GLL"

#include <string>
#include <vector>

#include "config/settings_file.h"
#include "config/settings_model.h"
#include "model/receiver_options.h"

namespace vadrel {

// The options in the file, all off where it says nothing. A value that
// cannot be used leaves its option as by default (faults that cannot be used
// leave them off), with a line naming it.
GroupRead<ReceiverOptions> read_receiver_settings(const SettingsFile& file);
Result<> save_receiver_settings(SettingsFile& file, const ReceiverOptions& chosen_options);

// The group as a model, one change path for every source.
using ReceiverSettingsModel = SettingsModel<ReceiverOptions>;
// The file keeps the fields a change touches; the fault rates and their seed
// go together, as the faults' dialog sets them. What the command line chose
// for this run and the change leaves alone stays out of the file.
ReceiverSettingsModel::Rules receiver_rules(SettingsFile& file);

}  // namespace vadrel
