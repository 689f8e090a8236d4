#include "headless.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdlib>
#include <optional>
#include <unistd.h>

#include "app/line_output.h"
#include "app/program.h"
#include "app/scenario_run.h"
#include "model/controls.h"
#include "os/signals.h"

namespace vadrel {

namespace {

// Message boxes become lines on standard error.
class HeadlessShell : public Shell {
public:
    explicit HeadlessShell(LineOutput& errors) : errors_(errors) {}
    void message_box(const std::string& text, const std::string& caption) override {
        errors_.write_line(caption + ": " + text);
    }
    void run_pending_events() override { QCoreApplication::processEvents(); }
    [[noreturn]] void end_program_now(const std::string& reason) override {
        errors_.write_line("vadrel: errore imprevisto (" + reason + "); il programma termina senza salvare.");
        std::_Exit(1);
    }

private:
    LineOutput& errors_;
};

// The monitor's lines on standard output, as the transmitter hands them
// over, each second's text split into the lines the panel's monitor shows. A
// reader that does not take them loses them; how many is said on standard
// error when lines flow again and at the end, not at every tick.
class MonitorOutput : public TransmitterView {
public:
    MonitorOutput(LineOutput& lines, LineOutput& errors) : lines_(lines), errors_(errors) {}
    ~MonitorOutput() override { report(); }
    MonitorOutput(const MonitorOutput&) = delete;
    MonitorOutput& operator=(const MonitorOutput&) = delete;

    void second_shown(const std::string& text, bool /*replayed*/) override { write(readable_lines(text)); }

    void write(const std::vector<std::string>& fresh) {
        bool went_out = false;
        for (const std::string& line : fresh) went_out = lines_.write_line(line) || went_out;
        if (went_out) report();
        if (lines_.closed() && !closed_said_) {
            closed_said_ = true;
            errors_.write_line("vadrel: lo standard output è chiuso: le righe del monitor non vengono più scritte");
        }
    }

private:
    void report() {
        if (lines_.dropped() == reported_) return;
        reported_ = lines_.dropped();
        errors_.write_line("vadrel: " + std::to_string(reported_) +
                           " righe del monitor scartate in tutto: lo standard output non le riceveva");
    }

    LineOutput& lines_;
    LineOutput& errors_;
    long long reported_ = 0;
    bool closed_said_ = false;
};

// Reads the log to replay whole; a termination signal stops the reading at
// once. Says why it cannot be replayed with this leave, and returns nothing.
std::optional<CheckedLog> check_log(const std::string& path, LogLeave leave, SignalWatcher& termination,
                                    LineOutput& errors) {
    bool ended = false;
    const QMetaObject::Connection end =
        QObject::connect(&termination, &SignalWatcher::termination, [&ended] { ended = true; });
    CheckResult checked = examine_log_file(path, [&ended](double) {
        QCoreApplication::processEvents();
        return !ended;
    });
    QObject::disconnect(end);
    std::vector<std::string> problems;
    if (std::holds_alternative<CheckInterrupted>(checked)) {
        problems.push_back("lettura del registro " + path + " interrotta");
    } else if (auto* refused = std::get_if<std::vector<std::string>>(&checked)) {
        problems = std::move(*refused);
    } else {
        const CheckedLog& log = std::get<CheckedLog>(checked);
        problems = log_problems(path, log.summary, leave);
    }
    if (problems.empty()) return std::get<CheckedLog>(std::move(checked));
    for (const std::string& line : problems) errors.write_line("vadrel: " + line);
    errors.write_line("vadrel: niente è stato inviato.");
    return std::nullopt;
}

}  // namespace

int run_headless(int argc, char** argv, const Options& options, const Scenario* scenario) {
    QCoreApplication app(argc, argv);
    SignalWatcher termination;
    LineOutput out(STDOUT_FILENO, 0);
    LineOutput errors(STDERR_FILENO, standard_error_backlog);
    HeadlessShell shell(errors);

    // A log to replay is read whole first: one that cannot be sent as it
    // stands is refused before any port is opened or anything is sent.
    CheckedLog log;
    if (options.replay_from) {
        std::optional<CheckedLog> checked = check_log(*options.replay_from, options.log_leave(), termination, errors);
        if (!checked) return 2;
        log = std::move(*checked);
    }

    // From here to the event loop, a termination signal ends the program at
    // once: the routes' reading (of --percorso and of the kept ones) does
    // not hold it.
    std::optional<TerminationDuringStart> starting(std::in_place, start_interrupted, start_interrupted_status);
    auto made = make_program(options, shell);
    if (const auto* refused = std::get_if<StartRefused>(&made)) {
        errors.write_line("vadrel: " + refused->message);
        return refused->status;
    }
    std::unique_ptr<Program> program = std::get<std::unique_ptr<Program>>(std::move(made));
    program->say = [&errors](const std::string& line) { errors.write_line(line); };
    MonitorOutput monitor_output(out, errors);
    monitor_output.write(program->virtual_ports());
    program->transmitter().add_view(monitor_output);
    struct Leave {
        Transmitter& transmitter;
        TransmitterView& view;
        ~Leave() { transmitter.remove_view(view); }
    } leave{program->transmitter(), monitor_output};

    long long skipped = 0;
    program->after_tick = [&] {
        if (program->transmitter().skipped_writes() != skipped) {
            skipped = program->transmitter().skipped_writes();
            errors.write_line("vadrel: scrittura saltata, la linea era ancora occupata (" +
                              std::to_string(skipped) + " in tutto)");
        }
    };

    // Both ends leave the event loop; the shut-down follows it.
    QObject::connect(&termination, &SignalWatcher::termination, &app, &QCoreApplication::quit);
    QObject::connect(&termination, &SignalWatcher::fix_switch, program.get(), &Program::switch_fix_loss);
    if (options.duration) QTimer::singleShot(duration_ms(*options.duration), &app, &QCoreApplication::quit);

    program->scenario().marked = [&monitor_output](const std::string& line) { monitor_output.write({line}); };
    program->scenario().ended = [&app] { app.quit(); };
    if (scenario != nullptr) program->scenario().play(*scenario);

    bool replay_whole = true;
    // A command line's output that does not start ends the run.
    const auto fatal = [&errors](const std::string& message) {
        errors.write_line("vadrel: " + message);
        return false;
    };
    const auto ready = [&] {
        // Started: from the line that says so, a termination signal waits
        // for the event loop and ends the program in order.
        starting.reset();
        const Link& link = program->link();
        errors.write_line("vadrel: porta " + link.caption() + ", " + line_settings_text(link.baud()));
        // The run ends in order when the replay ends, whole or not.
        program->replay_finished = [&app, &replay_whole](const std::string& problem) {
            replay_whole = problem.empty();
            app.quit();
        };
    };
    if (!start_program(*program, options, log, {fatal, [] {}, ready})) return 2;
    if (options.replay_from) {
        errors.write_line("vadrel: riproduzione di " + *options.replay_from + ": " + std::to_string(log.summary.ticks) +
                          (log.summary.ticks == 1 ? " secondo" : " secondi"));
    }
    app.exec();
    return program->stop() && replay_whole ? 0 : 1;
}

}  // namespace vadrel
