// libFuzzer target for the route readers (GPX, KML, CSV, JSON): every rule
// of routes_check.h holds for any bytes. The input buffer is exactly `size`
// bytes on the heap, so AddressSanitizer stops any read past its end.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "routes_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string failure = vadrel::fuzzing::check_routes(bytes);
    if (!failure.empty()) {
        std::fprintf(stderr, "percorsi: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
