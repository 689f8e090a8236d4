#include "receiver_options.h"

#include <cmath>

#include "model/numbers.h"

namespace vadrel {

namespace {

bool share(double value) { return std::isfinite(value) && value >= 0.0 && value <= 1.0; }

}  // namespace

std::string problema_guasti(const Guasti& g) {
    for (const auto& [nome, valore] : {std::pair{"perdita", g.perdita}, {"checksum", g.checksum}, {"tronca", g.tronca}}) {
        if (!share(valore)) return std::string(nome) + " vuole una frazione da 0 a 1, non " + shortest_text(valore);
    }
    if (g.checksum + g.tronca > 1.0) {
        return "checksum e tronca insieme non possono superare 1: una frase ha un solo guasto";
    }
    return {};
}

std::string problema_quota(double quota) {
    if (std::isfinite(quota) && quota >= quota_minima && quota <= quota_massima) return {};
    return "la quota va da " + option_number(quota_minima) + " a " + option_number(quota_massima) + " metri";
}

ReceiverKind receiver_kind(const OpzioniRicevitore& o) {
    if (!o.utc && !o.moto_reale && !o.frasi_complete) return ReceiverKind::classic;
    if (o.utc && o.moto_reale && o.frasi_complete) return ReceiverKind::modern;
    return ReceiverKind::custom;
}

std::string receiver_in_force(const OpzioniRicevitore& o) {
    switch (receiver_kind(o)) {
        case ReceiverKind::classic: return "ricevitore classico (modem radio): velocità e rotta sempre a zero";
        case ReceiverKind::modern: return "ricevitore moderno (gpsd, plotter): velocità e rotta reali";
        case ReceiverKind::custom: break;
    }
    return std::string("ricevitore su misura: velocità e rotta ") + (o.moto_reale ? "reali" : "sempre a zero");
}

std::string descrivi_opzioni(const OpzioniRicevitore& o) {
    std::string testo;
    const auto aggiungi = [&testo](const std::string& parte) { testo += (testo.empty() ? "" : ", ") + parte; };
    if (o.utc) aggiungi("ora UTC");
    if (o.moto_reale) aggiungi("velocità e rotta reali");
    if (o.frasi_complete) aggiungi("frasi complete (quota " + option_number(o.quota) + " m)");
    if (o.senza_fix) aggiungi("perdita del segnale");
    if (o.guasti.attivi) {
        aggiungi("guasti perdita=" + option_number(o.guasti.perdita) + ",checksum=" + option_number(o.guasti.checksum) +
                 ",tronca=" + option_number(o.guasti.tronca) + ",seme=" + std::to_string(o.guasti.seme) +
                 (o.guasti.perdita_fix.every > 0 ? ",perdita-fix=" + std::to_string(o.guasti.perdita_fix.duration) +
                                                       "/" + std::to_string(o.guasti.perdita_fix.every)
                                                 : ""));
    }
    const Cielo& c = o.cielo;
    if (c.satelliti) {
        std::string cielo = "satelliti (maschera " + option_number(c.maschera) + "°";
        for (const Obstruction& ostacolo : c.ostacoli) {
            cielo += ", ostacolo " + option_number(ostacolo.from) + "-" + option_number(ostacolo.to) + ":" + option_number(ostacolo.below);
        }
        aggiungi(cielo + ")");
    }
    if (c.rumore > 0.0) aggiungi("rumore " + option_number(c.rumore) + " m");
    if (c.frequenza != 1) aggiungi(std::to_string(c.frequenza) + " posizioni al secondo");
    if (c.talker == Talker::gn) aggiungi("talker GN");
    if (!c.frasi.empty()) {
        std::string elenco;
        for (const SentenceKind kind : c.frasi) {
            elenco += (elenco.empty() ? "" : ",") + std::string(sentence_names[static_cast<std::size_t>(kind)]);
        }
        aggiungi("frasi " + elenco);
    }
    return testo;
}

std::uint64_t SplitMix64::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double SplitMix64::uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

std::uint64_t SplitMix64::below(std::uint64_t n) {
    // The bias of the remainder, for the small n used here, is far below
    // anything a test could see.
    return next() % n;
}

}  // namespace vadrel
