#include "ais/payload.h"

namespace vadrel::ais {

void Payload::put(std::uint32_t value, unsigned width) {
    // A byte's worth of bits at a time: as many as the field has left and
    // the current byte has room for.
    while (width > 0 && bits_ < max_bits) {
        const unsigned room = 8 - static_cast<unsigned>(bits_ % 8);
        const unsigned take = width < room ? width : room;
        const unsigned part = (value >> (width - take)) & ((1U << take) - 1);
        bytes_[bits_ / 8] |= static_cast<std::uint8_t>(part << (room - take));
        bits_ += take;
        width -= take;
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
