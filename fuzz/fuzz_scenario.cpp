// libFuzzer target for the scenario files: any bytes are a scenario within
// its bounds or a refusal placed in the file (scenario_check.h).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "scenario_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string failure = vadrel::fuzzing::check_scenario(bytes);
    if (!failure.empty()) {
        std::fprintf(stderr, "scenario: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
