#pragma once
// Line settings texts as the panel gives them: "baud,parity,data bits,stop bits".
//
//   parse_line_settings("2400,N,8,1") -> {2400, Parity::none, 8, StopBits::one}
//   parse_line_settings("4800,X,8,1") -> nothing (unknown parity letter)
//
// The rates are the panel's line speeds (line_speeds); parity, data and
// stop bits may take any form a serial line can take. Anything else is
// refused (a refused text leaves the port's former settings in place).

#include <optional>
#include <string>
#include <string_view>

namespace vadrel {

enum class Parity { none, even, odd, mark, space };
enum class StopBits { one, one_and_half, two };

struct LineSettings {
    int baud = 4800;
    Parity parity = Parity::none;
    int data_bits = 8;
    StopBits stop_bits = StopBits::one;

    bool operator==(const LineSettings&) const = default;
};

// Baud rates accepted: the panel's line speeds. Parity letters N E O M S (either case). Data bits 5 to 8. Stop bits
// 1, 1.5 or 2. Exactly four items, no blanks.
std::optional<LineSettings> parse_line_settings(std::string_view text);

// The settings back as a text: "4800,N,8,1".
std::string settings_text(const LineSettings& settings);

}  // namespace vadrel
