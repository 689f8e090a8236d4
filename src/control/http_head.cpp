#include "http_head.h"

#include <algorithm>
#include <limits>

namespace vadrel {

namespace {

constexpr std::size_t max_length_digits = 18;  // beyond, past every limit (and no overflow)

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

// Calls `each` with every item of a comma-separated list, trimmed.
template <typename Each>
void for_each_item(std::string_view list, Each each) {
    while (true) {
        const std::size_t comma = list.find(',');
        each(trimmed(list.substr(0, comma)));
        if (comma == std::string_view::npos) return;
        list.remove_prefix(comma + 1);
    }
}

// One Content-Length value: its number, past every limit when too long, or nothing when not digits.
std::optional<std::int64_t> length_of(std::string_view digits) {
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    if (digits.size() > max_length_digits) return std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (const char c : digits) value = value * 10 + (c - '0');
    return value;
}

}  // namespace

std::size_t leading_blank_lines(std::string_view bytes) {
    std::size_t start = 0;
    while (start < bytes.size() && (bytes[start] == '\r' || bytes[start] == '\n')) ++start;
    return start;
}

std::optional<HeadSpan> head_end(std::string_view bytes) {
    const std::size_t start = leading_blank_lines(bytes);
    const std::string_view rest = bytes.substr(start);
    const std::size_t crlf = rest.find("\r\n\r\n");
    const std::size_t bare = rest.find("\n\n");
    const std::size_t end = std::min(crlf, bare);
    if (end == std::string_view::npos) return std::nullopt;
    return HeadSpan{start, start + end};
}

RequestHead read_request_head(std::string_view head) {
    RequestHead facts;
    const std::size_t line_end = std::min(head.find('\n'), head.size());
    std::string_view line = trimmed(head.substr(0, line_end));
    const auto word = [&line] {
        const std::size_t space = std::min(line.find(' '), line.size());
        const std::string_view first = line.substr(0, space);
        line = trimmed(line.substr(space));
        return first;
    };
    const std::string_view method = word(), target = word(), version = line;
    facts.method = std::string(method.substr(0, max_method_bytes));
    facts.target = std::string(target.substr(0, max_target_bytes));
    facts.version = std::string(version.substr(0, 16));
    bool close = false, keep = false;
    std::optional<std::int64_t> length;
    std::string_view rest = head.substr(std::min(line_end + 1, head.size()));
    while (!rest.empty()) {
        const std::size_t next = std::min(rest.find('\n'), rest.size());
        const std::string_view header = rest.substr(0, next);
        rest.remove_prefix(std::min(next + 1, rest.size()));
        const std::size_t colon = header.find(':');
        if (colon == 0 || colon == std::string_view::npos) continue;
        const std::string_view name = trimmed(header.substr(0, colon));
        const std::string_view value = trimmed(header.substr(colon + 1));
        if (same_name(name, "content-length")) {
            for_each_item(value, [&](std::string_view item) {
                const auto one = length_of(item);
                if (!one || (length && *length != *one)) facts.length_unclear = true;
                if (one) length = one;
            });
        } else if (same_name(name, "transfer-encoding")) {
            if (!same_name(value, "identity")) facts.chunked = true;
        } else if (same_name(name, "connection")) {
            for_each_item(value, [&](std::string_view item) {
                close = close || same_name(item, "close");
                keep = keep || same_name(item, "keep-alive");
            });
        }
    }
    if (length) facts.length = *length;
    facts.keep_alive = !close && (version != "HTTP/1.0" || keep);
    return facts;
}

bool known_method(std::string_view method) {
    for (const std::string_view known : {"GET", "PUT", "DELETE", "POST", "HEAD", "OPTIONS", "PATCH", "CONNECT", "TRACE"}) {
        if (method == known) return true;
    }
    return false;
}

std::string shown_text(std::string_view text, std::size_t most) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string shown;
    for (std::size_t i = 0; i < text.size() && i < most; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
            shown += static_cast<char>(byte);
        } else {
            shown += "\\x";
            shown += hex[byte >> 4];
            shown += hex[byte & 15];
        }
    }
    if (text.size() > most) shown += "...";
    return shown;
}

}  // namespace vadrel
