#include "receiver_settings.h"

#include <QString>

namespace vadrel {

namespace {

constexpr const char* group = "ricevitore";

}  // namespace

OpzioniRicevitore read_receiver_settings(const SettingsFile& file, std::vector<std::string>& problems) {
    GroupReader read(file, group, problems);
    OpzioniRicevitore o;
    o.utc = read.flag("utc", o.utc);
    o.moto_reale = read.flag("moto_reale", o.moto_reale);
    const std::string frasi = read.text("frasi", "rmc");
    if (frasi == "complete") {
        o.frasi_complete = true;
    } else if (frasi != "rmc") {
        read.refuse("frasi", "rmc o complete", false);
    }
    const double quota = read.number("quota", o.quota);
    o.quota = problema_quota(quota).empty() ? quota : read.refuse("quota", "un numero di metri da -1000 a 100000", 0.0);
    o.senza_fix = read.flag("senza_fix", o.senza_fix);

    // Faults with a value that cannot be used stay off.
    const std::size_t before = read.refused();
    Guasti g;
    g.attivi = read.flag("guasti", g.attivi);
    g.perdita = read.number("guasti_perdita", g.perdita);
    g.checksum = read.number("guasti_checksum", g.checksum);
    g.tronca = read.number("guasti_tronca", g.tronca);
    g.seme = read.whole("guasti_seme", g.seme);
    if (read.refused() != before) return o;
    if (const std::string problem = problema_guasti(g); !problem.empty()) {
        problems.push_back(file.path() + ": [" + group + "] guasti: " + problem);
        return o;
    }
    o.guasti = g;
    return o;
}

std::string save_receiver_settings(SettingsFile& file, const OpzioniRicevitore& o) {
    return file.save_group(group, {
                                      {"utc", o.utc},
                                      {"moto_reale", o.moto_reale},
                                      {"frasi", o.frasi_complete ? "complete" : "rmc"},
                                      {"quota", o.quota},
                                      {"senza_fix", o.senza_fix},
                                      {"guasti", o.guasti.attivi},
                                      {"guasti_perdita", o.guasti.perdita},
                                      {"guasti_checksum", o.guasti.checksum},
                                      {"guasti_tronca", o.guasti.tronca},
                                      {"guasti_seme", QString::number(o.guasti.seme)},
                                  });
}

}  // namespace vadrel
