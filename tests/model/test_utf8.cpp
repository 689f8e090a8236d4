#include <gtest/gtest.h>

#include "model/utf8.h"

namespace vadrel {
namespace {

// Each byte that starts no well-formed sequence is one U+FFFD, so no byte
// sequence passes for a character it does not encode.
TEST(Utf8, OnlyWellFormedSequencesAreCharacters) {
    const struct {
        const char* name;
        std::string bytes;
        std::u32string points;
    } rows[] = {
        {"one to four bytes", "a\xC2\xB0\xE2\x80\xB3\xF0\x9F\x9A\xA2", U"a°″🚢"},
        {"the highest code point", "\xF4\x8F\xBF\xBF", U"\U0010FFFF"},
        {"overlong 0", "\xC0\xB0", U"\uFFFD\uFFFD"},
        {"overlong in three bytes", "\xE0\x80\xB0", U"\uFFFD\uFFFD\uFFFD"},
        {"overlong in four bytes", "\xF0\x80\x80\xB0", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"a surrogate", "\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"cut short", "4\xC3", U"4\uFFFD"},
        {"a lone continuation byte", "\x80" "5", U"\uFFFD" "5"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(code_points(r.bytes), r.points) << r.name;
        EXPECT_EQ(is_utf8(r.bytes), r.points.find(U'\uFFFD') == std::u32string::npos) << r.name;
        if (is_utf8(r.bytes)) {
            EXPECT_EQ(utf8(r.points), r.bytes) << r.name;
        }
    }
}

}  // namespace
}  // namespace vadrel
