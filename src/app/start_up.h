#pragma once
// The one start-up sequence of both programs, the window's and the
// headless one: the program made (its files of the command line checked),
// the command line's recording, the start, its GPX tracks and its replay.
// Each program says a failure its own way: a line on standard error and the
// end (headless), or a message box and on (the window).
//
//   auto made = make_program(options, shell);
//   if (auto* refused = std::get_if<StartRefused>(&made)) return refused->status;
//   start_program(*program, options, log, {failed, started, ready});

#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "app/options.h"
#include "log/replay.h"
#include "model/platform.h"

namespace vadrel {

class Program;

// Said when a termination signal ends the program while it starts
// (TerminationDuringStart), and its exit status.
inline constexpr const char* start_interrupted = "vadrel: avvio interrotto da un segnale: niente è stato inviato.";
inline constexpr int start_interrupted_status = 2;

// Why the program cannot be made: what the operator reads and the exit status.
struct StartRefused {
    std::string message;
    int status = 2;
};

// The program as the options say, or why not (a folder or a file of the
// command line refused, a virtual port that cannot be made). A termination
// signal meanwhile ends the process at once.
std::variant<std::unique_ptr<Program>, StartRefused> make_program(const Options& options, Shell& shell);

struct StartSteps {
    // An output of the command line that does not start, in Italian;
    // returns whether the start goes on without it.
    std::function<bool(const std::string& message)> failed;
    // After Program::start, before the command line's tracks.
    std::function<void()> started = [] {};
    // After the tracks, before the replay.
    std::function<void()> ready = [] {};
};

// Starts the program as the options say, with the log checked for
// --riproduci. False when a step failed and `failed` ended the start: the
// program is stopped then, if it had started.
bool start_program(Program& program, const Options& options, const CheckedLog& log, const StartSteps& steps);

}  // namespace vadrel
