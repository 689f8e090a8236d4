#include <gtest/gtest.h>

#include "panel/about.h"

namespace vadrel {
namespace {

// Its second line names the version of the project, which CMake hands to this
// test apart from the header the program reads it through; no line break after
// the last line, which would show an empty one.
TEST(About, TheSecondLineHasTheProjectsVersion) {
    const std::string text = about_box_text();
    const std::string second = "\r\nvadrel - versione " VADREL_PROJECT_VERSION "\r\n";
    EXPECT_EQ(text.substr(text.find("\r\n"), second.size()), second) << text;
    EXPECT_NE(text.substr(text.size() - 2), "\r\n");
}

}  // namespace
}  // namespace vadrel
