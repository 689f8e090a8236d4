#include "ports.h"

#include <algorithm>

namespace vadrel {

bool valid_line_speed(long baud) { return std::find(line_speeds.begin(), line_speeds.end(), baud) != line_speeds.end(); }

std::string line_settings_text(int baud) { return std::to_string(baud) + ",N,8,1"; }

std::string line_speed_list() {
    std::string text;
    for (std::size_t i = 0; i < line_speeds.size(); ++i) {
        if (i > 0) text += i + 1 == line_speeds.size() ? " o " : ", ";
        text += std::to_string(line_speeds[i]);
    }
    return text;
}

}  // namespace vadrel
