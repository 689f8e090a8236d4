// The messages and their sentences. Worked examples from the literature
// (gpsd's AIVDM documentation and its sample data) come out byte for byte
// from their decoded fields; so do the messages whose literal examples
// carry other flags than vadrel's, as gpsd 3.22 decodes them.

#include <gtest/gtest.h>

#include <tuple>

#include "ais/messages.h"
#include "ais/payload.h"
#include "ais/sentences.h"

namespace vadrel::ais {
namespace {

std::vector<std::string> framed(const Payload& payload, char channel, int skip_sequences = 0,
                                 Talker talker = Talker::others) {
    Framer framer;
    std::vector<std::string> out;
    for (int i = 0; i < skip_sequences; ++i) framer.frame(static_and_voyage({}), talker, 'A', out);
    out.clear();
    framer.frame(payload, talker, channel, out);
    return out;
}

// gpsd's worked example of message 1: a moored ship off Seattle, at
// 122.345833 W 47.582833 N.
TEST(AisMessages, TheLiteraturesMessageOneComesOutByteForByte) {
    const PositionReport r{.mmsi = 477553000, .status = NavigationalStatus::moored, .rate_of_turn = 0, .speed = 0,
                           .longitude = -73407500, .latitude = 28549700, .course = 510, .heading = 181,
                           .second = 15, .radio = 149208};
    EXPECT_EQ(framed(class_a_position(r), 'B'),
              std::vector<std::string>{"!AIVDM,1,1,,B,177KQJ5000G?tO`K>RA1wUbN0TKH,0*5C"});
}

// gpsd's worked example of message 5, in two sentences with message id 1.
// Its transponder fills its texts with spaces where vadrel leaves '@'
// (the standard's "not available"): given so, they come out as they were.
TEST(AisMessages, TheLiteraturesMessageFiveComesOutInTwoSentences) {
    const StaticData d{.mmsi = 351759000, .ais_version = 0, .imo = 9134270, .call_sign = "3FOF8  ",
                       .name = "EVER DIADEM         ", .ship_type = 70, .dimensions = {225, 70, 1, 31},
                       .eta_month = 5, .eta_day = 15, .eta_hour = 14, .eta_minute = 0, .draught = 122,
                       .destination = "NEW YORK            ", .dte_unavailable = false};
    EXPECT_EQ(framed(static_and_voyage(d), 'A', 1),
              (std::vector<std::string>{
                  "!AIVDM,2,1,1,A,55?MbV02;H;s<HtKR20EHE:0@T4@Dn2222222216L961O5Gf0NSQEp6ClRp8,0*1C",
                  "!AIVDM,2,2,1,A,88888888880,2*25"}));
}

// gpsd's sample of message 24 part B (the maker's "1D0", model 12, serial 199796).
TEST(AisMessages, TheLiteraturesMessageTwentyFourPartBComesOutByteForByte) {
    const StaticData d{.mmsi = 271041815, .call_sign = "TC6163", .name = "", .ship_type = 60,
                       .dimensions = {0, 15, 0, 5}, .epfd = 0, .destination = "", .vendor = "1D0", .model = 12,
                       .serial = 199796};
    EXPECT_EQ(framed(static_part_b(d), 'A'),
              std::vector<std::string>{"!AIVDM,1,1,,A,H42O55lti4hhhilD3nink000?050,0*40"});
}

// Message 18 of a class B "CS" unit (the status is not in it), as gpsd
// reads it: unit CS, no display, no DSC, the whole band, message 22, not
// assigned, no RAIM, radio 917510 (the ITDMA selector, then
// 1100000000000000110). Then messages 1 and 5 of nothing known: gpsd reads
// every field as not available (rate of turn -128, speed 1023, 181 E 91 N,
// course 3600, heading 511, second 60; AIS version 2, EPFD GPS, ETA
// 00-00T24:60, DTE 1).
TEST(AisMessages, ClassBAndNotAvailableFieldsComeOutByteForByte) {
    const PositionReport r{.mmsi = 900000007, .status = NavigationalStatus::moored, .speed = 123, .accuracy = true,
                           .longitude = -108000000, .latitude = -54000000, .course = 3599, .heading = 359,
                           .second = 59};
    EXPECT_EQ(framed(class_b_position(r), 'A'),
              std::vector<std::string>{"!AIVDM,1,1,,A,B=JCa1h0Ntj0J0C81`3PvkuTkP06,0*0A"});
    EXPECT_EQ(framed(class_a_position({}), 'A'),
              std::vector<std::string>{"!AIVDM,1,1,,A,100000?P?w<tSF0l4Q@>4?wp0000,0*16"});
    EXPECT_EQ(framed(static_and_voyage({}), 'A'),
              (std::vector<std::string>{
                  "!AIVDM,2,1,0,A,50000080000000000000000000000000000000000000040Ht00000000000,0*20",
                  "!AIVDM,2,2,0,A,00000000008,2*2C"}));
}

// The sequential id 0 .. 9, in turn, only on messages of more than one
// sentence; the talker and the channel asked on every fragment. (The
// examples above fix the fragments' length, fill bits and checksums.)
TEST(AisSentences, MessagesOfTwoSentencesTakeTheSequentialIdsInTurn) {
    Framer framer;
    std::vector<std::string> out;
    for (int i = 0; i < 12; ++i) {
        framer.frame(static_and_voyage({}), i % 2 ? Talker::own : Talker::others, i % 2 ? 'B' : 'A', out);
        framer.frame(class_a_position({}), Talker::others, 'A', out);
    }
    ASSERT_EQ(out.size(), 36U);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t message = i / 3;
        const std::string head = i % 3 == 2 ? std::string("!AIVDM,1,1,,A,")
                                            : (message % 2 ? "!AIVDO,2," : "!AIVDM,2,") + std::to_string(i % 3 + 1) +
                                                  "," + std::to_string(message % 10) + (message % 2 ? ",B," : ",A,");
        EXPECT_EQ(out[i].substr(0, head.size()), head) << i;
    }
    EXPECT_EQ(framer.next_sequence(), 2);
}

// The payload's bits and their armour at their edges, the expected
// characters worked out from the standard's six-bit table: the armour's two
// ranges of characters, the fill bits of the last one, values cut to their
// field. The literal messages above check the rest (signed fields, texts
// padded with '@').
TEST(AisPayload, FieldsAndTextsAsArmouredCharacters) {
    // what, what is put, the armoured characters, the fill bits
    const std::tuple<const char*, void (*)(Payload&), const char*, int> rows[] = {
        {"39 is the last of the first range", [](Payload& p) { p.put(39, 6); }, "W", 0},
        {"40 is the first of the second range", [](Payload& p) { p.put(40, 6); }, "`", 0},
        {"one bit fills five", [](Payload& p) { p.put(1, 1); }, "P", 5},
        {"a value wider than its field keeps its low bits", [](Payload& p) { p.put(0x1FF, 6); }, "w", 0},
        {"cut at its field's length", [](Payload& p) { p.put_text("ABCDEFGHIJ", 3); }, "123", 0},
        {"a character outside the set goes as '?'", [](Payload& p) { p.put_text("a\xC3", 2); }, "ww", 0},
        {"the signs between the letters and the digits",
         [](Payload& p) { p.put_text("!\"#$%&'()*+,-./:;<=>[\\]^_", 25); }, "QRSTUVW`abcdefgrstuvKLMNO", 0},
    };
    for (const auto& [name, put, chars, fill] : rows) {
        Payload payload;
        put(payload);
        EXPECT_EQ(payload.armoured(), (Payload::Armoured{chars, fill})) << name;
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
