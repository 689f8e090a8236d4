#include "window_menus.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>

#include "app/program.h"
#include "app/scenario_run.h"
#include "gui/ais_dialog.h"
#include "gui/instrument_dialog.h"
#include "gui/first_start_dialog.h"
#include "gui/placement.h"
#include "panel/link.h"
#include "serial/serial_devices.h"

namespace vadrel {

namespace {

gui::ClockLine clock_line(Program& program) {
    SimulatedClock& clock = program.simulated_clock();
    gui::ClockLine line{clock.utc_text(), clock.rate(), clock.max(), clock.paused(), std::nullopt};
    if (const auto scenario = program.scenario().state()) line.events = std::pair{scenario->done, scenario->events};
    return line;
}

// As PATCH /api/v1/tempo pauses and resumes it; a pause alone is never refused.
void pause_clock(Program& program, bool pause) {
    static_cast<void>(program.control_target().change_clock({std::nullopt, false, pause}));
}

// A scenario's file read off the loop, played as the control interface plays one.
gui::ScenarioActions scenario_actions(Program& program, Shell& shell) {
    return {[&control = program.control_target()](const std::string& path) -> gui::ScenarioActions::Play {
                return [play = control.prepare_scenario_file(path)] {
                    const Result<> done = play();
                    return done ? std::string() : done.message();
                };
            },
            [&shell](const std::string& message) { shell.message_box(message, program_title); },
            {}};
}

// Each event of a scenario marked on the panel's monitor as it is played.
std::function<void(const std::string&)> monitor_marks(PanelForm& form) {
    return [&form](const std::string& line) {
        if (form.monitor.current_y() > form.monitor.height()) form.monitor.clear();
        form.monitor.print(line);  // a line of its own
    };
}

// An encounter prepared as POST /api/v1/ais/incontri prepares it, and
// followed on the fleet as it moves.
gui::EncounterActions encounter_actions(Program& program) {
    return {[&control = program.control_target()](const EncounterAsk& ask) { return control.place_encounter(ask); },
            [&fleet = program.fleet()](std::size_t n) {
                return approach_between(fleet.vehicle(fleet.current()), fleet.vehicle(n));
            }};
}

// The fleet for tracking servers: a file read as PUT /api/v1/flotta reads
// one (off the loop here), the figures GET /api/v1/flotta gives.
gui::ServerFleetActions server_fleet_actions(Program& program) {
    FleetService& fleets = program.fleets();
    return {[&fleets](const std::string& path, const std::string& destination, int interval) {
                return fleets.prepare_file(path, destination, interval);
            },
            [&control = program.control_target()] { return control.tracker(); },
            [&fleets](const std::string& destination) { return fleets.remove(destination); },
            {}};
}

}  // namespace

WindowMenus::WindowMenus(Program& program, PanelForm& form, gui::MainWindow& window, Shell& shell,
                         const bool& ending)
    : program_(program),
      form_(form),
      window_(window),
      // The network outputs, beside the panel's own menu entries.
      outputs_(program.network(), [&program](const OutputSettings& settings) { return program.output_settings().change(settings, nullptr); },
               &window),
      // The devices behind COM 1..4, each shown on its button's tooltip.
      ports_(&serial_devices, [&program](int number) { return program.port_in_use(number); },
             // The operator's change, as a port button's: a port that fails says so.
             [&program, &form](const PortSettings& settings) { return program.port_settings().change(settings, &form); },
             &window),
      // The control interface, kept in vadrel.ini.
      control_([&program](const ControlSettings& settings) { return program.control_settings().change(settings, nullptr); },
               [&program] { return program.control().status(); }, &window),
      outputs_menu_(window.menuBar()->addMenu(QStringLiteral("&Uscite"))),
      // Record, replay and tracks.
      recording_menu_(*window.menuBar(),
                     gui::RecordingActions{
                         [&program](const std::string& path) { return program.recordings().start_recording(path); },
                         [&program] { program.recordings().stop_recording(); },
                         [&program] { return program.recordings().recorder().recording(); },
                         [&program](const CheckedLog& log, double speed, bool loop) {
                             return program.recordings().start_replay(log, speed, loop);
                         },
                         [&program] { program.recordings().stop_replay(); },
                         [&program] { return program.recordings().replay().running(); },
                         [&program] { return program.recordings().replay().progress(); },
                         [&program](const std::string& path) { return program.recordings().start_tracks(path); },
                         {},
                         [&ending] { return ending; },
                         [&program] { program.recordings().stop_tracks(); },
                         [&files = program.recordings()] {
                             return gui::RecordingActions::Files{
                                 files.recorder().recording() ? files.recorder().path() : std::string(),
                                 files.replay().running() ? files.replay().path() : std::string(),
                                 files.tracks() != nullptr ? files.tracks()->path() : std::string()};
                         }},
                     &window),
      // The receiver options, kept in vadrel.ini.
      options_menu_(form, *window.menuBar(),
               [&program](const ReceiverOptions& o) { return program.receiver_settings().change(o, nullptr); }),
      scenario_menu_(*window.menuBar(), scenario_actions(program, shell), &window),
      clock_status_([&program] { return clock_line(program); }, [&program](bool pause) { pause_clock(program, pause); },
                    &window),
      server_fleet_(server_fleet_actions(program), program.fleets().interval(), &window) {
    // The receiver in force on a line of its own under the panel.
    window.statusBar()->setSizeGripEnabled(false);
    window.statusBar()->addWidget(&options_menu_.receiver_label());
    options_menu_.receiver_label().show();
    window.statusBar()->addPermanentWidget(&clock_status_);
    program.scenario().marked = monitor_marks(form);
    ports_.set_virtual_path([&program](int number) { return program.virtual_path(number); });
    QObject::connect(&ports_, &gui::PortDialog::changed, &window, [this] {
        show_ports();
        window_.render();
    });
    QMenu* outputs_menu = outputs_menu_;
    outputs_menu->setObjectName(QStringLiteral("menu_uscite"));
    QAction* network_action = outputs_menu->addAction(QStringLiteral("&Rete..."));
    network_action->setObjectName(QStringLiteral("menu_rete"));
    QObject::connect(network_action, &QAction::triggered, &outputs_, &gui::OutputsDialog::open_on_settings);
    QAction* com_port = outputs_menu->addAction(QStringLiteral("&Porta..."));
    com_port->setObjectName(QStringLiteral("menu_porta"));
    QObject::connect(com_port, &QAction::triggered, &ports_, [this] { ports_.open_on(program_.port_settings().value()); });
    QAction* control = outputs_menu->addAction(QStringLiteral("&Controllo..."));
    control->setObjectName(QStringLiteral("menu_controllo"));
    QObject::connect(control, &QAction::triggered, &control_,
                     [this] { control_.open_on(program_.control_settings().value()); });
    QAction* server_fleet = outputs_menu->addAction(QStringLiteral("&Flotta per server..."));
    server_fleet->setObjectName(QStringLiteral("menu_flotta_server"));
    QObject::connect(server_fleet, &QAction::triggered, &server_fleet_, [this] { server_fleet_.open_beside(window_); });
    // Recording, replay and the GPX export said beside the transmission status.
    window.place_beside_status(recording_menu_.activity_label());

    program.replay_finished = [this, &shell](const std::string& problem) {
        window_.render();
        recording_menu_.refresh();
        if (!problem.empty()) shell.message_box("Riproduzione interrotta: " + problem, program_title);
    };
    program.after_tick = [this] {
        window_.render();
        outputs_.refresh();
        control_.refresh();
        recording_menu_.refresh();
        pilot_entry_->refresh();
    };
    // A change a client of the control interface made shows at once: drawn
    // when the loop is next free, once for a burst of changes.
    redraw_.setSingleShot(true);
    redraw_.setInterval(0);
    QObject::connect(&redraw_, &QTimer::timeout, &window, [this] {
        options_menu_.refresh();
        if (pilot_entry_) pilot_entry_->refresh();
        window_.render();
    });
    program.control_target().changed = [this] { redraw_.start(); };
    receiver_watch_ = program.receiver_settings().watch([this](ReceiverSettingsModel::Origin) { options_menu_.refresh(); });
    // The AIS targets, in the same menu, kept in vadrel.ini.
    options_menu_.menu().addSeparator();
    gui::add_ais_entry(options_menu_.menu(), [&program] { return program.ais(); },
                       [&program](const AisSettings& settings) { return program.ais_settings().change(settings, nullptr); },
                       encounter_actions(program),
                       {[&control = program.control_target()] { return control.stations(); },
                        [&control = program.control_target()](const StationsOnAir& s) { return control.set_stations(s); }});
    PilotRun& pilot = program.pilot();
    pilot_entry_ = std::make_unique<gui::PilotEntry>(
        options_menu_.menu(), *window.statusBar(),
        gui::PilotActions{[&pilot] { return pilot.pilot().on(); }, [&pilot](bool on) { pilot.set_on(on); },
                          [&pilot] { return pilot.status(); }});
    // Switched by a client of the control interface: shown at once.
    pilot_watch_ = pilot.watch([this] { redraw_.start(); });
    // The own ship's instruments, kept in vadrel.ini too.
    gui::add_instrument_entry(
        options_menu_.menu(), [&program] { return program.instrument_settings().value(); },
        [&program](const InstrumentSettings& settings) { return program.instrument_settings().change(settings, nullptr); });
}

WindowMenus::~WindowMenus() {
    program_.receiver_settings().unwatch(receiver_watch_);
    program_.scenario().marked = [](const std::string&) {};
    program_.pilot().unwatch(pilot_watch_);
}

void WindowMenus::first_start(const Options& options) {
    if (!program_.first_start()) return;
    gui::FirstStartDialog::Answer answer;
    if (!options.utc && !options.real_motion && !options.full_set)
        answer = [this](ReceiverKind kind) { options_menu_.choose_receiver(kind); };
    gui::FirstStartDialog::MakePort make_port;
    const int port = options.com_port;
    if (!program_.link().open() && !program_.link().problem().empty() && !options.com.contains(port)) {
        make_port = [this, port] {
            PortSettings settings = program_.port_settings().value();
            settings.devices[port] = virtual_device;
            const Result<> changed = program_.port_settings().change(settings, &form_);
            gui::FirstStartDialog::Made made{{}, changed ? std::string() : changed.message()};
            if (made.problem.empty()) choose_port(form_, static_cast<std::int16_t>(port));
            made.path = program_.virtual_path(port);
            show_ports();
            window_.render();
            return made;
        };
    }
    if (!answer && !make_port) return;
    QPointer<gui::FirstStartDialog> question =
        new gui::FirstStartDialog(window_, std::move(answer), std::move(make_port), port, program_.link().problem());
    // Beside the panel where a window manager has put it, not where it stood before.
    gui::when_on_screen(window_, [this, question] {
        if (question.isNull()) return;
        gui::place_beside(*question, window_);
        question->show();
    });
}

void WindowMenus::show_ports() {
    const std::vector<SerialDevice> present = serial_devices();
    for (std::size_t i = 0; i < com_ports.size(); ++i) {
        const Control& button = form_.*port_buttons[i];
        if (QWidget* widget = window_.control_widget(button.name()))
            widget->setToolTip(gui::port_tooltip(com_ports[i], program_.port_in_use(com_ports[i]), present));
    }
}

}  // namespace vadrel
