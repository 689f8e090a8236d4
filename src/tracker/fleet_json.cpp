// The JSON form of a fleet file: [{"id": "a", "lat": 45.1, ...}, ...], each
// object flat, its values strings or numbers (a number's digits are read as
// the CSV's are). Read in one pass; nothing nests, so nothing can go deep.

#include <algorithm>

#include "model/utf8.h"
#include "tracker/fleet_file.h"

namespace vadrel::fleet_parsing {

namespace {

class JsonRows {
public:
    JsonRows(std::string_view bytes, RowChecker& checker, std::string file)
        : bytes_(bytes), checker_(checker), file_(std::move(file)) {
        if (bytes_.substr(0, 3) == "\xEF\xBB\xBF") at_ = 3;
    }

    FleetReading read() {
        if (!expect('[')) return problem_;
        blanks();
        if (peek() == ']') return fail("il file non ha dispositivi");
        while (true) {
            if (!object()) return problem_;
            blanks();
            const char c = next();
            if (c == ']') break;
            if (c != ',') return fail("manca \",\" o \"]\" dopo un dispositivo");
        }
        blanks();
        if (at_ < bytes_.size()) return fail("c'è altro dopo la fine della lista");
        return checker_.take();
    }

private:
    FleetProblem fail(std::string reason, std::string field = {}) {
        problem_ = {file_, line_, std::move(field), std::move(reason)};
        return problem_;
    }
    char peek() const { return at_ < bytes_.size() ? bytes_[at_] : '\0'; }
    char next() {
        if (at_ >= bytes_.size()) return '\0';
        const char c = bytes_[at_++];
        if (c == '\n') ++line_;
        return c;
    }
    void blanks() {
        while (peek() == ' ' || peek() == '\t' || peek() == '\r' || peek() == '\n') next();
    }
    bool expect(char wanted) {
        blanks();
        if (at_ >= bytes_.size()) return fail("il file finisce a metà"), false;
        if (next() == wanted) return true;
        fail(std::string("manca \"") + wanted + "\"");
        return false;
    }

    bool hex4(char32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = next();
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (digit < 0) return false;
            value = value * 16 + static_cast<char32_t>(digit);
        }
        return true;
    }

    bool escape(std::string& text) {
        const char c = next();
        const std::string_view simple = "\"\\/bfnrt";
        const std::string_view meant = "\"\\/\b\f\n\r\t";
        if (const std::size_t i = simple.find(c); i != std::string_view::npos && c != '\0') {
            text.push_back(meant[i]);
            return true;
        }
        char32_t code = 0;
        if (c != 'u' || !hex4(code) || (code >= 0xD800 && code <= 0xDFFF)) return false;
        text += utf8(code);
        return true;
    }

    bool string(std::string& text) {
        if (!expect('"')) return false;
        text.clear();
        while (true) {
            const char c = next();
            if (c == '"') return true;
            if (c == '\0' || c == '\n') return fail("una stringa non è chiusa"), false;
            if (text.size() >= max_fleet_line_bytes) return fail("una stringa è troppo lunga"), false;
            if (c == '\\') {
                if (!escape(text)) return fail("una sequenza \\ non è valida"), false;
            } else {
                text.push_back(c);
            }
        }
    }

    bool value(std::string& text) {
        blanks();
        if (peek() == '"') return string(text);
        text.clear();
        while (std::string_view("+-0123456789.eE").find(peek()) != std::string_view::npos && peek() != '\0') {
            if (text.size() >= 64) return fail("un numero è troppo lungo"), false;
            text.push_back(next());
        }
        if (text.empty()) return fail("un valore dev'essere una stringa o un numero"), false;
        return true;
    }

    bool object() {
        if (!expect('{')) return false;
        RowText row;
        row.line = line_;
        blanks();
        if (peek() == '}') {
            next();
            return checker_.add(row) || (problem_ = checker_.problem(), false);
        }
        std::string key, text;
        while (true) {
            blanks();
            const std::int64_t key_line = line_;
            if (!string(key)) return false;
            if (!RowChecker::known_column(key))
                return fail("campo sconosciuto (id, lat, lon, rotta, velocita_kmh, percorso, fine, intervallo, zona)",
                            printable(key.substr(0, 40))),
                       false;
            for (const auto& field : row.fields) {
                if (field.first == key) return fail("il campo c'è due volte", key), false;
            }
            if (!expect(':') || !value(text)) return false;
            row.fields.emplace_back(key, text);
            line_ = std::max(line_, key_line);
            blanks();
            const char c = next();
            if (c == '}') break;
            if (c != ',') return fail("manca \",\" o \"}\" in un dispositivo"), false;
        }
        for (const std::string& needed : RowChecker::required_columns()) {
            if (std::none_of(row.fields.begin(), row.fields.end(), [&](const auto& f) { return f.first == needed; }))
                return checker_.fail(row.line, needed, "manca il campo"), problem_ = checker_.problem(), false;
        }
        if (!checker_.add(row)) {
            problem_ = checker_.problem();
            return false;
        }
        return true;
    }

    std::string_view bytes_;
    std::size_t at_ = 0;
    std::int64_t line_ = 1;
    RowChecker& checker_;
    std::string file_;
    FleetProblem problem_;
};

}  // namespace

FleetReading read_fleet_json(std::string_view bytes, RowChecker& checker, const std::string& file) {
    return JsonRows(bytes, checker, file).read();
}

}  // namespace vadrel::fleet_parsing
