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
#include "model/receiver_options.h"

namespace vadrel {

// The options in the file, all off where it says nothing. A value that
// cannot be used leaves its option as by default (faults that cannot be used
// leave them off), and `problems` gets a line naming it.
ReceiverOptions read_receiver_settings(const SettingsFile& file, std::vector<std::string>& problems);
// "" when saved, else why not.
std::string save_receiver_settings(SettingsFile& file, const ReceiverOptions& chosen_options);

}  // namespace vadrel
