// libFuzzer target for vadrel.ini: whatever the file holds, the values read
// are within their ranges, a file that cannot be used is never written over,
// and one that can reads back the same once saved. The file is written in a
// folder of its own, on tmpfs where there is one, so that the saves' syncs
// cost little (an ordinary disk allows about 50 runs a second).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

#include "settings_check.h"

namespace {

// The folder of the run, removed at its end.
struct ScratchFolder {
    std::string path = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/fuzz-settings-XXXXXX");
    ScratchFolder() {
        if (mkdtemp(path.data()) == nullptr) std::abort();
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

// QSettings' working copy goes to the temporary folder; there too its syncs
// should cost little.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder folder;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string failure = vadrel::fuzzing::check_settings(bytes, folder.path);
    if (!failure.empty()) {
        std::fprintf(stderr, "impostazioni: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
