// libFuzzer target for a tile server's answers: whatever the bytes, a tile
// is taken at the side asked or refused with its reason, and nothing larger
// than a tile is decoded (tile_check.h).

#include <QGuiApplication>
#include <QImageReader>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tile_check.h"

// Qt's image readers (JPEG and GIF are plugins) need an application; the
// allocation limit is the window program's.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    QImageReader::setAllocationLimit(vadrel::gui::tile_allocation_megabytes);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string failure =
        vadrel::fuzzing::check_tile(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!failure.empty()) {
        std::fprintf(stderr, "tile: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
