#pragma once
// The sentences of one second for the current vehicle: the $GPRMC and, as
// the receiver options ask, the full set, the sentences of a receiver that
// has lost its fix, and the radio burst around them. The sentences
// themselves are put together by the builders of core/sentences.h.

#include <string>
#include <vector>

#include "core/sentences.h"
#include "model/form1.h"

namespace vadrel {

// $GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B
//
// Builds the sentence without line end. In multi-user mode it is prefixed
// with "@" and the vehicle's number, and the panel moves on to the next
// vehicle, after which pending events run once.
std::string forma_stringa_rmc(Form1& form);

// The sentences of this second in the order they leave, each without line
// end or separator. GPS-standard and multi-user mode: the $GPRMC, followed
// with the full set by $GPGGA, $GPVTG, $GPGSA and $GPZDA, all with the
// vehicle's "@n" in multi-user mode. Radio mode: the seven sentences of the
// burst, whose $GPVTG, $GPGGA and $GPGSA tell the live fix (or its loss)
// when the full set or the loss of the signal is on. Does the multi-user
// step as forma_stringa_rmc does. All the time fields come from one reading
// of the clock.
std::vector<std::string> forma_frasi(Form1& form);

// CR, LF and five NUL characters.
std::string radio_separator();

// Each sentence behind the separator, closed by one more separator.
std::string incornicia_radio(const std::vector<std::string>& frasi);

// The seven sentences of radio mode with the fixed ones around the live
// $GPRMC, which stands fourth.
std::string forma_pacchetto_radio(const std::string& rmc);

// The six fixed sentences of the burst, in burst order around the $GPRMC,
// made by the builders from their fixed field values.
inline const std::string gsv_1 = frase(Gsv{"2", "1", "08",
                                           {{{"04", "47", "228", "46"},
                                             {"14", "05", "121", ""},
                                             {"16", "16", "303", "39"},
                                             {"18", "57", "057", "46"}}}});
inline const std::string gsv_2 = frase(Gsv{"2", "2", "08",
                                           {{{"19", "64", "163", "46"},
                                             {"22", "09", "040", "41"},
                                             {"27", "39", "196", "44"},
                                             {"29", "33", "067", "46"}}}});
inline const std::string rme = frase(Rme{"297.9", "300.0", "297.9"});
inline const std::string vtg = frase(Vtg{"327.9", "327.4", "03.0", "05.5"});
inline const std::string gga = frase(
    Gga{"201528", "4400.6787", "N", "01007.7087", "E", "1", "03", "6.3", "254.5", "M", "47.9", "M", "", ""});
inline const std::string gsa =
    frase(Gsa{"A", "3", {"", "", "", "18", "", "", "27", "29", "", "", "", ""}, "6.3", "6.3", "1.0"});

}  // namespace vadrel
