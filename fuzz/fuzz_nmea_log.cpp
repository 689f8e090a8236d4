// libFuzzer target for the log reader: any bytes read whole and in pieces
// give the same seconds, within their limits, made of the log's own bytes,
// and only whole sentences unless a line is counted damaged
// (nmea_log_check.h). The input buffer is exactly `size` bytes on the heap,
// so AddressSanitizer stops any read past its end.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "nmea_log_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string failure = vadrel::fuzzing::check_nmea_log(bytes);
    if (!failure.empty()) {
        std::fprintf(stderr, "registro: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
