#pragma once
// The receiver's sky as the operator gives it, on the command line or in
// vadrel.ini: each text read into its value, or why not, in Italian (the
// caller puts the option's name before the reason). Decimals take a point.
//
//   read_obstruction("200-340:40");   // Obstruction{200, 340, 40}: a building to the west
//   read_fix_outage("30/300");        // FixOutage{30, 300}
//   read_rate("5");                   // 5 fixes a second
//   read_talker("GN");                // Talker::gn
//   read_sentence_list("RMC,GGA,GSA,GSV,GLL");

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "sky/receiver_error.h"
#include "sky/sky.h"
#include "sky/sky_sentences.h"

namespace vadrel {

// --maschera GRADI: 0 to 90.
std::variant<double, std::string> read_mask(std::string_view text);
// --ostacolo AZIMUT1-AZIMUT2:ELEVAZIONE: azimuths 0 to 360, elevation 0 to 90.
std::variant<Obstruction, std::string> read_obstruction(std::string_view text);
// The text read_obstruction reads back: "200-340:40".
std::string obstruction_text(const Obstruction& obstruction);
// Obstructions separated by commas, as vadrel.ini and the control interface
// write them: "200-340:40,0-30:15"; "" is none.
std::variant<std::vector<Obstruction>, std::string> read_obstruction_list(std::string_view text);
std::string obstruction_list_text(const std::vector<Obstruction>& list);
// --rumore METRI: 0 (none) to max_noise.
inline constexpr double max_noise = 1000.0;
std::variant<double, std::string> read_noise(std::string_view text);
// --frequenza 1|2|5|10: fixes a second.
inline constexpr std::array<int, 4> fix_rates{1, 2, 5, 10};
std::variant<int, std::string> read_rate(std::string_view text);
// --talker GP|GN (either case).
std::variant<Talker, std::string> read_talker(std::string_view text);
// perdita-fix=DURATA/OGNI, whole seconds: 1 <= DURATA < OGNI <= one day.
std::variant<FixOutage, std::string> read_fix_outage(std::string_view text);

// The sentences of the full set, and the order they go in (SentenceKind,
// sky_sentences.h): a list of names separated by commas, each once, RMC
// among them ("RMC,GGA,VTG,GSA,GSV,ZDA,GLL,HDT").
std::variant<std::vector<SentenceKind>, std::string> read_sentence_list(std::string_view text);
std::string sentence_list_text(const std::vector<SentenceKind>& list);

}  // namespace vadrel
