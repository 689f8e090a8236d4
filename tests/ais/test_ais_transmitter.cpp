// The AIS of the vehicles in use: their identities, each transponder's
// schedule, and the sentences of each second: who sends, as
// own ship or target, which messages and when, and what the position
// reports say of the vehicle (the $GPRMC's own digits).

#include <gtest/gtest.h>

#include <array>
#include <bitset>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "ais/fixed_stations.h"
#include "ais/identity.h"
#include "ais/schedule.h"
#include "ais/transmitter.h"
#include "motion/dead_reckoning.h"

namespace vadrel {
namespace {

// The fields of an !AIVDM / !AIVDO sentence, split at its commas.
std::vector<std::string> fields_of(std::string_view sentence) {
    std::vector<std::string> fields(1);
    for (const char c : sentence.substr(0, sentence.find('*'))) {
        if (c == ',') fields.emplace_back();
        else fields.back() += c;
    }
    return fields;
}

// A message read back apart from the encoder, through the standard's table
// of the six-bit armour: its talker and its bits.
struct Message {
    std::string talker;
    std::string bits;  // '0' and '1'
    std::uint32_t u(std::size_t start, std::size_t width) const {
        return static_cast<std::uint32_t>(std::stoul(bits.substr(start, width), nullptr, 2));
    }
    std::uint32_t type() const { return u(0, 6); }
    std::uint32_t mmsi() const { return u(8, 30); }
};

// The messages of sentences, their fragments joined.
std::vector<Message> messages_of(const std::vector<std::string>& sentences) {
    std::vector<Message> out(1);
    for (const std::string& s : sentences) {
        const auto f = fields_of(s);
        for (const char c : f.at(5)) {
            out.back().bits += std::bitset<6>(static_cast<unsigned>(c - 48 > 40 ? c - 56 : c - 48)).to_string();
        }
        if (f.at(1) != f.at(2)) continue;
        out.back().talker = f.at(0);
        out.emplace_back();
    }
    out.pop_back();
    return out;
}

constexpr double arc(double degrees, double minutes = 0.0, double seconds = 0.0) {
    return degrees * 3600.0 + minutes * 60.0 + seconds;
}

// "ddmm.mmmm" of a latitude in ten-thousandths of a minute, as the $GPRMC writes it.
std::string rmc_digits(std::int32_t value, int degree_digits) {
    const long long size = value < 0 ? -static_cast<long long>(value) : value;
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld%02lld.%04lld", degree_digits, size / 600000, size % 600000 / 10000,
                  size % 10000);
    return text;
}

TEST(AisFix, ThePositionIsTheRmcsDigitsAndTheMotionItsRounding) {
    // what, the vehicle, the speed, course and heading sent, moored
    const std::tuple<const char*, Vehicle, std::uint16_t, std::uint16_t, std::uint16_t, bool> rows[] = {
        {"44 01 46 N 10 08 04 E, 100 km/h", {arc(44, 1, 46), arc(10, 8, 4), 45.0, 100.0, SpeedUnit::kmh}, 540, 450, 45,
         false},
        {"south-west, knots", {-arc(33, 51, 24.48), -arc(151, 12, 55.08), 200.25, 12.5, SpeedUnit::knots}, 125, 2003,
         200, false},
        {"backing: the course turned round", {arc(1), arc(1), 10.0, -20.0, SpeedUnit::kmh}, 108, 1900, 190, false},
        {"a course rounding to 360 is 0", {arc(0, 0, 0.001), -arc(0, 0, 0.001), 359.96, 1.852, SpeedUnit::kmh}, 10, 0,
         0, false},
        {"faster than 102.2 kn", {arc(90), arc(180), 90.0, 1000.0, SpeedUnit::knots}, 1022, 900, 90, false},
        {"still: moored", {-arc(90), -arc(180), 0.0, 0.0, SpeedUnit::kmh}, 0, 0, 0, true},
        {"creeping: under way at 0.0 kn", {arc(45), arc(9), 0.0, 0.01, SpeedUnit::kmh}, 0, 0, 0, false},
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const AisFix unknown = fix_of({nan, 1e300, nan, nan, SpeedUnit::kmh});
    EXPECT_EQ(unknown.latitude, ais::latitude_unknown);
    EXPECT_EQ(unknown.longitude, 180 * 600000) << "past 180: cut there";
    EXPECT_EQ(unknown.speed, ais::speed_unknown);
    EXPECT_EQ(unknown.course, ais::course_unknown);
    EXPECT_EQ(unknown.heading, ais::heading_unknown);
    for (const auto& [name, vehicle, speed, course, heading, moored] : rows) {
        const AisFix fix = fix_of(vehicle);
        EXPECT_EQ(rmc_digits(fix.latitude, 2), rmc_coordinate(vehicle.lat, 2)) << name;
        EXPECT_EQ(rmc_digits(fix.longitude, 3), rmc_coordinate(vehicle.lon, 3)) << name;
        EXPECT_EQ(fix.latitude < 0, vehicle.lat < 0 && fix.latitude != 0) << name;
        EXPECT_EQ(fix.longitude < 0, vehicle.lon < 0 && fix.longitude != 0) << name;
        EXPECT_EQ(fix.speed, speed) << name;
        EXPECT_EQ(fix.course, course) << name;
        EXPECT_EQ(fix.heading, heading) << name;
        EXPECT_EQ(fix.status, moored ? ais::NavigationalStatus::moored
                                         : ais::NavigationalStatus::under_way_using_engine)
            << name;
    }
}

TEST(AisFix, TheCommunicationStateFollowsItsTimeOut) {
    // what, the time, the state
    const std::tuple<const char*, AisTime, std::uint32_t> rows[] = {
        {"time-out 7: stations heard", {0, 10, 0, 30}, 7U << 14 | 18U},
        {"time-out 6: slot", {0, 10, 1, 30}, 6U << 14 | 1127U},
        {"time-out 1: hour and minute", {0, 10, 6, 30}, 1U << 14 | (10U << 9 | 6U << 2)},
        {"time-out 0: the same slot next frame", {0, 10, 7, 30}, 2250U},
        {"no time: synchronised to other stations", {0, 0, 0, 60}, 3U << 17 | 2250U},
        {"a time that makes no sense is no time", {0, 25, -3, 30}, 3U << 17 | 2250U},
    };
    for (const auto& [name, time, expected] : rows) EXPECT_EQ(sotdma_state(time, 1127, 18), expected) << name;
}

// The second of the report's time stamp, UTC; the fleet's stations as it stands.
TEST(AisTime, TheSecondOfTheDayAndTheFleetsStations) {
    // the UTC seconds, the hour, minute and second
    const std::tuple<double, int, int, int> rows[] = {
        {86400.0 * 20000 + 13 * 3600 + 59 * 60 + 59.999, 13, 59, 59},
        {-1.5, 23, 59, 58},  // before 1970, still a time of day
        {std::nan(""), 0, 0, ais::second_unknown},
    };
    for (const auto& [utc, hour, minute, second] : rows) {
        const AisTime t = ais_time(7.0, utc);
        EXPECT_EQ((std::array{t.hour, t.minute, t.second}), (std::array{hour, minute, second})) << utc;
        EXPECT_EQ(t.steady, 7.0);
    }
    Fleet fleet;
    fleet.set_cycle(3, nullptr);
    fleet.set_current(5, nullptr);
    fleet.set_targets(true, nullptr);
    const std::vector<AisIdentity> ids(2);
    const AisFleet stations = ais_fleet(fleet, ids, true);
    EXPECT_EQ((std::array{stations.vehicles.size(), stations.targets, stations.current, stations.identities.size()}),
              (std::array<std::size_t, 4>{6, 3, 5, 2}))
        << "the vehicles up to the current one, the cycle's targets";
    EXPECT_TRUE(stations.own_ship);
}

// Four vehicles in use, the current one 1: 0 class A at 10 kn, 2 still,
// 3 class B at 5 kn.
struct Scene {
    Scene() {
        for (std::size_t k = 0; k < 4; ++k) identities_.push_back(default_identity(k));
        fleet_.place(0, arc(44), arc(10), nullptr);
        fleet_.set_speed(0, 10.0, nullptr);
        fleet_.set_unit(0, SpeedUnit::knots, nullptr);
        fleet_.set_course(0, 30.0, nullptr);
        fleet_.place(2, -arc(12, 3), -arc(70, 1), nullptr);  // still
        fleet_.place(3, arc(60), -arc(5), nullptr);
        fleet_.set_speed(3, 5.0, nullptr);
        fleet_.set_unit(3, SpeedUnit::knots, nullptr);
        identities_[3].ais_class = AisClass::b;
    }
    // Second s: the fleet advanced to it, its messages.
    std::vector<Message> second(int s, std::size_t in_use = 4, bool own_ship = false, std::size_t current = 1,
                                std::size_t targets = fleet_size) {
        for (std::size_t k = 0; k < in_use; ++k) fleet_.advance(k, 100.0 + s);
        vehicles_.assign(fleet_.vehicles().begin(), fleet_.vehicles().begin() + static_cast<long>(in_use));
        const AisFleet fleet{vehicles_, identities_, current, own_ship, targets};
        sentences_ = ais_.second({100.0 + s, 14, s / 60 % 60, s % 60}, fleet);
        return messages_of(sentences_);
    }

    Fleet fleet_;
    std::vector<AisIdentity> identities_;
    std::vector<Vehicle> vehicles_;
    std::vector<std::string> sentences_;
    AisTransmitter ais_;
};

// Every vehicle in use but the current one is a target: its static data
// and a position report at the first second, in that order (a display that
// meets 18 before 24 shows a nameless target), class A as 5 (two
// sentences) and 1, class B as 24 A and B and 18.
TEST(AisTransmitter, TheFirstSecondIntroducesEveryTarget) {
    Scene scene;
    const auto first = scene.second(0);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sent;
    for (const Message& m : first) sent.emplace_back(m.mmsi(), m.type());
    EXPECT_EQ(sent, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                        {900000000, 5}, {900000000, 1}, {900000002, 5}, {900000002, 1},
                        {900000003, 24}, {900000003, 24}, {900000003, 18}}));
    // Channels in turn for each station; 24 A and B on one, where gpsd pairs them.
    std::string channels;
    for (const std::string& s : scene.sentences_) channels += fields_of(s).at(4);
    EXPECT_EQ(channels, "AABAABAAB");
}

// The seconds from `from` to `to` (excluded), `step` apart.
std::vector<int> every(int from, int to, int step) {
    std::vector<int> out;
    for (int s = from; s < to; s += step) out.push_back(s);
    return out;
}

// Over 200 seconds each sends at its own intervals: class A at 10 kn,
// 10 s; moored, 3 min; class B at 5 kn, 30 s.
TEST(AisTransmitter, EachTargetKeepsItsOwnSchedule) {
    Scene scene;
    std::map<std::uint32_t, std::vector<int>> positions;
    for (int s = 0; s < 200; ++s) {
        for (const Message& m : scene.second(s)) {
            if (m.type() == 1 || m.type() == 18) positions[m.mmsi()].push_back(s);
        }
    }
    EXPECT_EQ(positions[900000000], every(0, 200, 10));
    EXPECT_EQ(positions[900000002], (std::vector<int>{0, 180}));
    EXPECT_EQ(positions[900000003], every(0, 200, 30));
    EXPECT_EQ(positions.count(900000001), 0U);
}

// A still vehicle marked under way (an encounter's target) reports under
// way using engine at the 10 s rhythm, not moored every 3 minutes.
TEST(AisTransmitter, AStillTargetMarkedUnderWayReportsEveryTenSeconds) {
    Scene scene;
    std::vector<int> seconds;
    for (int s = 0; s < 60; ++s) {
        for (std::size_t k = 0; k < 4; ++k) scene.fleet_.advance(k, 100.0 + s);
        scene.vehicles_.assign(scene.fleet_.vehicles().begin(), scene.fleet_.vehicles().begin() + 4);
        AisFleet fleet{scene.vehicles_, scene.identities_, 1, false, fleet_size};
        fleet.under_way.set(2);
        for (const Message& m : messages_of(scene.ais_.second({100.0 + s, 14, 0, s}, fleet))) {
            if (m.type() != 1 || m.mmsi() != 900000002) continue;
            seconds.push_back(s);
            EXPECT_EQ(m.u(38, 4), 0U) << "under way using engine";
        }
    }
    EXPECT_EQ(seconds, every(0, 60, 10));
}

// A new name goes out at the next second; a new MMSI or class is a new
// station; a vehicle that leaves the vehicles in use and comes back, or
// becomes the own ship (sent as !AIVDO only when asked), starts again.
TEST(AisTransmitter, ChangesOfIdentityAndOfTheVehiclesInUseStartAgain) {
    Scene scene;
    scene.second(0);
    EXPECT_TRUE(scene.second(1).empty());
    scene.identities_[3].name = "Libeccio";
    auto sent = scene.second(2);
    ASSERT_EQ(sent.size(), 2U) << "24 A and B";
    EXPECT_EQ(sent[0].u(40, 6), 12U) << "the new name's L";
    scene.identities_[0].mmsi = 247000001;
    sent = scene.second(3);
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_EQ(sent[0].mmsi(), 247000001U) << "a new station: its position and static data";
    scene.identities_[0].ais_class = AisClass::b;
    sent = scene.second(4);
    ASSERT_EQ(sent.size(), 3U);
    EXPECT_EQ((std::array{sent[0].type(), sent[1].type(), sent[2].type()}), (std::array{24U, 24U, 18U}));
    EXPECT_EQ(scene.second(5, 2).size(), 0U) << "only vehicles 0 and 1 in use: the target 0 is not due";
    sent = scene.second(6, 4);
    ASSERT_EQ(sent.size(), 5U);
    EXPECT_EQ(sent[0].mmsi(), 900000002U);
    EXPECT_TRUE(scene.second(7, 0).empty());
    EXPECT_TRUE(scene.second(8, 1, false, 0).empty()) << "the current one alone";
    scene.second(9);
    sent = scene.second(10, 4, true, 2);
    std::vector<std::pair<std::string, std::uint32_t>> who;
    for (const Message& m : sent) who.emplace_back(m.talker, m.mmsi());
    EXPECT_EQ(who, (std::vector<std::pair<std::string, std::uint32_t>>{
                       {"!AIVDM", 900000001}, {"!AIVDM", 900000001}, {"!AIVDO", 900000002}, {"!AIVDO", 900000002}}))
        << "vehicle 1 a target now, vehicle 2 the own ship";
    who.clear();
    for (const Message& m : scene.second(11, 4, true, 3, 2)) who.emplace_back(m.talker, m.mmsi());
    EXPECT_EQ(who, (std::vector<std::pair<std::string, std::uint32_t>>(3, {"!AIVDO", 900000003})))
        << "targets 0 and 1; vehicle 2, between them and the own ship 3, is none";
    EXPECT_TRUE(scene.second(12, 4, true, 3, 2).empty()) << "vehicle 2 stays silent";
}

// Text of `chars` six-bit characters from bit `start`, the '@' padding cut.
std::string text_at(const Message& m, std::size_t start, std::size_t chars) {
    std::string out;
    for (std::size_t k = 0; k < chars && start + 6 * k + 6 <= m.bits.size(); ++k) {
        const std::uint32_t c = m.u(start + 6 * k, 6);
        out += static_cast<char>(c < 32 ? c + 64 : c);
    }
    return out.substr(0, out.find('@'));
}

// Buoys every 3 minutes from the first second, the name's end in the
// extension; the SART's burst of eight each minute, four on each channel,
// with "SART TEST" at the first and every 4 minutes.
TEST(FixedStations, BuoysAndTheSartKeepTheirRhythms) {
    FixedStations fixed;
    fixed.set({{"Boa Nord", arc(44, 5), arc(9, 49)}, {"Secca della Meloria Ovest", -arc(1), -arc(2)}},
              Sart{arc(44, 1), arc(9, 50)});
    std::map<std::uint32_t, std::vector<int>> seconds;  // type * 1e9 + MMSI: the seconds sent
    std::string burst_channels;
    for (int s = 0; s < 500; ++s) {
        const std::vector<std::string> sentences = fixed.second({10.0 + s, 8, s / 60, s % 60});
        const std::vector<Message> messages = messages_of(sentences);
        for (std::size_t k = 0; k < messages.size(); ++k) {
            const Message& m = messages[k];
            seconds[m.type() * 1000U + m.mmsi() % 1000U].push_back(s);
            if (s == 60 && m.type() == 1) burst_channels += fields_of(sentences[k]).at(4);
            if (m.type() == 21 && s == 0) {
                const bool second_buoy = m.mmsi() == first_aid_mmsi + 1;
                EXPECT_EQ(m.mmsi(), first_aid_mmsi + (second_buoy ? 1 : 0));
                EXPECT_EQ(m.u(38, 5), 1U) << "a reference point";
                EXPECT_EQ(text_at(m, 43, 20) + text_at(m, 272, 14),
                          second_buoy ? "SECCA DELLA MELORIA OVEST" : "BOA NORD");
                const std::size_t fill = static_cast<std::size_t>(fields_of(sentences[k]).at(6).at(0) - '0');
                EXPECT_EQ((m.bits.size() - fill) % 8, 0U) << "a whole byte";
                EXPECT_EQ(m.u(269, 1), 0U) << "not virtual";
                const auto signed_at = [&](std::size_t start, unsigned width) {
                    return static_cast<std::int32_t>(m.u(start, width) << (32 - width)) >> (32 - width);
                };
                EXPECT_EQ(signed_at(192, 27), second_buoy ? -600000 : (44 * 60 + 5) * 10000);
                EXPECT_EQ(signed_at(164, 28), second_buoy ? -1200000 : (9 * 60 + 49) * 10000);
            }
            if (m.type() == 1) {
                EXPECT_EQ((std::array{m.mmsi(), m.u(38, 4), m.u(50, 10)}), (std::array{970010001U, 14U, 0U}));
            }
            if (m.type() == 14) {
                EXPECT_EQ(text_at(m, 40, 20), "SART TEST");
            }
        }
    }
    EXPECT_EQ(seconds[21001], (std::vector<int>{0, 180, 360}));
    EXPECT_EQ(seconds[21002], (std::vector<int>{0, 180, 360}));
    std::vector<int> bursts;
    for (int s = 0; s < 500; s += 60) bursts.insert(bursts.end(), sart_burst, s);
    EXPECT_EQ(seconds[1001], bursts);
    EXPECT_EQ(seconds[14001], (std::vector<int>{0, 240, 480}));
    EXPECT_EQ(burst_channels, "BABABABA");
    EXPECT_EQ(messages_of(fixed.aid_sentences()).size(), 2U) << "both buoys for a new listener";
    EXPECT_TRUE(buoy_name_problem(std::string(35, 'X')));
    EXPECT_TRUE(buoy_name_problem(""));
    EXPECT_FALSE(buoy_name_problem(std::string(34, 'X')));
}

// The stations a change may put on the air: names sent as six-bit text,
// positions on the globe, a bound on the buoys; the field at fault.
TEST(FixedStations, WhatAChangeMayPutOnTheAir) {
    const Buoy north{"BOA NORD", 44 * 3600.0, 9 * 3600.0};
    const Sart sart{44 * 3600.0, 10 * 3600.0, default_sart_mmsi};
    const std::vector<Buoy> many(most_buoys, north);
    // name, the stations, the field refused ("": taken)
    const std::tuple<const char*, StationsOnAir, const char*> rows[] = {
        {"none", {}, ""},
        {"a buoy and a SART", {{north}, sart}, ""},
        {"the most buoys", {many, std::nullopt}, ""},
        {"one buoy too many", {[&] { auto more = many; more.push_back(north); return more; }(), std::nullopt}, "boa"},
        {"a buoy without a name", {{{"", 0, 0}}, std::nullopt}, "boa"},
        {"a name AIS cannot send", {{{"BOA \u00ab", 0, 0}}, std::nullopt}, "boa"},
        {"a buoy past the pole", {{{"B", 90 * 3600.0 + 1, 0}}, std::nullopt}, "boa"},
        {"a buoy past the 180th meridian", {{{"B", 0, -180 * 3600.0 - 1}}, std::nullopt}, "boa"},
        {"a buoy at no number", {{{"B", std::nan(""), 0}}, std::nullopt}, "boa"},
        {"the SART off the globe", {{north}, Sart{0, 181 * 3600.0, default_sart_mmsi}}, "sart"},
        {"the poles and the 180th meridian", {{{"B", -90 * 3600.0, 180 * 3600.0}}, sart}, ""},
    };
    for (const auto& [name, stations, field] : rows) {
        const auto problem = stations_problem(stations);
        EXPECT_EQ(problem ? problem->field : std::string(), field) << name;
    }
}

// A receiver that begins to listen between two static reports gets every
// station's static data at once, asked as often as it likes, while the
// schedule on the air, and its sentences byte for byte, go on as without.
TEST(AisTransmitter, StaticDataForANewListenerLeavesTheAirAsItIs) {
    Scene plain, asked;
    EXPECT_TRUE(asked.ais_.static_sentences().empty()) << "no station yet";
    std::vector<std::string> on_air, on_air_asked;
    for (int s = 0; s < 400; ++s) {
        plain.second(s);
        asked.second(s);
        on_air.insert(on_air.end(), plain.sentences_.begin(), plain.sentences_.end());
        on_air_asked.insert(on_air_asked.end(), asked.sentences_.begin(), asked.sentences_.end());
        if (s % 7 != 3) continue;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> statics;
        for (const Message& m : messages_of(asked.ais_.static_sentences())) statics.emplace_back(m.mmsi(), m.type());
        EXPECT_EQ(statics, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                               {900000000, 5}, {900000002, 5}, {900000003, 24}, {900000003, 24}}))
            << s;
    }
    EXPECT_EQ(on_air_asked, on_air);
    // Without vehicle 2 in use it is no station, and none of its data goes.
    asked.second(400, 2);
    std::vector<std::uint32_t> mmsis;
    for (const Message& m : messages_of(asked.ais_.static_sentences())) mmsis.push_back(m.mmsi());
    EXPECT_EQ(mmsis, std::vector<std::uint32_t>{900000000});
}

// A vehicle's AIS identity: the MMSI as the operator writes it, texts as
// AIS sends them, and every refusal naming its field.
TEST(AisIdentity, TextsGoAsSixBitUpperCaseWithoutAccents) {
    const std::pair<const char*, const char*> rows[] = {
        {"Nave Città", "NAVE CITTA"},
        {"Sant\u2019Anna", "SANT'ANNA"},
        {"ÀÈÉÌÒÙ ç ñ", "AEEIOU C N"},
        {"a@b", "A?B"},
        {"straße", "STRA?E"},
        {"IT-1234_X", "IT-1234_X"},
    };
    for (const auto& [written, sent] : rows) EXPECT_EQ(six_bit_text(written), sent) << written;
}

TEST(AisIdentity, AnMmsiIsOneToNineDigits) {
    // the text, its MMSI (0: refused)
    const std::tuple<const char*, std::uint32_t> rows[] = {
        {"900000003", 900000003}, {"2470123", 2470123},   {"000000001", 1},       {"999999999", 999999999},
        {"0", 0},                 {"000000000", 0},       {"1000000000", 0},      {"12a", 0},
        {"", 0},                  {"-1", 0},              {" 1", 0},              {"+5", 0},
    };
    for (const auto& [text, expected] : rows) {
        const auto read = read_mmsi(text);
        const auto* mmsi = std::get_if<std::uint32_t>(&read);
        EXPECT_EQ(mmsi ? *mmsi : 0, expected) << text;
        EXPECT_EQ(mmsi ? "mmsi" : std::get<Refusal>(read).field, "mmsi") << text;
    }
    EXPECT_EQ(mmsi_text(2470123), "002470123");
    EXPECT_EQ(std::get<AisClass>(read_ais_class("b")), AisClass::b);
}

TEST(AisIdentity, RefusalsNameTheirField) {
    // what, the change, the field refused ("" when allowed)
    const std::tuple<const char*, void (*)(AisIdentity&), const char*> rows[] = {
        {"a name of 20 with accents", [](AisIdentity& i) { i.name = "Nave della Città è 2"; }, ""},
        {"a name of 21", [](AisIdentity& i) { i.name = "ABCDEFGHIJKLMNOPQRSTU"; }, "nome"},
        {"'@' ends a text", [](AisIdentity& i) { i.name = "A@B"; }, "nome"},
        {"lower case is fine", [](AisIdentity& i) { i.name = "libeccio"; }, ""},
        {"a letter AIS has not", [](AisIdentity& i) { i.name = "STRAßE"; }, "nome"},
        {"not UTF-8", [](AisIdentity& i) { i.name = "\xC3("; }, "nome"},
        {"a control character", [](AisIdentity& i) { i.name = "A\tB"; }, "nome"},
        {"a call sign of 7", [](AisIdentity& i) { i.call_sign = "IABC123"; }, ""},
        {"a call sign of 8", [](AisIdentity& i) { i.call_sign = "IABC1234"; }, "nominativo"},
        {"MMSI 0", [](AisIdentity& i) { i.mmsi = 0; }, "mmsi"},
        {"MMSI of ten digits", [](AisIdentity& i) { i.mmsi = 1000000000; }, "mmsi"},
        {"type 99", [](AisIdentity& i) { i.ship_type = 99; }, ""},
        {"511 m to the bow", [](AisIdentity& i) { i.dimensions.to_bow = 511; }, ""},
        {"512 m to the stern", [](AisIdentity& i) { i.dimensions.to_stern = 512; }, "dimensioni"},
        {"64 m to port", [](AisIdentity& i) { i.dimensions.to_port = 64; }, "dimensioni"},
    };
    for (const auto& [name, change, field] : rows) {
        AisIdentity id = default_identity(1);
        change(id);
        const auto refusal = identity_problem(id);
        EXPECT_EQ(refusal ? refusal->field : "", field) << name << ": " << (refusal ? refusal->reason : "");
    }
    std::vector<AisIdentity> fleet{default_identity(0), default_identity(1)};
    fleet[1].ship_type = 200;
    EXPECT_EQ(fleet_identities_problem(fleet)->reason.substr(0, 9), "mezzo 1: ") << "the fleet names the vehicle";
}

// When a transponder sends, on a fake steady time: the intervals of
// ITU-R M.1371-5 by class, speed and manoeuvre; reports kept to their
// nominal times whatever a tick's jitter; static data at start, every 6
// minutes and when amended.
TEST(AisSchedule, TheReportingIntervalsOfTheStandard) {
    // what, the class, the speed in knots, moored, turning, the interval in seconds
    const std::tuple<const char*, AisClass, double, bool, bool, double> rows[] = {
        {"A moored", AisClass::a, 0.0, true, false, 180.0},
        {"A moored drifting past 3 kn", AisClass::a, 3.1, true, false, 10.0},
        {"A under way at 0 kn", AisClass::a, 0.0, false, false, 10.0},
        {"A 14 kn", AisClass::a, 14.0, false, false, 10.0},
        {"A 14 kn turning", AisClass::a, 14.0, false, true, 10.0 / 3.0},
        {"A 14.1 kn", AisClass::a, 14.1, false, false, 6.0},
        {"A 23 kn", AisClass::a, 23.0, false, false, 6.0},
        {"A 23 kn turning", AisClass::a, 23.0, false, true, 2.0},
        {"A 23.1 kn", AisClass::a, 23.1, false, false, 2.0},
        {"B 2 kn", AisClass::b, 2.0, false, false, 180.0},
        {"B 2.1 kn", AisClass::b, 2.1, false, false, 30.0},
        {"B 40 kn turning", AisClass::b, 40.0, false, true, 30.0},
    };
    for (const auto& [name, ais_class, knots, moored, turning, seconds] : rows) {
        EXPECT_DOUBLE_EQ(reporting_interval(ais_class, {knots, 0.0, moored}, turning), seconds) << name;
    }
}

// Ticks a transponder once a second from `from` to `to` (excluded), each a
// few milliseconds early or late; the seconds at which positions and
// static data went.
struct Sent {
    std::vector<int> positions;
    std::vector<int> statics;
};
Sent run(Transponder& t, int from, int to, AisClass c, const std::function<AisMotion(int)>& motion) {
    Sent sent;
    for (int s = from; s < to; ++s) {
        const double jitter = ((s * 7 + 10) % 11 - 5) * 0.001;  // -5 .. +5 ms; +5 at 0, -5 at 360
        const Transponder::Due due = t.due(1000.0 + s + jitter, c, motion(s));
        if (due.position) sent.positions.push_back(s);
        if (due.static_data) sent.statics.push_back(s);
    }
    return sent;
}

// Ten knots, each tick a few milliseconds early or late: every 10 s, and
// the same way for every interval of the table above. A turn of 90 degrees
// at second 60: for as long as the course differs by more than 5 degrees
// from its mean over the 30 s before (up to second 86, when 2 of the 29
// earlier courses are still 0), 3 1/3 s: ticks 3, 4 and 3 apart; then 10 s
// again from the last report. A steady turn of 1 degree a second: from
// second 10 the course is more than 5 degrees ahead of its mean, and stays
// so (15 behind). Across north the mean is a direction, not an average of
// numbers. Static data every 6 minutes all along.
TEST(AisSchedule, ReportsKeepTheirIntervalAndATurnShortensIt) {
    // the course at each second, the seconds run, those with a position report
    const std::tuple<const char*, double (*)(int), int, std::vector<int>> rows[] = {
        {"a steady course", [](int) { return 45.0; }, 730, every(0, 730, 10)},
        {"90 degrees at 60", [](int s) { return s < 60 ? 0.0 : 90.0; }, 130,
         {0, 10, 20, 30, 40, 50, 60, 63, 67, 70, 73, 77, 80, 83, 93, 103, 113, 123}},
        {"1 degree a second", [](int s) { return s * 1.0; }, 60,
         {0, 10, 13, 17, 20, 23, 27, 30, 33, 37, 40, 43, 47, 50, 53, 57}},
        {"across north", [](int s) { return s % 2 ? 359.0 : 1.0; }, 60, every(0, 60, 10)},
    };
    for (const auto& [name, course, to, positions] : rows) {
        Transponder t;
        const Sent sent = run(t, 0, to, AisClass::a, [&](int s) { return AisMotion{10.0, course(s), false}; });
        EXPECT_EQ(sent.positions, positions) << name;
        EXPECT_EQ(sent.statics, every(0, to, 360)) << name;
    }
}

TEST(AisSchedule, AFasterVehicleReportsAtOnceAndStaticDataWhenAmended) {
    Transponder t;
    Sent sent = run(t, 0, 25, AisClass::a, [](int) { return AisMotion{10.0, 0.0, false}; });
    EXPECT_EQ(sent.positions, (std::vector<int>{0, 10, 20}));
    sent = run(t, 25, 31, AisClass::a, [](int) { return AisMotion{30.0, 0.0, false}; });
    EXPECT_EQ(sent.positions, (std::vector<int>{25, 27, 29})) << "2 s from the second it sped up";
    t.amend();
    sent = run(t, 31, 33, AisClass::a, [](int) { return AisMotion{30.0, 0.0, false}; });
    EXPECT_EQ(sent.statics, std::vector<int>{31});
    // A steady time that goes back starts the schedule again.
    sent = run(t, 5, 7, AisClass::a, [](int) { return AisMotion{30.0, 0.0, false}; });
    EXPECT_EQ(sent.positions, std::vector<int>{5});
    EXPECT_EQ(sent.statics, std::vector<int>{5});
}

TEST(AisSchedule, NoTimeNoReport) {
    Transponder t;
    const Transponder::Due due = t.due(std::nan(""), AisClass::a, {10.0, 0.0, false});
    EXPECT_FALSE(due.position || due.static_data);
    EXPECT_TRUE(t.due(5.0, AisClass::a, {10.0, 0.0, false}).position) << "the first real time starts it";
}

}  // namespace
}  // namespace vadrel
