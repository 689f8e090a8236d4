#pragma once
// The command line of vadrel.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "config/control_settings.h"
#include "config/ais_settings.h"
#include "config/output_settings.h"
#include "config/port_settings.h"
#include "outputs/network_address.h"
#include "log/nmea_log.h"
#include "control/control_target.h"
#include "link/link.h"
#include "model/receiver_options.h"
#include "routes/route_text.h"

namespace vadrel {

// What COM N stands for: a device path, or a virtual port (with an optional
// symbolic link to it).
struct PortMapping {
    bool virtuale = false;
    std::string device;  // the device, or the link of a virtual port ("" for none)
    bool operator==(const PortMapping&) const = default;
};

struct Options {
    bool senza_finestra = false;
    std::optional<std::string> cartella;
    std::map<int, PortMapping> com;
    int porta = 2;
    int baud = 4800;
    enum class Modo { gps, radio, multi } modo = Modo::gps;
    std::optional<std::string> mezzi;
    std::optional<double> durata;
    // The network outputs; each one given overrides vadrel.ini. "no" switches
    // that output off.
    std::optional<Endpoint> tcp;
    bool senza_tcp = false;
    std::optional<int> tcp_max;
    std::vector<Endpoint> udp;
    bool senza_udp = false;
    // Each vehicle's stream on BASE + k; the listening servers vadrel
    // connects to, with the serial port's bytes or each vehicle's stream.
    std::optional<Endpoint> tcp_mezzi;
    bool senza_tcp_mezzi = false;
    std::vector<Endpoint> tcp_verso;
    bool senza_tcp_verso = false;
    std::optional<Endpoint> tcp_verso_mezzi;
    bool senza_tcp_verso_mezzi = false;
    // The control interface for this run, over [controllo] of vadrel.ini;
    // "no" switches it off.
    std::optional<Endpoint> controllo;
    bool senza_controllo = false;
    // The vehicles this run sets (--mezzo, --rotta, --velocita-mezzo), each
    // value checked by the fleet's rules; applied after the table is loaded.
    std::map<std::size_t, VehiclePatch> mezzi_impostati;
    // The receiver options given on the command line; each one given
    // overrides vadrel.ini for this run.
    std::optional<bool> utc;
    std::optional<bool> moto_reale;
    std::optional<bool> frasi_complete;
    std::optional<double> quota;
    std::optional<bool> senza_fix;
    std::optional<Guasti> guasti;
    // The sky of the full set (Cielo); --ostacolo adds to this run's list,
    // which then stands for vadrel.ini's ("--ostacolo no": none).
    std::optional<bool> satelliti;
    std::optional<double> maschera;
    std::optional<std::vector<Obstruction>> ostacoli;
    std::optional<double> rumore;
    std::optional<int> frequenza;
    std::optional<Talker> talker;
    std::optional<std::vector<SentenceKind>> elenco_frasi;
    // Record every tick's bytes into this log; replay a log (at this speed,
    // 0 for as fast as the outputs take it), once or in a loop.
    std::optional<std::string> registra;
    // Keep the vehicles' tracks in this GPX file.
    std::optional<std::string> traccia;
    std::optional<std::string> riproduci;
    // A scenario file: its settings under the command line's, its events.
    std::optional<std::string> scenario;
    // Routes for vehicles, in the order given (a later one for the same
    // vehicle replaces an earlier one).
    std::vector<RouteArgument> percorsi;
    double velocita = 1.0;
    bool ciclo = false;
    // What the operator allows of a log that is not whole: damaged lines
    // sent as they stand, a jump of its time sent at once.
    bool invia_danneggiate = false;
    bool salti_subito = false;
    // The log's time and date fields moved to the present.
    bool ora_attuale = false;
    LogLeave permesso() const { return {invia_danneggiate, salti_subito}; }
    bool version = false;
    bool help = false;
    // The AIS targets and the own ship as !AIVDO; each one given overrides
    // vadrel.ini for this run.
    std::optional<bool> ais;
    std::optional<bool> ais_nave_propria;
    std::optional<bool> ais_statici_subito;
};

// The longest --durata, in seconds: the timer that ends the run counts whole
// milliseconds in an int (24 days, 20 hours and a little more).
inline constexpr double durata_massima = 2147483;
// The speeds --velocita takes (besides "max").
inline constexpr double velocita_minima = 0.01;
inline constexpr double velocita_massima = 1000.0;
// --velocita X: "2", "0.5", "0,5", or "max" (0: as fast as the outputs take it).
std::optional<double> leggi_velocita(const std::string& text);

// --durata S as the timer's interval.
std::chrono::milliseconds durata_ms(double seconds);

// Reads the arguments after the program's name. On a bad option the result
// is an Italian message for standard error.
std::variant<Options, std::string> parse_options(const std::vector<std::string>& args);

// The text of --help, from the table of options.
std::string help_text();
// Every option's name ("--tcp"), from the same table.
std::vector<std::string> option_names();

// The network outputs of this run: the settings file's, with what the
// command line says instead.
OutputSettings outputs_for(const OutputSettings& file, const Options& options);
// The control interface of this run: the settings file's, with what the
// command line says instead.
ControlSettings controllo_per(const ControlSettings& file, const Options& options);
// The receiver options of this run: those of the settings file, with what
// the command line says instead.
OpzioniRicevitore ricevitore_per(const OpzioniRicevitore& dal_file, const Options& options);

// The AIS settings of this run: those of the settings file, with what the
// command line says instead.
AisSettings ais_per(const AisSettings& dal_file, const Options& options);

// What each COM number stands for in this run: --com where the command
// line names it, else the device of vadrel.ini, else nothing (the default).
std::map<int, PortMapping> ports_for(const PortSettings& file, const Options& options);

// The port and speed start-up opens, the mode and the multi-user cycle, as
// the options say.
void apply_start_options(Fleet& fleet, Link& link, const Options& options, Fleet::Origin origin);


}  // namespace vadrel
