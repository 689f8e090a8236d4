#pragma once
// What must hold for any bytes given to the log reader, shared by the fuzzer
// and the corpus test:
// * read whole, and again in pieces of any size, the seconds and what the
//   reading found are the same;
// * a second's bytes never pass max_second, the offsets never go back and
//   never step further than the jump limit;
// * the seconds' bytes, in order, are the log's bytes with some left out
//   (the reader never makes up a byte);
// * with no damaged line, every line sent is a sentence with its checksum
//   and its line end (or an empty line);
// * every line is counted.
// The pieces are views of the bytes given: a read past them is a read past
// the fuzzer's buffer, which AddressSanitizer stops.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "log/nmea_log.h"
#include "nmea/sentences.h"

namespace vadrel::fuzzing {

struct Reading {
    std::vector<LogTick> ticks;
    long lines = 0, damaged = 0, dropped = 0, jumps = 0;
    bool binary = false, timed = false;
};

inline Reading read_log(std::string_view bytes, std::size_t piece) {
    std::size_t at = 0;
    LogReader reader([bytes, piece, &at] {
        const std::string_view next = bytes.substr(at, piece);
        at += next.size();
        return next;
    });
    Reading r;
    LogTick tick;
    while (reader.next(tick)) r.ticks.push_back(tick);
    r.lines = reader.lines();
    r.damaged = reader.damaged();
    r.dropped = reader.dropped();
    r.jumps = reader.jumps();
    r.binary = reader.binary();
    r.timed = reader.timed();
    return r;
}

// Whether a line (without leading NULs and its line end) is a whole sentence:
// "$..." or "!..." or "@n$...", the XOR of what follows its first character
// up to "*" in two hex digits.
inline bool whole_sentence(std::string_view s) {
    if (s.empty() || (s[0] != '$' && s[0] != '!' && s[0] != '@')) return false;
    const std::size_t star = s.rfind('*');
    if (star == std::string_view::npos || star + 3 != s.size()) return false;
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", nmea_checksum(s.substr(0, star)));
    const auto upper = [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c; };
    return upper(s[star + 1]) == hex[0] && upper(s[star + 2]) == hex[1];
}

// Empty when all holds, otherwise what did not.
inline std::string check_nmea_log(std::string_view bytes) {
    const Reading whole = read_log(bytes, bytes.size() + 1);
    const std::size_t piece = 1 + bytes.size() % 13;
    const Reading pieces = read_log(bytes, piece);
    if (pieces.ticks.size() != whole.ticks.size())
        return "in pieces of " + std::to_string(piece) + ": " + std::to_string(pieces.ticks.size()) + " seconds, whole " +
               std::to_string(whole.ticks.size());
    for (std::size_t i = 0; i < whole.ticks.size(); ++i) {
        const LogTick &a = whole.ticks[i], &b = pieces.ticks[i];
        if (a.bytes != b.bytes || a.offset != b.offset || a.line != b.line)
            return "second " + std::to_string(i) + " differs in pieces of " + std::to_string(piece);
    }
    if (whole.lines != pieces.lines || whole.damaged != pieces.damaged || whole.dropped != pieces.dropped ||
        whole.jumps != pieces.jumps || whole.binary != pieces.binary || whole.timed != pieces.timed)
        return "the counts differ in pieces of " + std::to_string(piece);

    long lines = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) lines += bytes[i] == '\n' || i + 1 == bytes.size() ? 1 : 0;
    if (whole.lines != lines) return std::to_string(whole.lines) + " lines counted of " + std::to_string(lines);

    std::size_t at = 0;  // where the next byte sent must be found in the log
    double offset = 0.0;
    for (std::size_t i = 0; i < whole.ticks.size(); ++i) {
        const LogTick& tick = whole.ticks[i];
        if (tick.bytes.size() > LogReader::max_second) return "second " + std::to_string(i) + " too long";
        if (tick.offset < offset || tick.offset - offset > LogReader::jump_limit_ms / 1000.0)
            return "second " + std::to_string(i) + " steps from " + std::to_string(offset) + " to " +
                   std::to_string(tick.offset);
        offset = tick.offset;
        for (const char c : tick.bytes) {
            at = bytes.find(c, at);
            if (at == std::string_view::npos) return "second " + std::to_string(i) + " has bytes the log has not";
            ++at;
        }
        if (whole.damaged > 0) continue;
        std::string_view rest(tick.bytes);
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            line.remove_prefix(std::min(line.size(), line.find_first_not_of('\0')));
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (line.empty()) continue;
            if (end == std::string_view::npos) return "second " + std::to_string(i) + " sends a line without its end";
            if (!whole_sentence(line))
                return "second " + std::to_string(i) + " sends \"" + std::string(line.substr(0, 40)) + "\" undamaged";
        }
    }
    return {};
}

}  // namespace vadrel::fuzzing
