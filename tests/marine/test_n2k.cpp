// NMEA 2000: each PGN's bytes for known values (the lines were read back by
// canboat's decoder, tests/marine/n2k_decoder.py, before they were fixed
// here), the plain text line, and the messages of one moment.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "marine/n2k_builder.h"
#include "marine/n2k_messages.h"
#include "n2k_examples.h"

namespace vadrel {
namespace {

using testing::report_of;

constexpr std::int64_t moment_ms = 1796637600000;  // 2026-12-07T10:00:00.000Z

std::string bytes_of(const n2k::Message& message) {
    std::string out;
    for (const std::uint8_t byte : message.data) {
        char hex[4];
        std::snprintf(hex, sizeof hex, out.empty() ? "%02x" : ",%02x", unsigned{byte});
        out += hex;
    }
    return out;
}

// Columns: row name, the message, its PGN, priority and data bytes.
using ByteRow = std::tuple<const char*, n2k::Message, std::uint32_t, int, const char*>;

std::vector<ByteRow> byte_rows() {
    const ais::StaticData data = testing::static_example();
    return {
        {"position", n2k::position_rapid(44.0113117, 10.1284783), 129025, 2,
         "dd,97,3b,1a,af,7b,09,06"},
        {"position south west", n2k::position_rapid(-33.8568, -151.2153), 129025, 2,
         "c0,dc,d1,eb,58,60,de,a5"},
        {"cog sog", n2k::cog_sog_rapid(7, 45.3, 12.0), 129026, 2,
         "07,fc,e2,1e,69,02,ff,ff"},
        {"cog sog not available", n2k::cog_sog_rapid(8, std::nullopt, std::nullopt), 129026, 2,
         "08,fc,ff,ff,ff,ff,ff,ff"},
        {"cog a hair under 360", n2k::cog_sog_rapid(9, 359.999, 0.0), 129026, 2,
         "09,fc,00,00,00,00,ff,ff"},
        {"gnss", n2k::gnss_position(10, {moment_ms + 250, 44.01131172, -10.12847831, 254.5, true, 7, 1.0, 1.8}), 129029, 3,
         "0a,3a,51,c4,33,75,15,1c,24,b2,5b,8c,98,1b,06,fc,08,2c,c2,06,2a,98,fe,a0,5c,2b,0f,00,00,00,00,10,"
             "fc,07,64,00,b4,00,ff,ff,ff,7f,00"},
        {"heading", n2k::vessel_heading(12, 90.0), 127250, 2,
         "0c,5c,3d,ff,7f,ff,7f,fc"},
        {"heading with deviation and variation", n2k::vessel_heading(12, 45.0, -2.0, 3.5), 127250, 2,
         "0c,ae,1e,a3,fe,63,02,fc"},
        {"wind apparent", n2k::wind_data(13, 18.03, 303.7, n2k::WindReference::apparent), 130306, 2,
         "0d,a0,03,0e,cf,fa,ff,ff"},
        {"wind true to the bow", n2k::wind_data(13, 15.0, 270.0, n2k::WindReference::true_boat), 130306, 2,
         "0d,04,03,14,b8,fb,ff,ff"},
        {"depth", n2k::water_depth(14, 12.5, 0.5), 128267, 3,
         "0e,e2,04,00,00,f4,01,ff"},
        {"depth to the keel", n2k::water_depth(14, 3.21, -1.1), 128267, 3,
         "0e,41,01,00,00,b4,fb,ff"},
        {"water speed", n2k::water_speed(15, 10.0), 128259, 2,
         "0f,02,02,ff,ff,00,ff,ff"},
        {"water temperature", n2k::water_temperature(16, 14.0), 130316, 5,
         "10,00,00,ae,61,04,ff,ff"},
        {"water temperature below freezing", n2k::water_temperature(16, -1.8), 130316, 5,
         "10,00,00,f6,23,04,ff,ff"},
        // Beyond a field's range: the angle turned into 0..360, the rest held at the largest valid value.
        {"course west of north, speed too high", n2k::cog_sog_rapid(1, -90.0, 2000.0), 129026, 2,
         "01,fc,14,b8,fc,ff,ff,ff"},
        {"depth below zero, offset too far", n2k::water_depth(2, -3.0, 40.0), 128267, 3, "02,00,00,00,00,fc,7f,ff"},
        {"ais class a", n2k::ais_position({AisClass::a, report_of(247123450), 'B', false}), 129038, 4,
         "01,fa,cd,ba,0e,a8,9f,21,5a,80,08,d2,eb,79,b2,88,79,02,00,00,08,5b,88,ff,7f,c0,f8,ff"},
        {"ais class a own ship", n2k::ais_position({AisClass::a, report_of(247000001), 'A', true}), 129038, 4,
         "01,c1,eb,b8,0e,a8,9f,21,5a,80,08,d2,eb,79,b2,88,79,02,00,00,10,5b,88,ff,7f,c0,f8,ff"},
        {"ais class b", n2k::ais_position({AisClass::b, report_of(247123451), 'A', false}), 129039, 4,
         "12,fb,cd,ba,0e,a8,9f,21,5a,80,08,d2,eb,79,b2,88,79,02,06,00,06,5b,88,00,64,ff,ff"},
        {"ais static", n2k::ais_static({AisClass::a, data, 'A', false}, moment_ms), 129794, 6,
         "05,fa,cd,ba,0e,29,78,8a,00,49,41,42,43,40,40,40,4e,41,56,45,20,43,49,54,54,41,40,40,40,40,40,40,"
             "40,40,40,40,3c,b0,04,78,00,46,00,e8,03,4b,51,80,5a,b2,27,5e,01,47,45,4e,4f,56,41,40,40,40,40,40,"
             "40,40,40,40,40,40,40,40,40,c6,e0"},
        {"ais class b name", n2k::ais_static_name({AisClass::b, data, 'B', false}), 129809, 6,
         "18,fa,cd,ba,0e,4e,41,56,45,20,43,49,54,54,41,40,40,40,40,40,40,40,40,40,40,e1,ff"},
        {"ais class b type", n2k::ais_static_type({AisClass::b, data, 'A', false}), 129810, 6,
         "18,fa,cd,ba,0e,3c,56,44,52,40,40,40,40,49,41,42,43,40,40,40,b0,04,78,00,46,00,e8,03,ff,ff,ff,ff,13,e0,ff"},
    };
}

TEST(N2kMessages, BytesOfKnownValues) {
    for (const auto& [name, message, pgn, priority, bytes] : byte_rows()) {
        SCOPED_TRACE(name);
        EXPECT_EQ(message.pgn, pgn);
        EXPECT_EQ(message.priority, priority);
        EXPECT_EQ(bytes_of(message), bytes);
    }
}

TEST(N2kMessages, PlainLine) {
    // Columns: row name, the instant, the message, the line.
    const std::vector<std::tuple<const char*, std::int64_t, n2k::Message, const char*>> rows{
        {"wind, as canboat's own example", 1489366800146,
         n2k::wind_data(255, 10.0 * 3600.0 / 1852.0, 180.0 / 3.14159265358979323846, n2k::WindReference::apparent),
         "2017-03-13T01:00:00.146Z,2,130306,1,255,8,ff,e8,03,10,27,fa,ff,ff"},
        {"milliseconds kept", moment_ms + 999, n2k::position_rapid(0.0, 0.0),
         "2026-12-07T10:00:00.999Z,2,129025,1,255,8,00,00,00,00,00,00,00,00"},
        {"a fast packet whole", moment_ms, n2k::gnss_position(0, {moment_ms, {}, {}, {}, false, 0, {}, {}}),
"2026-12-07T10:00:00.000Z,3,129029,1,255,43,00,3a,51,00,2a,75,15,ff,ff,ff,ff,ff,ff,ff,7f,ff,ff,ff,ff,ff,ff,"
         "ff,7f,ff,ff,ff,ff,ff,ff,ff,7f,00,fc,00,ff,7f,ff,7f,ff,ff,ff,7f,00"},
    };
    for (const auto& [name, at, message, line] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(n2k::plain_line(message, at), line);
    }
}

// The PGNs of a moment's lines, in order.
std::vector<std::uint32_t> pgns_of(const std::vector<std::string>& lines) {
    std::vector<std::uint32_t> out;
    for (const std::string& line : lines) {
        const std::size_t first = line.find(',', line.find(',') + 1);
        out.push_back(static_cast<std::uint32_t>(std::stoul(line.substr(first + 1))));
    }
    return out;
}

// The data byte `index` of a line.
unsigned byte_of(const std::string& line, std::size_t index) {
    std::size_t at = 0;
    for (int comma = 0; comma < 6 + static_cast<int>(index); ++comma) at = line.find(',', at) + 1;
    return static_cast<unsigned>(std::stoul(line.substr(at, 2), nullptr, 16));
}

const OwnShipFix north{true, 44.0, 10.0, 0.0, 10.0, 12.0, 7, 1.0, 1.8};

TEST(N2kBuilder, WhatEachMomentSends) {
    const InstrumentReadings full = testing::instrument_example();
    InstrumentReadings bare;
    bare.heading_true = 7.0;
    OwnShipFix lost = north;
    lost.valid = false;
    const std::vector<AisReportSent> reports{{AisClass::a, report_of(1), 'A', false}, {AisClass::b, report_of(2), 'B', false}};
    const std::vector<AisStaticSent> statics{{AisClass::a, {}, 'A', false}, {AisClass::b, {}, 'B', false}};
    // Columns: row name, the moment, the PGNs it sends.
    const std::vector<std::tuple<const char*, N2kMoment, std::vector<std::uint32_t>>> rows{
        {"a second without instruments", {moment_ms, north, true, nullptr, {}, {}}, {129025, 129026, 129029, 127250}},
        {"a fix between the seconds", {moment_ms, north, false, &full, {}, {}}, {129025, 129026}},
        {"the instruments", {moment_ms, north, true, &full, {}, {}},
         {129025, 129026, 129029, 127250, 128259, 130306, 130306, 130306, 128267, 130316}},
        {"instruments without wind, depth, temperature", {moment_ms, north, true, &bare, {}, {}},
         {129025, 129026, 129029, 127250, 128259}},
        {"no fix", {moment_ms, lost, true, nullptr, {}, {}}, {129029}},
        {"no fix, the instruments still read", {moment_ms, lost, true, &bare, {}, {}}, {129029, 127250, 128259}},
        {"AIS: positions, static data of class A and B", {moment_ms, north, false, nullptr, reports, statics},
         {129025, 129026, 129038, 129039, 129794, 129809, 129810}},
        {"no own ship (multi-user)", {moment_ms, std::nullopt, true, &full, reports, {}}, {129038, 129039}},
    };
    for (const auto& [name, moment, pgns] : rows) {
        SCOPED_TRACE(name);
        N2kBuilder builder;
        EXPECT_EQ(pgns_of(builder.lines(moment)), pgns);
    }
}

TEST(N2kBuilder, TheHeadingIsTheInstrumentsOrElseTheCourse) {
    OwnShipFix east = north;
    east.course = 90.0;
    const InstrumentReadings r = testing::instrument_example();  // heading 12
    N2kBuilder builder;
    const std::vector<std::string> without = builder.lines({moment_ms, east, true, nullptr, {}, {}});
    const std::vector<std::string> with = builder.lines({moment_ms, east, true, &r, {}, {}});
    EXPECT_EQ(without[3], n2k::plain_line(n2k::vessel_heading(0, 90.0), moment_ms));
    EXPECT_EQ(with[3], n2k::plain_line(n2k::vessel_heading(1, 12.0), moment_ms));
}

TEST(N2kBuilder, OneSequenceIdAMomentCountingToTheLast) {
    const InstrumentReadings r = testing::instrument_example();
    N2kBuilder builder;
    for (int moment = 0; moment < 600; ++moment) {
        const std::vector<std::string> lines = builder.lines({moment_ms, north, true, &r, {}, {}});
        const unsigned expected = static_cast<unsigned>(moment % 253);
        for (std::size_t i = 1; i < lines.size(); ++i) {  // 129025 carries none
            ASSERT_EQ(byte_of(lines[i], 0), expected) << "moment " << moment << ": " << lines[i];
        }
    }
}

}  // namespace
}  // namespace vadrel
