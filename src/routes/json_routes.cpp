// A JSON list of points, as the control interface takes a route, read as a
// stream: a tokenizer that keeps only the token it is in, and the route's
// shape checked token by token. The memory is the route's points, whatever
// the body's length (a document model of 16 MB of JSON took ten times that).

#include <algorithm>
#include <charconv>
#include <cmath>

#include "model/utf8.h"
#include "routes/iso_time.h"
#include "routes/route_parsers.h"

namespace vadrel::route_parsing {

namespace {

// A string longer than this is no key, time or name of a route.
constexpr std::size_t max_string = 64 * 1024;
constexpr std::size_t max_number = 64;

const char* const shape_reason = "il percorso va dato come lista di punti, o come {\"nome\": ..., \"punti\": [...]}";

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// JSON's number: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
bool json_number(std::string_view text) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        return i > from;
    };
    if (i < text.size() && text[i] == '-') ++i;
    if (i < text.size() && text[i] == '0') {
        ++i;
    } else if (!digits()) {
        return false;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (!digits()) return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (!digits()) return false;
    }
    return i == text.size();
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

JsonParser::JsonParser(Collector& out, std::vector<std::string> option_names)
    : out_(out), option_names_(std::move(option_names)) {}

void JsonParser::fail(std::int64_t line, std::int64_t column, std::string reason) {
    out_.fail(line, column, std::move(reason));
}

void JsonParser::syntax(const std::string& reason) { fail(line_, column_, "JSON non valido: " + reason); }

std::string JsonParser::in_point(const std::string& reason) const {
    return "punto " + std::to_string(points_ + 1) + ": " + reason;
}

bool JsonParser::feed(std::string_view piece) {
    for (const char c : piece) {
        if (out_.failed()) return false;
        step(c);
        ++position_;
        if (c == '\n') {
            ++line_;
            column_ = 1;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++column_;
        }
    }
    return !out_.failed();
}

void JsonParser::syntax_at_token(const std::string& reason) {
    fail(token_line_, token_column_, "JSON non valido: " + reason);
}

bool JsonParser::token_byte(char c) {
    switch (lexing_) {
        case Lexing::string: string_byte(c); return true;
        case Lexing::escape: escape_byte(c); return true;
        case Lexing::number:
            if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E') {
                if (token_.size() >= max_number) {
                    syntax("numero troppo lungo");
                } else {
                    token_.push_back(c);
                }
                return true;
            }
            lexing_ = Lexing::none;
            number_end();
            return out_.failed();
        case Lexing::literal:
            if (c >= 'a' && c <= 'z') {
                if (token_.size() >= 5) {
                    syntax("valore non valido");
                } else {
                    token_.push_back(c);
                }
                return true;
            }
            lexing_ = Lexing::none;
            literal_end();
            return out_.failed();
        case Lexing::none: break;
    }
    return false;
}

void JsonParser::step(char c) {
    if (token_byte(c)) return;
    if (is_blank(c)) return;
    if (position_ < 3 && bom_ == position_ && c == "\xEF\xBB\xBF"[position_]) {  // a byte order mark
        ++bom_;
        return;
    }
    if (bom_ > 0 && bom_ < 3) return syntax("valore non valido");
    token_line_ = line_;
    token_column_ = column_;
    if (expect_ == Expect::end) return syntax("altro testo dopo la fine");
    if (expect_ == Expect::colon) {
        if (c != ':') return syntax("manca \":\" dopo un nome");
        expect_ = Expect::value;
        return;
    }
    if (expect_ == Expect::comma_or_close) {
        const bool in_object = nesting_.back() == '{';
        if (c == ',') {
            expect_ = in_object ? Expect::key : Expect::value;
        } else if (c == (in_object ? '}' : ']')) {
            close();
        } else {
            syntax(in_object ? "manca una virgola tra due valori, o \"}\"" : "manca una virgola tra due valori, o \"]\"");
        }
        return;
    }
    if (expect_ == Expect::key || expect_ == Expect::key_or_close) {
        if (c == '"') {
            lexing_ = Lexing::string;
            token_.clear();
            string_is_key_ = true;
        } else if (c == '}' && expect_ == Expect::key_or_close) {
            close();
        } else {
            syntax("manca il nome di un campo, tra virgolette");
        }
        return;
    }
    value_start(c);
}

// A value, or the end of an empty list.
void JsonParser::value_start(char c) {
    if (c == ']' && expect_ == Expect::value_or_close) return close();
    switch (c) {
        case '{':
        case '[':
            open(c);
            return;
        case '"':
            lexing_ = Lexing::string;
            token_.clear();
            string_is_key_ = false;
            return;
        case 't':
        case 'f':
        case 'n':
            lexing_ = Lexing::literal;
            token_.assign(1, c);
            return;
        default:
            if (c == '-' || (c >= '0' && c <= '9')) {
                lexing_ = Lexing::number;
                token_.assign(1, c);
                return;
            }
            syntax("valore non valido");
    }
}

void JsonParser::string_byte(char c) {
    if (high_surrogate_ != 0 && c != '\\') return syntax("sequenza di escape non valida (surrogato senza il suo secondo)");
    if (c == '"') {
        lexing_ = Lexing::none;
        if (!is_utf8(token_)) return syntax("testo non in UTF-8");
        if (string_is_key_) {
            key(token_);
        } else {
            scalar(Scalar::string);
        }
        return;
    }
    if (c == '\\') {
        lexing_ = Lexing::escape;
        escape_.clear();
        return;
    }
    if (static_cast<unsigned char>(c) < 0x20) return syntax("carattere di controllo dentro una stringa (va scritto \\u00XX)");
    if (token_.size() >= max_string) return syntax("stringa più lunga di 64 KiB");
    token_.push_back(c);
}

void JsonParser::escape_byte(char c) {
    escape_.push_back(c);
    if (escape_.size() == 1 && high_surrogate_ != 0 && c != 'u')
        return syntax("sequenza di escape non valida (surrogato senza il suo secondo)");
    if (escape_.size() == 1) {
        const std::string_view simple = "\"\\/bfnrt";
        const std::string_view meant = "\"\\/\b\f\n\r\t";
        if (const std::size_t at = simple.find(c); at != std::string_view::npos) {
            token_.push_back(meant[at]);
            lexing_ = Lexing::string;
            return;
        }
        if (c != 'u') return syntax("sequenza di escape non valida");
        return;
    }
    if (hex_value(c) < 0) return syntax("sequenza di escape non valida");
    if (escape_.size() < 5) return;
    char32_t unit = 0;
    for (std::size_t i = 1; i < 5; ++i) unit = unit * 16 + static_cast<char32_t>(hex_value(escape_[i]));
    lexing_ = Lexing::string;
    if (high_surrogate_ != 0) {
        if (unit < 0xDC00 || unit > 0xDFFF) return syntax("sequenza di escape non valida (surrogato senza il suo secondo)");
        unit = 0x10000 + ((high_surrogate_ - 0xD800) << 10) + (unit - 0xDC00);
        high_surrogate_ = 0;
    } else if (unit >= 0xD800 && unit <= 0xDBFF) {
        high_surrogate_ = unit;
        return;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
        return syntax("sequenza di escape non valida (surrogato senza il suo primo)");
    }
    if (token_.size() >= max_string) return syntax("stringa più lunga di 64 KiB");
    token_ += vadrel::utf8(unit);
}

void JsonParser::number_end() {
    if (!json_number(token_)) return syntax_at_token("numero non valido");
    double value = 0.0;
    const auto [end, error] = std::from_chars(token_.data(), token_.data() + token_.size(), value);
    if (error != std::errc() || end != token_.data() + token_.size() || !std::isfinite(value))
        return syntax_at_token("numero fuori campo");
    number_ = value;
    scalar(Scalar::number);
}

void JsonParser::literal_end() {
    if (token_ != "true" && token_ != "false" && token_ != "null") return syntax_at_token("valore non valido");
    scalar(Scalar::literal);
}

void JsonParser::open(char bracket) {
    nesting_.push_back(bracket);
    expect_ = bracket == '{' ? Expect::key_or_close : Expect::value_or_close;
    const std::size_t depth = nesting_.size();
    if (depth == 1) {
        if (bracket == '[') {
            listing_ = true;
            out_.begin("", token_line_, token_column_);
        }
        return;
    }
    if (depth == 2 && field_ == Field::points && bracket == '[') {
        listing_ = true;
        out_.begin("", token_line_, token_column_);
        return;
    }
    if (depth == (top_object() ? 3u : 2u) && listing_ && bracket == '{') {
        point_ = {};
        has_lat_ = has_lon_ = has_speed_ = false;
        point_line_ = token_line_;
        point_column_ = token_column_;
        return;
    }
    not_a_scalar();
}

bool JsonParser::top_object() const { return !nesting_.empty() && nesting_.front() == '{'; }

void JsonParser::not_a_scalar() {
    // A list or an object where the route's shape has none.
    const std::size_t depth = nesting_.size() - 1;  // of the container the new one is in
    if (depth == 0) return;
    if (listing_ && depth == (top_object() ? 2u : 1u)) {
        fail(token_line_, token_column_, in_point("ogni punto è un oggetto {\"lat\": ..., \"lon\": ...}"));
    } else if (listing_ && depth == (top_object() ? 3u : 2u)) {
        fail(token_line_, token_column_, in_point(field_name_ + (field_ == Field::time ? " va data come testo" : " deve essere un numero")));
    } else if (field_ == Field::name) {
        fail(token_line_, token_column_, "il nome del percorso deve essere un testo");
    } else if (field_ == Field::option) {
        fail(token_line_, token_column_, field_name_ + " deve essere un testo o un numero");
    } else {
        fail(token_line_, token_column_, shape_reason);
    }
}

void JsonParser::close() {
    const char bracket = nesting_.back();
    const std::size_t depth = nesting_.size();
    const std::size_t point_depth = top_object() ? 3 : 2;
    nesting_.pop_back();
    if (bracket == '{' && listing_ && depth == point_depth) {
        point_end();
    } else if (bracket == '[' && listing_ && depth == point_depth - 1) {
        listing_ = false;
        lists_done_ = true;
        if (points_ == 0) fail(token_line_, token_column_, "il percorso non ha punti");
    }
    if (out_.failed()) return;
    after_value();
}

void JsonParser::after_value() {
    if (nesting_.empty()) {
        expect_ = Expect::end;
        done_ = true;
        return;
    }
    expect_ = Expect::comma_or_close;
    if (nesting_.size() == 1 && nesting_.front() == '{') field_ = Field::none;
    if (listing_ && nesting_.size() == (top_object() ? 3u : 2u)) field_ = Field::none;
}

void JsonParser::key(const std::string& name) {
    expect_ = Expect::colon;
    const std::size_t depth = nesting_.size();
    const std::string shown = "\"" + name.substr(0, 100) + "\"";
    if (depth == 1) {
        // The route's fields.
        if (!seen_.insert(name).second) return fail(token_line_, token_column_, "il campo " + shown + " è dato due volte");
        field_name_ = name;
        if (name == "nome") {
            field_ = Field::name;
        } else if (name == "punti") {
            field_ = Field::points;
        } else if (std::find(option_names_.begin(), option_names_.end(), name) != option_names_.end()) {
            field_ = Field::option;
        } else {
            std::string known = "nome e punti";
            if (!option_names_.empty()) {
                known = "nome, punti";
                for (const std::string& option : option_names_) known += ", " + option;
            }
            fail(token_line_, token_column_, "chiave sconosciuta " + shown + ": sono " + known);
        }
        return;
    }
    // A point's fields.
    field_name_ = name;
    const bool is_lat = name == "lat" || name == "latitudine";
    const bool is_lon = name == "lon" || name == "longitudine";
    const bool is_speed = name == "velocita" || name == "velocita_kmh" || name == "velocita_nodi" || name == "velocita_ms";
    if (name == "ora") {
        field_ = Field::time;
        if (point_.time) return fail(token_line_, token_column_, in_point("ora: il valore è dato due volte"));
    } else if (is_lat || is_lon || is_speed) {
        field_ = is_lat ? Field::lat : is_lon ? Field::lon : Field::speed;
        if ((is_lat && has_lat_) || (is_lon && has_lon_) || (is_speed && has_speed_))
            return fail(token_line_, token_column_, in_point(name + ": il valore è dato due volte"));
    } else {
        fail(token_line_, token_column_,
             in_point("chiave sconosciuta " + shown +
                      ": sono lat, lon, velocita (km/h), velocita_kmh, velocita_nodi, velocita_ms, ora"));
    }
}

void JsonParser::scalar(Scalar kind) {
    const std::size_t depth = nesting_.size();
    if (depth == 0) return fail(token_line_, token_column_, shape_reason);
    if (listing_ && depth == (top_object() ? 2u : 1u)) {
        return fail(token_line_, token_column_, in_point("ogni punto è un oggetto {\"lat\": ..., \"lon\": ...}"));
    }
    if (listing_) {
        // A point's value.
        switch (field_) {
            case Field::time: {
                const std::optional<std::int64_t> t = kind == Scalar::string ? read_iso_time(token_) : std::nullopt;
                if (!t)
                    return fail(token_line_, token_column_,
                                in_point("l'ora va data come testo ISO 8601, per esempio \"2024-05-01T10:00:00Z\""));
                point_.time = t;
                break;
            }
            case Field::lat:
            case Field::lon:
            case Field::speed: {
                if (kind != Scalar::number) return fail(token_line_, token_column_, in_point(field_name_ + " deve essere un numero"));
                if (field_ == Field::lat) {
                    point_.lat = number_;
                    has_lat_ = true;
                } else if (field_ == Field::lon) {
                    point_.lon = number_;
                    has_lon_ = true;
                } else {
                    has_speed_ = true;
                    if (field_name_ == "velocita_kmh" || field_name_ == "velocita") {
                        point_.speed = number_ / 3.6;
                    } else if (field_name_ == "velocita_nodi") {
                        point_.speed = number_ * 1852.0 / 3600.0;
                    } else {
                        point_.speed = number_;
                    }
                }
                break;
            }
            default: break;
        }
        return after_value();
    }
    // A field of the route.
    switch (field_) {
        case Field::name:
            if (kind != Scalar::string) return fail(token_line_, token_column_, "il nome del percorso deve essere un testo");
            name_ = token_;
            break;
        case Field::option:
            if (kind == Scalar::literal)
                return fail(token_line_, token_column_, field_name_ + " deve essere un testo o un numero");
            options_.emplace_back(field_name_, token_);
            break;
        default: return fail(token_line_, token_column_, shape_reason);
    }
    after_value();
}

void JsonParser::point_end() {
    if (!has_lat_ || !has_lon_) return fail(point_line_, point_column_, in_point("mancano lat o lon"));
    if (!out_.add(point_, point_line_, point_column_)) {
        // The route's reason, said of this point.
        out_.prefix_problem(in_point(""));
        return;
    }
    ++points_;
}

bool JsonParser::finish() {
    if (out_.failed()) return false;
    if (lexing_ == Lexing::number) {
        lexing_ = Lexing::none;
        number_end();
        if (out_.failed()) return false;
    } else if (lexing_ == Lexing::literal) {
        lexing_ = Lexing::none;
        literal_end();
        if (out_.failed()) return false;
    }
    if (lexing_ == Lexing::string || lexing_ == Lexing::escape) {
        syntax("una stringa non è chiusa");
        return false;
    }
    if (!done_) {
        if (nesting_.empty()) {
            fail(0, 0, "il file è vuoto");
        } else {
            syntax(nesting_.back() == '{' ? "un oggetto non è chiuso" : "una lista non è chiusa");
        }
        return false;
    }
    if (!lists_done_) {
        fail(0, 0, shape_reason);
        return false;
    }
    out_.end();
    if (!name_.empty() && out_.routes() == 1) out_.rename(0, name_);
    return true;
}

}  // namespace vadrel::route_parsing
