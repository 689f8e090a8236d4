#pragma once
// The payload of one AIS message: its fields written bit after bit, most
// significant first, then armoured into the six-bit characters of an
// !AIVDM sentence.
//
//   Payload p;
//   p.put(1, 6);                  // message 1
//   p.put_signed(-73407500, 28);  // a longitude, two's complement
//   p.put_text("MEZZO 3", 20);    // six-bit text, '@' after it
//   p.armoured();                 // {"177KQJ5000G?tO`K>RA1wUbN0TKH", 0}
//
// Fixed storage, no allocation: the longest message vadrel sends (5) has
// 424 bits.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vadrel::ais {

class Payload {
public:
    static constexpr std::size_t max_bits = 512;

    // The low `width` bits of `value` (width 1 .. 32); bits past max_bits are dropped.
    void put(std::uint32_t value, unsigned width);
    // `value` in `width` bits of two's complement.
    void put_signed(std::int32_t value, unsigned width) { put(static_cast<std::uint32_t>(value), width); }
    // `chars` characters of six-bit text (6 bits each): the text's first
    // ones, then '@', which ends a text. Only characters of the six-bit set
    // (' ' .. '_', see is_six_bit) belong here; any other goes as '?'.
    void put_text(std::string_view text, unsigned chars);

    std::size_t bits() const { return bits_; }
    // The bit at `index`, 0 the first.
    bool bit(std::size_t index) const { return (bytes_[index / 8] >> (7 - index % 8)) & 1U; }

    struct Armoured {
        std::string chars;  // six bits a character: '0' .. 'W', '`' .. 'w'
        int fill = 0;       // zero bits added to fill the last character, 0 .. 5
        bool operator==(const Armoured&) const = default;
    };
    Armoured armoured() const;

private:
    std::array<std::uint8_t, max_bits / 8> bytes_{};
    std::size_t bits_ = 0;
};

// Whether `c` is one of the 64 characters of six-bit text: ' ' .. '_'
// (space, digits, signs, '@', upper-case letters).
constexpr bool is_six_bit(char c) { return c >= ' ' && c <= '_'; }

// The character of a six-bit value 0 .. 63 in the armoured payload.
constexpr char armour_char(unsigned value) { return static_cast<char>(value < 40 ? value + 48 : value + 56); }

}  // namespace vadrel::ais
