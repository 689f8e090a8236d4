// The options of the NMEA 2000 output, a group of the option table.

#include "app/option_table.h"
#include "outputs/network_address.h"

namespace vadrel {

namespace {

std::optional<std::string> read_n2k(Options& o, const std::optional<std::string>& v) {
    if (!v) return "manca [INDIRIZZO:]PORTA dopo --n2k";
    o.n2k.reset();
    if (*v == "no") return std::nullopt;
    auto where = parse_listen_address(*v);
    if (auto* problem = std::get_if<std::string>(&where)) return "--n2k: " + *problem;
    o.n2k = std::get<Endpoint>(where);
    return std::nullopt;
}

}  // namespace

std::vector<OptionSpec> n2k_options() {
    using Kind = OptionSpec::Kind;
    return {
        {nullptr, Kind::flag, nullptr, "NMEA 2000:", nullptr},
        {"--n2k", Kind::value, "[INDIRIZZO:]PORTA",
         "server TCP dei messaggi NMEA 2000 (testo di canboat) della nave,\n"
         "degli strumenti e dei bersagli AIS; INDIRIZZO predefinito\n"
         "127.0.0.1, al massimo --tcp-max client; no: spento (predefinito)",
         read_n2k},
    };
}

}  // namespace vadrel
