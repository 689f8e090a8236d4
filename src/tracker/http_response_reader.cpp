#include "tracker/http_response_reader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

namespace vadrel {

namespace {

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// Whether the comma-separated list `value` holds `token`.
bool lists(std::string_view value, std::string_view token) {
    while (!value.empty()) {
        const std::size_t comma = value.find(',');
        if (equal_ignoring_case(trimmed(value.substr(0, comma)), token)) return true;
        if (comma == std::string_view::npos) break;
        value.remove_prefix(comma + 1);
    }
    return false;
}

// The last coding of a Transfer-Encoding list.
std::string_view last_coding(std::string_view value) {
    const std::size_t comma = value.rfind(',');
    return trimmed(comma == std::string_view::npos ? value : value.substr(comma + 1));
}

bool token_char(char c) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    return alnum || (c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

}  // namespace

bool HttpResponseReader::feed(std::string_view bytes, std::vector<Response>& done) {
    std::size_t at = 0;
    while (at < bytes.size() && state_ != State::failed) {
        switch (state_) {
            case State::body:
            case State::chunk_data: {
                const std::size_t taken = std::min(remaining_, bytes.size() - at);
                remaining_ -= taken;
                at += taken;
                if (remaining_ > 0) break;
                if (state_ == State::body)
                    complete(done);
                else
                    state_ = State::chunk_end;
                break;
            }
            case State::body_to_close:
                body_bytes_ += bytes.size() - at;
                at = bytes.size();
                if (body_bytes_ > body_limit) fail("corpo della risposta oltre " + std::to_string(body_limit) + " byte");
                break;
            default:
                at = take_line(bytes, at);
                if (line_complete_ && line_done(done)) {
                    line_.clear();
                    line_complete_ = false;
                }
                break;
        }
    }
    return state_ != State::failed;
}

bool HttpResponseReader::finish(std::vector<Response>& done) {
    if (state_ == State::failed) return false;
    if (state_ == State::body_to_close) {
        complete(done);
        return true;
    }
    if (partway()) return fail("risposta interrotta dalla chiusura del collegamento");
    return true;
}

std::size_t HttpResponseReader::take_line(std::string_view bytes, std::size_t at) {
    const std::size_t end = bytes.find('\n', at);
    const std::size_t stop = end == std::string_view::npos ? bytes.size() : end;
    if (line_.size() + (stop - at) > line_limit) {
        fail("riga della risposta oltre " + std::to_string(line_limit) + " byte");
        return bytes.size();
    }
    line_.append(bytes.substr(at, stop - at));
    if (end == std::string_view::npos) return bytes.size();
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    line_complete_ = true;
    return end + 1;
}

bool HttpResponseReader::line_done(std::vector<Response>& done) {
    const std::string_view line = line_;
    if (state_ == State::status_line || state_ == State::header || state_ == State::trailer) {
        head_bytes_ += line.size() + 1;
        if (head_bytes_ > head_limit)
            return fail("intestazioni della risposta oltre " + std::to_string(head_limit) + " byte");
    }
    switch (state_) {
        case State::status_line: return line.empty() || status_line(line);  // a stray blank line is passed over
        case State::header: return line.empty() ? head_done(done) : header(line);
        case State::chunk_size: return chunk_size(line);
        case State::chunk_end:
            if (!line.empty()) return fail("blocco chunked senza fine di riga");
            state_ = State::chunk_size;
            return true;
        case State::trailer:
            if (line.empty()) {
                complete(done);
                return true;
            }
            if (++header_count_ > header_count_limit) return fail("troppe intestazioni nella risposta");
            return true;
        default: return fail("stato del lettore non valido");
    }
}

bool HttpResponseReader::status_line(std::string_view line) {
    // "HTTP/1.1 200 OK": the version, a space, three digits, a reason or nothing.
    constexpr std::string_view prefix = "HTTP/1.";
    if (line.size() < 12 || line.substr(0, prefix.size()) != prefix ||
        std::isdigit(static_cast<unsigned char>(line[7])) == 0 || line[8] != ' ' ||
        (line.size() > 12 && line[12] != ' '))
        return fail("risposta non HTTP");
    int status = 0;
    for (std::size_t i = 9; i < 12; ++i) {
        if (std::isdigit(static_cast<unsigned char>(line[i])) == 0) return fail("risposta non HTTP");
        status = status * 10 + (line[i] - '0');
    }
    if (status < 100) return fail("codice di stato non valido: " + std::to_string(status));
    response_.status = status;
    response_.close = line[7] == '0';  // HTTP/1.0 closes unless it says otherwise
    state_ = State::header;
    return true;
}

bool HttpResponseReader::header(std::string_view line) {
    if (++header_count_ > header_count_limit) return fail("troppe intestazioni nella risposta");
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos ||
        !std::all_of(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(colon), token_char))
        return fail("intestazione non valida nella risposta");
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (equal_ignoring_case(name, "Content-Length")) {
        long long length = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
        if (value.empty() || error != std::errc() || end != value.data() + value.size() || length < 0)
            return fail("Content-Length non valido");
        if (static_cast<unsigned long long>(length) > body_limit)
            return fail("corpo della risposta oltre " + std::to_string(body_limit) + " byte");
        if (content_length_ >= 0 && content_length_ != length) return fail("Content-Length ripetuto e diverso");
        content_length_ = length;
    } else if (equal_ignoring_case(name, "Transfer-Encoding")) {
        if (!equal_ignoring_case(last_coding(value), "chunked"))
            return fail("codifica di trasferimento non gestita: " + std::string(value.substr(0, 40)));
        chunked_ = true;
    } else if (equal_ignoring_case(name, "Connection")) {
        if (lists(value, "close")) response_.close = true;
        else if (lists(value, "keep-alive")) response_.close = false;
    }
    return true;
}

bool HttpResponseReader::head_done(std::vector<Response>& done) {
    const int status = response_.status;
    if (status == 101) return fail("il server cambia protocollo");
    if (status < 200) {  // an interim answer: the real one follows
        const bool close = response_.close;
        complete(done);
        done.pop_back();
        response_.close = close;
        return true;
    }
    if (status == 204 || status == 304) {
        complete(done);
    } else if (chunked_) {
        state_ = State::chunk_size;
    } else if (content_length_ > 0) {
        remaining_ = static_cast<std::size_t>(content_length_);
        state_ = State::body;
    } else if (content_length_ == 0) {
        complete(done);
    } else {
        response_.close = true;
        state_ = State::body_to_close;
    }
    return true;
}

bool HttpResponseReader::chunk_size(std::string_view line) {
    const std::string_view digits = trimmed(line.substr(0, line.find(';')));
    std::size_t size = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), size, 16);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        return fail("dimensione di blocco chunked non valida");
    if (size > body_limit - body_bytes_)
        return fail("corpo della risposta oltre " + std::to_string(body_limit) + " byte");
    if (size == 0) {
        state_ = State::trailer;
        return true;
    }
    body_bytes_ += size;
    remaining_ = size;
    state_ = State::chunk_data;
    return true;
}

void HttpResponseReader::complete(std::vector<Response>& done) {
    done.push_back(response_);
    state_ = State::status_line;
    head_bytes_ = 0;
    header_count_ = 0;
    response_ = Response{};
    content_length_ = -1;
    chunked_ = false;
    remaining_ = 0;
    body_bytes_ = 0;
}

bool HttpResponseReader::fail(std::string reason) {
    state_ = State::failed;
    problem_ = std::move(reason);
    line_.clear();
    return false;
}

}  // namespace vadrel
