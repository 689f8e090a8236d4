// The payload's bits and their armour at their edges (the literal messages
// of test_messages.cpp check the rest): signed fields in two's complement,
// six-bit text padded with '@', the armour's two ranges of characters and
// the fill bits of the last one.

#include <gtest/gtest.h>

#include "ais/payload.h"
#include "bits.h"

namespace vadrel::ais {
namespace {

TEST(AisPayload, FieldsAsArmouredCharacters) {
    struct Field {
        std::uint32_t value;
        unsigned width;
        bool is_signed;
    };
    const struct Row {
        const char* name;
        std::vector<Field> fields;
        const char* chars;
        int fill;
    } rows[] = {
        {"39 is the last of the first range", {{39, 6, false}}, "W", 0},
        {"40 is the first of the second range", {{40, 6, false}}, "`", 0},
        {"63", {{63, 6, false}}, "w", 0},
        {"one bit fills five", {{1, 1, false}}, "P", 5},
        {"a signed -1 is all ones", {{static_cast<std::uint32_t>(-1), 8, true}}, "wh", 4},
        {"a value wider than its field keeps its low bits", {{0x1FF, 6, false}}, "w", 0},
        {"fields across characters", {{5, 4, false}, {3, 4, false}, {1, 4, false}}, "Di", 0},
        {"the not-available latitude", {{91 * 600000, 27, true}}, "J2@`0", 3},
    };
    for (const Row& row : rows) {
        Payload payload;
        for (const Field& f : row.fields) {
            if (f.is_signed) payload.put_signed(static_cast<std::int32_t>(f.value), f.width);
            else payload.put(f.value, f.width);
        }
        EXPECT_EQ(payload.armoured(), (Payload::Armoured{row.chars, row.fill})) << row.name;
    }
}

TEST(AisPayload, TextIsSixBitPaddedWithAtSigns) {
    const struct Row {
        const char* name;
        const char* text;
        unsigned chars;
        const char* read;  // as a decoder reads it
        std::uint32_t first;
    } rows[] = {
        {"'@' is 0, after the text", "", 7, "", 0},
        {"space is 32", " A", 2, " A", 32},
        {"'?' is 63", "?", 1, "?", 63},
        {"cut at its field's length", "ABCDEFGHIJ", 3, "ABC", 1},
        {"a character outside the set goes as '?'", "a\xC3", 2, "??", 63},
        {"the signs between the letters and the digits", "!\"#$%&'()*+,-./:;<=>[\\]^_", 25,
         "!\"#$%&'()*+,-./:;<=>[\\]^_", 33},
    };
    for (const Row& row : rows) {
        Payload payload;
        payload.put_text(row.text, row.chars);
        ASSERT_EQ(payload.bits(), 6U * row.chars) << row.name;
        const Payload::Armoured armoured = payload.armoured();
        const testing::AisBits read(armoured.chars, armoured.fill);
        EXPECT_EQ(read.text(0, row.chars), row.read) << row.name;
        EXPECT_EQ(read.u(0, 6), row.first) << row.name;
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
