#include <gtest/gtest.h>

#include "panel/about.h"

namespace vadrel {
namespace {

// Eleven lines joined by CR LF (one after the last would make a twelfth,
// empty); the second names the version of the project, which CMake hands to
// this test apart from the header the program reads it through.
TEST(About, ElevenLinesTheSecondWithTheProjectsVersion) {
    const std::string text = testo_about();
    std::vector<std::string> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    ASSERT_EQ(lines.size(), 11u) << text;
    EXPECT_EQ(lines[1], "vadrel - versione " VADREL_PROJECT_VERSION);
}

}  // namespace
}  // namespace vadrel
