#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The contact lines are the maker's as CMakeLists.txt gives them; one it
// does not give is said to be missing, never filled with a made-up value.
TEST(About, TheContactLinesComeFromTheProject) {
    std::vector<std::string> lines;
    const std::string text = about_box_text() + "\r\n";
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    ASSERT_EQ(lines.size(), 11u) << text;
    const std::string phone = VADREL_PHONE, web = VADREL_HOMEPAGE_URL;
    EXPECT_EQ(lines[0], VADREL_VENDOR " - Sistemi di navigazione");
    EXPECT_EQ(lines[5], "Tel: " + (phone.empty() ? "nessuno" : phone));
    EXPECT_EQ(lines[7], "E-MAIL: " VADREL_MAINTAINER_EMAIL);
    EXPECT_EQ(lines[10], web.empty() ? "nessun sito: scrivete all'indirizzo qui sopra" : web);
}

}  // namespace
}  // namespace vadrel
