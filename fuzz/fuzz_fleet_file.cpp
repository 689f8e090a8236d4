// libFuzzer target for the fleet file's reader (CSV and JSON): every rule
// of fleet_file_check.h holds for any bytes. The input buffer is exactly
// `size` bytes on the heap, so AddressSanitizer stops any read past its end.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fleet_file_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string failure = vadrel::fuzzing::check_fleet_file(bytes);
    if (!failure.empty()) {
        std::fprintf(stderr, "flotta: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
