#pragma once
// What must hold for any bytes given to the number reader, under every
// source: a number read is finite unless the source keeps values past a
// double as huge ones; written shortest, it reads back the same; a whole
// number read reads back the same from its decimal text. Shared by the
// fuzzer and the corpus test.

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/numbers.h"

namespace vadrel::fuzzing {

inline constexpr NumberSource number_sources[] = {
    NumberSource::panel_box,  NumberSource::table_item,       NumberSource::command_line, NumberSource::window_box,
    NumberSource::route_file, NumberSource::route_file_comma, NumberSource::settings_item,
};

// Empty when all holds, otherwise what did not.
inline std::string check_numbers(std::string_view bytes) {
    for (const NumberSource source : number_sources) {
        const std::string name = std::to_string(static_cast<int>(source));
        if (const auto value = read_number(bytes, source)) {
            if (std::isnan(*value)) return "source " + name + ": NaN";
            if (std::isinf(*value) && !number_rule(source).huge_past_range) return "source " + name + ": infinite";
            if (std::isfinite(*value) && read_number(shortest_text(*value), NumberSource::route_file) != *value) {
                return "source " + name + ": " + shortest_text(*value) + " reads back otherwise";
            }
        }
        if (const auto whole = read_whole<std::int64_t>(bytes, source)) {
            if (read_whole<std::int64_t>(std::to_string(*whole), source) != *whole) {
                return "source " + name + ": whole " + std::to_string(*whole) + " reads back otherwise";
            }
        }
    }
    return {};
}

}  // namespace vadrel::fuzzing
