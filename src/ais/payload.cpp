#include "ais/payload.h"

namespace vadrel::ais {

void Payload::put(std::uint32_t value, unsigned width) {
    for (unsigned i = width; i-- > 0;) {
        if (bits_ >= max_bits) return;
        if ((value >> i) & 1U) bytes_[bits_ / 8] |= static_cast<std::uint8_t>(0x80U >> (bits_ % 8));
        ++bits_;
    }
}

void Payload::put_text(std::string_view text, unsigned chars) {
    for (unsigned i = 0; i < chars; ++i) {
        const char c = i < text.size() ? text[i] : '@';
        const char sent = is_six_bit(c) ? c : '?';
        // '@' .. '_' are 0 .. 31, ' ' .. '?' are 32 .. 63.
        put(static_cast<unsigned char>(sent) & 0x3FU, 6);
    }
}

Payload::Armoured Payload::armoured() const {
    Armoured out;
    out.chars.reserve((bits_ + 5) / 6);
    for (std::size_t start = 0; start < bits_; start += 6) {
        unsigned value = 0;
        for (std::size_t i = start; i < start + 6; ++i) value = value << 1 | (i < bits_ && bit(i) ? 1U : 0U);
        out.chars += armour_char(value);
    }
    out.fill = static_cast<int>((6 - bits_ % 6) % 6);
    return out;
}

}  // namespace vadrel::ais
