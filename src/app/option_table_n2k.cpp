// The options of the NMEA 2000 output, a group of the option table.

#include "app/option_table.h"
#include "outputs/network_address.h"

namespace vadrel {

std::vector<OptionSpec> n2k_options() {
    using Read = std::optional<std::string>;
    using Value = std::optional<std::string>;
    using Kind = OptionSpec::Kind;
    return {
        {nullptr, Kind::flag, nullptr, "NMEA 2000:", nullptr},
        {"--n2k", Kind::value, "[INDIRIZZO:]PORTA",
         "server TCP di messaggi NMEA 2000, uno per riga nel formato di\n"
         "testo di canboat (129025, 129026, 129029, 127250, gli strumenti,\n"
         "i bersagli AIS); INDIRIZZO predefinito 127.0.0.1, al massimo\n"
         "--tcp-max client; no: spento (predefinito)",
         [](Options& o, const Value& v) -> Read {
             if (!v) return "manca [INDIRIZZO:]PORTA dopo --n2k";
             o.n2k.reset();
             if (*v == "no") return std::nullopt;
             auto where = parse_listen_address(*v);
             if (auto* problem = std::get_if<std::string>(&where)) return "--n2k: " + *problem;
             o.n2k = std::get<Endpoint>(where);
             return std::nullopt;
         }},
    };
}

}  // namespace vadrel
