#pragma once
// The program as the operator starts it, with or without a window: the
// models (the fleet, the link, the settings groups), the real port, clock
// and timer, and the parts wired to them: start-up, the tick and shut-down.
// It holds no rule: each change goes through its model's change path. It
// builds no panel: the window puts its own over it (app/program_panel.h),
// the headless run reads the models.

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ais/fixed_stations.h"
#include "ais/transmitter.h"
#include "app/control_service.h"
#include "app/fleet_service.h"
#include "app/n2k_output.h"
#include "app/options.h"
#include "app/pilot_run.h"
#include "app/program_control.h"
#include "app/recordings.h"
#include "app/route_keeping.h"
#include "app/start_up.h"
#include "app/table_autosave.h"
#include "config/ais_settings.h"
#include "config/instrument_settings_model.h"
#include "config/control_settings.h"
#include "config/output_path.h"
#include "config/output_settings.h"
#include "config/port_settings.h"
#include "config/program_folder.h"
#include "config/receiver_settings.h"
#include "config/settings_file.h"
#include "config/table_file.h"
#include "config/tile_settings.h"
#include "config/vehicle_table.h"
#include "fleet/fleet.h"
#include "link/link.h"
#include "os/second_timer.h"
#include "tick/tick_scheduler.h"
#include "outputs/network_outputs.h"
#include "outputs/output_fanout.h"
#include "routes/vehicle_routes.h"
#include "serial/port_router.h"
#include "tick/system_clock.h"
#include "tick/transmitter.h"

namespace vadrel {

class ScenarioRun;

class Program : public QObject {
    Q_OBJECT
public:
    // Opens the program's folder (vadrel.cnf, vadrel.hlp: --cartella, else
    // as cartella_tabella chooses), reads vadrel.ini, maps the COM ports of
    // the options and of vadrel.ini (making the virtual ones), and gives the
    // fleet and the link the options' choices. `shell` says what start-up
    // and the table's saves have to say. Throws FolderRefused when the
    // folder cannot be used, and OutputRefused when --registra or --traccia
    // names a file that must not be written (output_path.h), and
    // RouteRefused when a --percorso cannot be read or followed, FleetRefused
    // when a --flotta file cannot be used, all before
    // any port is made or any output opened; PortFailure when a virtual port
    // cannot be made.
    Program(const Options& options, Shell& shell);
    ~Program() override;

    Fleet& fleet() { return fleet_; }
    Clock& clock() { return clock_; }
    // The one clock's controls: start, rate, pause, leap seconds, week offset.
    SimulatedClock& simulated_clock() { return clock_; }
    // The help file F1 opens, known from start() on.
    const std::string& help_file() const { return help_file_; }
    // Puts the current vehicle where the program starts it, before
    // vadrel.cnf is read: the window's panel stores its start-up texts;
    // without it, start_vehicle() (fleet/start_values.h), the same place.
    std::function<void()> place_start_vehicle;
    // The serial link: the port chosen, its device and speed, open or
    // failed, transmission; every source changes it through its change path.
    Link& link() { return link_; }
    const Link& link() const { return link_; }
    // The vehicles' routes: given, shown and taken away here by every source
    // (command line, control interface, window), kept in the program's folder
    // from start() on.
    VehicleRoutes& routes() { return routes_; }
    Transmitter& transmitter() { return transmitter_; }
    // The autopilot: the plotter's sentences steer the current vehicle.
    PilotRun& pilot() { return pilot_; }
    const PilotRun& pilot() const { return pilot_; }
    // "COM 2: /dev/pts/4" for each virtual port, in port order.
    const std::vector<std::string>& virtual_ports() const { return virtual_ports_; }

    // Start-up (the program's folder as current directory, the current
    // vehicle's start, the vehicle table from vadrel.cnf, the link's port
    // opened), the settings of vadrel.ini and the command line put to work,
    // then the second-aligned ticks begin; every few ticks the table is
    // saved if it changed.
    void start();
    // Shut-down, once: stops the ticks, closes the port, saves the table.
    // Returns false when vadrel.cnf does not hold the table; a later call
    // returns the same.
    bool stop();

    // ---- the settings groups: vadrel.ini with this run's choices over it ----
    // Each change goes through the group's change path; what the command
    // line chose for this run and a change leaves alone stays out of the file.
    ReceiverSettingsModel& receiver_settings() { return receiver_; }
    AisSettingsModel& ais_settings() { return ais_; }
    InstrumentSettingsModel& instrument_settings() { return instruments_; }
    OutputSettingsModel& output_settings() { return outputs_; }
    ControlSettingsModel& control_settings() { return control_settings_; }
    TileSettingsModel& tile_settings() { return tiles_; }
    // The devices vadrel.ini maps COM 1..4 to (what "Porta..." edits); a
    // change maps the ports --com leaves alone at once, through the link
    // (the port chosen is opened again on its new device), with the
    // change's origin.
    PortSettingsModel& port_settings() { return ports_; }

    const ReceiverOptions& receiver() const { return transmitter_.receiver(); }
    // The AIS targets as they are sent now.
    const AisSettings& ais() const { return ais_.value(); }
    // Vehicle N placed for an encounter with the own ship (ais/encounter.h),
    // made an AIS target for this run if it is not one: what was done, in
    // Italian, one line a change; or the refusal.
    std::variant<std::vector<std::string>, Refusal> place_encounter(const EncounterAsk& ask, const void* origin);
    // The buoys and the SART on the air, and a change of them (each starts
    // again), the AIS targets on for this run if they are not.
    StationsOnAir stations() const { return fixed_stations_.stations(); }
    std::variant<std::vector<std::string>, Refusal> set_stations(const StationsOnAir& stations, const void* origin);
    // No vadrel.ini when the program started: the window asks what it would keep there.
    bool first_start() const { return settings_file_ && !settings_file_->was_there(); }

    // Loss of the receiver's signal on if off, off if on (SIGUSR1), said on
    // standard error; the settings file is left as it is.
    void switch_fix_loss();

    // Called before every tick, for a scenario's events of that second.
    std::function<void()> before_tick;
    // The scenario under way, if any (--scenario, PUT /api/v1/scenario).
    ScenarioRun& scenario() { return *scenario_; }
    const ScenarioRun& scenario() const { return *scenario_; }
    // Called after every tick, for the monitor of the headless run or the window.
    std::function<void()> after_tick;
    // "COM 2: /dev/pts/4" for a virtual port made while the program runs,
    // as virtual_ports() has those of the start.
    std::function<void(const std::string&)> virtual_port_made = [](const std::string&) {};
    // Messages for standard error, whole lines without the line end.
    std::function<void(const std::string&)> say = [](const std::string&) {};

    const NetworkOutputs& network() const { return network_; }
    // The NMEA 2000 server (--n2k).
    N2kOutput& n2k() { return n2k_; }
    // Recording, replay and GPX tracks.
    Recordings& recordings() { return recordings_; }
    const Recordings& recordings() const { return recordings_; }
    // Called when a replay has ended (not after stop_replay), from the event
    // loop: "" when it sent its whole log, else why it stopped, in Italian
    // (said through `say` already).
    std::function<void(const std::string&)> replay_finished;

    // The control interface: its server, started by start().
    ControlService& control() { return *control_; }
    // The tracked fleets (--flotta, PUT /api/v1/flotta).
    FleetService& fleets() { return *fleets_; }
    const ControlService& control() const { return *control_; }
    ProgramControl& control_target() { return control_->target(); }

    // What COM number stands for now: "/dev/ttyUSB0", "/dev/pts/4 (virtuale)",
    // with " (--com)" when the command line chose it.
    std::string port_in_use(int number) const;
    // The path a client opens to read COM number when it is a virtual port; "" otherwise.
    std::string virtual_path(int number) const;

private:
    // The bytes of the last second sent, for the events of the control interface.
    class SecondTap final : public OutputSink {
    public:
        Result send(std::string_view bytes) override {
            bytes_.assign(bytes);
            return {};
        }
        std::string take() { return std::exchange(bytes_, {}); }

    private:
        std::string bytes_;
    };

    void tick();
    // The settings groups' rules put to work in the program.
    void wire_settings();
    // Each vadrel.ini group with the command line over it, put to work.
    void start_outputs(std::vector<std::string> problems);
    void start_receiver();
    void start_ais();
    // The command line's encounters, buoys and SART (program_encounters.cpp).
    void start_encounters();
    // The AIS targets on and vehicles 0 .. vehicles - 1 in use, for this
    // run: what it changed, in Italian.
    std::vector<std::string> make_targets(std::size_t vehicles, const void* origin);
    void start_instruments();
    // The replay's seconds and end wired to the views.
    void wire_replay();
    // The AIS lines of the second at the steady time `steady`.
    Transmitter::SupplementSecond ais_second(double steady);
    // Every target's static data for a new TCP client or connection, when
    // asked (statici_subito) and the targets are on the air; "" otherwise.
    std::string ais_greeting() const;
    // Says on standard error why the port shows "No Tx", once for each new
    // reason (the link's watcher).
    void report_port();
    // The receiver options in force: the transmitter's, and the timer's rate.
    void use_receiver(const ReceiverOptions& chosen_options);
    // A message box, or a line on standard error headless.
    void tell(const std::string& text) { shell_.message_box(text, program_title); }
    // Says a group's problems under its heading, as one message.
    void tell_problems(const std::string& heading, const std::vector<std::string>& problems);

    Options options_;
    // Kept for the table's save, whatever the network clients take.
    DescriptorReserve reserve_;
    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<TableFile> table_;
    std::unique_ptr<SettingsFile> settings_file_;
    // What vadrel.ini said that could not be used, for the message at start-up.
    std::vector<std::string> settings_problems_;
    ReceiverSettingsModel receiver_;
    AisSettingsModel ais_;
    InstrumentSettingsModel instruments_;
    OutputSettingsModel outputs_;
    ControlSettingsModel control_settings_;
    TileSettingsModel tiles_;
    PortSettingsModel ports_;
    PortRouter port_;
    Link link_{port_, port_};
    OutputFanOut output_{port_};
    NetworkOutputs network_;
    SystemClock system_clock_;
    SimulatedClock clock_{system_clock_, &local_offset_at};
    Fleet fleet_;
    VehicleRoutes routes_{fleet_};
    TrackHistory tracks_{fleet_size};
    Transmitter transmitter_{fleet_, link_, tracks_, output_, clock_};
    PilotRun pilot_{fleet_, clock_, port_, network_};
    VehicleTable vehicle_table_{fleet_};
    Recordings recordings_;
    RouteKeeping route_keeping_;
    Shell& shell_;
    std::string help_file_;
    SecondTap tap_;
    std::unique_ptr<ControlService> control_;
    AisTransmitter ais_transmitter_;
    FixedStations fixed_stations_;
    // The encounters' targets: they report under way even when still.
    std::bitset<fleet_size> encounter_targets_;
    N2kOutput n2k_{transmitter_};
    // The timerfd never wakes before its instant, so the ticks can sit right
    // on the second; the portable timer keeps its small margin.
#ifdef __linux__
    TickScheduler timer_{clock_, system_clock_, SecondTimer::Kind::best, std::chrono::milliseconds(0)};
#else
    TickScheduler timer_{clock_, system_clock_};
#endif
    std::vector<std::string> virtual_ports_;
    // Why a virtual port is not in the group dialout, said once at start-up.
    std::string dialout_problem_;
    bool stopped_ = false;
    bool saved_ = true;
    // A changed table is saved within intervallo_salvataggio of the change.
    long ticks_since_autosave_ = 0;
    std::string reported_reason_;
    // After the transmitter and the fleet it reaches.
    std::unique_ptr<ScenarioRun> scenario_;
    std::unique_ptr<FleetService> fleets_;
    // Last, so its thread is joined first.
    TableAutosave autosave_;
};

}  // namespace vadrel
