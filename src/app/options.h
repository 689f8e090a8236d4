#pragma once
// The command line of vadrel.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "config/control_settings.h"
#include "ais/encounter.h"
#include "ais/fixed_stations.h"
#include "config/ais_settings.h"
#include "config/instrument_settings_model.h"
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
    bool virtual_port = false;
    std::string device;  // the device, or the link of a virtual port ("" for none)
    bool operator==(const PortMapping&) const = default;
};

struct Options {
    bool no_window = false;
    std::optional<std::string> folder;
    std::map<int, PortMapping> com;
    int com_port = 2;
    int baud = 4800;
    enum class Mode { gps, radio, multi } mode = Mode::gps;
    std::optional<std::string> vehicles;
    std::optional<double> duration;
    // The network outputs; each one given overrides vadrel.ini. "no" switches
    // that output off.
    std::optional<Endpoint> tcp;
    bool no_tcp = false;
    std::optional<int> tcp_max;
    std::vector<Endpoint> udp;
    bool no_udp = false;
    // Each vehicle's stream on BASE + k; the listening servers vadrel
    // connects to, with the serial port's bytes or each vehicle's stream.
    std::optional<Endpoint> tcp_vehicles;
    bool no_tcp_vehicles = false;
    std::vector<Endpoint> tcp_to;
    bool no_tcp_to = false;
    std::optional<Endpoint> tcp_to_vehicles;
    bool no_tcp_to_vehicles = false;
    // The NMEA 2000 server (--n2k); none by default.
    std::optional<Endpoint> n2k;
    // The control interface for this run, over [controllo] of vadrel.ini;
    // "no" switches it off.
    std::optional<Endpoint> control;
    bool no_control = false;
    // The vehicles this run sets (--mezzo, --rotta, --velocita-mezzo), each
    // value checked by the fleet's rules; applied after the table is loaded.
    std::map<std::size_t, VehiclePatch> vehicles_set;
    // The receiver options given on the command line; each one given
    // overrides vadrel.ini for this run.
    std::optional<bool> utc;
    std::optional<bool> real_motion;
    std::optional<bool> full_set;
    std::optional<double> altitude;
    std::optional<bool> no_fix;
    std::optional<Faults> faults;
    // The sky of the full set (Cielo); --ostacolo adds to this run's list,
    // which then stands for vadrel.ini's ("--ostacolo no": none).
    std::optional<bool> satellites;
    std::optional<double> mask;
    std::optional<std::vector<Obstruction>> obstructions;
    std::optional<double> noise;
    std::optional<int> rate;
    std::optional<Talker> talker;
    std::optional<std::vector<SentenceKind>> sentence_list;
    // Record every tick's bytes into this log; replay a log (at this speed,
    // 0 for as fast as the outputs take it), once or in a loop.
    std::optional<std::string> record_to;
    // Keep the vehicles' tracks in this GPX file.
    std::optional<std::string> track_to;
    std::optional<std::string> replay_from;
    // A scenario file: its settings under the command line's, its events.
    std::optional<std::string> scenario;
    // Routes for vehicles, in the order given (a later one for the same
    // vehicle replaces an earlier one).
    std::vector<RouteArgument> routes;
    double speed = 1.0;
    bool loop = false;
    // The clock: simulated seconds a real second (0: as fast as the outputs
    // take them) and the UTC instant it starts from, in milliseconds.
    std::optional<double> clock_rate;
    std::optional<std::int64_t> clock_start;
    // What the operator allows of a log that is not whole: damaged lines
    // sent as they stand, a jump of its time sent at once.
    bool send_damaged = false;
    bool jumps_at_once = false;
    // The log's time and date fields moved to the present.
    bool current_time = false;
    LogLeave log_leave() const { return {send_damaged, jumps_at_once}; }
    bool version = false;
    bool help = false;
    // The tracked fleets: each --flotta file with its --flotta-verso, in
    // order; this instance's part of each file (--parte K/N); the seed of
    // their random turns (--seme).
    std::vector<std::string> fleets;
    std::vector<std::string> fleet_to;
    int fleet_interval = 1;
    int part = 1;
    int parts = 1;
    std::optional<std::uint64_t> seed;
    // The AIS targets and the own ship as !AIVDO; each one given overrides
    // vadrel.ini for this run.
    std::optional<bool> ais;
    std::optional<bool> ais_own_ship;
    std::optional<bool> ais_statics_at_once;
    // Set-piece AIS situations: targets placed for an encounter with the
    // own ship, aids to navigation, a SART in test. Any of them turns the
    // AIS targets on for this run.
    std::vector<EncounterAsk> encounters;
    std::vector<Buoy> ais_buoys;
    std::optional<Sart> ais_sart;
    // The autopilot: on, its rate of turn (degrees a second), the magnetic
    // variation its magnetic headings are made true with, and the UDP port
    // it also listens on.
    std::optional<bool> pilot;
    std::optional<double> pilot_turn_rate;
    std::optional<double> pilot_variation;
    std::optional<Endpoint> udp_listen;
    // The own ship's instruments; each one given overrides [strumenti] for
    // this run.
    std::optional<bool> instruments;
    std::optional<Flow> wind;
    std::optional<Flow> current;
    std::optional<DepthText> depth;
    std::optional<double> water_temperature;
};

// The longest --durata, in seconds: the timer that ends the run counts whole
// milliseconds in an int (24 days, 20 hours and a little more).
inline constexpr double max_duration = 2147483;
// The speeds --velocita takes (besides "max").
inline constexpr double min_speed = 0.01;
inline constexpr double max_speed = 1000.0;
// --velocita X: "2", "0.5", "0,5", or "max" (0: as fast as the outputs take it).
std::optional<double> read_speed(const std::string& text);

// --durata S as the timer's interval.
std::chrono::milliseconds duration_ms(double seconds);

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
ControlSettings control_for(const ControlSettings& file, const Options& options);
// The receiver options of this run: those of the settings file, with what
// the command line says instead.
ReceiverOptions receiver_for(const ReceiverOptions& from_file, const Options& options);

// The AIS settings of this run: those of the settings file, with what the
// command line says instead.
AisSettings ais_per(const AisSettings& from_file, const Options& options);

// The instruments of this run: those of the settings file, with what the
// command line says instead.
InstrumentSettings instruments_per(const InstrumentSettings& from_file, const Options& options);

// What each COM number stands for in this run: --com where the command
// line names it, else the device of vadrel.ini, else nothing (the default).
std::map<int, PortMapping> ports_for(const PortSettings& file, const Options& options);

// The port and speed start-up opens, the mode and the multi-user cycle, as
// the options say.
void apply_start_options(Fleet& fleet, Link& link, const Options& options, Fleet::Origin origin);


}  // namespace vadrel
