#include "instrument_settings_model.h"

#include <QString>

#include "model/numbers.h"

namespace vadrel {

namespace {

constexpr const char* instrument_group = "strumenti";

// A correction: empty or missing is not known.
std::optional<double> correction(GroupReader& read, const char* key) {
    const std::string text = read.text(key, "");
    if (text.empty()) return std::nullopt;
    if (auto value = read_number(text, NumberSource::settings_item)) return value;
    return read.refuse(key, "un numero di gradi, o niente", std::optional<double>());
}

// Each field's value out of range back to its default, said once.
void defaults_where_refused(GroupReader& read, InstrumentSettings& s) {
    const InstrumentSettings d;
    while (const auto refused = instrument_settings_problem(s)) {
        read.note(refused->field + ": " + refused->reason);
        const std::string& f = refused->field;
        if (f == "vento_direzione") s.wind.direction = d.wind.direction;
        else if (f == "vento_nodi") s.wind.speed_knots = d.wind.speed_knots;
        else if (f == "corrente_direzione") s.current.direction = d.current.direction;
        else if (f == "corrente_nodi") s.current.speed_knots = d.current.speed_knots;
        else if (f == "profondita") s.depth = d.depth;
        else if (f == "offset_trasduttore") s.transducer_offset = d.transducer_offset;
        else if (f == "temperatura_acqua") s.water_temperature = d.water_temperature;
        else if (f == "variazione") s.variation = d.variation;
        else s.deviation = d.deviation;
    }
}

QVariant correction_value(const std::optional<double>& degrees) {
    return degrees ? QVariant(*degrees) : QVariant(QString());
}

}  // namespace

GroupRead<InstrumentSettings> read_instrument_settings(const SettingsFile& file) {
    GroupReader read(file, instrument_group);
    InstrumentSettings s;
    s.enabled = read.flag("attivi", s.enabled);
    s.wind.direction = read.number("vento_direzione", s.wind.direction);
    s.wind.speed_knots = read.number("vento_nodi", s.wind.speed_knots);
    s.current.direction = read.number("corrente_direzione", s.current.direction);
    s.current.speed_knots = read.number("corrente_nodi", s.current.speed_knots);
    s.depth = read.number("profondita", s.depth);
    s.transducer_offset = read.number("offset_trasduttore", s.transducer_offset);
    s.water_temperature = read.number("temperatura_acqua", s.water_temperature);
    s.variation = correction(read, "variazione");
    s.deviation = correction(read, "deviazione");
    defaults_where_refused(read, s);
    return read.done(s);
}

Result<> save_instrument_settings(SettingsFile& file, const InstrumentSettings& s) {
    return file.save_group(instrument_group, {{"attivi", s.enabled},
                                              {"vento_direzione", s.wind.direction},
                                              {"vento_nodi", s.wind.speed_knots},
                                              {"corrente_direzione", s.current.direction},
                                              {"corrente_nodi", s.current.speed_knots},
                                              {"profondita", s.depth},
                                              {"offset_trasduttore", s.transducer_offset},
                                              {"temperatura_acqua", s.water_temperature},
                                              {"variazione", correction_value(s.variation)},
                                              {"deviazione", correction_value(s.deviation)}});
}

InstrumentSettingsModel::Rules instrument_rules(SettingsFile& file) {
    InstrumentSettingsModel::Rules rules;
    rules.check = [](const InstrumentSettings& wanted) { return instrument_settings_problem(wanted); };
    rules.keep = [](const InstrumentSettings& before, const InstrumentSettings& after, InstrumentSettings& kept) {
        // A switch the command line turned on for this run stays out of the
        // file unless the change turns it.
        const bool enabled = after.enabled != before.enabled ? after.enabled : kept.enabled;
        kept = after;
        kept.enabled = enabled;
    };
    rules.save = [&file](const InstrumentSettings& kept) { return save_instrument_settings(file, kept); };
    return rules;
}

}  // namespace vadrel
