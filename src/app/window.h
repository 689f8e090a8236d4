#pragma once
// vadrel with its window.

#include "app/options.h"

namespace vadrel {

// Whether a screen is there to show a window on.
bool display_available();

// Runs the panel in its window until the window is closed; returns the exit
// code: 0 after an orderly shut-down, 1 when the table could not be saved.
int run_window(int argc, char** argv, const Options& options);

}  // namespace vadrel
