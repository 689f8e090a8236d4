#include "window.h"

#include <QApplication>
#include <QTimer>
#include <iostream>

#include "app/program.h"
#include "app/signals.h"
#include "gui/main_window.h"
#include "gui/window_shell.h"

namespace vadrel {

int run_window(int argc, char** argv, const Options& options) {
    QApplication app(argc, argv);
    gui::WindowShell shell;
    std::unique_ptr<Program> program;
    try {
        program = std::make_unique<Program>(options, shell);
    } catch (const PortFailure& e) {
        shell.message_box(e.what(), program_title);
        return 1;
    }
    for (const std::string& line : program->virtual_ports()) std::cout << line << std::endl;

    gui::MainWindow window(program->form());
    // Closing the window runs the shut-down; the window closes whatever it says.
    window.set_on_close([&] { program->stop(); });
    program->after_tick = [&] { window.render(); };

    SignalWatcher termination;
    QObject::connect(&termination, &SignalWatcher::termination, &window, [&] { window.close(); });
    if (options.durata) {
        QTimer::singleShot(static_cast<int>(*options.durata * 1000.0), &window, [&] { window.close(); });
    }

    program->start();
    window.render();
    window.show();
    app.exec();
    return program->stop() ? 0 : 1;
}

}  // namespace vadrel
