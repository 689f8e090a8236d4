// The command line's set-piece AIS situations: an encounter of a target
// with the own ship, aids to navigation, a SART in test.

#include "app/option_table.h"
#include "app/option_values.h"
#include "motion/position_text.h"

namespace vadrel {

namespace {

using Read = std::optional<std::string>;
using Value = std::optional<std::string>;
using Kind = OptionSpec::Kind;

// The parts of "A,B,C" between its commas.
std::vector<std::string> comma_parts(const std::string& text) {
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (c == ',') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// "N=CPA,TCPA[,dritta|sinistra]", the numbers with a decimal point.
Read read_encounter(Options& o, const Value& v) {
    const std::string usage = "--incontro vuole N=CPA_MIGLIA,TCPA_MINUTI[,dritta|sinistra] con N " +
                              vehicle_range() + " e i numeri con il punto decimale (1=0.5,6)";
    if (!v) return "manca N=CPA_MIGLIA,TCPA_MINUTI dopo --incontro";
    const std::size_t eq = v->find('=');
    const auto n = whole_number(v->substr(0, eq));
    if (eq == std::string::npos || !n || *n < 0 || !vehicle_exists(static_cast<std::size_t>(*n))) {
        return usage + ", non \"" + *v + "\"";
    }
    const std::vector<std::string> parts = comma_parts(v->substr(eq + 1));
    const auto cpa = parts.size() >= 2 ? finite_number(parts[0]) : std::nullopt;
    const auto tcpa = parts.size() >= 2 ? finite_number(parts[1]) : std::nullopt;
    const bool side_known = parts.size() == 2 || (parts.size() == 3 && (parts[2] == "dritta" || parts[2] == "sinistra"));
    if (!cpa || !tcpa || parts.size() > 3 || !side_known) return usage + ", non \"" + *v + "\"";
    if (auto bad = encounter_values_problem(*cpa, *tcpa)) return "--incontro " + *v + ": " + bad->reason;
    EncounterAsk ask{static_cast<std::size_t>(*n), *cpa, *tcpa,
                     parts.size() == 3 && parts[2] == "sinistra" ? Side::port : Side::starboard};
    // A later encounter of the same vehicle stands for the earlier one.
    std::erase_if(o.encounters, [&](const EncounterAsk& given) { return given.vehicle == ask.vehicle; });
    o.encounters.push_back(ask);
    return std::nullopt;
}

Read read_buoy(Options& o, const Value& v) {
    if (!v) return "manca NOME=POSIZIONE dopo --ais-boa";
    const std::size_t eq = v->find('=');
    if (eq == std::string::npos) return "--ais-boa vuole NOME=POSIZIONE (BOA NORD=44 05 N 9 49 E), non \"" + *v + "\"";
    Buoy buoy;
    buoy.name = v->substr(0, eq);
    if (auto bad = buoy_name_problem(buoy.name)) return "--ais-boa " + *v + ": " + bad->reason;
    auto at = read_both_coordinates(v->substr(eq + 1));
    if (auto* bad = std::get_if<std::string>(&at)) return "--ais-boa " + *v + ": " + *bad;
    std::tie(buoy.lat, buoy.lon) = std::get<std::pair<double, double>>(at);
    o.ais_buoys.push_back(buoy);
    return std::nullopt;
}

Read read_sart(Options& o, const Value& v) {
    if (!v) return "manca POSIZIONE dopo --ais-sart";
    auto at = read_both_coordinates(*v);
    if (auto* bad = std::get_if<std::string>(&at)) return "--ais-sart " + *v + ": " + *bad;
    Sart sart;
    std::tie(sart.lat, sart.lon) = std::get<std::pair<double, double>>(at);
    o.ais_sart = sart;
    return std::nullopt;
}

}  // namespace

std::vector<OptionSpec> encounter_options() {
    return {
        {nullptr, Kind::flag, nullptr,
         "Situazioni AIS (ognuna accende i bersagli AIS per questa volta):", nullptr},
        {"--incontro", Kind::value, "N=CPA,TCPA[,dritta|sinistra]",
         "mette il mezzo N dove, con la sua rotta e velocità e\n"
         "quelle del mezzo attuale (la nave propria), passa a CPA\n"
         "miglia nautiche tra TCPA minuti, sulla dritta\n"
         "(predefinita) o sulla sinistra; lo fa bersaglio AIS e\n"
         "porta \"Numero di mezzi mobili\" almeno a N+1 se serve",
         read_encounter},
        {"--ais-boa", Kind::value, "NOME=POSIZIONE",
         "un ausilio alla navigazione (messaggio 21, tipo 1) con quel\n"
         "nome (al più 34 caratteri) e posizione (come \"Vai a\n"
         "posizione\"), ogni 3 minuti; più volte per più boe",
         read_buoy},
        {"--ais-sart", Kind::value, "POSIZIONE",
         "un SART in prova (MMSI 970010001) fermo in POSIZIONE: ogni\n"
         "minuto 8 messaggi 1 con stato 14, ogni 4 minuti il\n"
         "messaggio 14 \"SART TEST\" (il primo subito)",
         read_sart},
    };
}

}  // namespace vadrel
