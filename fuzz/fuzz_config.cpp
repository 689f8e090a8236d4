// libFuzzer target for the configuration reader: any bytes give 0 or 1, and
// the table they leave is written as a file that reads back the same. The
// input buffer is exactly `size` bytes on the heap, so AddressSanitizer stops
// any read past its end.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string failure = vadrel::fuzzing::check_table(bytes);
    if (!failure.empty()) {
        std::fprintf(stderr, "configurazione: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
