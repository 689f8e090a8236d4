// The tracked fleet's options: fleet files, their servers, the interval of
// the reports, this instance's part of each file, the seed.

#include "app/option_table.h"
#include "app/option_values.h"
#include "tracker/fleet_file.h"
#include "tracker/sender_factory.h"

namespace vadrel {

namespace {

using Read = std::optional<std::string>;
using Value = std::optional<std::string>;
using Kind = OptionSpec::Kind;

Read read_fleet(Options& o, const Value& v) {
    if (!v || v->empty()) return "manca il file dopo --flotta";
    o.fleets.push_back(absolute_path(*v));
    return std::nullopt;
}

Read read_fleet_to(Options& o, const Value& v) {
    if (!v || v->empty()) return "manca PROTOCOLLO:INDIRIZZO dopo --flotta-verso";
    const auto parsed = parse_destination(*v);
    if (const auto* problem = std::get_if<std::string>(&parsed)) return "--flotta-verso: " + *problem;
    o.fleet_to.push_back(*v);
    return std::nullopt;
}

Read read_interval(Options& o, const Value& v) {
    const auto seconds = v ? whole_number(*v) : std::nullopt;
    if (!seconds || *seconds < 1 || *seconds > max_report_interval)
        return "--flotta-intervallo vuole i secondi tra due rapporti, da 1 a " + std::to_string(max_report_interval);
    o.fleet_interval = static_cast<int>(*seconds);
    return std::nullopt;
}

Read read_part(Options& o, const Value& v) {
    const std::size_t slash = v ? v->find('/') : std::string::npos;
    const auto part = slash == std::string::npos ? std::nullopt : whole_number(v->substr(0, slash));
    const auto parts = slash == std::string::npos ? std::nullopt : whole_number(v->substr(slash + 1));
    if (!part || !parts || *parts < 1 || *parts > 10000 || *part < 1 || *part > *parts)
        return "--parte vuole K/N con N da 1 a 10000 e K da 1 a N";
    o.part = static_cast<int>(*part);
    o.parts = static_cast<int>(*parts);
    return std::nullopt;
}

Read read_seed(Options& o, const Value& v) {
    const auto seed = v ? whole_number(*v) : std::nullopt;
    if (!seed || *seed < 0) return "--seme vuole un numero intero da 0 in su";
    o.seed = static_cast<std::uint64_t>(*seed);
    return std::nullopt;
}

}  // namespace

std::vector<OptionSpec> fleet_options() {
    return {
        {nullptr, Kind::flag, nullptr, "Flotta per server di tracciamento (docs/fleet.md):", nullptr},
        {"--flotta", Kind::value, "FILE",
         "i dispositivi del file (CSV o JSON, uno a riga), ognuno\n"
         "con il suo rapporto al server della sua --flotta-verso;\n"
         "si ripete per più file",
         read_fleet},
        {"--flotta-verso", Kind::value, "PROTOCOLLO:INDIRIZZO",
         "il server della --flotta corrispondente, nell'ordine:\n"
         "traccar:HOST:PORTA, nmea:HOST:PORTA o osmand:URL",
         read_fleet_to},
        {"--flotta-intervallo", Kind::value, "S",
         "secondi tra due rapporti di un dispositivo, dove il file\n"
         "non dice il suo intervallo (predefinito: 1)",
         read_interval},
        {"--parte", Kind::value, "K/N",
         "questa istanza prende le righe K, K+N, K+2N... di ogni\n"
         "file di flotta: N istanze si dividono un file",
         read_part},
        {"--seme", Kind::value, "N", "il seme delle svolte a caso dei dispositivi nelle zone", read_seed},
    };
}

std::string fleet_options_problem(const Options& options) {
    if (options.fleets.size() != options.fleet_to.size())
        return "ogni --flotta vuole la sua --flotta-verso (" + std::to_string(options.fleets.size()) + " --flotta, " +
               std::to_string(options.fleet_to.size()) + " --flotta-verso)";
    return {};
}

}  // namespace vadrel
