#include "window.h"

#include <cstdlib>
#include <iostream>

#include "app/headless.h"

namespace vadrel {

bool display_available() {
#ifdef __linux__
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return (x && *x) || (wayland && *wayland) || (platform && *platform);
#else
    return true;
#endif
}

int run_window(int argc, char** argv, const Options& options) {
    // The window comes with the panel's skin; until then the panel runs headless.
    std::cerr << "vadrel: la finestra non è ancora disponibile, funziono senza finestra." << std::endl;
    return run_headless(argc, argv, options);
}

}  // namespace vadrel
