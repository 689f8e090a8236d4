// The messages and their sentences. Worked examples from the literature
// (gpsd's AIVDM documentation and its sample data) come out byte for byte
// from their decoded fields; the messages whose literal examples carry
// other flags than vadrel's are read back field by field.

#include <gtest/gtest.h>

#include "ais/messages.h"
#include "ais/sentences.h"
#include "bits.h"

namespace vadrel::ais {
namespace {

using testing::AisBits;

std::vector<std::string> framed(const Payload& payload, char channel, int skip_sequences = 0,
                                 Talker talker = Talker::others) {
    Framer framer;
    std::vector<std::string> out;
    for (int i = 0; i < skip_sequences; ++i) framer.frame(static_and_voyage({}), talker, 'A', out);
    out.clear();
    framer.frame(payload, talker, channel, out);
    return out;
}

AisBits bits_of(const std::vector<std::string>& sentences) { return testing::messages_of(sentences).at(0).bits; }

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

// Message 18 of a class B "CS" unit, field by field (the status is not in it).
TEST(AisMessages, MessageEighteenCarriesTheFieldsAndTheFlagsOfAClassBCsUnit) {
    const PositionReport r{.mmsi = 900000007, .status = NavigationalStatus::moored, .speed = 123, .accuracy = true,
                           .longitude = -108000000, .latitude = -54000000, .course = 3599, .heading = 359,
                           .second = 59};
    const AisBits b = bits_of(framed(class_b_position(r), 'A'));
    const struct {
        const char* field;
        std::size_t start, width;
        std::int64_t expected;
        bool is_signed;
    } rows[] = {
        {"message", 0, 6, 18, false},       {"repeat", 6, 2, 0, false},
        {"mmsi", 8, 30, 900000007, false},  {"regional", 38, 8, 0, false},
        {"speed", 46, 10, 123, false},      {"accuracy", 56, 1, 1, false},
        {"longitude", 57, 28, -108000000, true}, {"latitude", 85, 27, -54000000, true},
        {"course", 112, 12, 3599, false},   {"heading", 124, 9, 359, false},
        {"second", 133, 6, 59, false},      {"regional 2", 139, 2, 0, false},
        {"unit CS", 141, 1, 1, false},      {"display", 142, 1, 0, false},
        {"DSC", 143, 1, 0, false},          {"band", 144, 1, 1, false},
        {"message 22", 145, 1, 1, false},   {"assigned", 146, 1, 0, false},
        {"RAIM", 147, 1, 0, false},         {"ITDMA selector", 148, 1, 1, false},
        {"radio", 149, 19, 0b1100000000000000110, false},
    };
    EXPECT_EQ(b.size(), 168U);
    for (const auto& row : rows) {
        const std::int64_t got = row.is_signed ? std::int64_t{b.s(row.start, row.width)} : std::int64_t{b.u(row.start, row.width)};
        EXPECT_EQ(got, row.expected) << row.field;
    }
}

// The "not available" values of every field, where nothing is known.
TEST(AisMessages, AnEmptyReportSaysEveryFieldIsNotAvailable) {
    const AisBits b = bits_of(framed(class_a_position({}), 'A'));
    EXPECT_EQ(b.s(42, 8), -128) << "rate of turn";
    EXPECT_EQ(b.u(50, 10), 1023U) << "speed";
    EXPECT_EQ(b.s(61, 28), 181 * 600000) << "longitude";
    EXPECT_EQ(b.s(89, 27), 91 * 600000) << "latitude";
    EXPECT_EQ(b.u(116, 12), 3600U) << "course";
    EXPECT_EQ(b.u(128, 9), 511U) << "heading";
    EXPECT_EQ(b.u(137, 6), 60U) << "second";
    const AisBits s = bits_of(framed(static_and_voyage({}), 'A'));
    EXPECT_EQ(s.size(), 424U);
    EXPECT_EQ(s.u(38, 2), 2U) << "AIS version: M.1371-5";
    EXPECT_EQ(s.u(274, 20), (0U << 16) | (0U << 11) | (24U << 6) | 60U) << "ETA";
    EXPECT_EQ(s.u(422, 1), 1U) << "DTE not available";
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

}  // namespace
}  // namespace vadrel::ais
