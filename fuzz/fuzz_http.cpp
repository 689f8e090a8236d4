// libFuzzer target for what a client sends the control interface: the head
// the listener reads before Qt's server, and the body each route reads, on a
// fake simulator with a real fleet (http_check.h says what must hold).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string failure =
        vadrel::fuzzing::check_request(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!failure.empty()) {
        std::fprintf(stderr, "richiesta: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
