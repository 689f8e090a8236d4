#pragma once
// vadrel with its window.

#include "app/options.h"

namespace vadrel {

// Whether a screen is there to show a window on.
bool display_available();

// Replaces this process with vadrel-finestra from the same folder, with the
// same arguments; returns only when that cannot be done.
void exec_window_program(char** argv);

// Runs the panel in its window until the window is closed; returns the exit
// code: 0 after an orderly shut-down, 1 when vadrel.cnf does not hold the
// table, 2 when the program's folder cannot be used (after a message box).
// When DISPLAY names an X server that does not answer, runs headless
// instead and says why on standard error.
int run_window(int argc, char** argv, const Options& options);

}  // namespace vadrel
