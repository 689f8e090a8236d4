#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panel/about.h"

namespace vadrel {
namespace {

// The version and the contact lines are the project's as CMake hands them to
// this test, apart from the header the program reads them through; a line
// CMake does not give is said to be missing, never filled with a made-up
// value; no line break after the last line, which would show an empty one.
TEST(About, TheLinesComeFromTheProject) {
    std::vector<std::string> lines;
    const std::string text = about_box_text() + "\r\n";
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    ASSERT_EQ(lines.size(), 11u) << text;
    const std::string phone = VADREL_PHONE, web = VADREL_HOMEPAGE_URL;
    EXPECT_EQ(lines[0], VADREL_VENDOR " - Sistemi di navigazione");
    EXPECT_EQ(lines[1], "vadrel - versione " VADREL_PROJECT_VERSION);
    EXPECT_EQ(lines[5], "Tel: " + (phone.empty() ? "nessuno" : phone));
    EXPECT_EQ(lines[7], "E-MAIL: " VADREL_MAINTAINER_EMAIL);
    EXPECT_EQ(lines[10], web.empty() ? "nessun sito: scrivete all'indirizzo qui sopra" : web);
}

}  // namespace
}  // namespace vadrel
