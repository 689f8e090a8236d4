#include "window_menus.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "app/program.h"
#include "gui/ais_dialog.h"
#include "panel/link.h"
#include "serial/serial_devices.h"

namespace vadrel {

WindowMenus::WindowMenus(Program& program, PanelForm& form, gui::MainWindow& window, Shell& shell,
                         const bool& ending)
    : program_(program),
      form_(form),
      window_(window),
      // The network outputs, beside the panel's own menu entries.
      outputs_(program.network(), [&program](const OutputSettings& settings) { return program.change_outputs(settings); },
               &window),
      // The devices behind COM 1..4, each shown on its button's tooltip.
      ports_(&serial_devices, [&program](int number) { return program.port_in_use(number); },
             // The operator's change, as a port button's: a port that fails says so.
             [&program, &form](const PortSettings& settings) { return program.change_ports(settings, &form); },
             &window),
      // The control interface, kept in vadrel.ini.
      control_([&program](const ControlSettings& settings) { return program.change_control(settings); },
               [&program] { return program.control_status(); }, &window),
      outputs_menu_(window.menuBar()->addMenu(QStringLiteral("&Uscite"))),
      // Record, replay and tracks.
      recording_menu_(*window.menuBar(),
                     gui::RecordingActions{
                         [&program](const std::string& path) { return program.start_recording(path); },
                         [&program] { program.stop_recording(); },
                         [&program] { return program.recorder().recording(); },
                         [&program](const CheckedLog& log, double speed, bool loop) {
                             return program.start_replay(log, speed, loop);
                         },
                         [&program] { program.stop_replay(); },
                         [&program] { return program.replay().running(); },
                         [&program] { return program.replay().progress(); },
                         [&program](const std::string& path) { return program.start_tracks(path); },
                         {},
                         [&ending] { return ending; },
                         [&program] { program.stop_tracks(); },
                         [&program] {
                             return gui::RecordingActions::Files{
                                 program.recorder().recording() ? program.recorder().path() : std::string(),
                                 program.replay().running() ? program.replay().path() : std::string(),
                                 program.tracks() != nullptr ? program.tracks()->path() : std::string()};
                         }},
                     &window),
      // The receiver options, kept in vadrel.ini.
      options_menu_(form, *window.menuBar(),
               [&program](const ReceiverOptions& o) { return program.change_receiver(o); }) {
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
    QObject::connect(com_port, &QAction::triggered, &ports_, [this] { ports_.open_on(program_.port_settings()); });
    QAction* control = outputs_menu->addAction(QStringLiteral("&Controllo..."));
    control->setObjectName(QStringLiteral("menu_controllo"));
    QObject::connect(control, &QAction::triggered, &control_,
                     [this] { control_.open_on(program_.control_settings()); });
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
    };
    // A change a client of the control interface made shows at once: drawn
    // when the loop is next free, once for a burst of changes.
    redraw_.setSingleShot(true);
    redraw_.setInterval(0);
    QObject::connect(&redraw_, &QTimer::timeout, &window, [this] {
        options_menu_.refresh();
        window_.render();
    });
    program.control_target().changed = [this] { redraw_.start(); };
    // The AIS targets, in the same menu, kept in vadrel.ini.
    options_menu_.menu().addSeparator();
    gui::add_ais_entry(options_menu_.menu(), [&program] { return program.ais(); },
                       [&program](const AisSettings& settings) { return program.change_ais(settings); });
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
