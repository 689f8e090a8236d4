#include "receiver_options.h"

#include <cmath>

#include "model/numbers.h"

namespace vadrel {

namespace {

bool share(double value) { return std::isfinite(value) && value >= 0.0 && value <= 1.0; }

}  // namespace

std::string faults_problem(const Faults& g) {
    for (const auto& [name, value] : {std::pair{"perdita", g.loss}, {"checksum", g.checksum}, {"tronca", g.cut_short}}) {
        if (!share(value)) return std::string(name) + " vuole una frazione da 0 a 1, non " + shortest_text(value);
    }
    if (g.checksum + g.cut_short > 1.0) {
        return "checksum e tronca insieme non possono superare 1: una frase ha un solo guasto";
    }
    return {};
}

std::string altitude_problem(double altitude) {
    if (std::isfinite(altitude) && altitude >= min_altitude && altitude <= max_altitude) return {};
    return "la quota va da " + option_number(min_altitude) + " a " + option_number(max_altitude) + " metri";
}

std::string describe_options(const ReceiverOptions& o) {
    std::string text;
    const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (o.utc) add("ora UTC");
    if (o.real_motion) add("velocità e rotta reali");
    if (o.full_set) add("frasi complete (quota " + option_number(o.altitude) + " m)");
    if (o.no_fix) add("perdita del segnale");
    if (o.faults.enabled) {
        add("guasti perdita=" + option_number(o.faults.loss) + ",checksum=" + option_number(o.faults.checksum) +
                 ",tronca=" + option_number(o.faults.cut_short) + ",seme=" + std::to_string(o.faults.seed) +
                 (o.faults.fix_outage.every > 0 ? ",perdita-fix=" + std::to_string(o.faults.fix_outage.duration) +
                                                       "/" + std::to_string(o.faults.fix_outage.every)
                                                 : ""));
    }
    const SkyOptions& c = o.sky_options;
    if (c.satellites) {
        std::string sky_options = "satelliti (maschera " + option_number(c.mask) + "°";
        for (const Obstruction& obstruction : c.obstructions) {
            sky_options += ", ostacolo " + option_number(obstruction.from) + "-" + option_number(obstruction.to) + ":" + option_number(obstruction.below);
        }
        add(sky_options + ")");
    }
    if (c.noise > 0.0) add("rumore " + option_number(c.noise) + " m");
    if (c.rate != 1) add(std::to_string(c.rate) + " posizioni al secondo");
    if (c.talker == Talker::gn) add("talker GN");
    if (!c.sentences.empty()) {
        std::string list_text;
        for (const SentenceKind kind : c.sentences) {
            list_text += (list_text.empty() ? "" : ",") + std::string(sentence_names[static_cast<std::size_t>(kind)]);
        }
        add("frasi " + list_text);
    }
    return text;
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
