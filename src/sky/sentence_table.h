#pragma once
// Every kind of sentence vadrel sends, in one table: its name, the builder
// that makes it in the full set and where it may go. Orders (the burst's,
// the default full sets) are lists of these kinds; a name is looked up here.
//
//   const SentenceRow* row = sentence_row("GSV");  // GSV: full set and elenco_frasi, radio burst
//   row->build(fix);                               // its $GPGSV group for that fix

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/receiver_options.h"
#include "nmea/sentences.h"
#include "sky/sky.h"

namespace vadrel {

struct FixTexts;

// Where a kind may be sent: a set of these bits.
struct SentIn {
    static constexpr std::uint8_t gps_standard = 1;  // the plain $GPRMC of GPS standard and multi-user
    static constexpr std::uint8_t radio_burst = 2;   // the radio receiver's burst
    static constexpr std::uint8_t full_set = 4;      // the full set, and so its list (elenco_frasi)
};

// One fix as the full set's builders take it: the caller's texts, the sky,
// its $GPRMC (which GLL and HDT repeat) and its time field.
struct FullSetFix {
    const FixTexts& fix;
    const Sky& sky;
    const Rmc& rmc;
    const std::string& time;
    std::string_view prefix;
};

struct SentenceRow {
    std::string_view name;               // "RMC", as elenco_frasi names it
    std::optional<SentenceKind> kind;    // its kind in the full set, if it has one
    std::vector<std::string> (*build)(const FullSetFix&);  // the full set's builder; nullptr: none
    std::uint8_t where;                  // SentIn bits
};

// The table, one row a kind.
const std::array<SentenceRow, 9>& sentence_table();

// The row of a name ("GGA"), or nullptr.
const SentenceRow* sentence_row(std::string_view name);
// The row of a kind of the full set.
const SentenceRow& sentence_row(SentenceKind kind);

// The names of the rows allowed `where`, joined by ", ": "RMC, GGA, ...".
std::string sentence_names_in(std::uint8_t where);

}  // namespace vadrel
