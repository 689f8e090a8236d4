#pragma once
// Faults put into the output on purpose, drawn from the seed of the options
// (SplitMix64, so the same seed gives the same faults everywhere): a second
// whose sentences are not sent at all, a sentence with a wrong checksum, a
// sentence cut short. The monitor marks each one.

#include <string>
#include <vector>

#include "model/receiver_options.h"

namespace vadrel {

struct FaultsOfSecond {
    bool lost = false;               // nothing of this second goes out
    std::vector<std::string> marks;  // per sentence: its mark for the monitor, or ""
};

// Draws this second's faults from `dice` and puts them into its sentences
// (each a whole sentence with its "*" and checksum, without line end). A
// wrong checksum has its two digits changed; a cut sentence loses its end,
// the checksum always with it. Draws nothing while the faults are off.
FaultsOfSecond apply_faults(const Faults& faults, SplitMix64& dice, std::vector<std::string>& sentences);

// The monitor's marks: the line of a second not sent names its time field.
inline std::string lost_second_mark(const std::string& time) {
    return "[guasto: secondo " + time + " non inviato]";
}
inline constexpr const char* wrong_checksum_mark = "  [guasto: checksum errato]";
inline constexpr const char* cut_sentence_mark = "  [guasto: frase troncata]";

}  // namespace vadrel
