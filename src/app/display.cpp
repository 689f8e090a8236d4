#include <cstdlib>
#include <string>

#include "app/window.h"

#ifdef __linux__
#include <climits>
#include <unistd.h>
#endif

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

void exec_window_program(char** argv) {
#ifdef __linux__
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return;
    std::string path(self, static_cast<std::size_t>(n));
    path = path.substr(0, path.rfind('/') + 1) + "vadrel-finestra";
    execv(path.c_str(), argv);
#else
    (void)argv;
#endif
}

}  // namespace vadrel
