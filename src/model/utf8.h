#pragma once
// UTF-8 to code points and back, for the few places that look at characters
// rather than bytes (typed keys, typed positions).

#include <string>
#include <string_view>

namespace vadrel {

std::string utf8(char32_t c);
std::string utf8(std::u32string_view text);
// The code points of the text; a byte that does not belong to a UTF-8
// sequence becomes U+FFFD.
std::u32string code_points(std::string_view text);

}  // namespace vadrel
