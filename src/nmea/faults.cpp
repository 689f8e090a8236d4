#include "faults.h"

#include <cstdio>

namespace vadrel {

FaultsOfSecond apply_faults(const Faults& g, SplitMix64& dice, std::vector<std::string>& sentences) {
    FaultsOfSecond result;
    result.marks.assign(sentences.size(), "");
    if (!g.enabled) return result;
    if (dice.uniform() < g.loss) {
        result.lost = true;
        return result;
    }
    for (std::size_t i = 0; i < sentences.size(); ++i) {
        std::string& s = sentences[i];
        const double u = dice.uniform();
        if (u < g.checksum) {
            const auto right = static_cast<unsigned>(std::stoul(s.substr(s.size() - 2), nullptr, 16));
            const auto wrong = right ^ static_cast<unsigned>(1 + dice.below(255));
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02X", wrong);
            s.replace(s.size() - 2, 2, digits);
            result.marks[i] = wrong_checksum_mark;
        } else if (u < g.checksum + g.cut_short) {
            s.resize(1 + dice.below(s.size() - 1));
            result.marks[i] = cut_sentence_mark;
        }
    }
    return result;
}

}  // namespace vadrel
