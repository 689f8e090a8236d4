#include "xml_prolog.h"

namespace vadrel::route_parsing {

std::string declared_encoding(std::string_view prolog) {
    if (prolog.substr(0, 3) == "\xEF\xBB\xBF") prolog.remove_prefix(3);
    if (prolog.substr(0, 5) != "<?xml") return {};
    prolog = prolog.substr(0, prolog.find("?>"));
    const std::size_t at = prolog.find("encoding");
    if (at == std::string_view::npos) return {};
    const std::size_t open = prolog.find_first_of("\"'", at);
    if (open == std::string_view::npos) return {};
    const std::size_t close = prolog.find(prolog[open], open + 1);
    if (close == std::string_view::npos) return {};
    std::string name(prolog.substr(open + 1, close - open - 1));
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return name;
}

Prolog scan_prolog(std::string_view bytes, std::size_t& doctype_at) {
    std::size_t i = 0;
    if (bytes.size() < 3 && std::string_view("\xEF\xBB\xBF").starts_with(bytes)) return Prolog::more;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
    const auto starts = [&](std::string_view what) { return bytes.substr(i, what.size()) == what; };
    const auto skip_past = [&](std::string_view end) {
        const std::size_t at = bytes.find(end, i);
        if (at == std::string_view::npos) return false;
        i = at + end.size();
        return true;
    };
    while (true) {
        while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n')) ++i;
        if (i >= bytes.size()) return bytes.size() > max_prolog ? Prolog::too_long : Prolog::more;
        if (bytes[i] != '<') return Prolog::body;  // not XML: the reader says where
        if (bytes.size() - i < 9) return Prolog::more;
        if (starts("<?")) {
            if (!skip_past("?>")) return bytes.size() > max_prolog ? Prolog::too_long : Prolog::more;
        } else if (starts("<!--")) {
            if (!skip_past("-->")) return bytes.size() > max_prolog ? Prolog::too_long : Prolog::more;
        } else if (starts("<!DOCTYPE") || starts("<!doctype")) {
            doctype_at = i;
            return Prolog::doctype;
        } else {
            return Prolog::body;
        }
    }
}

}  // namespace vadrel::route_parsing
