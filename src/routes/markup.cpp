#include "markup.h"

#include <algorithm>

namespace vadrel::route_parsing {

namespace {

constexpr const char* after_root = "dopo la fine dell'elemento principale il file ha altro testo o altri elementi";
constexpr const char* not_utf8 =
    "il file non è un testo UTF-8 valido (se ha un'altra codifica, la dichiari: <?xml version=\"1.0\" "
    "encoding=\"...\"?>)";

}  // namespace

std::optional<ReadProblem> Markup::finish() const {
    if (continuations_ > 0) return problem(char_line_, char_column_, not_utf8);
    return std::nullopt;
}

std::optional<ReadProblem> Markup::scan(std::string_view bytes, std::size_t& stop) {
    for (stop = 0; stop < bytes.size(); ++stop) {
        const char c = bytes[stop];
        if (auto problem = character(c)) return problem;
        if (auto problem = markup(c)) return problem;
        here_.advance(c);
    }
    return std::nullopt;
}

std::optional<ReadProblem> Markup::character(char c) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
        return problem(here_.line, here_.column, "il file contiene un carattere di controllo che XML non ammette");
    if (!utf8_) return std::nullopt;
    const auto byte = static_cast<unsigned char>(c);
    if (continuations_ > 0) {
        if (byte < low_ || byte > high_) return problem(char_line_, char_column_, not_utf8);
        --continuations_;
        low_ = 0x80;
        high_ = 0xBF;
    } else if (byte >= 0x80) {
        char_line_ = here_.line;
        char_column_ = here_.column;
        if (byte >= 0xC2 && byte <= 0xDF) {
            continuations_ = 1;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            continuations_ = 2;
            if (byte == 0xE0) low_ = 0xA0;   // no overlong form
            if (byte == 0xED) high_ = 0x9F;  // no surrogate
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            continuations_ = 3;
            if (byte == 0xF0) low_ = 0x90;
            if (byte == 0xF4) high_ = 0x8F;  // nothing past U+10FFFF
        } else {
            return problem(here_.line, here_.column, not_utf8);
        }
    }
    return std::nullopt;
}

std::optional<ReadProblem> Markup::markup(char c) {
    switch (in_) {
        case In::text:
            if (root_done_ && c != '<' && c != ' ' && c != '\t' && c != '\r' && c != '\n')
                return problem(here_.line, here_.column, after_root);
            // "]]>" ends CDATA and nothing else: in text, the reader sees
            // it or not depending on where its pieces end, so it is
            // refused here, where every byte is seen in order.
            if (c == '>' && brackets_ >= 2)
                return problem(here_.line, here_.column,
                               "il testo contiene \"]]>\", che XML ammette solo alla fine di una sezione CDATA");
            brackets_ = c == ']' ? brackets_ + 1 : 0;
            if (c == '<') {
                in_ = In::open;
                tag_line_ = here_.line;
                tag_column_ = here_.column;
            }
            break;
        case In::open:
            return opened(c);
        case In::bang:
            bang(c);
            break;
        case In::comment:
            close_after_two(c, '-');
            break;
        case In::cdata:
            close_after_two(c, ']');
            break;
        case In::pi:
            if (c == '>' && matched_ == 1) in_ = In::text;
            matched_ = c == '?' ? 1 : 0;
            break;
        case In::declaration:
            if (c == '>') in_ = In::text;
            break;
        case In::end_tag:
            if (c == '>') {
                in_ = In::text;
                if (!declarations_.empty()) {
                    in_force_ -= declarations_.back();
                    declarations_.pop_back();
                    root_done_ = declarations_.empty();
                }
            }
            break;
        case In::quoted:
            if (++tag_bytes_ > max_tag) return tag_too_long();
            if (c == quote_) in_ = In::start_tag;
            break;
        case In::start_tag:
            return start_tag(c);
    }
    return std::nullopt;
}

std::optional<ReadProblem> Markup::opened(char c) {
    // After the root only comments and processing instructions.
    if (root_done_ && c != '?' && c != '!') return problem(tag_line_, tag_column_, after_root);
    if (c == '/') {
        in_ = In::end_tag;
    } else if (c == '?') {
        in_ = In::pi;
        matched_ = 0;
    } else if (c == '!') {
        in_ = In::bang;
        matched_ = 0;
    } else {
        in_ = In::start_tag;
        attributes_ = declared_ = 0;
        slash_ = naming_ = false;
        tag_bytes_ = 2;
    }
    return std::nullopt;
}

void Markup::bang(char c) {
    // "<!--" a comment, "<![CDATA[" a section, else a declaration
    if (matched_ == 0 && (c == '-' || c == '[')) {
        expect_ = c == '-' ? std::string_view("--") : std::string_view("[CDATA[");
        matched_ = 1;
    } else if (matched_ > 0 && c == expect_[static_cast<std::size_t>(matched_)]) {
        ++matched_;
    } else {
        in_ = c == '>' ? In::text : In::declaration;
        return;
    }
    if (static_cast<std::size_t>(matched_) == expect_.size()) {
        in_ = expect_.size() == 2 ? In::comment : In::cdata;
        matched_ = 0;
    }
}

void Markup::close_after_two(char c, char mark) {
    if (c == mark) {
        matched_ = std::min(matched_ + 1, 2);
    } else {
        if (c == '>' && matched_ == 2) in_ = In::text;
        matched_ = 0;
    }
}

ReadProblem Markup::tag_too_long() const {
    return problem(tag_line_, tag_column_, "un marcatore è più lungo di 64 KiB: vadrel non lo legge");
}

std::optional<ReadProblem> Markup::start_tag(char c) {
    if (++tag_bytes_ > max_tag) return tag_too_long();
    if (c == '"' || c == '\'') {
        in_ = In::quoted;
        quote_ = c;
        naming_ = false;
        return std::nullopt;
    }
    if (c == '>') {
        in_ = In::text;
        if (slash_) {  // an empty element: nothing stays open
            in_force_ -= declared_;
            root_done_ = declarations_.empty();
            return std::nullopt;
        }
        if (declarations_.size() >= max_depth)
            return problem(tag_line_, tag_column_,
                           "gli elementi sono annidati a più di " + std::to_string(max_depth) +
                               " livelli: vadrel non legge file così");
        declarations_.push_back(static_cast<std::uint8_t>(declared_));
        return std::nullopt;
    }
    slash_ = c == '/';
    if (c == '=') return attribute();
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        naming_ = false;
    } else if (!naming_) {
        naming_ = true;
        name_.clear();
        name_line_ = here_.line;
        name_column_ = here_.column;
        name_.push_back(c);
    } else if (name_.size() < 6) {
        name_.push_back(c);
    }
    return std::nullopt;
}

std::optional<ReadProblem> Markup::attribute() {
    naming_ = false;
    if (++attributes_ > max_attributes)
        return problem(name_line_, name_column_,
                       "l'elemento ha più di " + std::to_string(max_attributes) +
                           " attributi: vadrel non legge file così");
    if (name_ == "xmlns" || name_.starts_with("xmlns:")) {
        ++declared_;
        if (++in_force_ > max_namespaces)
            return problem(name_line_, name_column_,
                           "più di " + std::to_string(max_namespaces) +
                               " dichiarazioni di spazi dei nomi (xmlns) valgono insieme: vadrel "
                               "non legge file così");
    }
    return std::nullopt;
}

}  // namespace vadrel::route_parsing
