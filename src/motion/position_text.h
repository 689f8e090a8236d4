#pragma once
// A position typed by the operator, in the forms charts, receivers and map
// services give it, under the Italian decimal comma or a point:
//
//   45 30 0 N 9 12 0 E        degrees, minutes, seconds and the letters
//   45°30'00"N 9°12'00"E      the same with their marks (also º ′ ″ ’ ”)
//   45 30,5 N                 degrees and decimal minutes
//   4530.000,N,00912.000,E    degrees and minutes run together, as in $GPRMC
//   45.5, 9.2   45,5 9,2      signed decimal degrees, latitude first
//   -45,5 -9,2                south and west by the sign
//
// Latitude or longitude: the letter says it (N, S; E, W, or O for ovest),
// before or after the figures, in either order. Without letters the text
// holds two coordinates, latitude then longitude, each a signed number of
// decimal degrees (or figures with their marks, a coordinate starting at each
// degree mark). A coordinate with its letter may stand alone: it moves only
// that coordinate. A lone number without a letter is refused, as it does not
// say which coordinate it is.
//
// Numbers: a "," or "." between digits is the decimal mark, one per number;
// any other "," separates, like blanks, ";" and "/". Only the last figure of
// a coordinate may have decimals. Run-together degrees and minutes are told
// by their length: three or more whole digits for a latitude (ddmm), four or
// more for a longitude (dddmm), as $GPRMC writes them.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace vadrel {

// One coordinate: its size in seconds of arc and its side (south or west).
// The side counts on its own so that "0 0 0 S" keeps its letter.
struct TypedCoordinate {
    double seconds = 0.0;  // 0 .. 324000 (latitude), 0 .. 648000 (longitude)
    bool negative = false;
    bool operator==(const TypedCoordinate&) const = default;
    // North and east positive.
    double signed_seconds() const { return negative ? -seconds : seconds; }
};

// What the text gives: one coordinate or both.
struct TypedPosition {
    std::optional<TypedCoordinate> lat;
    std::optional<TypedCoordinate> lon;
    bool operator==(const TypedPosition&) const = default;
};

// The position in the text, or why it cannot be read, in Italian.
std::variant<TypedPosition, std::string> read_position(std::string_view text);

// Both coordinates of the text, in seconds of arc (latitude, longitude), or
// why not: a station put somewhere needs the two.
std::variant<std::pair<double, double>, std::string> read_both_coordinates(std::string_view text);

// A coordinate as degrees, minutes and seconds with two decimals and its
// letter, under the decimal comma: 45°30'00,00"N, 9°12'00,00"E.
std::string coordinate_text(const TypedCoordinate& coordinate, bool latitude);

}  // namespace vadrel
