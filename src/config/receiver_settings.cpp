#include "receiver_settings.h"

#include <QString>

#include "sky/sky_options.h"

namespace vadrel {

namespace {

constexpr const char* receiver_group = "ricevitore";

// A value of the sky's options read by its reader (sky/sky_options.h); one
// that cannot be used leaves `fallback`, and a line names it.
template <typename T>
T sky_value(GroupReader& read, const char* key, const T& fallback, std::variant<T, std::string> (*reader)(std::string_view)) {
    const std::string text = read.text(key, "");
    if (text.empty()) return fallback;
    auto value = reader(text);
    if (const auto* problem = std::get_if<std::string>(&value)) {
        read.note(key + (": " + *problem));
        return fallback;
    }
    return std::get<T>(value);
}

}  // namespace

GroupRead<OpzioniRicevitore> read_receiver_settings(const SettingsFile& file) {
    GroupReader read(file, receiver_group);
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

    Cielo& c = o.cielo;
    c.satelliti = read.flag("satelliti", c.satelliti);
    c.maschera = sky_value(read, "maschera", c.maschera, read_mask);
    c.ostacoli = sky_value(read, "ostacoli", c.ostacoli, read_obstruction_list);
    c.rumore = sky_value(read, "rumore", c.rumore, read_noise);
    c.frequenza = sky_value(read, "frequenza", c.frequenza, read_rate);
    c.talker = sky_value(read, "talker", c.talker, read_talker);
    c.frasi = sky_value(read, "elenco_frasi", c.frasi, read_sentence_list);

    // Faults with a value that cannot be used stay off.
    const std::size_t before = read.refused();
    Guasti g;
    g.attivi = read.flag("guasti", g.attivi);
    g.perdita = read.number("guasti_perdita", g.perdita);
    g.checksum = read.number("guasti_checksum", g.checksum);
    g.tronca = read.number("guasti_tronca", g.tronca);
    g.seme = read.whole("guasti_seme", g.seme);
    const std::size_t problems_before = read.problems().size();
    g.perdita_fix = sky_value(read, "guasti_perdita_fix", g.perdita_fix, read_fix_outage);
    if (read.refused() != before || read.problems().size() != problems_before) return read.done(o);
    if (const std::string problem = problema_guasti(g); !problem.empty()) {
        read.note("guasti: " + problem);
        return read.done(o);
    }
    o.guasti = g;
    return read.done(o);
}

Result<> save_receiver_settings(SettingsFile& file, const OpzioniRicevitore& o) {
    return file.save_group(receiver_group, {
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
                                      {"guasti_perdita_fix", o.guasti.perdita_fix.every > 0
                                                                 ? QString::number(o.guasti.perdita_fix.duration) + "/" +
                                                                       QString::number(o.guasti.perdita_fix.every)
                                                                 : QString()},
                                      {"satelliti", o.cielo.satelliti},
                                      {"maschera", o.cielo.maschera},
                                      {"ostacoli", QString::fromStdString(obstruction_list_text(o.cielo.ostacoli))},
                                      {"rumore", o.cielo.rumore},
                                      {"frequenza", o.cielo.frequenza},
                                      {"talker", o.cielo.talker == Talker::gn ? "GN" : "GP"},
                                      {"elenco_frasi", QString::fromStdString(sentence_list_text(o.cielo.frasi))},
                                  });
}

}  // namespace vadrel

namespace vadrel {

ReceiverSettingsModel::Rules receiver_rules(SettingsFile& file) {
    ReceiverSettingsModel::Rules rules;
    rules.keep = [](const OpzioniRicevitore& before, const OpzioniRicevitore& after, OpzioniRicevitore& kept) {
        const auto take = [&](auto OpzioniRicevitore::*field) {
            if (before.*field != after.*field) kept.*field = after.*field;
        };
        take(&OpzioniRicevitore::utc);
        take(&OpzioniRicevitore::moto_reale);
        take(&OpzioniRicevitore::frasi_complete);
        take(&OpzioniRicevitore::quota);
        take(&OpzioniRicevitore::senza_fix);
        const auto take_sky = [&](auto Cielo::*field) {
            if (before.cielo.*field != after.cielo.*field) kept.cielo.*field = after.cielo.*field;
        };
        take_sky(&Cielo::satelliti);
        take_sky(&Cielo::maschera);
        take_sky(&Cielo::ostacoli);
        take_sky(&Cielo::rumore);
        take_sky(&Cielo::frequenza);
        take_sky(&Cielo::talker);
        take_sky(&Cielo::frasi);
        Guasti rates = after.guasti;
        rates.attivi = before.guasti.attivi;
        if (rates != before.guasti) {
            const bool attivi = kept.guasti.attivi;
            kept.guasti = rates;
            kept.guasti.attivi = attivi;
        }
        if (before.guasti.attivi != after.guasti.attivi) kept.guasti.attivi = after.guasti.attivi;
    };
    rules.save = [&file](const OpzioniRicevitore& kept) { return save_receiver_settings(file, kept); };
    return rules;
}

}  // namespace vadrel
