// libFuzzer target for what a tracking server answers: the reader of HTTP
// responses on a kept-alive connection. The same bytes read whole and in
// pieces of the size the first byte gives must come to the same answers,
// each one final (2xx to 9xx), and a refusal must say why and hold.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "tracker/http_response_reader.h"

namespace {

using vadrel::HttpResponseReader;

struct Reading {
    std::vector<HttpResponseReader::Response> done;
    bool whole = true;
    bool closed_fine = true;
};

Reading read(std::string_view bytes, std::size_t piece) {
    HttpResponseReader reader;
    Reading reading;
    for (std::size_t at = 0; at < bytes.size() && reading.whole; at += piece)
        reading.whole = reader.feed(bytes.substr(at, piece), reading.done);
    if (reading.whole == reader.problem().empty()) {
        if (!reading.whole && reader.feed("HTTP/1.1 200 OK\r\n\r\n", reading.done)) {
            std::fprintf(stderr, "a refused reader read on\n");
            std::abort();
        }
    } else {
        std::fprintf(stderr, "refused %d with the reason \"%s\"\n", reading.whole ? 0 : 1, reader.problem().c_str());
        std::abort();
    }
    if (reading.whole) reading.closed_fine = reader.finish(reading.done);
    return reading;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = data[0] % 16 + 1;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const Reading whole = read(bytes, bytes.size() + 1);
    const Reading pieces = read(bytes, piece);
    if (whole.done != pieces.done || whole.whole != pieces.whole || whole.closed_fine != pieces.closed_fine) {
        std::fprintf(stderr, "pieces of %zu read otherwise than the whole\n", piece);
        std::abort();
    }
    for (const auto& response : whole.done) {
        if (response.status < 200 || response.status > 999) {
            std::fprintf(stderr, "a response with status %d\n", response.status);
            std::abort();
        }
    }
    return 0;
}
