#include "faults.h"

#include <cstdio>

namespace vadrel {

GuastiDelSecondo applica_guasti(Form1& form, std::vector<std::string>& frasi) {
    GuastiDelSecondo esito;
    esito.segni.assign(frasi.size(), "");
    const Guasti& g = form.ricevitore.guasti;
    if (!g.attivi) return esito;
    SplitMix64& dado = form.dado_guasti;
    if (dado.uniform() < g.perdita) {
        esito.perso = true;
        return esito;
    }
    for (std::size_t i = 0; i < frasi.size(); ++i) {
        std::string& s = frasi[i];
        const double u = dado.uniform();
        if (u < g.checksum) {
            const auto giusto = static_cast<unsigned>(std::stoul(s.substr(s.size() - 2), nullptr, 16));
            const auto sbagliato = giusto ^ static_cast<unsigned>(1 + dado.below(255));
            char cifre[3];
            std::snprintf(cifre, sizeof cifre, "%02X", sbagliato);
            s.replace(s.size() - 2, 2, cifre);
            esito.segni[i] = segno_checksum;
        } else if (u < g.checksum + g.tronca) {
            s.resize(1 + dado.below(s.size() - 1));
            esito.segni[i] = segno_tronca;
        }
    }
    return esito;
}

void imposta_ricevitore(Form1& form, const OpzioniRicevitore& opzioni) {
    if (opzioni.guasti != form.ricevitore.guasti) form.dado_guasti = SplitMix64(opzioni.guasti.seme);
    form.ricevitore = opzioni;
}

}  // namespace vadrel
