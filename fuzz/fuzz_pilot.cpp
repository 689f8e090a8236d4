// libFuzzer target for the autopilot's reader: any bytes a plotter sends,
// split into lines, steer within the rules or are refused; read from a
// serial line in pieces against a budget, no torn line comes out.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "pilot_check.h"
#include "port_lines_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string failure = vadrel::fuzzing::check_pilot(bytes);
    if (failure.empty()) failure = vadrel::fuzzing::check_port_lines(bytes);
    if (!failure.empty()) {
        std::fprintf(stderr, "pilota: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
