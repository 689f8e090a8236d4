#pragma once
// UTF-8 to code points and back, for the few places that look at characters
// rather than bytes (typed keys, typed positions), and texts made safe to
// show on a terminal or in a window.

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

// How printable treats a line feed.
enum class LineFeeds { escaped, kept };

// The text as it may be shown, on a terminal or in a window, when it may
// have come from a file or a client: nothing in it can steer the terminal
// (retitle it, clear it, move the cursor), hide what follows or pass for
// another text. Written out visibly:
//   - a C0 control (the line feed too, unless kept), DEL, and each byte
//     that starts no well-formed UTF-8 sequence: \x followed by two hex
//     digits ("\x1b", "\x7f", "\xff");
//   - a C1 control (U+0080 to U+009F, which a terminal may take as ESC [),
//     a character that reorders the text around it (U+061C, U+200E,
//     U+200F, U+202A to U+202E, U+2066 to U+2069) and the line and
//     paragraph separators (U+2028, U+2029): \u followed by four hex
//     digits ("\u009b", "\u202e").
// Everything else passes unchanged; a backslash is not doubled (the form is
// for reading, not for reading back), so a text already printable stays as
// it is and two passes give what one gives.
std::string printable(std::string_view text, LineFeeds line_feeds = LineFeeds::escaped);

}  // namespace vadrel
