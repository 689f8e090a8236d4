#include "utf8.h"

#include <cstdio>
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

namespace {

// Characters shown as \u and four hex digits: controls that steer a
// terminal as ESC does, and those that reorder or break what is shown.
bool shown_as_code(char32_t c) {
    return (c >= 0x80 && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029;
}

}  // namespace

std::string printable(std::string_view text, LineFeeds line_feeds) {
    const auto escaped_byte = [line_feeds](unsigned char byte) {
        return (byte < 0x20 && !(byte == '\n' && line_feeds == LineFeeds::kept)) || byte == 0x7F;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        char code[8];
        if (byte < 0x80) {
            if (escaped_byte(byte)) {
                std::snprintf(code, sizeof code, "\\x%02x", byte);
                out += code;
            } else {
                out += static_cast<char>(byte);
            }
            ++i;
            continue;
        }
        const auto [c, length] = decode(text.substr(i));
        if (length == 0) {
            std::snprintf(code, sizeof code, "\\x%02x", byte);
            out += code;
            ++i;
        } else if (shown_as_code(c)) {
            std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(c));
            out += code;
            i += length;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

}  // namespace vadrel
