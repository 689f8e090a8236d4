#pragma once
// The one table of the command line's options: each option's name, its
// argument, its lines of --help and how it reads its value. parse_options,
// help_text and option_names (options.h) read it.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/options.h"

namespace vadrel {

// One option of the command line: its name, the argument it takes, the
// lines --help shows for it, and how it reads its value into the options.
// The value is nullopt when the command line ends before it; the reader
// returns the Italian message of a bad or missing value, or nothing.
struct OptionSpec {
    enum class Kind : unsigned char { flag, value, on_off };
    const char* name;
    Kind kind;
    const char* argument;  // as --help writes it ("" for none)
    const char* help;      // its lines, the second and later ones indented by the table
    std::function<std::optional<std::string>(Options&, const std::optional<std::string>&)> read;
};

// The groups of options, each a data table in a file of its own
// (option_table.cpp: the simulator's own).
std::vector<OptionSpec> simulator_options();
// The set-piece AIS situations: encounters, buoys, a SART (option_table_encounters.cpp).
std::vector<OptionSpec> encounter_options();
// The tracked fleet's (option_table_fleet.cpp).
std::vector<OptionSpec> fleet_options();
// Why the fleet's options do not go together (a --flotta without its
// --flotta-verso), or "".
std::string fleet_options_problem(const Options& options);
std::vector<OptionSpec> n2k_options();  // option_table_n2k.cpp
// option_table_pilot.cpp: the autopilot's.
std::vector<OptionSpec> pilot_options();
// option_table_instruments.cpp: the own ship's instruments.
std::vector<OptionSpec> instrument_options();

// Every option, in the order --help lists them; a null name starts a new
// part of the help with the heading in `help`.
const std::vector<OptionSpec>& option_table();
// The option of that name ("--tcp"); nullptr for none.
const OptionSpec* find_option(const std::string& name);

}  // namespace vadrel
