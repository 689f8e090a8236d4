// The command line's options of the own ship's instruments.
#include "app/option_table.h"
#include "app/option_values.h"

namespace vadrel {

namespace {

using Value = std::optional<std::string>;
using Read = std::optional<std::string>;
using Kind = OptionSpec::Kind;

// The value read into `settings` must pass the instruments' own check.
Read checked(const char* name, const InstrumentSettings& settings) {
    if (const auto refused = instrument_settings_problem(settings)) return std::string(name) + ": " + refused->reason;
    return std::nullopt;
}

Read read_flow_option(std::optional<Flow>& field, bool wind, const char* name, const Value& v) {
    if (!v) return "manca GRADI@VALORE dopo " + std::string(name);
    const auto read = read_flow(*v);
    if (const auto* why = std::get_if<std::string>(&read)) return std::string(name) + " vuole " + *why;
    InstrumentSettings settings;
    (wind ? settings.wind : settings.current) = std::get<Flow>(read);
    if (auto refused = checked(name, settings)) return refused;
    field = std::get<Flow>(read);
    return std::nullopt;
}

Read read_depth_option(Options& o, const Value& v) {
    if (!v) return "manca METRI[,OFFSET] dopo --profondita";
    const auto read = read_depth(*v);
    if (const auto* why = std::get_if<std::string>(&read)) return "--profondita vuole " + *why;
    const DepthText depth = std::get<DepthText>(read);
    InstrumentSettings settings;
    settings.depth = depth.depth;
    settings.transducer_offset = depth.offset.value_or(0.0);
    if (auto refused = checked("--profondita", settings)) return refused;
    o.depth = depth;
    return std::nullopt;
}

Read read_temperature_option(Options& o, const Value& v) {
    const auto celsius = v ? finite_number(*v) : std::nullopt;
    if (!celsius) return "--temperatura-acqua vuole i GRADI Celsius, per esempio 14 o 14.5";
    InstrumentSettings settings;
    settings.water_temperature = *celsius;
    if (auto refused = checked("--temperatura-acqua", settings)) return refused;
    o.water_temperature = *celsius;
    return std::nullopt;
}

}  // namespace

std::vector<OptionSpec> instrument_options() {
    return {
        {nullptr, Kind::flag, nullptr,
         "Strumenti di bordo (ognuna vale per questa volta sopra il gruppo [strumenti] di vadrel.ini):", nullptr},
        {"--strumenti", Kind::on_off, "[=no]",
         "dopo le frasi di ogni secondo in modalità GPS standard, quelle\n"
         "degli strumenti del mezzo attuale: prua (HDG, HDT), rotazione\n"
         "(ROT), velocità sull'acqua (VHW), vento (MWV, MWD), profondità\n"
         "(DBT, DPT), temperatura dell'acqua (MTW), distanza (VLW)",
         [](Options& o, const Value& v) {
             if (v && *v != "si" && *v != "no") return Read("--strumenti vuole --strumenti, --strumenti=si o --strumenti=no");
             o.instruments = !v || *v == "si";
             return Read();
         }},
        {"--vento", Kind::value, "GRADI@VALORE[nodi|km/h|m/s]",
         "il vento vero: da dove soffia (gradi veri) e la velocità\n(predefinita in nodi), per esempio 270@15",
         [](Options& o, const Value& v) { return read_flow_option(o.wind, true, "--vento", v); }},
        {"--corrente", Kind::value, "GRADI@VALORE[nodi|km/h|m/s]",
         "la corrente: verso dove va (gradi veri) e la velocità\n(predefinita in nodi), per esempio 90@1.5",
         [](Options& o, const Value& v) { return read_flow_option(o.current, false, "--corrente", v); }},
        {"--profondita", Kind::value, "METRI[,OFFSET]",
         "la profondità sotto il trasduttore e, dopo la virgola,\n"
         "l'offset del trasduttore (positivo: fino alla linea di\n"
         "galleggiamento; negativo: fino alla chiglia), per esempio 12.5,0.5",
         [](Options& o, const Value& v) { return read_depth_option(o, v); }},
        {"--temperatura-acqua", Kind::value, "GRADI", "la temperatura dell'acqua in gradi Celsius",
         [](Options& o, const Value& v) { return read_temperature_option(o, v); }},
    };
}

}  // namespace vadrel
