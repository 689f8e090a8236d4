// vadrel: a GPS simulator writing NMEA 0183 sentences to a serial port.

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/headless.h"
#include "app/line_output.h"
#include "app/options.h"
#include "app/scenario_start.h"
#include "os/signals.h"
#include "app/window.h"
#include "model/utf8.h"
#include "vadrel/version.h"
#include "os/open_files.h"

// Two executables share this file: vadrel, with no window code at all, so
// the headless program stays small, and vadrel-finestra, which adds the
// window. vadrel hands over to vadrel-finestra when a window is wanted.

int main(int argc, char** argv) {
    vadrel::take_over_signals();
    vadrel::route_qt_messages();
    vadrel::raise_open_file_limit();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = vadrel::parse_options(args);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        // The reason may echo a value given.
        std::cerr << "vadrel: " << vadrel::printable(*error, vadrel::LineFeeds::kept) << std::endl;
        return 2;
    }
    const vadrel::Options& options = std::get<vadrel::Options>(parsed);
    if (options.scenario && !options.help && !options.version) {
        // Every key checked before anything opens; the run is headless.
        auto start = vadrel::start_scenario(*options.scenario, args);
        if (const auto* why = std::get_if<std::string>(&start)) {
            std::cerr << "vadrel: " << vadrel::printable(*why, vadrel::LineFeeds::kept) << std::endl;
            return 2;
        }
        const auto& run = std::get<vadrel::ScenarioStart>(start);
        return vadrel::run_headless(argc, argv, run.options, &run.scenario);
    }
    if (options.help) {
        std::cout << vadrel::help_text();
        return 0;
    }
    if (options.version) {
        std::cout << "vadrel " << vadrel::program_version << std::endl;
        return 0;
    }
    if (options.no_window) return vadrel::run_headless(argc, argv, options);
    if (!vadrel::display_available()) {
        std::cerr << "vadrel: nessuno schermo disponibile, funziono senza finestra." << std::endl;
        return vadrel::run_headless(argc, argv, options);
    }
#if defined(VADREL_WINDOW)
    return vadrel::run_window(argc, argv, options);
#elif defined(VADREL_NO_WINDOW)
    // A server build has no window program at all: nothing to look for.
    std::cerr << "vadrel: questa versione non ha la finestra, funziono senza finestra." << std::endl;
    return vadrel::run_headless(argc, argv, options);
#else
    vadrel::exec_window_program(argv);
    std::cerr << "vadrel: il programma con la finestra (vadrel-finestra) non si avvia, "
                 "funziono senza finestra."
              << std::endl;
    return vadrel::run_headless(argc, argv, options);
#endif
}
