#pragma once
// Faults put into the output on purpose, drawn from the seed of the options
// (SplitMix64, so the same seed gives the same faults everywhere): a second
// whose sentences are not sent at all, a sentence with a wrong checksum, a
// sentence cut short. The monitor marks each one.

#include <string>
#include <vector>

#include "model/form1.h"

namespace vadrel {

struct GuastiDelSecondo {
    bool perso = false;              // nothing of this second goes out
    std::vector<std::string> segni;  // per sentence: its mark for the monitor, or ""
};

// Draws this second's faults and puts them into its sentences (each a whole
// sentence with its "*" and checksum, without line end). A wrong checksum has
// its two digits changed; a cut sentence loses its end, the checksum always
// with it. Draws nothing while the faults are off.
GuastiDelSecondo applica_guasti(Form1& form, std::vector<std::string>& frasi);

// The receiver options from now on; a change of the faults starts their
// sequence again from the seed.
void imposta_ricevitore(Form1& form, const OpzioniRicevitore& opzioni);

// The monitor's marks: the line of a second not sent names its time field.
inline std::string segno_perso(const std::string& ora) { return "[guasto: secondo " + ora + " non inviato]"; }
inline constexpr const char* segno_checksum = "  [guasto: checksum errato]";
inline constexpr const char* segno_tronca = "  [guasto: frase troncata]";

}  // namespace vadrel
