#include "headless.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdlib>
#include <iostream>

#include "app/program.h"
#include "app/signals.h"

namespace vadrel {

namespace {

// Message boxes become lines on standard error.
class HeadlessShell : public Shell {
public:
    void message_box(const std::string& text, const std::string& caption) override {
        std::cerr << caption << ": " << text << std::endl;
    }
    void run_pending_events() override { QCoreApplication::processEvents(); }
    [[noreturn]] void end_program_now(const std::string& reason) override {
        std::cerr << "vadrel: errore imprevisto (" << reason
                  << "); il programma termina senza salvare." << std::endl;
        std::_Exit(1);
    }
};

// Follows the monitor box and hands out the lines printed since the last call.
class MonitorFollower {
public:
    explicit MonitorFollower(const PictureBox& monitor) : monitor_(monitor) {}

    std::vector<std::string> new_lines() {
        const auto& lines = monitor_.lines();
        // a clear puts the print position back at the top
        if (monitor_.current_y() < last_y_ || lines.size() < seen_) seen_ = 0;
        std::vector<std::string> fresh(lines.begin() + static_cast<std::ptrdiff_t>(seen_),
                                       lines.end());
        seen_ = lines.size();
        last_y_ = monitor_.current_y();
        return fresh;
    }

private:
    const PictureBox& monitor_;
    std::size_t seen_ = 0;
    int last_y_ = 0;
};

}  // namespace

int run_headless(int argc, char** argv, const Options& options) {
    QCoreApplication app(argc, argv);
    SignalWatcher termination;
    HeadlessShell shell;

    std::unique_ptr<Program> program;
    try {
        program = std::make_unique<Program>(options, shell);
    } catch (const PortFailure& e) {
        std::cerr << "vadrel: " << e.what() << std::endl;
        return 1;
    }
    for (const std::string& line : program->virtual_ports()) std::cout << line << std::endl;

    MonitorFollower monitor(program->form().Picture1);
    long long saltate = 0;
    program->after_tick = [&] {
        for (const std::string& line : monitor.new_lines()) std::cout << line << '\n';
        std::cout.flush();
        if (program->form().scritture_saltate != saltate) {
            saltate = program->form().scritture_saltate;
            std::cerr << "vadrel: scrittura saltata, la linea era ancora occupata (" << saltate
                      << " in tutto)" << std::endl;
        }
    };

    // Both ends leave the event loop; the shut-down follows it.
    QObject::connect(&termination, &SignalWatcher::termination, &app, &QCoreApplication::quit);
    if (options.durata) {
        QTimer::singleShot(static_cast<int>(*options.durata * 1000.0), &app, &QCoreApplication::quit);
    }

    program->start();
    const Form1& form = program->form();
    std::cerr << "vadrel: porta " << form.Label11.caption() << ", " << form.platform.port.settings()
              << std::endl;
    app.exec();
    return program->stop() ? 0 : 1;
}

}  // namespace vadrel
