#pragma once
// UTF-8 to code points and back, for the few places that look at characters
// rather than bytes (typed keys, typed positions).

#include <string>
#include <string_view>

namespace vadrel {

std::string utf8(char32_t c);
std::string utf8(std::u32string_view text);
// The code points of the text; a byte that does not start a well-formed
// UTF-8 sequence (an overlong form, a surrogate, past U+10FFFF, cut short)
// becomes U+FFFD.
std::u32string code_points(std::string_view text);
// Whether every byte of the text belongs to a well-formed UTF-8 sequence.
bool is_utf8(std::string_view text);

}  // namespace vadrel
