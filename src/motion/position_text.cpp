#include "position_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "model/coordinates.h"
#include "model/utf8.h"

namespace vadrel {

namespace {

constexpr double max_lat_seconds = latitude_limit;
constexpr double max_lon_seconds = longitude_limit;

enum class Mark { none, degrees, minutes, seconds };

struct Figure {
    double value = 0.0;
    std::string text;
    bool decimals = false;
    int whole_digits = 0;
    Mark mark = Mark::none;
    int sign = 0;  // -1, +1, or 0 when none was typed
};

struct Token {
    bool is_letter = false;
    char letter = 0;  // N, S, E, W
    Figure figure;
};

using Error = std::string;

std::string quoted(std::u32string_view text) { return "\xC2\xAB" + utf8(text) + "\xC2\xBB"; }

// A long figure as a message shows it: its first digits and an ellipsis.
std::u32string shortened(std::u32string_view text) {
    constexpr std::size_t longest = 20;
    return text.size() <= longest ? std::u32string(text) : std::u32string(text.substr(0, longest)) + U"\u2026";
}

bool is_digit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool is_blank(char32_t c) { return c == U' ' || c == U'\t' || c == U'\u00A0'; }
bool is_separator(char32_t c) { return is_blank(c) || c == U',' || c == U';' || c == U'/'; }
bool is_sign(char32_t c) { return c == U'-' || c == U'+' || c == U'\u2212'; }
bool is_alpha(char32_t c) { return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z'); }

Mark mark_of(char32_t c) {
    switch (c) {
        case U'\u00B0': case U'\u00BA': case U'\u02DA':
            return Mark::degrees;
        case U'\'': case U'\u2032': case U'\u2019': case U'\u2018': case U'\u00B4':
            return Mark::minutes;
        case U'"': case U'\u2033': case U'\u201D': case U'\u201C':
            return Mark::seconds;
        default:
            return Mark::none;
    }
}

// The hemisphere a word names: a letter, or the Italian word.
char hemisphere_of(std::u32string word) {
    for (char32_t& c : word) {
        if (c >= U'A' && c <= U'Z') c = c - U'A' + U'a';
    }
    if (word == U"n" || word == U"nord") return 'N';
    if (word == U"s" || word == U"sud") return 'S';
    if (word == U"e" || word == U"est") return 'E';
    if (word == U"w" || word == U"o" || word == U"ovest") return 'W';
    return 0;
}

// The figure's text and value from its digits ("45", "45,5"); why not, when
// they are no number a double holds.
std::optional<Error> read_value(std::u32string_view digits, Figure& f) {
    f.text = utf8(digits);
    std::string plain = f.text;
    for (char& d : plain) {
        if (d == ',') d = '.';
    }
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), f.value);
    if (error == std::errc::result_out_of_range) {
        // past what a double holds, or, with no whole part but
        // zeros, too small to tell from zero
        if (plain.find_first_not_of('0') != plain.find('.')) return "Numero troppo grande: " + quoted(shortened(digits));
        f.value = 0.0;
    } else if (error != std::errc() || end != plain.data() + plain.size()) {
        return "Numero non valido: " + quoted(shortened(digits));
    }
    return std::nullopt;
}

std::variant<std::vector<Token>, Error> tokens_of(const std::u32string& text) {
    std::vector<Token> tokens;
    int sign = 0;
    std::u32string sign_text;
    std::size_t i = 0;
    const auto at = [&text](std::size_t k) { return k < text.size() ? text[k] : U'\0'; };
    while (i < text.size()) {
        const char32_t c = text[i];
        if (sign != 0 && !is_digit(c) && !is_blank(c)) return Error("Il segno " + quoted(sign_text) + " va davanti a un numero");
        if (is_separator(c)) {
            ++i;
        } else if (is_sign(c)) {
            sign = c == U'+' ? 1 : -1;
            sign_text = c;
            ++i;
        } else if (is_digit(c)) {
            Figure f;
            f.sign = sign;
            sign = 0;
            const std::size_t start = i;
            while (is_digit(at(i))) ++i;
            f.whole_digits = static_cast<int>(i - start);
            if ((at(i) == U'.' || at(i) == U',') && is_digit(at(i + 1))) {
                f.decimals = true;
                ++i;
                while (is_digit(at(i))) ++i;
                // a second point cannot separate: "1.2.3"; a comma can: "45.5,9.2"
                if (at(i) == U'.' && is_digit(at(i + 1))) {
                    std::size_t end = i + 1;
                    while (is_digit(at(end)) || at(end) == U'.' || at(end) == U',') ++end;
                    return Error("Numero non valido: " + quoted(std::u32string_view(text).substr(start, end - start)));
                }
            }
            std::u32string_view digits = std::u32string_view(text).substr(start, i - start);
            if (auto error = read_value(digits, f)) return *error;
            // its mark, after blanks if any: ° ' " or two minute marks
            std::size_t k = i;
            while (is_blank(at(k))) ++k;
            Mark m = mark_of(at(k));
            if (m != Mark::none) {
                if (m == Mark::minutes && mark_of(at(k + 1)) == Mark::minutes) {
                    m = Mark::seconds;
                    ++k;
                }
                f.mark = m;
                i = k + 1;
            }
            Token t;
            t.figure = f;
            tokens.push_back(t);
        } else if (is_alpha(c)) {
            const std::size_t start = i;
            while (is_alpha(at(i))) ++i;
            const std::u32string word = text.substr(start, i - start);
            const char letter = hemisphere_of(word);
            if (letter == 0) return Error("Non capisco " + quoted(word) + ": le lettere sono N, S, E, W (o O)");
            Token t;
            t.is_letter = true;
            t.letter = letter;
            tokens.push_back(t);
        } else if (mark_of(c) != Mark::none) {
            return Error("Il segno " + quoted(std::u32string(1, c)) + " va dopo un numero");
        } else {
            return Error("Carattere non previsto: " + quoted(std::u32string(1, c)));
        }
    }
    if (sign != 0) return Error("Il segno " + quoted(sign_text) + " va davanti a un numero");
    return tokens;
}

// The figures of one coordinate, with its letter when it has one.
struct Group {
    std::vector<Figure> figures;
    char letter = 0;
};

bool is_latitude_letter(char letter) { return letter == 'N' || letter == 'S'; }

std::variant<TypedCoordinate, Error> coordinate_of(const Group& g, bool latitude) {
    const std::string which = latitude ? "latitudine" : "longitudine";
    const auto& f = g.figures;
    if (f.empty()) return Error(std::string("La lettera ") + g.letter + " non ha numeri");
    if (f.size() > 3) return Error("Troppi numeri per la " + which + ": al più gradi, primi e secondi");
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (f[i].mark != Mark::none && f[i].mark != static_cast<Mark>(i + 1))
            return Error("I segni vanno nell'ordine gradi \xC2\xB0, primi ', secondi \"");
        if (i > 0 && f[i].sign != 0) return Error("Il segno va solo davanti ai gradi");
        if (i + 1 < f.size() && f[i].decimals) return Error("Solo l'ultimo numero di una coordinata può avere decimali");
    }
    if (g.letter != 0 && f[0].sign < 0) return Error("Il meno e la lettera insieme: basta la lettera");
    double seconds = 0.0;
    if (f.size() == 1) {
        const bool run_together = g.letter != 0 && f[0].mark == Mark::none && f[0].whole_digits >= (latitude ? 3 : 4);
        if (run_together) {
            const double degrees = std::floor(f[0].value / 100.0);
            const double minutes = f[0].value - degrees * 100.0;
            if (minutes >= 60.0) return Error("I primi di " + f[0].text + " sono 60 o più");
            seconds = degrees * 3600.0 + minutes * 60.0;
        } else {
            seconds = f[0].value * 3600.0;
        }
    } else {
        if (f[1].value >= 60.0) return Error("I primi devono essere meno di 60, non " + f[1].text);
        if (f.size() == 3 && f[2].value >= 60.0) return Error("I secondi devono essere meno di 60, non " + f[2].text);
        seconds = f[0].value * 3600.0 + f[1].value * 60.0 + (f.size() == 3 ? f[2].value : 0.0);
    }
    if (latitude && seconds > max_lat_seconds) return Error("La latitudine va da 0\xC2\xB0 a 90\xC2\xB0");
    if (!latitude && seconds > max_lon_seconds) return Error("La longitudine va da 0\xC2\xB0 a 180\xC2\xB0");
    const bool negative = g.letter != 0 ? (g.letter == 'S' || g.letter == 'W') : f[0].sign < 0;
    return TypedCoordinate{seconds, negative};
}

std::variant<std::vector<Group>, Error> groups_with_letters(const std::vector<Token>& tokens) {
    std::vector<Group> groups;
    const bool letter_first = tokens.front().is_letter;
    Group current;
    for (const Token& t : tokens) {
        if (!t.is_letter) {
            current.figures.push_back(t.figure);
        } else if (letter_first) {
            if (current.letter != 0) groups.push_back(current);
            current = Group{{}, t.letter};
        } else {
            current.letter = t.letter;
            groups.push_back(current);
            current = Group{};
        }
    }
    if (letter_first) {
        groups.push_back(current);
    } else if (!current.figures.empty()) {
        return Error("Dopo l'ultima lettera restano numeri senza N/S o E/W");
    }
    return groups;
}

// Without letters: a coordinate starts at each degree mark, or each number
// is a coordinate of its own.
std::vector<Group> groups_without_letters(const std::vector<Token>& tokens) {
    bool marked = false;
    for (const Token& t : tokens) marked = marked || t.figure.mark == Mark::degrees;
    std::vector<Group> groups;
    for (const Token& t : tokens) {
        if (groups.empty() || !marked || t.figure.mark == Mark::degrees) groups.emplace_back();
        groups.back().figures.push_back(t.figure);
    }
    return groups;
}

}  // namespace

std::variant<TypedPosition, std::string> read_position(std::string_view text) {
    if (!is_utf8(text)) return Error("Il testo contiene byte che non formano caratteri UTF-8 validi");
    const auto tokenised = tokens_of(code_points(text));
    if (const auto* error = std::get_if<Error>(&tokenised)) return *error;
    const auto& tokens = std::get<std::vector<Token>>(tokenised);
    if (tokens.empty()) return Error("Scrivere la posizione, per esempio 45 30 0 N 9 12 0 E");

    bool letters = false;
    for (const Token& t : tokens) letters = letters || t.is_letter;
    std::vector<Group> groups;
    if (letters) {
        auto made = groups_with_letters(tokens);
        if (const auto* error = std::get_if<Error>(&made)) return *error;
        groups = std::get<std::vector<Group>>(std::move(made));
        if (groups.size() > 2) return Error("Più di due coordinate");
    } else {
        groups = groups_without_letters(tokens);
        if (groups.size() == 1)
            return Error("Un numero solo non dice se è latitudine o longitudine: aggiungere N/S o E/W, "
                         "o scrivere anche la longitudine");
        if (groups.size() > 2)
            return Error("Senza le lettere N/S ed E/W si scrivono latitudine e longitudine in gradi "
                         "decimali (45,5 9,2) o con i segni (45\xC2\xB0" "30' 9\xC2\xB0" "12')");
    }

    TypedPosition position;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const bool latitude = letters ? is_latitude_letter(groups[i].letter) : i == 0;
        auto& slot = latitude ? position.lat : position.lon;
        if (slot) return Error(latitude ? "Due latitudini (N/S): l'altra coordinata dev'essere una longitudine (E/W)"
                                        : "Due longitudini (E/W): l'altra coordinata dev'essere una latitudine (N/S)");
        auto read = coordinate_of(groups[i], latitude);
        if (const auto* error = std::get_if<Error>(&read)) return *error;
        slot = std::get<TypedCoordinate>(read);
    }
    return position;
}

std::string coordinate_text(const TypedCoordinate& coordinate, bool latitude) {
    const long long hundredths = std::llround(std::fabs(coordinate.seconds) * 100.0);
    const char letter = latitude ? (coordinate.negative ? 'S' : 'N') : (coordinate.negative ? 'W' : 'E');
    char text[48];
    std::snprintf(text, sizeof text, "%lld\xC2\xB0%02lld'%02lld,%02lld\"%c", hundredths / 360000,
                  hundredths / 6000 % 60, hundredths / 100 % 60, hundredths % 100, letter);
    return text;
}

std::variant<std::pair<double, double>, std::string> read_both_coordinates(std::string_view text) {
    auto read = read_position(text);
    if (auto* bad = std::get_if<std::string>(&read)) return *bad;
    const TypedPosition& at = std::get<TypedPosition>(read);
    if (!at.lat || !at.lon) return std::string("servono latitudine e longitudine");
    return std::pair{at.lat->signed_seconds(), at.lon->signed_seconds()};
}

}  // namespace vadrel
