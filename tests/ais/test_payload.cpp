// The payload's bits and their armour at their edges, the expected
// characters worked out from the standard's six-bit table: the armour's two
// ranges of characters, the fill bits of the last one, values cut to their
// field. The literal messages of test_messages.cpp check the rest (signed
// fields, texts padded with '@').

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
        {"a value wider than its field keeps its low bits", [](Payload& p) { p.put(0x1FF, 6); }, "w", 0},
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
