#include "window.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <unistd.h>
#include <utility>

#include "app/headless.h"
#include "app/line_output.h"
#include "app/program.h"
#include "gui/recording_menu.h"
#include "os/signals.h"
#include "gui/main_window.h"
#include "gui/control_dialog.h"
#include "gui/ais_dialog.h"
#include "gui/options_menu.h"
#include "gui/outputs_dialog.h"
#include "gui/port_dialog.h"
#include "gui/window_shell.h"
#include "serial/serial_devices.h"
#include "panel/link.h"

#ifdef VADREL_XCB
#include <xcb/xcb.h>
#endif

namespace vadrel {

namespace {

// Qt's X11 plugin ends the process with exit(1) when its connection to the X
// server breaks ("The X11 connection broke"), from deep inside the event
// loop: no event, no return to us. exit() still runs the functions given to
// atexit, so the shut-down runs there. While a window run is on, `active`
// points at its program; the program runs its shut-down once whichever way
// the run ends. This is the only hook exit() offers, hence the one static.
class ShutDownAtExit {
public:
    ShutDownAtExit(std::unique_ptr<Program>& program, LineOutput& errors) {
        static const bool registered = std::atexit(&ShutDownAtExit::run) == 0;
        if (registered) active() = {&program, &errors};
    }
    ~ShutDownAtExit() { active() = {}; }
    ShutDownAtExit(const ShutDownAtExit&) = delete;
    ShutDownAtExit& operator=(const ShutDownAtExit&) = delete;

private:
    struct Run {
        std::unique_ptr<Program>* program = nullptr;
        LineOutput* errors = nullptr;
    };
    static Run& active() {
        static Run run;
        return run;
    }
    static void run() {
        const Run run = std::exchange(active(), Run{});
        if (run.program == nullptr || !*run.program) return;
        const bool saved = (*run.program)->stop();
        run.errors->write_line(saved ? "vadrel: lo schermo non è più raggiungibile; tabella dei mezzi salvata."
                                     : "vadrel: lo schermo non è più raggiungibile.");
        run.program->reset();  // closes the ports and removes the links to virtual ones
    }
};

#ifdef VADREL_XCB
using XConnection = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;
#else
using XConnection = std::unique_ptr<int>;
#endif

// A connection to the X server DISPLAY names, the same Qt is about to make
// (Qt aborts when it fails): empty, with the reason in `why`, when the server
// does not answer. It is held for the whole run, so that its end is never
// the last client leaving a server that then resets under Qt's own
// connection (a bare Xvfb does). Elsewhere, and for other platforms, there
// is nothing to ask: a connection that stands for "go ahead".
XConnection connect_to_display(std::string& why) {
#ifdef VADREL_XCB
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const char* display = std::getenv("DISPLAY");
    const bool x11 = platform == nullptr || *platform == '\0' || std::string_view(platform).starts_with("xcb");
    XConnection connection(nullptr, &xcb_disconnect);
    if (!x11 || display == nullptr || *display == '\0') {
        why.clear();
        return connection;
    }
    connection.reset(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get()) != 0) {
        connection.reset();
        why = std::string("lo schermo DISPLAY=") + display + " non risponde o rifiuta la connessione";
    }
    return connection;
#else
    why.clear();
    return nullptr;
#endif
}

}  // namespace

int run_window(int argc, char** argv, const Options& options) {
    std::string why;
    const XConnection display = connect_to_display(why);
    if (!why.empty()) {
        LineOutput(STDERR_FILENO, standard_error_backlog).write_line("vadrel: " + why + ", funziono senza finestra.");
        return run_headless(argc, argv, options);
    }
    QApplication app(argc, argv);
    // The window belongs to the menu entry vadrel.desktop and its icon (the
    // X window class becomes "vadrel" too).
    QApplication::setApplicationName(QStringLiteral("vadrel"));
    QApplication::setDesktopFileName(QStringLiteral("vadrel"));
    LineOutput out(STDOUT_FILENO, 0);
    LineOutput errors(STDERR_FILENO, standard_error_backlog);
    gui::WindowShell shell;
    SignalWatcher termination;
    // A log to replay is read whole first (a termination signal or "Annulla"
    // stops the reading); one that cannot be sent as it stands: said, and
    // nothing is opened or sent.
    bool ending = false;
    QObject::connect(&termination, &SignalWatcher::termination, &app, [&ending] { ending = true; });
    CheckedLog log;
    if (options.riproduci) {
        CheckResult checked = gui::esamina_con_avanzamento(*options.riproduci, nullptr, [&ending] { return ending; });
        std::vector<std::string> problems;
        if (std::holds_alternative<CheckInterrupted>(checked)) {
            errors.write_line("vadrel: lettura del registro " + *options.riproduci + " interrotta");
            errors.write_line("vadrel: niente è stato inviato.");
            return 2;
        }
        if (auto* refused = std::get_if<std::vector<std::string>>(&checked)) {
            problems = std::move(*refused);
        } else {
            log = std::get<CheckedLog>(std::move(checked));
            problems = problemi_registro(log.path, log.summary, options.permesso());
        }
        if (!problems.empty()) {
            std::string text;
            for (const std::string& line : problems) {
                errors.write_line("vadrel: " + line);
                text += line + "\n";
            }
            QObject::connect(&termination, &SignalWatcher::termination, &app, [] { QCoreApplication::exit(2); });
            shell.message_box(text + "Niente è stato inviato.", program_title);
            return 2;
        }
    }
    // A command line's file refused: said, shown, and nothing started.
    const auto refused = [&](const std::exception& e) {
        errors.write_line(std::string("vadrel: ") + e.what());
        QObject::connect(&termination, &SignalWatcher::termination, &app, [] { QCoreApplication::exit(2); });
        shell.message_box(e.what(), program_title);
        return 2;
    };
    std::unique_ptr<Program> program;
    try {
        program = std::make_unique<Program>(options, shell);
    } catch (const FolderRefused& e) {
        errors.write_line(std::string("vadrel: ") + e.what());
        // Nothing to save yet: a termination request just closes the message.
        QObject::connect(&termination, &SignalWatcher::termination, &app, [] { QCoreApplication::exit(2); });
        shell.message_box(e.what(), program_title);
        return 2;
    } catch (const OutputRefused& e) {
        return refused(e);
    } catch (const RouteRefused& e) {
        return refused(e);
    } catch (const PortFailure& e) {
        errors.write_line(std::string("vadrel: ") + e.what());
        shell.message_box(e.what(), program_title);
        return 1;
    }
    program->say = [&errors](const std::string& line) { errors.write_line(line); };
    for (const std::string& line : program->virtual_ports()) out.write_line(line);

    gui::MainWindow window(program->form());
    window.set_routes(&program->routes());
    window.set_mmsi([&](std::size_t n) -> std::optional<std::uint32_t> {
        const AisSettings& ais = program->ais();
        if (!ais.attivi || n >= ais.mezzi.size()) return std::nullopt;
        return ais.mezzi[n].mmsi;
    });
    // Closing the window runs the shut-down; the window closes whatever it says.
    window.set_on_close([&] { program->stop(); });
    // The network outputs, beside the panel's own menu entries.
    gui::OutputsDialog outputs(program->network(),
                               [&](const OutputSettings& settings) { return program->change_outputs(settings); },
                               &window);
    // The devices behind COM 1..4, each shown on its button's tooltip.
    const auto in_use = [&program](int number) { return program->port_in_use(number); };
    gui::PortDialog ports(&serial_devices, in_use,
                          [&](const PortSettings& settings) { return program->change_ports(settings); }, &window);
    const auto show_ports = [&] {
        const std::vector<SerialDevice> present = serial_devices();
        for (std::size_t i = 0; i < com_ports.size(); ++i) {
            const Control& button = program->form().*port_buttons[i];
            if (QWidget* widget = window.control_widget(button.name()))
                widget->setToolTip(gui::port_tooltip(com_ports[i], in_use(com_ports[i]), present));
        }
    };
    QObject::connect(&ports, &gui::PortDialog::changed, &window, [&] {
        show_ports();
        window.render();
    });
    QMenu* uscite = window.menuBar()->addMenu(QStringLiteral("&Uscite"));
    uscite->setObjectName(QStringLiteral("menu_uscite"));
    QAction* rete = uscite->addAction(QStringLiteral("&Rete..."));
    rete->setObjectName(QStringLiteral("menu_rete"));
    QObject::connect(rete, &QAction::triggered, &outputs, &gui::OutputsDialog::open_on_settings);
    QAction* porta = uscite->addAction(QStringLiteral("&Porta..."));
    porta->setObjectName(QStringLiteral("menu_porta"));
    QObject::connect(porta, &QAction::triggered, &ports, [&] { ports.open_on(program->port_settings()); });
    // The control interface, kept in vadrel.ini.
    gui::ControlDialog control(
        [&](const ControlSettings& settings) { return program->change_control(settings); },
        [&] { return program->control_status(); }, &window);
    QAction* controllo = uscite->addAction(QStringLiteral("&Controllo..."));
    controllo->setObjectName(QStringLiteral("menu_controllo"));
    QObject::connect(controllo, &QAction::triggered, &control, [&] { control.open_on(program->control_settings()); });
    // Record, replay and tracks.
    gui::RecordingMenu registrazione(
        *window.menuBar(),
        gui::RecordingActions{
            [&](const std::string& path) { return program->start_recording(path); },
            [&] { program->stop_recording(); },
            [&] { return program->recorder().recording(); },
            [&](const CheckedLog& log, double speed, bool loop) { return program->start_replay(log, speed, loop); },
            [&] { program->stop_replay(); },
            [&] { return program->replay().running(); },
            [&] { return program->replay().progress(); },
            [&](const std::string& path) { return program->start_tracks(path); },
            {},
            [&ending] { return ending; }},
        &window);
    program->replay_finished = [&](const std::string& problem) {
        window.render();
        registrazione.refresh();
        if (!problem.empty()) shell.message_box("Riproduzione interrotta: " + problem, program_title);
    };
    program->after_tick = [&] {
        window.render();
        outputs.refresh();
        control.refresh();
        registrazione.refresh();
    };
    // The receiver options, kept in vadrel.ini.
    gui::OptionsMenu opzioni(program->form(), *window.menuBar(),
                             [&](const OpzioniRicevitore& o) { return program->change_receiver(o); });
    // A change a client of the control interface made shows at once: drawn
    // when the loop is next free, once for a burst of changes.
    QTimer redraw;
    redraw.setSingleShot(true);
    redraw.setInterval(0);
    QObject::connect(&redraw, &QTimer::timeout, &window, [&] {
        opzioni.refresh();
        window.render();
    });
    program->control_target().changed = [&redraw] { redraw.start(); };
    // The AIS targets, in the same menu, kept in vadrel.ini.
    opzioni.menu().addSeparator();
    gui::add_ais_entry(opzioni.menu(), [&] { return program->ais(); },
                       [&](const AisSettings& settings) { return program->change_ais(settings); });

    // A termination signal or the end of --durata: the shut-down, then every
    // event loop ends, also that of a message box waiting for OK.
    const auto end = [&window] {
        window.close();
        QCoreApplication::exit(0);
    };
    QObject::connect(&termination, &SignalWatcher::termination, &window, end);
    QObject::connect(&termination, &SignalWatcher::fix_switch, &window, [&] {
        program->switch_fix_loss();
        opzioni.refresh();
    });
    if (options.durata) QTimer::singleShot(durata_ms(*options.durata), &window, end);

    if (options.registra) {
        if (const std::string why = program->start_recording(*options.registra); !why.empty())
            shell.message_box(why, program_title);
    }
    program->start();
    opzioni.refresh();
    if (options.traccia) {
        if (const std::string why = program->start_tracks(*options.traccia); !why.empty())
            shell.message_box(why, program_title);
    }
    if (options.riproduci) {
        for (const std::string& line : avvisi_registro(log.summary, options.permesso()))
            errors.write_line("vadrel: " + line);
        if (const std::string why = program->start_replay(log, options.velocita, options.ciclo, options.ora_attuale); !why.empty())
            shell.message_box(why, program_title);
    }
    show_ports();
    window.render();
    window.show();
    const ShutDownAtExit display_lost(program, errors);
    app.exec();
    return program->stop() ? 0 : 1;
}

}  // namespace vadrel
