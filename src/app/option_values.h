#pragma once
// The values of the command line's options read from their text: numbers
// as the operator writes them, paths made absolute, the faults' parts.

#include <optional>
#include <string>
#include <variant>

#include "app/options.h"
#include "model/receiver_options.h"

namespace vadrel {

// A whole number, all of the text.
std::optional<long> whole_number(const std::string& text);
// Seconds, with a decimal point: "2", "0.5".
std::optional<double> seconds(const std::string& text);
// A path of the command line as an absolute path, taken against the folder
// the program was started in: start-up makes the program's folder current,
// after which a relative path would name something else.
std::string absolute_path(const std::string& path);
// A finite number, all of the text.
std::optional<double> finite_number(const std::string& text);
// "perdita=P,checksum=P,tronca=P,seme=N", or why not, in Italian.
std::variant<Faults, std::string> read_faults(const std::string& text);

}  // namespace vadrel
