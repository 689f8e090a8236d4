#include "start_up.h"

#include "app/option_table.h"
#include "app/program.h"
#include "log/nmea_log.h"
#include "os/signals.h"

namespace vadrel {

std::variant<std::unique_ptr<Program>, StartRefused> make_program(const Options& options, Shell& shell) {
    // Checked on the whole command line (a scenario's keys come one by one).
    if (std::string why = fleet_options_problem(options); !why.empty()) return StartRefused{why, 2};
    try {
        // While it is made (the routes of --percorso read), a termination
        // signal ends the program at once; the guard is gone before any
        // message box waits.
        const TerminationDuringStart starting(start_interrupted, start_interrupted_status);
        return std::make_unique<Program>(options, shell);
    } catch (const FolderRefused& e) {
        return StartRefused{e.what(), 2};
    } catch (const OutputRefused& e) {
        return StartRefused{e.what(), 2};
    } catch (const RouteRefused& e) {
        return StartRefused{e.what(), 2};
    } catch (const FleetRefused& e) {
        return StartRefused{e.what(), 2};
    } catch (const PortFailure& e) {
        return StartRefused{e.what(), 1};
    }
}

bool start_program(Program& program, const Options& options, const CheckedLog& log, const StartSteps& steps) {
    Recordings& files = program.recordings();
    if (options.record_to) {
        if (const Result<> done = files.start_recording(*options.record_to); !done && !steps.failed(done.message()))
            return false;
    }
    program.start();
    steps.started();
    const auto stop_unless_going_on = [&](const Result<>& done) {
        if (done || steps.failed(done.message())) return true;
        program.stop();
        return false;
    };
    if (options.track_to && !stop_unless_going_on(files.start_tracks(*options.track_to))) return false;
    steps.ready();
    if (!options.replay_from) return true;
    for (const std::string& line : log_warnings(log.summary, options.log_leave())) program.say("vadrel: " + line);
    return stop_unless_going_on(files.start_replay(log, options.speed, options.loop, options.current_time));
}

}  // namespace vadrel
