// The autopilot's options: a chart plotter's APB, RMB and XTE steer the
// current vehicle.

#include <functional>
#include <variant>

#include "app/option_table.h"
#include "app/option_values.h"
#include "marine/autopilot.h"

namespace vadrel {

namespace {

using Read = std::optional<std::string>;
using Value = std::optional<std::string>;
using Kind = OptionSpec::Kind;

// A number of degrees the autopilot takes, or its refusal as the option says it.
Read pilot_degrees(std::optional<double>& field, const char* name, const Value& v,
                   const std::function<std::optional<Refusal>(Autopilot&, double)>& check) {
    const std::optional<double> value = v ? finite_number(*v) : std::nullopt;
    if (!value) return "manca un numero di gradi dopo " + std::string(name);
    Autopilot trial;
    if (const auto refused = check(trial, *value)) return std::string(name) + ": " + refused->reason;
    field = value;
    return std::nullopt;
}

}  // namespace

std::vector<OptionSpec> pilot_options() {
    return {
        {nullptr, Kind::flag, nullptr,
         "Pilota automatico (le frasi $..APB, $..RMB e $..XTE di un plotter cartografico\n"
         "dai client TCP, dalla porta seriale o virtuale e da --udp-ascolto):", nullptr},
        {"--pilota", Kind::on_off, "[=no]",
         "il pilota automatico: il mezzo attuale vira verso la rotta che le\n"
         "frasi chiedono e la tiene quando smettono (menu Opzioni > Pilota\n"
         "automatico); spento, ciò che arriva si legge e si scarta",
         [](Options& o, const Value& v) -> Read {
             if (v && *v != "si" && *v != "no") return "--pilota vuole --pilota, --pilota=si o --pilota=no";
             o.pilot = !v || *v == "si";
             return std::nullopt;
         }},
        {"--pilota-virata", Kind::value, "GRADI_S",
         "gradi al secondo simulato della virata, da più di 0 a 180\n(predefinita: 3)",
         [](Options& o, const Value& v) -> Read {
             return pilot_degrees(o.pilot_turn_rate, "--pilota-virata", v,
                                  [](Autopilot& p, double x) { return p.set_turn_rate(x); });
         }},
        {"--pilota-declinazione", Kind::value, "GRADI",
         "declinazione magnetica (est positiva, da -180 a 180) che fa vere\n"
         "le rotte magnetiche (M) delle frasi; senza, si prendono come vere",
         [](Options& o, const Value& v) -> Read {
             return pilot_degrees(o.pilot_variation, "--pilota-declinazione", v,
                                  [](Autopilot& p, double x) { return p.set_variation(x); });
         }},
        {"--udp-ascolto", Kind::value, "[INDIRIZZO:]PORTA",
         "ascolta su questa porta UDP le frasi del pilota (ogni datagramma\n"
         "una o più righe; INDIRIZZO predefinito 127.0.0.1)",
         [](Options& o, const Value& v) -> Read {
             if (!v) return "manca [INDIRIZZO:]PORTA dopo --udp-ascolto";
             auto where = parse_listen_address(*v);
             if (auto* problem = std::get_if<std::string>(&where)) return "--udp-ascolto: " + *problem;
             o.udp_listen = std::get<Endpoint>(where);
             return std::nullopt;
         }},
    };
}

}  // namespace vadrel
