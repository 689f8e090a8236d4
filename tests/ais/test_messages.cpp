// The messages and their sentences. Worked examples from the literature
// (gpsd's AIVDM documentation and its sample data) come out byte for byte
// from their decoded fields; the messages whose literal examples carry
// other flags than vadrel's are read back field by field.

#include <gtest/gtest.h>

#include <cstdio>

#include "ais/messages.h"
#include "ais/sentences.h"
#include "bits.h"

namespace vadrel::ais {
namespace {

using testing::AisBits;
using testing::fields_of;

std::vector<std::string> framed(const Payload& payload, char channel, int skip_sequences = 0,
                                 Talker talker = Talker::others) {
    Framer framer;
    std::vector<std::string> out;
    for (int i = 0; i < skip_sequences; ++i) framer.frame(static_and_voyage({}), talker, 'A', out);
    out.clear();
    framer.frame(payload, talker, channel, out);
    return out;
}

AisBits bits_of(const std::vector<std::string>& sentences) {
    std::string chars;
    int fill = 0;
    for (const std::string& s : sentences) {
        const auto f = fields_of(s);
        chars += f.at(5);
        fill = std::stoi(f.at(6));
    }
    return AisBits(chars, fill);
}

// gpsd's worked example of message 1: a moored ship off Seattle.
TEST(AisMessages, TheLiteraturesMessageOneComesOutByteForByte) {
    PositionReport r;
    r.mmsi = 477553000;
    r.status = NavigationalStatus::moored;
    r.rate_of_turn = 0;
    r.speed = 0;
    r.accuracy = false;
    r.longitude = -73407500;  // 122.345833 W
    r.latitude = 28549700;    // 47.582833 N
    r.course = 510;
    r.heading = 181;
    r.second = 15;
    r.manoeuvre = 0;
    r.raim = false;
    r.radio = 149208;
    EXPECT_EQ(framed(class_a_position(r), 'B'),
              std::vector<std::string>{"!AIVDM,1,1,,B,177KQJ5000G?tO`K>RA1wUbN0TKH,0*5C"});
}

// gpsd's worked example of message 5, in two sentences with message id 1.
// Its transponder fills its texts with spaces where vadrel leaves '@'
// (the standard's "not available"): given so, they come out as they were.
TEST(AisMessages, TheLiteraturesMessageFiveComesOutInTwoSentences) {
    StaticData d;
    d.mmsi = 351759000;
    d.ais_version = 0;
    d.imo = 9134270;
    d.call_sign = "3FOF8  ";
    d.name = "EVER DIADEM         ";
    d.ship_type = 70;
    d.dimensions = {225, 70, 1, 31};
    d.epfd = 1;
    d.eta_month = 5;
    d.eta_day = 15;
    d.eta_hour = 14;
    d.eta_minute = 0;
    d.draught = 122;
    d.destination = "NEW YORK            ";
    d.dte_unavailable = false;
    EXPECT_EQ(framed(static_and_voyage(d), 'A', 1),
              (std::vector<std::string>{
                  "!AIVDM,2,1,1,A,55?MbV02;H;s<HtKR20EHE:0@T4@Dn2222222216L961O5Gf0NSQEp6ClRp8,0*1C",
                  "!AIVDM,2,2,1,A,88888888880,2*25"}));
}

// gpsd's sample of message 24 part B (the maker's "1D0", model 12, serial 199796).
TEST(AisMessages, TheLiteraturesMessageTwentyFourPartBComesOutByteForByte) {
    StaticData d;
    d.mmsi = 271041815;
    d.ship_type = 60;
    d.vendor = "1D0";
    d.model = 12;
    d.serial = 199796;
    d.call_sign = "TC6163";
    d.dimensions = {0, 15, 0, 5};
    d.epfd = 0;
    EXPECT_EQ(framed(static_part_b(d), 'A'),
              std::vector<std::string>{"!AIVDM,1,1,,A,H42O55lti4hhhilD3nink000?050,0*40"});
}

// Message 18 of a class B "CS" unit, field by field; the reader is first
// checked on the literature's example (gpsd decodes it so).
TEST(AisMessages, MessageEighteenCarriesTheFieldsAndTheFlagsOfAClassBCsUnit) {
    const AisBits sample("B6CdCm0t3`tba35f@V9faHi7kP06", 0);
    EXPECT_EQ(sample.u(8, 30), 423302100U);
    EXPECT_EQ(sample.s(57, 28), 31806598);
    EXPECT_EQ(sample.s(85, 27), 24003170);
    EXPECT_EQ(sample.u(112, 12), 1770U);
    EXPECT_EQ(sample.u(148, 20), 917510U);

    PositionReport r;
    r.mmsi = 900000007;
    r.speed = 123;
    r.accuracy = true;
    r.longitude = -108000000;  // 180 W
    r.latitude = -54000000;    // 90 S
    r.course = 3599;
    r.heading = 359;
    r.second = 59;
    r.status = NavigationalStatus::moored;  // not in message 18
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

TEST(AisMessages, MessageTwentyFourPartAIsTheNameIn168Bits) {
    StaticData d;
    d.mmsi = 900000003;
    d.name = "MEZZO 3";
    const std::vector<std::string> sentences = framed(static_part_a(d), 'B');
    ASSERT_EQ(sentences.size(), 1U);
    const AisBits b = bits_of(sentences);
    EXPECT_EQ(b.size(), 168U);
    EXPECT_EQ(b.u(0, 6), 24U);
    EXPECT_EQ(b.u(8, 30), 900000003U);
    EXPECT_EQ(b.u(38, 2), 0U) << "part A";
    EXPECT_EQ(b.text(40, 20), "MEZZO 3");
    EXPECT_EQ(b.u(160, 8), 0U);
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

// Every sentence: within 82 characters with its line end, its checksum the
// exclusive or of the characters between '!' and '*', one channel for all
// fragments, the fill bits only on the last one; the sequential id 0 .. 9
// only on messages of more than one sentence, in turn.
TEST(AisSentences, FragmentsAreNumberedChecksummedAndKeptTogether) {
    Framer framer;
    std::vector<std::string> out;
    for (int i = 0; i < 12; ++i) {
        framer.frame(static_and_voyage({}), i % 2 ? Talker::own : Talker::others, i % 2 ? 'B' : 'A', out);
        framer.frame(class_a_position({}), Talker::others, 'A', out);
    }
    ASSERT_EQ(out.size(), 36U);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::string& s = out[i];
        const int message = static_cast<int>(i / 3);
        const int part = static_cast<int>(i % 3);  // 0, 1: message 5; 2: message 1
        EXPECT_LE(s.size() + 2, 82U) << s;
        const std::size_t star = s.find('*');
        ASSERT_EQ(star, s.size() - 3) << s;
        unsigned char sum = 0;
        for (std::size_t c = 1; c < star; ++c) sum ^= static_cast<unsigned char>(s[c]);
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", sum);
        EXPECT_EQ(s.substr(star + 1), hex) << s;
        const auto f = fields_of(s);
        ASSERT_EQ(f.size(), 7U) << s;
        if (part == 2) {
            EXPECT_EQ(f[0] + f[1] + f[2] + f[3] + f[6], "!AIVDM110") << s;
            EXPECT_EQ(f[5].size(), 28U) << s;
            continue;
        }
        EXPECT_EQ(f[0], message % 2 ? "!AIVDO" : "!AIVDM") << s;
        EXPECT_EQ(f[1], "2") << s;
        EXPECT_EQ(f[2], std::to_string(part + 1)) << s;
        EXPECT_EQ(f[3], std::to_string(message % 10)) << s;
        EXPECT_EQ(f[4], message % 2 ? "B" : "A") << s;
        EXPECT_EQ(f[5].size(), part == 0 ? 60U : 11U) << s;
        EXPECT_EQ(f[6], part == 0 ? "0" : "2") << s;
    }
    EXPECT_EQ(framer.next_sequence(), 2);
}

}  // namespace
}  // namespace vadrel::ais
