#pragma once
// What must hold for any bytes typed into "Vai a posizione": they are shown
// with no control character (check_printable); a refusal is a reason in
// valid UTF-8; a position read is within its ranges, and each of
// its coordinates, written as the dialog writes it, reads back to the same
// coordinate (to the hundredth of a second the text keeps), with its letter.
// Shared by the fuzzer and the corpus test.

#include <cmath>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "model/utf8.h"
#include "motion/position_text.h"

namespace vadrel::fuzzing {

inline std::string check_coordinate(const TypedCoordinate& c, bool latitude) {
    const char* which = latitude ? "latitude" : "longitude";
    const double limit = (latitude ? 90.0 : 180.0) * 3600.0;
    if (!std::isfinite(c.seconds) || c.seconds < 0.0 || c.seconds > limit) {
        return std::string(which) + " of " + std::to_string(c.seconds) + " seconds accepted";
    }
    const std::string text = coordinate_text(c, latitude);
    const auto again = read_position(text);
    const auto* back = std::get_if<TypedPosition>(&again);
    const std::optional<TypedCoordinate>* same = back == nullptr ? nullptr : latitude ? &back->lat : &back->lon;
    if (same == nullptr || !*same || (latitude ? back->lon : back->lat)) {
        return std::string(which) + " written as \"" + text + "\" does not read back alone";
    }
    const double kept = std::llround(c.seconds * 100.0) / 100.0;
    if (std::fabs((*same)->seconds - kept) > 1e-6 || (*same)->negative != c.negative) {
        return std::string(which) + " written as \"" + text + "\" reads back otherwise";
    }
    return {};
}

// Any bytes as a terminal or the window shows them: no control character
// left (but the line feeds kept when asked), well-formed UTF-8, and a second
// pass changes nothing.
inline std::string check_printable(std::string_view bytes) {
    for (const LineFeeds line_feeds : {LineFeeds::escaped, LineFeeds::kept}) {
        const std::string shown = printable(bytes, line_feeds);
        for (const char c : shown) {
            const auto byte = static_cast<unsigned char>(c);
            if ((byte < 0x20 && !(c == '\n' && line_feeds == LineFeeds::kept)) || byte == 0x7F) {
                return "control byte " + std::to_string(byte) + " shown";
            }
        }
        const std::u32string points = code_points(shown);
        if (!is_utf8(shown)) return "shown text not UTF-8";
        for (const char32_t c : points) {
            if ((c >= 0x80 && c <= 0x9F) || c == 0x202E || c == 0x2028) return "C1 or reordering character shown";
        }
        if (printable(shown, line_feeds) != shown) return "a second pass changes the text";
    }
    return {};
}

// Empty when all holds, otherwise what did not.
inline std::string check_position(std::string_view bytes) {
    if (std::string failure = check_printable(bytes); !failure.empty()) return failure;
    const auto read = read_position(bytes);
    if (const auto* refusal = std::get_if<std::string>(&read)) {
        if (refusal->empty() || !is_utf8(*refusal)) return "a refusal without a readable reason";
        return {};
    }
    const auto& position = std::get<TypedPosition>(read);
    if (!position.lat && !position.lon) return "a position with no coordinate";
    // A station's position: both coordinates, signed, or refused.
    const auto both = read_both_coordinates(bytes);
    const auto* pair = std::get_if<std::pair<double, double>>(&both);
    if ((pair != nullptr) != (position.lat && position.lon)) return "both coordinates read otherwise";
    if (pair != nullptr && (pair->first != position.lat->signed_seconds() || pair->second != position.lon->signed_seconds()))
        return "both coordinates are not the position's";
    for (const bool latitude : {true, false}) {
        const auto& c = latitude ? position.lat : position.lon;
        if (!c) continue;
        if (std::string failure = check_coordinate(*c, latitude); !failure.empty()) return failure;
    }
    return {};
}

}  // namespace vadrel::fuzzing
