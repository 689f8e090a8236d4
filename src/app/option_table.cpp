#include "option_table.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>
#include <set>
#include <system_error>

#include "control/vehicle_patch.h"
#include "outputs/vehicle_streams.h"
#include "fleet/start_values.h"
#include "routes/iso_time.h"
#include "serial/ports.h"
#include "sky/sky_options.h"

#include "app/option_values.h"

namespace vadrel {

namespace {

using Read = std::optional<std::string>;
using Value = std::optional<std::string>;
using Kind = OptionSpec::Kind;

Read file_option(std::optional<std::string>& field, const char* name, const Value& v) {
    if (!v || v->empty()) return "manca il file dopo " + std::string(name);
    field = absolute_path(*v);
    return std::nullopt;
}

Read on_off(std::optional<bool>& field, const char* name, const Value& v) {
    if (!v) {
        field = true;
        return std::nullopt;
    }
    if (*v == "si" || *v == "no") {
        field = *v == "si";
        return std::nullopt;
    }
    return std::string(name) + " vuole " + name + ", " + name + "=si o " + name + "=no";
}

Read read_com(Options& o, const Value& v) {
    if (!v) return "manca N=DISPOSITIVO dopo --com";
    const std::size_t eq = v->find('=');
    const auto n = whole_number(v->substr(0, eq));
    if (eq == std::string::npos || !n || !valid_com_port(*n)) {
        return "--com vuole N=DISPOSITIVO con N da 1 a 4, non \"" + *v + "\"";
    }
    const std::string target = v->substr(eq + 1);
    PortMapping mapping;
    if (target == "pty") {
        mapping.virtual_port = true;
    } else if (target.rfind("pty:", 0) == 0) {
        mapping.virtual_port = true;
        mapping.device = target.substr(4);
        if (mapping.device.empty()) return "manca il percorso dopo --com " + std::to_string(*n) + "=pty:";
    } else if (target.empty()) {
        return "manca il dispositivo dopo --com " + std::to_string(*n) + "=";
    } else {
        mapping.device = target;
    }
    // A bare device name ("ttyUSB0") is looked for under /dev by the serial
    // layer; a path with a folder in it is a path.
    if (mapping.virtual_port || mapping.device.find('/') != std::string::npos) {
        if (!mapping.device.empty()) mapping.device = absolute_path(mapping.device);
    }
    o.com[static_cast<int>(*n)] = mapping;
    return std::nullopt;
}

Read read_tcp(Options& o, const Value& v) {
    if (!v) return "manca [INDIRIZZO:]PORTA dopo --tcp";
    o.tcp.reset();
    o.no_tcp = *v == "no";
    if (o.no_tcp) return std::nullopt;
    auto where = parse_listen_address(*v);
    if (auto* problem = std::get_if<std::string>(&where)) return "--tcp: " + *problem;
    o.tcp = std::get<Endpoint>(where);
    return std::nullopt;
}

// "HOST:PORTA" added to a list of targets, or "no": none, the file's neither.
Read target_list(std::vector<Endpoint>& list, bool& off, const char* name, const Value& v) {
    if (!v) return "manca HOST:PORTA dopo " + std::string(name);
    off = *v == "no";
    if (off) {
        list.clear();
        return std::nullopt;
    }
    auto where = parse_target(*v);
    if (auto* problem = std::get_if<std::string>(&where)) return std::string(name) + ": " + *problem;
    list.push_back(std::get<Endpoint>(where));
    return std::nullopt;
}

// The first port of the vehicles' streams (listening, or sending to a
// server: `parse` says which), or "no".
Read stream_base(std::optional<Endpoint>& field, bool& off, const char* name, const char* wanted,
                 std::variant<Endpoint, std::string> (*parse)(std::string_view), const Value& v) {
    if (!v) return "manca " + std::string(wanted) + " dopo " + name;
    field.reset();
    off = *v == "no";
    if (off) return std::nullopt;
    auto where = parse(*v);
    if (auto* problem = std::get_if<std::string>(&where)) return std::string(name) + ": " + *problem;
    if (std::string range = stream_ports_problem(name, std::get<Endpoint>(where).port); !range.empty()) return range;
    field = std::get<Endpoint>(where);
    return std::nullopt;
}

Read read_udp(Options& o, const Value& v) { return target_list(o.udp, o.no_udp, "--udp", v); }

Read read_tcp_vehicles(Options& o, const Value& v) {
    return stream_base(o.tcp_vehicles, o.no_tcp_vehicles, "--tcp-mezzi", "[INDIRIZZO:]PORTA_BASE", parse_listen_address, v);
}

Read read_tcp_to(Options& o, const Value& v) { return target_list(o.tcp_to, o.no_tcp_to, "--tcp-verso", v); }

Read read_tcp_to_vehicles(Options& o, const Value& v) {
    return stream_base(o.tcp_to_vehicles, o.no_tcp_to_vehicles, "--tcp-verso-mezzi", "HOST:PORTA_BASE", parse_target,
                       v);
}

Read read_faults_option(Options& o, const Value& v) {
    if (!v) return "manca perdita=P,checksum=P,tronca=P,seme=N (o no) dopo --guasti";
    if (*v == "no") {
        o.faults = Faults{};
        return std::nullopt;
    }
    auto faults = read_faults(*v);
    if (const auto* error = std::get_if<std::string>(&faults)) return *error;
    o.faults = std::get<Faults>(faults);
    return std::nullopt;
}

Read read_control(Options& o, const Value& v) {
    if (!v) return "manca [INDIRIZZO:]PORTA dopo --controllo";
    o.control.reset();
    o.no_control = *v == "no";
    if (o.no_control) return std::nullopt;
    auto where = parse_listen_address(*v);
    if (auto* problem = std::get_if<std::string>(&where)) return "--controllo: " + *problem;
    o.control = std::get<Endpoint>(where);
    return std::nullopt;
}

// "N=VALUE" of the vehicles' options: the vehicle (0 .. 20) and the value
// text, or the message of a bad one.
std::variant<std::pair<std::size_t, std::string>, std::string> vehicle_and_value(const char* name, const char* wanted,
                                                                                 const Value& v) {
    const std::string usage = std::string(name) + " vuole N=" + wanted + " con N " + vehicle_range();
    if (!v) return "manca N=" + std::string(wanted) + " dopo " + name;
    const std::size_t eq = v->find('=');
    const auto n = whole_number(v->substr(0, eq));
    if (eq == std::string::npos || !n || *n < 0 || !vehicle_exists(static_cast<std::size_t>(*n))) {
        return usage + ", non \"" + *v + "\"";
    }
    std::string value = v->substr(eq + 1);
    if (value.empty()) return usage + ", non \"" + *v + "\"";
    return std::pair{static_cast<std::size_t>(*n), value};
}

// One value of a vehicle into its patch, checked by the fleet's rules: the
// refusal as the panel words it, after the option and its argument.
Read vehicle_option(Options& o, const char* name, const char* wanted, const Value& v,
                    const std::function<std::optional<std::string>(const std::string&, VehiclePatch&)>& set) {
    auto parsed = vehicle_and_value(name, wanted, v);
    if (auto* bad = std::get_if<std::string>(&parsed)) return *bad;
    const auto& [n, text] = std::get<std::pair<std::size_t, std::string>>(parsed);
    VehiclePatch patch = o.vehicles_set[n];
    if (auto bad = set(text, patch)) return std::string(name) + " " + *v + ": " + *bad;
    if (auto bad = vehicle_patch_problem(patch)) return std::string(name) + " " + *v + ": " + bad->reason;
    o.vehicles_set[n] = patch;
    return std::nullopt;
}

Read read_vehicle(Options& o, const Value& v) {
    return vehicle_option(o, "--mezzo", "POSIZIONE", v, [](const std::string& text, VehiclePatch& patch) {
        patch.lat.reset();
        patch.lon.reset();
        patch.position = text;
        return std::optional<std::string>();
    });
}

Read read_course(Options& o, const Value& v) {
    return vehicle_option(o, "--rotta", "GRADI", v, [](const std::string& text, VehiclePatch& patch) {
        const auto degrees = finite_number(text);
        if (!degrees) return std::optional<std::string>("la rotta è un numero di gradi da 0 a 360");
        patch.course = *degrees;
        return std::optional<std::string>();
    });
}

Read read_vehicle_speed(Options& o, const Value& v) {
    return vehicle_option(o, "--velocita-mezzo", "VALORE[km/h|nodi]", v, [](std::string text, VehiclePatch& patch) {
        std::optional<SpeedUnit> unit;
        for (const auto& [suffix, meant] : {std::pair{"km/h", SpeedUnit::kmh}, std::pair{"nodi", SpeedUnit::knots}}) {
            if (text.size() > std::string_view(suffix).size() && text.ends_with(suffix)) {
                text.resize(text.size() - std::string_view(suffix).size());
                unit = meant;
            }
        }
        const auto speed = finite_number(text);
        if (!speed) {
            return std::optional<std::string>("la velocità è un numero, seguito se serve da km/h o nodi "
                                              "(12, 12,5km/h, 20nodi)");
        }
        patch.speed = *speed;
        if (unit) patch.unit = unit;
        return std::optional<std::string>();
    });
}

// A value of the sky's options (sky/sky_options.h) into its field, or its
// refusal behind the option's name.
template <typename T>
Read sky_value(std::optional<T>& field, const char* name, const Value& v,
               std::variant<T, std::string> (*read)(std::string_view)) {
    if (!v) return "manca il valore dopo " + std::string(name);
    auto value = read(*v);
    if (const auto* problem = std::get_if<std::string>(&value)) return std::string(name) + ": " + *problem;
    field = std::get<T>(value);
    return std::nullopt;
}

Read read_obstruction_option(Options& o, const Value& v) {
    if (!v) return "manca AZIMUT1-AZIMUT2:ELEVAZIONE (o no) dopo --ostacolo";
    if (!o.obstructions) o.obstructions.emplace();
    if (*v == "no") {
        o.obstructions->clear();
        return std::nullopt;
    }
    auto obstruction = read_obstruction(*v);
    if (const auto* problem = std::get_if<std::string>(&obstruction)) return "--ostacolo: " + *problem;
    o.obstructions->push_back(std::get<Obstruction>(obstruction));
    return std::nullopt;
}

}  // namespace

// The options of the simulator itself, a data table.
std::vector<OptionSpec> simulator_options() {
    return {
        {"--senza-finestra", Kind::flag, "", "funziona senza finestra; il monitor va sullo standard output",
         [](Options& o, const Value&) -> Read { o.no_window = true; return std::nullopt; }},
        {"--cartella", Kind::value, "DIR",
         "cartella del programma, di vadrel.cnf e di vadrel.hlp\n(predefinita: la cartella dell'eseguibile, se il programma non è installato\ne vi si può scrivere; altrimenti ~/.local/share/vadrel)",
         [](Options& o, const Value& v) -> Read {
             if (!v || v->empty()) return "manca la cartella dopo --cartella";
             o.folder = absolute_path(*v);
             return std::nullopt;
         }},
        {"--com", Kind::value, "N=DISPOSITIVO",
         "la COM N (1..4) è il dispositivo indicato, per questa volta\n"
         "(altrimenti quello di vadrel.ini, menu Uscite > Porta...)",
         read_com},
        {nullptr, Kind::flag, "N=pty",
         "la COM N è una nuova porta virtuale (pseudo-terminale);\n"
         "il suo percorso è scritto come \"COM N: /dev/pts/K\"",
         nullptr},
        {nullptr, Kind::flag, "N=pty:PERCORSO", "come sopra, con PERCORSO collegamento simbolico alla porta", nullptr},
        {"--porta", Kind::value, "N", "porta selezionata all'avvio, 1..4 (predefinita: 2)",
         [](Options& o, const Value& v) -> Read {
             const auto n = v ? whole_number(*v) : std::nullopt;
             if (!n || !valid_com_port(*n)) return "--porta vuole un numero da 1 a 4";
             o.com_port = static_cast<int>(*n);
             return std::nullopt;
         }},
        {"--baud", Kind::value, "B", "velocità all'avvio: 2400, 4800 o 9600 (predefinita: 4800)",
         [](Options& o, const Value& v) -> Read {
             const auto n = v ? whole_number(*v) : std::nullopt;
             if (!n || !valid_line_speed(*n)) return "--baud vuole " + line_speed_list();
             o.baud = static_cast<int>(*n);
             return std::nullopt;
         }},
        {"--modo", Kind::value, "M", "modo all'avvio: gps, radio o multi (predefinito: gps)",
         [](Options& o, const Value& v) -> Read {
             if (v == "gps") {
                 o.mode = Options::Mode::gps;
             } else if (v == "radio") {
                 o.mode = Options::Mode::radio;
             } else if (v == "multi") {
                 o.mode = Options::Mode::multi;
             } else {
                 return "--modo vuole gps, radio o multi";
             }
             return std::nullopt;
         }},
        {"--mezzi", Kind::value, "N", "testo iniziale di \"Numero di mezzi mobili\"",
         [](Options& o, const Value& v) -> Read {
             if (!v) return "manca il numero dopo --mezzi";
             o.vehicles = *v;
             return std::nullopt;
         }},
        {"--durata", Kind::value, "S", "funziona S secondi (al più 2147483), poi chiude in ordine",
         [](Options& o, const Value& v) -> Read {
             const auto s = v ? seconds(*v) : std::nullopt;
             if (!s) return "--durata vuole un numero di secondi maggiore di zero e non oltre 2147483 (24 giorni)";
             o.duration = *s;
             return std::nullopt;
         }},
        {"--tcp", Kind::value, "[INDIRIZZO:]PORTA",
         "server TCP: ogni client riceve ciò che riceve la porta seriale\n"
         "(INDIRIZZO predefinito 127.0.0.1; 0.0.0.0 o [::] per la rete;\n"
         "PORTA 0: una porta libera qualsiasi; no: spento)",
         read_tcp},
        {"--tcp-max", Kind::value, "N", "client TCP collegati al massimo (predefinito: 64)",
         [](Options& o, const Value& v) -> Read {
             const auto n = v ? whole_number(*v) : std::nullopt;
             if (!n || *n < 1 || *n > 100000) return "--tcp-max vuole un numero di client da 1 a 100000";
             o.tcp_max = static_cast<int>(*n);
             return std::nullopt;
         }},
        {"--udp", Kind::value, "HOST:PORTA",
         "un datagramma UDP al secondo verso HOST (anche multicast o\n"
         "broadcast); si può ripetere; no: nessuno\n"
         "Senza --tcp, --tcp-max e --udp valgono le impostazioni di\n"
         "vadrel.ini (menu Uscite > Rete...).",
         read_udp},
        {"--tcp-mezzi", Kind::value, "[INDIRIZZO:]PORTA_BASE",
         "un flusso per mezzo: il mezzo k in uso (da 0 a \"Numero di\n"
         "mezzi mobili\" - 1, tutti in moto) è un ricevitore a sé su\n"
         "PORTA_BASE + k, con le sue frasi del modo gps e le opzioni\n"
         "del ricevitore, senza \"@n\", con le regole di --tcp (massimo\n"
         "--tcp-max client per porta); no: spento",
         read_tcp_vehicles},
        {"--tcp-verso", Kind::value, "HOST:PORTA",
         "si collega a un server in ascolto, come un localizzatore, e\n"
         "gli invia ciò che riceve la porta seriale; perso il server,\n"
         "riprova dopo 1 s, poi a pause doppie fino a 60 s; si può\n"
         "ripetere; no: nessuno",
         read_tcp_to},
        {"--tcp-verso-mezzi", Kind::value, "HOST:PORTA_BASE",
         "un collegamento per mezzo in uso verso PORTA_BASE + k, con il\n"
         "flusso del mezzo k; no: nessuno",
         read_tcp_to_vehicles},
        {"--controllo", Kind::value, "[INDIRIZZO:]PORTA",
         "interfaccia di controllo HTTP e JSON sotto /api/v1 (INDIRIZZO\n"
         "predefinito 127.0.0.1; un altro indirizzo vuole la chiave di\n"
         "vadrel.token; PORTA 0: una porta libera, detta sullo standard\n"
         "error; no: spenta). Senza, vale vadrel.ini (menu Uscite >\n"
         "Controllo...); predefinita: spenta",
         read_control},
        {"--registra", Kind::value, "FILE",
         "registra in FILE ogni secondo inviato, byte per byte, dopo una\n"
         "riga \"# ora UTC\" (FILE è svuotato all'inizio)",
         [](Options& o, const Value& v) { return file_option(o.record_to, "--registra", v); }},
        {"--traccia", Kind::value, "FILE.gpx",
         "scrive le tracce dei mezzi in un file GPX 1.1, ogni minuto\ne alla chiusura",
         [](Options& o, const Value& v) { return file_option(o.track_to, "--traccia", v); }},
        {"--scenario", Kind::value, "FILE",
         "esegue lo scenario del FILE (YAML o JSON): le impostazioni\n"
         "iniziali e gli eventi ai loro secondi; le opzioni date qui\n"
         "valgono sopra quelle dello scenario",
         [](Options& o, const Value& v) { return file_option(o.scenario, "--scenario", v); }},
        {"--riproduci", Kind::value, "FILE",
         "invia di nuovo un registro (di vadrel o di un ricevitore vero)\n"
         "sulle stesse uscite, con il suo ritmo; poi chiude in ordine",
         [](Options& o, const Value& v) { return file_option(o.replay_from, "--riproduci", v); }},
        {"--percorso", Kind::value, "N=FILE[,opzioni]",
         "il mezzo N (0..20) segue il percorso di FILE (GPX, KML, CSV o\n"
         "JSON) alla sua velocità, invece di andare dritto; si può ripetere.\n"
         "Opzioni, separate da virgole: nome=NOME (il percorso del file, per\n"
         "nome o numero da 1), fine=ferma|ciclo|indietro (predefinita: ferma),\n"
         "ritmo=traccia (ai tempi della traccia GPX), virata=GRADI_AL_SECONDO,\n"
         "da=qui (va dal punto attuale al primo punto; altrimenti vi è posto)",
         [](Options& o, const Value& v) -> Read {
             if (!v) return "manca N=FILE dopo --percorso";
             auto read = read_route_argument(*v);
             if (const auto* why = std::get_if<std::string>(&read)) return "--percorso " + *v + ": " + *why;
             o.routes.push_back(std::get<RouteArgument>(std::move(read)));
             return std::nullopt;
         }},
        {"--velocita", Kind::value, "X",
         "riproduce X volte più veloce (da 0.01 a 1000; max: più veloce\n"
         "che le uscite possono; predefinita: 1)",
         [](Options& o, const Value& v) -> Read {
             const auto x = v ? read_speed(*v) : std::nullopt;
             if (!x) return "--velocita vuole un numero da 0.01 a 1000, oppure max";
             o.speed = *x;
             return std::nullopt;
         }},
        {"--velocita-tempo", Kind::value, "X",
         "secondi simulati per secondo reale, da 0.1 a 1000; max: tanti\n"
         "quanti le uscite ne prendono (predefinita: 1)",
         [](Options& o, const Value& v) -> Read {
             const auto x = v ? read_speed(*v) : std::nullopt;
             if (!x || (*x != 0.0 && *x < 0.1)) return "--velocita-tempo vuole un numero da 0.1 a 1000, oppure max";
             o.clock_rate = *x;
             return std::nullopt;
         }},
        {"--inizio", Kind::value, "DATA_ORA", "istante UTC da cui parte l'orologio (ISO 8601: 2016-12-31T23:59:50Z)",
         [](Options& o, const Value& v) -> Read {
             const auto ms = v ? read_iso_time(*v) : std::nullopt;
             if (!ms) return "--inizio vuole una data e un'ora ISO 8601, come 2016-12-31T23:59:50Z";
             o.clock_start = *ms;
             return std::nullopt;
         }},
        {"--ciclo", Kind::flag, "", "riproduce il registro da capo senza fine",
         [](Options& o, const Value&) -> Read { o.loop = true; return std::nullopt; }},
        {"--invia-danneggiate", Kind::flag, "",
         "riproduce anche un registro con righe danneggiate, come sono\n"
         "(le righe oltre 4096 byte, o oltre 65507 byte in un secondo,\n"
         "non si inviano e sono elencate)",
         [](Options& o, const Value&) -> Read { o.send_damaged = true; return std::nullopt; }},
        {"--salti-subito", Kind::flag, "",
         "riproduce anche un registro la cui ora salta di oltre un'ora,\n"
         "avanti o indietro: il secondo dopo il salto parte subito",
         [](Options& o, const Value&) -> Read { o.jumps_at_once = true; return std::nullopt; }},
        {"--ora-attuale", Kind::flag, "",
         "riproduce il registro con ora e data spostate al presente\n"
         "(checksum ricalcolati), per i client che rifiutano i fix vecchi",
         [](Options& o, const Value&) -> Read { o.current_time = true; return std::nullopt; }},
        {"--version", Kind::flag, "", "mostra la versione ed esce",
         [](Options& o, const Value&) -> Read { o.version = true; return std::nullopt; }},
        {"--help", Kind::flag, "", "mostra questo aiuto ed esce",
         [](Options& o, const Value&) -> Read { o.help = true; return std::nullopt; }},
        {nullptr, Kind::flag, nullptr,
         "Ricevitore (ognuna vale per questa volta sopra il gruppo [ricevitore] di vadrel.ini):", nullptr},
        {"--ricevitore", Kind::value, "moderno|classico",
         "moderno: --utc, --moto-reale e --frasi complete in un colpo,\n"
         "come manda un ricevitore di oggi; classico: ora locale,\n"
         "velocità 0.0, rotta 000.0 e il solo $GPRMC. Le opzioni che\n"
         "seguono sulla riga di comando valgono sopra",
         [](Options& o, const Value& v) -> Read {
             if (v != "moderno" && v != "classico") return "--ricevitore vuole moderno o classico";
             const bool modern = v == "moderno";
             o.utc = modern;
             o.real_motion = modern;
             o.full_set = modern;
             return std::nullopt;
         }},
        {"--utc", Kind::on_off, "[=no]", "ora e data delle frasi in UTC (predefinita: l'ora locale)",
         [](Options& o, const Value& v) { return on_off(o.utc, "--utc", v); }},
        {"--moto-reale", Kind::on_off, "[=no]",
         "nel $GPRMC la velocità in nodi e la rotta vera del mezzo\n(predefinite: 0.0 e 000.0)",
         [](Options& o, const Value& v) { return on_off(o.real_motion, "--moto-reale", v); }},
        {"--frasi", Kind::value, "F",
         "rmc: il solo $GPRMC (predefinito); complete: dopo il $GPRMC\n"
         "anche $GPGGA, $GPVTG, $GPGSA e $GPZDA, e nel modo radio\n"
         "$GPGGA, $GPVTG e $GPGSA del mezzo invece di quelli fissi",
         [](Options& o, const Value& v) -> Read {
             if (v == "rmc") {
                 o.full_set = false;
             } else if (v == "complete") {
                 o.full_set = true;
             } else {
                 return "--frasi vuole rmc o complete";
             }
             return std::nullopt;
         }},
        {"--quota", Kind::value, "METRI", "la quota del $GPGGA, da -1000 a 100000 (predefinita: 0)",
         [](Options& o, const Value& v) -> Read {
             const auto metres = v ? finite_number(*v) : std::nullopt;
             if (!metres || !altitude_problem(*metres).empty()) return "--quota vuole un numero di metri da -1000 a 100000";
             o.altitude = *metres;
             return std::nullopt;
         }},
        {"--senza-fix", Kind::on_off, "[=no]",
         "le frasi di un ricevitore che ha perso il segnale; il mezzo\n"
         "continua a muoversi. Il segnale SIGUSR1 la attiva e la toglie",
         [](Options& o, const Value& v) { return on_off(o.no_fix, "--senza-fix", v); }},
        {"--guasti", Kind::value, "ELENCO",
         "perdita=P,checksum=P,tronca=P,seme=N: la frazione (da 0 a 1)\n"
         "dei secondi non inviati, delle frasi con checksum errato e\n"
         "delle frasi troncate; lo stesso seme dà gli stessi guasti.\n"
         "no: nessun guasto",
         read_faults_option},
        {nullptr, Kind::value, "perdita-fix=DURATA/OGNI",
         "nell'ELENCO di --guasti: il fix si perde per DURATA secondi\n"
         "ogni OGNI secondi (30/300: 30 s ogni 5 minuti)",
         nullptr},
        {"--satelliti", Kind::on_off, "[=no]",
         "con --frasi complete, i satelliti dalle loro orbite: $GPGSV,\n"
         "i satelliti usati e le diluizioni del $GPGSA e del $GPGGA dalla\n"
         "loro geometria; fix 2D sotto 4 satelliti usati, nessuno sotto 3",
         [](Options& o, const Value& v) { return on_off(o.satellites, "--satelliti", v); }},
        {"--maschera", Kind::value, "GRADI", "elevazione minima dei satelliti, da 0 a 90 (predefinita: 5)",
         [](Options& o, const Value& v) { return sky_value(o.mask, "--maschera", v, read_mask); }},
        {"--ostacolo", Kind::value, "AZIMUT1-AZIMUT2:ELEVAZIONE",
         "nasconde i satelliti da AZIMUT1 ad AZIMUT2 (in senso orario)\n"
         "sotto ELEVAZIONE gradi, per esempio 200-340:40 (un edificio a\n"
         "ovest); si può ripetere; no: nessun ostacolo",
         read_obstruction_option},
        {"--rumore", Kind::value, "METRI",
         "rumore sulla posizione inviata (passeggiata casuale, METRI di\n"
         "deviazione standard per asse a cielo aperto, scalata dall'HDOP;\n"
         "il seme di --guasti); la posizione vera resta quella del mezzo.\n"
         "0: nessuno (predefinito)",
         [](Options& o, const Value& v) { return sky_value(o.noise, "--rumore", v, read_noise); }},
        {"--frequenza", Kind::value, "N",
         "posizioni al secondo delle frasi complete nel modo GPS standard:\n"
         "1 (predefinita), 2, 5 o 10, con i centesimi nell'ora",
         [](Options& o, const Value& v) { return sky_value(o.rate, "--frequenza", v, read_rate); }},
        {"--talker", Kind::value, "GP|GN", "talker delle frasi complete (predefinito: GP; $GPGSV resta GP)",
         [](Options& o, const Value& v) { return sky_value(o.talker, "--talker", v, read_talker); }},
        {"--elenco-frasi", Kind::value, "ELENCO",
         "le frasi complete e il loro ordine, tra RMC, GGA, VTG, GSA, GSV,\n"
         "ZDA, GLL e HDT (predefinito: RMC,GGA,VTG,GSA,ZDA, con\n"
         "--satelliti RMC,GGA,VTG,GSA,GSV,ZDA)",
         [](Options& o, const Value& v) {
             return sky_value(o.sentence_list, "--elenco-frasi", v, read_sentence_list);
         }},
        {nullptr, Kind::flag, nullptr,
         "Mezzi (N da 0 a 20; ripetibili; come una modifica sul pannello, la tabella li salva):", nullptr},
        {"--mezzo", Kind::value, "N=POSIZIONE",
         "il mezzo N è nella posizione indicata, scritta in una delle\n"
         "forme di \"Vai a posizione\" (45°30'N 9°12'E, 45.5 9.2, ...)",
         read_vehicle},
        {"--rotta", Kind::value, "N=GRADI", "la rotta vera del mezzo N, da 0 a 360 gradi", read_course},
        {"--velocita-mezzo", Kind::value, "N=VALORE[km/h|nodi]",
         "la velocità del mezzo N, nella sua unità o in quella indicata",
         read_vehicle_speed},
        {nullptr, Kind::flag, nullptr,
         "Bersagli AIS (ognuna vale per questa volta sopra il gruppo [ais] di vadrel.ini):", nullptr},
        {"--ais", Kind::on_off, "[=no]",
         "nei modi gps e radio i mezzi da 0 a N-1 (N: \"Numero di\n"
         "mezzi mobili\") si muovono e ognuno, tranne il mezzo\n"
         "attuale, invia i suoi messaggi AIS (!AIVDM) dopo le\n"
         "frasi del secondo, come un trasponditore (MMSI\n"
         "predefinito 900000000 + il numero del mezzo; menu\n"
         "Opzioni > Bersagli AIS...); non nel modo multi",
         [](Options& o, const Value& v) { return on_off(o.ais, "--ais", v); }},
        {"--ais-nave-propria", Kind::on_off, "[=no]",
         "con --ais anche il mezzo attuale, come nave propria\n(!AIVDO)",
         [](Options& o, const Value& v) { return on_off(o.ais_own_ship, "--ais-nave-propria", v); }},
        {"--ais-statici-subito", Kind::on_off, "[=no]",
         "con --ais ogni nuovo client TCP e ogni nuovo collegamento\n"
         "TCP in uscita riceve subito i dati statici (nome, tipo)\n"
         "di ogni bersaglio, oltre al ritmo del trasponditore\n"
         "(ogni 6 minuti)",
         [](Options& o, const Value& v) { return on_off(o.ais_statics_at_once, "--ais-statici-subito", v); }},
    };
}

// Every option of the command line: --help, the man page and the reader all
// come from it. Each group of options beyond the simulator's own is a table
// in a file of its own, joined here in the order --help lists them.
const std::vector<OptionSpec>& option_table() {
    static const std::vector<OptionSpec> table = [] {
        std::vector<OptionSpec> all;
        for (std::vector<OptionSpec> (*group)() : {&simulator_options, &encounter_options, &fleet_options, &n2k_options,
                                                     &pilot_options, &instrument_options}) {
            std::vector<OptionSpec> rows = group();
            all.insert(all.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
        }
        return all;
    }();
    return table;
}

const OptionSpec* find_option(const std::string& name) {
    for (const OptionSpec& spec : option_table()) {
        if (spec.name != nullptr && name == spec.name) return &spec;
    }
    return nullptr;
}

}  // namespace vadrel
