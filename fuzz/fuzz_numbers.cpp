// libFuzzer target for the one number reader: any bytes, under every
// source's rule, are a number that reads back the same, or a refusal.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "numbers_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string failure = vadrel::fuzzing::check_numbers(bytes);
    if (!failure.empty()) {
        std::fprintf(stderr, "numeri: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
