// libFuzzer target for the typed position of "Vai a posizione": any bytes are
// a position within its ranges that reads back the same from its own text,
// or a refusal with its reason.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "position_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string failure = vadrel::fuzzing::check_position(bytes);
    if (!failure.empty()) {
        std::fprintf(stderr, "posizione: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
