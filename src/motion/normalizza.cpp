#include "normalizza.h"

#include <cmath>

#include "model/numbers.h"

namespace vadrel {

namespace {

// Each of the six corrections is made once per step: a large excess of
// minutes is carried one degree per step, and negative seconds one minute per
// step. That is how the panel has always moved, and it is kept.
//
// Near the pole, or after a long pause at high speed, one step can bring more
// minutes than a 16-bit field holds. Then, and only then, the whole excess is
// carried at once: seconds into whole minutes, minutes into whole degrees,
// and the degrees wrapped round their range. No field ever leaves 16 bits.
void normalizza(std::int16_t& gradi, std::int16_t& primi, double& secondi, int massimo) {
    try {
        std::int16_t g = gradi;
        std::int16_t p = primi;
        double s = secondi;
        if (s >= 60.0) {
            const double q = std::floor(s / 60.0);
            const double f = s / 60.0 - q;
            p = to_int16(static_cast<double>(p) + q);
            s = std::floor(f * 60.0);
        }
        if (s < 0.0) {
            p = sub16(p, 1);
            s = s + 60.0;
        }
        if (p >= 60) {
            g = add16(g, 1);
            p = sub16(p, 60);
        }
        if (p < 0) {
            g = sub16(g, 1);
            p = add16(p, 60);
        }
        if (g > massimo) g = 0;
        if (g < 0) g = static_cast<std::int16_t>(massimo);
        // the seconds box must still read back into its 16-bit field
        if (std::round(s) < -32768.0 || std::round(s) > 32767.0) throw OverflowError(s);
        gradi = g;
        primi = p;
        secondi = s;
    } catch (const OverflowError&) {
        double s = std::isfinite(secondi) ? secondi : 0.0;
        double minuti = 0.0;
        if (s >= 60.0) {
            minuti = std::floor(s / 60.0);
            s = std::floor((s / 60.0 - minuti) * 60.0);
        } else if (s < 0.0) {
            minuti = std::floor(s / 60.0);
            s = s - minuti * 60.0;
        }
        const double tutti_primi = static_cast<double>(primi) + minuti;
        const double gradi_riportati = std::floor(tutti_primi / 60.0);
        const double p = tutti_primi - gradi_riportati * 60.0;
        const double giro = massimo + 1.0;
        const double tutti_gradi = static_cast<double>(gradi) + gradi_riportati;
        const double g = tutti_gradi - std::floor(tutti_gradi / giro) * giro;
        gradi = static_cast<std::int16_t>(g);
        primi = static_cast<std::int16_t>(p);
        secondi = s;
    }
}

}  // namespace

void normalizza_lat(std::int16_t& gradi, std::int16_t& primi, double& secondi) {
    normalizza(gradi, primi, secondi, 89);
}

void normalizza_lon(std::int16_t& gradi, std::int16_t& primi, double& secondi) {
    normalizza(gradi, primi, secondi, 179);
}

}  // namespace vadrel
