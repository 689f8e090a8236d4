#pragma once
// vadrel without a window: the same start-up and shut-down, the monitor's
// lines on standard output, messages on standard error.

#include "app/options.h"
#include "scenario/scenario.h"

namespace vadrel {

// Runs headless until SIGINT, SIGTERM or the end of --durata; returns the
// exit code: 0 after an orderly shut-down, 1 when vadrel.cnf does not hold the
// table, 2 when the program's folder cannot be used or a file of the command
// line cannot be replayed or written into. With a scenario its events are
// played at their seconds and its duration ends the run in order.
int run_headless(int argc, char** argv, const Options& options, const Scenario* scenario = nullptr);

}  // namespace vadrel
