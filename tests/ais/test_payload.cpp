// The payload's bits and their armour at their edges (the literal messages
// of test_messages.cpp check the rest), the expected characters worked out
// from the standard's six-bit table: signed fields in two's complement,
// six-bit text padded with '@', the armour's two ranges of characters and
// the fill bits of the last one.

#include <gtest/gtest.h>

#include "ais/payload.h"

namespace vadrel::ais {
namespace {

TEST(AisPayload, FieldsAndTextsAsArmouredCharacters) {
    const struct Row {
        const char* name;
        void (*put)(Payload&);
        const char* chars;
        int fill;
    } rows[] = {
        {"39 is the last of the first range", [](Payload& p) { p.put(39, 6); }, "W", 0},
        {"40 is the first of the second range", [](Payload& p) { p.put(40, 6); }, "`", 0},
        {"one bit fills five", [](Payload& p) { p.put(1, 1); }, "P", 5},
        {"a signed -1 is all ones", [](Payload& p) { p.put_signed(-1, 8); }, "wh", 4},
        {"a value wider than its field keeps its low bits", [](Payload& p) { p.put(0x1FF, 6); }, "w", 0},
        {"the not-available latitude", [](Payload& p) { p.put_signed(91 * 600000, 27); }, "J2@`0", 3},
        {"'@' is 0, after the text", [](Payload& p) { p.put_text("", 7); }, "0000000", 0},
        {"space is 32", [](Payload& p) { p.put_text(" A", 2); }, "P1", 0},
        {"cut at its field's length", [](Payload& p) { p.put_text("ABCDEFGHIJ", 3); }, "123", 0},
        {"a character outside the set goes as '?'", [](Payload& p) { p.put_text("a\xC3", 2); }, "ww", 0},
        {"the signs between the letters and the digits",
         [](Payload& p) { p.put_text("!\"#$%&'()*+,-./:;<=>[\\]^_", 25); }, "QRSTUVW`abcdefgrstuvKLMNO", 0},
    };
    for (const Row& row : rows) {
        Payload payload;
        row.put(payload);
        EXPECT_EQ(payload.armoured(), (Payload::Armoured{row.chars, row.fill})) << row.name;
    }
}

TEST(AisPayload, BitsPastTheLongestMessageAreDropped) {
    Payload payload;
    for (int i = 0; i < 100; ++i) payload.put(0xFFFFFFFFU, 32);
    EXPECT_EQ(payload.bits(), Payload::max_bits);
    EXPECT_EQ(payload.armoured().chars.size(), (Payload::max_bits + 5) / 6);
}

}  // namespace
}  // namespace vadrel::ais
