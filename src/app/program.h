#pragma once
// The program as the operator starts it, with or without a window: the
// models (the fleet, the link), the real port, clock and timer, start-up,
// the tick and shut-down. It builds no panel: the window puts its own over
// it (app/program_panel.h), the headless run reads the models.

#include <QObject>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "ais/transmitter.h"
#include "app/options.h"
#include "app/program_control.h"
#include "config/control_settings.h"
#include "config/tile_settings.h"
#include "control/control_server.h"
#include "config/output_path.h"
#include "config/program_folder.h"
#include "config/table_file.h"
#include "config/output_settings.h"
#include "config/receiver_settings.h"
#include "config/port_settings.h"
#include "config/settings_file.h"
#include "config/vehicle_table.h"
#include "tick/transmitter.h"
#include "fleet/fleet.h"
#include "link/link.h"
#include "outputs/output_fanout.h"
#include "serial/port_router.h"
#include "os/second_timer.h"
#include "tick/system_clock.h"
#include "outputs/network_outputs.h"
#include "log/gpx_tracks.h"
#include "log/recorder.h"
#include "log/replay.h"
#include "app/kept_routes.h"
#include "routes/vehicle_routes.h"

namespace vadrel {

// Said when a termination signal ends the program while it starts
// (TerminationDuringStart), and its exit status.
inline constexpr const char* start_interrupted = "vadrel: avvio interrotto da un segnale: niente è stato inviato.";
inline constexpr int start_interrupted_status = 2;

// A route of the command line that cannot be read or followed; the reason
// in Italian, naming the file.
class RouteRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ScenarioRun;

class Program : public QObject {
    Q_OBJECT
public:
    // Opens the program's folder (vadrel.cnf, vadrel.hlp: --cartella, else
    // as cartella_tabella chooses), maps the COM ports of the options and of
    // vadrel.ini (making the virtual ones), and gives the fleet and the link
    // the options' choices. `shell` says what start-up and the table's
    // saves have to say. Throws FolderRefused when the folder cannot be used,
    // and OutputRefused when --registra or --traccia names a file that must
    // not be written (output_path.h), and RouteRefused when a --percorso
    // cannot be read or followed, all before any port is made or any output
    // opened; PortFailure when a virtual port cannot be made.
    Program(const Options& options, Shell& shell);
    ~Program() override;

    Fleet& fleet() { return fleet_; }
    Clock& clock() { return clock_; }
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
    // "COM 2: /dev/pts/4" for each virtual port, in port order.
    const std::vector<std::string>& virtual_ports() const { return virtual_ports_; }

    // Start-up (the program's folder as current directory, the current
    // vehicle's start, the vehicle table from vadrel.cnf, the link's port
    // opened), the network outputs of vadrel.ini and the command line, then
    // the second-aligned ticks begin; every few ticks the table is saved if
    // it changed.
    void start();
    // Shut-down, once: stops the ticks, closes the port, saves the table. Returns false when vadrel.cnf does not hold the table;
    // a later call returns the same.
    bool stop();

    // The receiver options from now on. What the menu changed is kept in
    // vadrel.ini; what the command line chose for this run and the menu left
    // alone stays there as the file had it. Returns what could not be done,
    // in Italian ("" when all was).
    std::string change_receiver(const ReceiverOptions& chosen_options);
    const ReceiverOptions& receiver() const { return transmitter_.receiver(); }
    // The receiver options in force: the transmitter's, and the timer's rate.
    void use_receiver(const ReceiverOptions& chosen_options);

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
    // Messages for standard error, whole lines without the line end.
    std::function<void(const std::string&)> say = [](const std::string&) {};

    // The AIS targets as they are sent now (vadrel.ini's [ais] with the
    // command line over it).
    const AisSettings& ais() const { return ais_in_force_; }
    // Sends the AIS targets as these settings say from the next second, and
    // keeps in vadrel.ini what changed (the command line's choices the
    // change leaves alone stay out of the file). Returns why not, in
    // Italian, naming the vehicle ("" when done); a refused change changes
    // nothing.
    std::string change_ais(const AisSettings& settings);

    const NetworkOutputs& network() const { return network_; }
    // Switches the network outputs to these settings and keeps them in
    // vadrel.ini. Returns what could not be done, in Italian ("" when all was).
    std::string change_outputs(const OutputSettings& settings);

    // Records every tick's bytes into path from now on ("" when it does,
    // else why not, in Italian, and nothing changed); a failure later is
    // said through `say`.
    std::string start_recording(const std::string& path);
    void stop_recording() { recorder_.stop(); }
    const Recorder& recorder() const { return recorder_; }

    // Replays the log as checked through the outputs; the ticks send nothing
    // meanwhile; `to_now`: each round's time and date fields moved to the
    // present (sky/replay_now.h). Returns why it cannot ("" when it runs).
    std::string start_replay(const CheckedLog& log, double speed, bool loop, bool to_now = false);
    // Stops the replay; the ticks go on.
    void stop_replay();
    const Replay& replay() const { return replay_; }
    // Called when a replay has ended (not after stop_replay), from the event
    // loop: "" when it sent its whole log, else why it stopped, in Italian
    // (said through `say` already).
    std::function<void(const std::string&)> replay_finished;

    // Keeps the vehicles' tracks in a GPX file from now on, beginning with
    // the hour the tracks hold: the file made at once, the points appended
    // away from the tick, every minute and at exit. Returns why the file
    // cannot be made ("" when it is; else the earlier file, if any, goes
    // on); a failure later is said through `say`, once.
    std::string start_tracks(const std::string& path);
    // Ends the GPX file with the points it has so far; the file stays.
    void stop_tracks();
    const GpxTracks* tracks() const { return gpx_.get(); }

    // The control interface: the settings in force (the command line's over
    // vadrel.ini's) and its server, started by start().
    const ControlSettings& control_settings() const { return control_settings_; }
    const ControlServer& control_server() const { return *control_; }
    ProgramControl& control_target() { return *control_target_; }
    // Switches the interface to these settings and keeps them in vadrel.ini.
    // Returns what could not be done, in Italian ("" when all was).
    std::string change_control(const ControlSettings& settings);
    // The map's street tiles as vadrel.ini has them; a change is kept there
    // ("" when kept, else why not).
    const TileSettings& tile_settings() const { return tile_settings_; }
    std::string change_tiles(const TileSettings& settings);
    // What the interface is doing, in Italian, for the window's dialog.
    std::string control_status() const;

    // The devices vadrel.ini maps COM 1..4 to (what "Porta..." edits).
    const PortSettings& port_settings() const { return port_settings_; }
    // Maps the ports that --com leaves alone as these settings say, at once,
    // through the link (the port chosen is opened again on its new device),
    // and keeps them in vadrel.ini. Returns what could not be done, in
    // Italian ("" when all was). `origin`: who asked, for the link's watchers.
    std::string change_ports(const PortSettings& settings, Link::Origin origin = nullptr);
    // What COM number stands for now: "/dev/ttyUSB0", "/dev/pts/4 (virtuale)",
    // with " (--com)" when the command line chose it.
    std::string port_in_use(int number) const;

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
    // Starts, moves or stops the control interface as the settings say;
    // "" when done, else why not.
    std::string apply_control(const ControlSettings& settings);
    // One second (its bytes) for the event clients of the control interface.
    void publish_second(std::string_view bytes);
    // The AIS lines of the second at the steady time `steady`.
    Transmitter::SupplementSecond ais_second(double steady);
    // Every target's static data for a new TCP client or connection, when
    // asked (statici_subito) and the targets are on the air; "" otherwise.
    std::string ais_greeting() const;
    // Says on standard error why the port shows "No Tx", once for each new
    // reason (the link's watcher).
    void report_port();
    // The kept routes to their vehicles, where they were along them; then
    // the command line's, each placed at its start (unless it goes there
    // from where it is) and kept in the folder.
    void give_routes();
    // Each route's progress to the folder, when it changed; a failure said
    // once until a save works again.
    void keep_progress();
    // Says what became of the progress's saves; `problem` is the first failure.
    void report_progress(const std::string& problem);

    Options options_;
    // Kept for the table's save, whatever the network clients take.
    DescriptorReserve reserve_;
    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<TableFile> table_;
    PortRouter port_;
    Link link_{port_, port_};
    OutputFanOut output_{port_};
    NetworkOutputs network_;
    // The log's time lines come from the clock that stamps the tracks.
    Recorder recorder_{[this] { return std::llround(clock_.utc_seconds() * 1000.0); }};
    Replay replay_{output_};
    std::unique_ptr<SettingsFile> settings_file_;
    ReceiverOptions receiver_in_file_;  // as vadrel.ini has them, or will once saved
    ReceiverOptions receiver_in_force_;  // as last set here; the menu may set the panel's first
    // What vadrel.ini said that could not be used, for the message at start-up.
    std::vector<std::string> settings_problems_;
    PortSettings port_settings_;
    SystemClock clock_;
    // The vehicles' routes: the command line's, read at construction and
    // given once the table is loaded.
    struct GivenRoute {
        std::size_t vehicle;
        std::string file;
        Route route;
        FollowOptions options;
    };
    std::vector<GivenRoute> given_routes_;
    static GivenRoute read_route(const RouteArgument& given);
    std::unique_ptr<KeptRoutes> kept_routes_;
    // Writes them once the start has read them; waited for at the end.
    std::unique_ptr<KeptRoutesWorker> keeping_;
    std::string kept_problem_;
    Fleet fleet_;
    VehicleRoutes routes_{fleet_};
    TrackHistory tracks_{fleet_size};
    Transmitter transmitter_{fleet_, link_, tracks_, output_, clock_};
    VehicleTable vehicle_table_{fleet_};
    Shell& shell_;
    std::string help_file_;
    SecondTap tap_;
    ControlSettings control_settings_;
    TileSettings tile_settings_;
    std::unique_ptr<ProgramControl> control_target_;
    std::unique_ptr<ControlServer> control_;
    // The key of vadrel.token is said once a run.
    bool token_told_ = false;
    // Why the interface is not listening as its settings say; "" when it is.
    std::string control_problem_;
    AisSettings ais_in_file_;   // as vadrel.ini has them, or will once saved
    AisSettings ais_in_force_;  // as sent now
    AisTransmitter ais_;
    // The timerfd never wakes before its instant, so the ticks can sit right
    // on the second; the portable timer keeps its small margin.
#ifdef __linux__
    SecondTimer timer_{SecondTimer::Kind::best, std::chrono::milliseconds(0)};
#else
    SecondTimer timer_;
#endif
    std::vector<std::string> virtual_ports_;
    // Why a virtual port is not in the group dialout, said once at start-up.
    std::string dialout_problem_;
    bool stopped_ = false;
    // A changed table is saved within intervallo_salvataggio of the change.
    long ticks_since_autosave_ = 0;
    bool saved_ = true;
    std::string reported_reason_;
    std::unique_ptr<GpxTracks> gpx_;
    long ticks_since_gpx_ = 0;
    std::string gpx_problem_;
    // Says what became of the GPX writes, once for each change; lets go of
    // a file that was removed or changed by another program.
    void report_tracks();
    // Hands the last points to the GPX writer and waits for it.
    void finish_tracks();
    // A message box, or a line on standard error headless.
    void tell(const std::string& text) { shell_.message_box(text, program_title); }
    // A changed table to vadrel.cnf on a thread of its own: its writing and
    // syncs wait for the disk, which may take longer than a second.
    void start_autosave();
    // Back on this thread: what the autosave has to say, then its thread
    // joined (a message shown meanwhile starts no other).
    void finish_autosave(const TableFile::Outcome& table);
    // Waits for an autosave still writing: what else touches table_ does so after it.
    void wait_autosave();
    // The other files an output must not take: the log replayed and the
    // outputs in use besides `role`.
    std::vector<RoleFile> files_besides(FileRole role) const;

    // After the transmitter and the fleet it reaches.
    std::unique_ptr<ScenarioRun> scenario_;
    // The autosave's descriptor of the reserve, lent here, and its thread:
    // nothing else touches table_ while it runs. Last, so joined first.
    std::optional<DescriptorReserve::Lent> autosave_lent_;
    std::jthread autosave_;
};

}  // namespace vadrel
