#include "sky_options.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "model/numbers.h"
#include "sky/sentence_table.h"

namespace vadrel {

namespace {

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// The receiver's options read as the command line reads a value, in vadrel.ini too.
std::optional<double> number(std::string_view text) { return read_number(text, NumberSource::command_line); }

std::optional<std::int64_t> whole(std::string_view text) {
    return read_whole<std::int64_t>(text, NumberSource::command_line);
}

bool within(double value, double low, double high) { return value >= low && value <= high; }

}  // namespace

std::variant<double, std::string> read_mask(std::string_view text) {
    const auto mask = number(text);
    if (!mask || !within(*mask, 0.0, 90.0)) {
        return "la maschera di elevazione va da 0 a 90 gradi, non " + quoted(text);
    }
    return *mask;
}

std::variant<Obstruction, std::string> read_obstruction(std::string_view text) {
    const std::string usage = "un ostacolo si scrive AZIMUT1-AZIMUT2:ELEVAZIONE (gradi, da AZIMUT1 in senso orario "
                              "ad AZIMUT2, sotto ELEVAZIONE; per esempio 200-340:40), non " + quoted(text);
    const std::size_t colon = text.find(':');
    const std::size_t dash = text.find('-', 1);
    if (colon == std::string_view::npos || dash == std::string_view::npos || dash > colon) return usage;
    const auto from = number(text.substr(0, dash));
    const auto to = number(text.substr(dash + 1, colon - dash - 1));
    const auto below = number(text.substr(colon + 1));
    if (!from || !to || !below) return usage;
    if (!within(*from, 0.0, 360.0) || !within(*to, 0.0, 360.0)) {
        return "gli azimut di un ostacolo vanno da 0 a 360 gradi, non " + quoted(text);
    }
    if (!within(*below, 0.0, 90.0)) return "l'elevazione di un ostacolo va da 0 a 90 gradi, non " + quoted(text);
    return Obstruction{*from, *to, *below};
}

std::string obstruction_text(const Obstruction& o) {
    return option_number(o.from) + "-" + option_number(o.to) + ":" + option_number(o.below);
}

std::variant<double, std::string> read_noise(std::string_view text) {
    const auto noise = number(text);
    if (!noise || !within(*noise, 0.0, max_noise)) {
        return "il rumore di posizione va da 0 a " + option_number(max_noise) + " metri, non " + quoted(text);
    }
    return *noise;
}

std::variant<int, std::string> read_rate(std::string_view text) {
    const auto rate = whole(text);
    if (rate && std::find(fix_rates.begin(), fix_rates.end(), *rate) != fix_rates.end()) return static_cast<int>(*rate);
    return "la frequenza è di 1, 2, 5 o 10 posizioni al secondo, non " + quoted(text);
}

std::variant<Talker, std::string> read_talker(std::string_view text) {
    if (text == "GP" || text == "gp") return Talker::gp;
    if (text == "GN" || text == "gn") return Talker::gn;
    return "il talker è GP (solo GPS) o GN (più costellazioni), non " + quoted(text);
}

std::variant<FixOutage, std::string> read_fix_outage(std::string_view text) {
    const std::string usage = "perdita-fix vuole DURATA/OGNI in secondi interi, per esempio 30/300 (30 s senza fix "
                              "ogni 5 minuti), non " + quoted(text);
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) return usage;
    const auto duration = whole(text.substr(0, slash));
    const auto every = whole(text.substr(slash + 1));
    if (!duration || !every) return usage;
    if (*every < 2 || *every > 86'400) return "perdita-fix: OGNI va da 2 a 86400 secondi, non " + quoted(text);
    if (*duration < 1 || *duration >= *every) {
        return "perdita-fix: la DURATA va da 1 secondo a meno di OGNI (per un fix sempre perso c'è --senza-fix), "
               "non " + quoted(text);
    }
    return FixOutage{*duration, *every};
}

std::variant<std::vector<SentenceKind>, std::string> read_sentence_list(std::string_view text) {
    std::vector<SentenceKind> list;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view name = text.substr(start, comma == std::string_view::npos ? comma : comma - start);
        const SentenceRow* row = sentence_row(name);
        if (row == nullptr || (row->where & SentIn::full_set) == 0 || !row->kind) {
            return quoted(name) + " non è una frase dell'insieme completo (valgono " +
                   sentence_names_in(SentIn::full_set) + ")";
        }
        const SentenceKind kind = *row->kind;
        if (std::find(list.begin(), list.end(), kind) != list.end()) return std::string(name) + " è data due volte";
        list.push_back(kind);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (std::find(list.begin(), list.end(), SentenceKind::rmc) == list.end()) {
        return "l'elenco delle frasi comprende sempre RMC, non " + quoted(text);
    }
    return list;
}

std::string sentence_list_text(const std::vector<SentenceKind>& list) {
    std::string text;
    for (const SentenceKind kind : list) {
        text += (text.empty() ? "" : ",") + std::string(sentence_row(kind).name);
    }
    return text;
}

std::variant<std::vector<Obstruction>, std::string> read_obstruction_list(std::string_view text) {
    std::vector<Obstruction> list;
    if (text.empty()) return list;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) comma = text.size();
        auto one = read_obstruction(text.substr(start, comma - start));
        if (auto* problem = std::get_if<std::string>(&one)) return std::move(*problem);
        list.push_back(std::get<Obstruction>(one));
        start = comma + 1;
    }
    return list;
}

std::string obstruction_list_text(const std::vector<Obstruction>& list) {
    std::string text;
    for (const Obstruction& o : list) text += (text.empty() ? "" : ",") + obstruction_text(o);
    return text;
}

}  // namespace vadrel
