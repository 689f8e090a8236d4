#pragma once
// A tracking server's HTTP/1.1 answers, read as they come, in pieces of any
// size, one response after another on a kept-alive connection. What the
// server sends is outside input: each line, the head, the number of header
// lines and each body are bounded, and a byte out of place ends the reading
// with the reason in Italian. Bodies are counted, never kept.
//
//   HttpResponseReader reader;
//   std::vector<HttpResponseReader::Response> done;
//   if (!reader.feed("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", done))
//       reader.problem()                    // "risposta non HTTP: ..."
//   done[0].status                          // 200
//
// Informational answers (1xx) are passed over; a body without a length and
// not chunked runs to the close (`finish`). No Qt.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vadrel {

class HttpResponseReader {
public:
    static constexpr std::size_t line_limit = 8 * 1024;    // the status line, a header, a chunk's size
    static constexpr std::size_t head_limit = 64 * 1024;   // the status line and every header of one response
    static constexpr int header_count_limit = 100;         // header lines of one response (and its trailers)
    static constexpr std::size_t body_limit = 1024 * 1024; // one response's body, chunked or not

    struct Response {
        int status = 0;
        bool close = false;  // the server ends the connection after it
        bool operator==(const Response&) const = default;
    };

    // Reads `bytes`, appending each response they complete to `done`.
    // false once they are no HTTP response (and ever after): problem() says why.
    bool feed(std::string_view bytes, std::vector<Response>& done);
    // The server closed the connection: a body read to the close is whole
    // (appended to `done`); false when a response was cut short.
    bool finish(std::vector<Response>& done);
    // Why the bytes are no response, in Italian; "" while they are.
    const std::string& problem() const { return problem_; }
    // Whether a response has begun and not ended.
    bool partway() const { return state_ != State::status_line || !line_.empty(); }

private:
    enum class State : unsigned char {
        status_line, header, body, chunk_size, chunk_data, chunk_end, trailer, body_to_close, failed
    };
    std::size_t take_line(std::string_view bytes, std::size_t at);
    bool line_done(std::vector<Response>& done);
    bool status_line(std::string_view line);
    bool header(std::string_view line);
    bool head_done(std::vector<Response>& done);
    bool chunk_size(std::string_view line);
    void complete(std::vector<Response>& done);
    bool fail(std::string reason);

    State state_ = State::status_line;
    std::string line_;  // the line being read, without its end
    bool line_complete_ = false;
    std::size_t head_bytes_ = 0;
    int header_count_ = 0;
    Response response_;
    long long content_length_ = -1;
    bool chunked_ = false;
    std::size_t remaining_ = 0;  // of the body or of the chunk
    std::size_t body_bytes_ = 0;
    std::string problem_;
};

}  // namespace vadrel
