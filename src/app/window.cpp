#include "window.h"

#include <QApplication>
#include <QImageReader>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <unistd.h>
#include <utility>

#include "ais/identity.h"
#include "app/headless.h"
#include "app/line_output.h"
#include "app/program.h"
#include "app/program_panel.h"
#include "app/window_menus.h"
#include "gui/recording_menu.h"
#include "os/signals.h"
#include "gui/main_window.h"
#include "gui/placement.h"
#include "gui/options_menu.h"
#include "gui/tile_image.h"
#include "gui/window_shell.h"

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

void set_up_application() {
    // No picture the window reads is larger than a street tile: Qt refuses
    // to decode one that would take more (a tile's header is checked first).
    QImageReader::setAllocationLimit(gui::tile_allocation_megabytes);
    // The window belongs to the menu entry vadrel.desktop and its icon (the
    // X window class becomes "vadrel" too).
    QApplication::setApplicationName(QStringLiteral("vadrel"));
    QApplication::setDesktopFileName(QStringLiteral("vadrel"));
}

// The log to replay read whole, with progress shown (a termination signal
// or "Annulla" stops the reading); one that cannot be sent as it stands:
// said, shown, and nothing.
std::optional<CheckedLog> checked_log(const std::string& path, LogLeave leave, const bool& ending, LineOutput& errors,
                                      Shell& shell) {
    CheckResult checked = gui::examine_with_progress(path, nullptr, [&ending] { return ending; });
    if (std::holds_alternative<CheckInterrupted>(checked)) {
        errors.write_line("vadrel: lettura del registro " + path + " interrotta");
        errors.write_line("vadrel: niente è stato inviato.");
        return std::nullopt;
    }
    std::vector<std::string> problems;
    if (auto* refused = std::get_if<std::vector<std::string>>(&checked)) {
        problems = std::move(*refused);
    } else {
        const CheckedLog& log = std::get<CheckedLog>(checked);
        problems = log_problems(log.path, log.summary, leave);
    }
    if (problems.empty()) return std::get<CheckedLog>(std::move(checked));
    std::string text;
    for (const std::string& line : problems) {
        errors.write_line("vadrel: " + line);
        text += line + "\n";
    }
    shell.message_box(text + "Niente è stato inviato.", program_title);
    return std::nullopt;
}

// The window over the program: the routes, the street tiles (kept through
// their model), the vehicles' AIS identities and streams, the shut-down on close.
void show_program(gui::MainWindow& window, Program& program, gui::WindowShell& shell) {
    // The help and the message boxes go beside and over it, not at the screen's corner.
    shell.set_main_window(&window);
    window.set_routes(&program.routes());
    // The map keeps its words for why not ("" when kept).
    window.set_tiles(program.tile_settings().value(), [&program, &window](const TileSettings& settings) {
        const Result<> kept = program.tile_settings().change(settings, &window);
        return kept ? std::string() : kept.message();
    });
    window.set_ais([&program](std::size_t n) -> std::optional<AisIdentity> {
        const AisSettings& ais = program.ais();
        if (!ais.enabled || n >= ais.vehicles.size()) return std::nullopt;
        return ais.vehicles[n];
    });
    // Closing the window runs the shut-down; the window closes whatever it says.
    window.set_on_close([&program] { program.stop(); });
    // The map's vehicle: its stream's port (its MMSI comes through set_ais).
    window.set_vehicle_identity([&program](std::size_t n) {
        const auto port = program.network().streams().port_of(n);
        return port ? QStringLiteral("Flusso TCP: porta %1").arg(*port) : QString();
    });
    // The fleet for tracking servers on the map, where its devices are now.
    window.set_tracked_devices([&program] {
        std::vector<gui::DeviceDot> dots;
        for (DeviceState& d : program.fleets().snapshot())
            dots.push_back({std::move(d.id), {d.lat, d.lon}, d.course, d.speed_kmh});
        return dots;
    });
}

// The program's lines: what it says to standard error, its virtual ports'
// paths to standard output, those of the start and those made later.
void tell_on(Program& program, LineOutput& out, LineOutput& errors) {
    program.say = [&errors](const std::string& line) { errors.write_line(line); };
    for (const std::string& line : program.virtual_ports()) out.write_line(line);
    program.virtual_port_made = [&out](const std::string& line) { out.write_line(line); };
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
    set_up_application();
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
    if (options.replay_from) {
        std::optional<CheckedLog> checked = checked_log(*options.replay_from, options.log_leave(), ending, errors, shell);
        if (!checked) {
            QObject::connect(&termination, &SignalWatcher::termination, &app, [] { QCoreApplication::exit(2); });
            return 2;
        }
        log = std::move(*checked);
    }
    auto made = make_program(options, shell);
    if (const auto* refused = std::get_if<StartRefused>(&made)) {
        // A command line's file refused: said, shown, and nothing started;
        // nothing to save yet, so a termination request just closes the message.
        errors.write_line("vadrel: " + refused->message);
        if (refused->status == 2)
            QObject::connect(&termination, &SignalWatcher::termination, &app, [] { QCoreApplication::exit(2); });
        shell.message_box(refused->message, program_title);
        return refused->status;
    }
    std::unique_ptr<Program> program = std::get<std::unique_ptr<Program>>(std::move(made));
    tell_on(*program, out, errors);

    ProgramPanel panel(*program, shell, options);
    gui::MainWindow window(panel.form());
    show_program(window, *program, shell);
    WindowMenus menus(*program, panel.form(), window, shell, ending);
    gui::OptionsMenu& chosen_options = menus.options();

    // A termination signal or the end of --durata: the shut-down, then every
    // event loop ends, also that of a message box waiting for OK.
    const auto end = [&window] {
        window.close();
        QCoreApplication::exit(0);
    };
    QObject::connect(&termination, &SignalWatcher::termination, &window, end);
    QObject::connect(&termination, &SignalWatcher::fix_switch, &window, [&] { program->switch_fix_loss(); });
    if (options.duration) QTimer::singleShot(duration_ms(*options.duration), &window, end);

    // A command line's output that does not start is shown, and the run goes on.
    const auto shown = [&shell](const std::string& message) {
        shell.message_box(message, program_title);
        return true;
    };
    start_program(*program, options, log, {shown, [&] {
                                              panel.started();
                                              chosen_options.refresh();
                                          }});
    menus.show_ports();
    window.render();
    gui::make_room_for_tools(window, QSize(480, 360));  // a map beside the panel, on a small screen too
    window.show();
    // The keyboard to the panel at once: without a window manager nobody
    // else gives it, and Alt+V would wait for a click.
    window.raise();
    window.activateWindow();
    gui::give_keyboard_back(window);
    gui::centre_dialogs_on(window);
    menus.first_start(options);
    const ShutDownAtExit display_lost(program, errors);
    app.exec();
    return program->stop() ? 0 : 1;
}

}  // namespace vadrel
