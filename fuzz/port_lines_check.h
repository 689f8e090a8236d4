#pragma once
// What must hold for any bytes the far end of a serial line sends, taken in
// pieces of any size against a read budget of any size, with the listener
// wanting lines or not: every line handed over is one the bytes hold whole,
// in their order, never a piece of a line the budget cut; with nothing cut
// and the lines always wanted, every one of them. Shared by the fuzzer and
// the serial tests.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/line_assembler.h"
#include "model/line_listener.h"
#include "serial/port_input.h"

namespace vadrel::fuzzing {

// The first byte chooses the budget, the second the pieces' size and
// whether the listener stops wanting lines now and then.
inline std::string check_port_lines(std::string_view bytes) {
    if (bytes.size() < 2) return {};
    const std::size_t budget = 1 + static_cast<unsigned char>(bytes[0]) * 64u;
    const std::size_t piece = 1 + static_cast<unsigned char>(bytes[1]) % 64u;
    const bool fickle = (static_cast<unsigned char>(bytes[1]) & 0x80u) != 0;
    bytes.remove_prefix(2);

    std::vector<std::string> whole;
    LineAssembler plain(LineListener::longest_line);
    plain.feed(bytes, [&](std::string_view line) { whole.emplace_back(line); });

    struct Heard final : LineListener {
        bool wanted = true;
        std::vector<std::string> lines;
        bool wants_lines() const override { return wanted; }
        void line(std::string_view text, std::string_view) override { lines.emplace_back(text); }
    } heard;
    auto now = std::chrono::steady_clock::time_point{};
    PortInput input([&now] { return now; }, budget);
    input.set_lines(&heard);
    std::size_t dropped = 0;
    bool ever_unwanted = false;
    for (std::size_t at = 0, n = 0; at < bytes.size(); at += piece, ++n) {
        heard.wanted = !fickle || n % 5 != 4;
        ever_unwanted = ever_unwanted || !heard.wanted;
        dropped += input.take(bytes.substr(at, piece));
        if (n % 7 == 6) {
            now += std::chrono::milliseconds(300);
            input.next_second();
        }
    }
    std::size_t next = 0;
    for (const std::string& line : heard.lines) {
        while (next < whole.size() && whole[next] != line) ++next;
        if (next == whole.size()) return "a line the bytes do not hold whole, or out of order";
        ++next;
    }
    if (dropped == 0 && !ever_unwanted && heard.lines != whole) return "lines lost with nothing cut";
    return {};
}

}  // namespace vadrel::fuzzing
