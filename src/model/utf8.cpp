#include "utf8.h"

#include <utility>

namespace vadrel {

std::string utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

std::string utf8(std::u32string_view text) {
    std::string out;
    for (const char32_t c : text) out += utf8(c);
    return out;
}

namespace {

// The code point of the well-formed sequence at the start of `text` and its
// length in bytes; length 0 for a byte that starts none. Overlong forms
// ("C0 B0" for "0"), surrogates and values past U+10FFFF are not
// well-formed: each would let a byte sequence pass for another character.
std::pair<char32_t, std::size_t> decode(std::string_view text) {
    const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {lead, 1};
    const std::size_t length = (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || text.size() < length) return {0, 0};
    char32_t c = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) return {0, 0};
        c = (c << 6) | (byte(k) & 0x3F);
    }
    constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < smallest[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return {0, 0};
    return {c, length};
}

}  // namespace

std::u32string code_points(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto [c, length] = decode(text.substr(i));
        out.push_back(length == 0 ? U'\uFFFD' : c);
        i += length == 0 ? 1 : length;
    }
    return out;
}

bool is_utf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = decode(text.substr(i)).second;
        if (length == 0) return false;
        i += length;
    }
    return true;
}

}  // namespace vadrel
