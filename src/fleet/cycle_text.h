#pragma once
// The multi-user cycle as a text gives it: the panel's "Numero di mezzi
// mobili" and the command line's --mezzi, read by one rule.

#include <string>

namespace vadrel {

// The number of vehicles a text of "Numero di mezzi mobili" asks for: its
// leading number, rounded half to even; beyond the 16-bit range, past the
// largest cycle when large and 0 when very negative.
int vehicles_in_cycle(const std::string& text);

}  // namespace vadrel
