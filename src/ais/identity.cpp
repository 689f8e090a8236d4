#include "ais/identity.h"

#include <charconv>
#include <cstdio>

#include "model/utf8.h"

namespace vadrel {

namespace {

// The letter an accented Latin letter of Latin-1 stands for, or 0.
char plain_letter(char32_t c) {
    if (c >= U'a' && c <= U'z') return static_cast<char>(c - U'a' + 'A');
    static constexpr struct {
        char32_t from, to;
        char letter;
    } ranges[] = {
        {U'À', U'Å', 'A'}, {U'à', U'å', 'A'}, {U'Ç', U'Ç', 'C'}, {U'ç', U'ç', 'C'}, {U'È', U'Ë', 'E'},
        {U'è', U'ë', 'E'}, {U'Ì', U'Ï', 'I'}, {U'ì', U'ï', 'I'}, {U'Ñ', U'Ñ', 'N'}, {U'ñ', U'ñ', 'N'},
        {U'Ò', U'Ö', 'O'}, {U'ò', U'ö', 'O'}, {U'Ù', U'Ü', 'U'}, {U'ù', U'ü', 'U'}, {U'Ý', U'Ý', 'Y'},
        {U'ý', U'ý', 'Y'}, {U'ÿ', U'ÿ', 'Y'},
    };
    for (const auto& range : ranges) {
        if (c >= range.from && c <= range.to) return range.letter;
    }
    return 0;
}

// The six-bit character of `c`, or 0 when it has none ('@' ends a text, so it has none).
char six_bit_of(char32_t c) {
    if (const char letter = plain_letter(c)) return letter;
    if (c == U'\u2019' || c == U'\u2018') return '\'';
    if (c < 0x80 && ais::is_six_bit(static_cast<char>(c)) && c != U'@') return static_cast<char>(c);
    return 0;
}

std::optional<Refusal> text_problem(const char* field, const char* what, std::string_view text, std::size_t most) {
    if (!is_utf8(text)) return Refusal{field, std::string(what) + " non è testo UTF-8 valido"};
    const std::u32string chars = code_points(text);
    if (chars.size() > most) {
        return Refusal{field, std::string(what) + " ha al massimo " + std::to_string(most) + " caratteri, non " +
                                  std::to_string(chars.size())};
    }
    for (const char32_t c : chars) {
        if (six_bit_of(c) != 0) continue;
        return Refusal{field, "«" + utf8(c) + "» non si trasmette in AIS: " + what +
                                  " ammette lettere (anche accentate), cifre, spazio e i segni "
                                  "!\"#$%&'()*+,-./:;<=>?[\\]^_"};
    }
    return std::nullopt;
}

}  // namespace

AisIdentity default_identity(std::size_t vehicle) {
    AisIdentity identity;
    identity.mmsi = default_mmsi_base + static_cast<std::uint32_t>(vehicle);
    return identity;
}

std::string sent_name(const AisIdentity& identity, std::size_t vehicle) {
    if (identity.name.empty()) return "MEZZO " + std::to_string(vehicle);
    return six_bit_text(identity.name);
}

std::string six_bit_text(std::string_view text) {
    std::string out;
    for (const char32_t c : code_points(text)) {
        const char sent = six_bit_of(c);
        out += sent != 0 ? sent : '?';
    }
    return out;
}

std::string mmsi_text(std::uint32_t mmsi) {
    char text[16];
    std::snprintf(text, sizeof text, "%09u", static_cast<unsigned>(mmsi));
    return text;
}

std::variant<std::uint32_t, Refusal> read_mmsi(std::string_view text) {
    const Refusal refusal{"mmsi", "l'MMSI ha nove cifre, da 000000001 a 999999999, non \"" + std::string(text) + "\""};
    if (text.empty() || text.size() > 9) return refusal;
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value == 0) return refusal;
    return value;
}

std::variant<AisClass, Refusal> read_ais_class(std::string_view text) {
    if (text == "A" || text == "a") return AisClass::a;
    if (text == "B" || text == "b") return AisClass::b;
    return Refusal{"classe", "la classe AIS è A o B, non \"" + std::string(text) + "\""};
}

const char* ais_class_text(AisClass ais_class) { return ais_class == AisClass::b ? "B" : "A"; }

std::optional<Refusal> identity_problem(const AisIdentity& id) {
    if (id.mmsi == 0 || id.mmsi > highest_mmsi) {
        return Refusal{"mmsi", "l'MMSI ha nove cifre, da 000000001 a 999999999, non " + std::to_string(id.mmsi)};
    }
    if (id.ais_class != AisClass::a && id.ais_class != AisClass::b) {
        return Refusal{"classe", "la classe AIS è A o B"};
    }
    if (auto problem = text_problem("nome", "il nome AIS", id.name, name_chars)) return problem;
    if (auto problem = text_problem("nominativo", "il nominativo radio", id.call_sign, call_sign_chars))
        return problem;
    if (id.ship_type > 99) {
        return Refusal{"tipo", "il tipo di nave AIS va da 0 (non disponibile) a 99, non " +
                                   std::to_string(id.ship_type)};
    }
    const ais::Dimensions& d = id.dimensions;
    if (d.to_bow > 511 || d.to_stern > 511 || d.to_port > 63 || d.to_starboard > 63) {
        return Refusal{"dimensioni", "le distanze dall'antenna vanno verso prua e poppa da 0 a 511 m, verso "
                                     "sinistra e dritta da 0 a 63 m"};
    }
    return std::nullopt;
}

std::optional<Refusal> fleet_identities_problem(std::span<const AisIdentity> identities) {
    for (std::size_t i = 0; i < identities.size(); ++i) {
        if (auto problem = identity_problem(identities[i])) {
            problem->reason = "mezzo " + std::to_string(i) + ": " + problem->reason;
            return problem;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (identities[j].mmsi == identities[i].mmsi) {
                return Refusal{"mmsi", "l'MMSI " + mmsi_text(identities[i].mmsi) + " è sia del mezzo " +
                                           std::to_string(j) + " sia del mezzo " + std::to_string(i)};
            }
        }
    }
    return std::nullopt;
}

}  // namespace vadrel
