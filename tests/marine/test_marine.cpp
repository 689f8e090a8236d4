// The autopilot: the plotter's sentences as rows of good and bad lines, the
// turn towards the heading asked, and what the operator reads of it.

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "marine/autopilot.h"
#include "model/line_assembler.h"
#include "pilot_check.h"
#include "marine/pilot_sentences.h"
#include "nmea/sentences.h"

namespace vadrel {
namespace {

// The body between "$" and "*" framed with its right checksum.
std::string framed(const std::string& body) {
    const std::string sentence = "$" + body;
    return sentence + checksum_field(sentence);
}

const std::string apb_090 = framed("GPAPB,A,A,0.10,R,N,V,V,011,M,WP1,011,M,090,T");

TEST(PilotSentences, ReadsTheFieldsOfEachKind) {
    const auto apb = read_pilot_sentence(apb_090);
    ASSERT_TRUE(apb);
    EXPECT_EQ(apb->kind, PilotSentence::Kind::apb);
    EXPECT_EQ(apb->heading, 90.0);
    EXPECT_FALSE(apb->magnetic);
    EXPECT_EQ(apb->waypoint, "WP1");
    EXPECT_EQ(apb->cross_track, (CrossTrack{0.10, 'R'}));

    const auto rmb = read_pilot_sentence(framed("ECRMB,A,0.66,L,WP0,WP2,4417.50,N,01030.00,W,12.3,045.0,5.0,V,A"));
    ASSERT_TRUE(rmb);
    EXPECT_EQ(rmb->kind, PilotSentence::Kind::rmb);
    EXPECT_EQ(rmb->waypoint, "WP2");
    ASSERT_TRUE(rmb->destination);
    EXPECT_DOUBLE_EQ(rmb->destination->lat, 44.0 + 17.5 / 60.0);
    EXPECT_DOUBLE_EQ(rmb->destination->lon, -10.5);
    EXPECT_EQ(rmb->cross_track, (CrossTrack{0.66, 'L'}));

    const auto xte = read_pilot_sentence(framed("IIXTE,A,A,0.67,L,N"));
    ASSERT_TRUE(xte);
    EXPECT_EQ(xte->kind, PilotSentence::Kind::xte);
    EXPECT_EQ(xte->cross_track, (CrossTrack{0.67, 'L'}));
}

TEST(PilotSentences, TakesTheHeadingAsTheLineGivesIt) {
    // line; heading expected (nullopt: refused); magnetic
    const std::vector<std::tuple<std::string, std::optional<double>, bool>> rows = {
        {framed("GPAPB,A,A,,,,V,V,,,WP1,,,270.5,M"), 270.5, true},
        {framed("GPAPB,A,A,,,,V,V,,,WP1,123,T,,"), 123.0, false},      // heading empty: the bearing from here
        {framed("GPAPB,A,A,,,,V,V,,,WP1,123,M,,"), 123.0, true},
        {framed("GPAPB,A,A,,,,V,V,,,WP1,,,,"), std::nullopt, false},  // nothing to steer by
        {framed("GPAPB,A,A,,,,V,V,,,WP1,,,090,X"), std::nullopt, false},
        {framed("GPAPB,A,A,,,,V,V,,,WP1,,,360,T"), 0.0, false},
        {framed("GPAPB,A,A,,,,V,V,,,WP1,,,360.1,T"), std::nullopt, false},
        {framed("GPAPB,A,A,,,,V,V,,,WP1,,,-1,T"), std::nullopt, false},
        {framed("GPAPB,A,A,,,,V,V,,,WP1,,,090,T,A"), 90.0, false},      // with the mode of NMEA 2.3
        {framed("GPAPB,A,A,,,,V,V,,,WP1,,,090,T,D"), 90.0, false},
    };
    for (const auto& [line, heading, magnetic] : rows) {
        const auto read = read_pilot_sentence(line);
        ASSERT_EQ(read.has_value(), heading.has_value()) << line;
        if (!read) continue;
        EXPECT_EQ(read->heading, heading) << line;
        EXPECT_EQ(read->magnetic, magnetic) << line;
    }
}

TEST(PilotSentences, RefusesWhatIsNotWholeOrNotValid) {
    std::string bad_sum = apb_090;
    bad_sum.back() = bad_sum.back() == '0' ? '1' : '0';
    std::string lower_sum = framed("GPAPB,A,A,,,,V,V,,,WP:a,,,090,T");
    for (std::size_t i = lower_sum.size() - 2; i < lower_sum.size(); ++i)
        lower_sum[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower_sum[i])));
    const std::string apb_body = "GPAPB,A,A,0.10,R,N,V,V,011,M,WP1,011,M,090,T";
    // line; why it is refused
    const std::vector<std::pair<std::string, const char*>> rows = {
        {bad_sum, "checksum does not match"},
        {"$" + apb_body, "no checksum"},
        {"$" + apb_body + "*", "checksum cut"},
        {"$" + apb_body + "*4", "checksum of one digit"},
        {"$" + apb_body + "*4G", "checksum not hexadecimal"},
        {framed("GPAPB,V,A,0.10,R,N,V,V,011,M,WP1,011,M,090,T"), "first status V"},
        {framed("GPAPB,A,V,0.10,R,N,V,V,011,M,WP1,011,M,090,T"), "second status V"},
        {framed("GPAPB,A,A,0.10,R,N,V,V,011,M,WP1,011,M,090,T,N"), "mode: not valid"},
        {framed("GPAPB,A,A,0.10,R,N,V,V,011,M,WP1,011,M,090"), "a field missing"},
        {framed("GPAPB,A,A,0.10,R,N,V,V,011,M,WP1,011,M,090,T,A,X"), "a field too many"},
        {framed("GPAPB,A,A,0.1x,R,N,V,V,011,M,WP1,011,M,090,T"), "cross-track not a number"},
        {framed("GPAPB,A,A,0.10,Q,N,V,V,011,M,WP1,011,M,090,T"), "steer neither L nor R"},
        {framed("GPAPB,A,A,0.10,R,N,V,V,011,M,WP1,011,M,9e9,T"), "heading out of range"},
        {framed("GPAPB,A,A,0.10,R,N,V,V,011,M,WP1,011,M, 90,T"), "heading with a blank"},
        {framed("GPAPB,A,A,0.10,R,N,V,V,011,M,WP\x01,011,M,090,T"), "control character in the id"},
        {framed("GPRMB,V,0.66,L,WP0,WP2,4417.50,N,01030.00,W,12.3,045.0,5.0,V"), "RMB status V"},
        {framed("GPRMB,A,0.66,L,WP0,WP2,4460.00,N,01030.00,W,12.3,045.0,5.0,V"), "60 minutes"},
        {framed("GPRMB,A,0.66,L,WP0,WP2,9100.00,N,01030.00,W,12.3,045.0,5.0,V"), "past the pole"},
        {framed("GPRMB,A,0.66,L,WP0,WP2,4417.50,X,01030.00,W,12.3,045.0,5.0,V"), "no hemisphere"},
        {framed("GPRMB,A,0.66,L,WP0,WP2,,,01030.00,W,12.3,045.0,5.0,V"), "no latitude"},
        {framed("GPRMB,A,0.66,L,WP0,WP2,4417.50,N,18030.00,E,12.3,045.0,5.0,V"), "past 180"},
        {framed("GPXTE,A,A,,L,N"), "XTE without a distance"},
        {framed("GPXTE,A,A,0.67,L,K"), "XTE not in miles"},
        {framed("GPXTE,V,A,0.67,L,N"), "XTE status V"},
        {framed("GPRMC,120000,A,4400.0,N,01000.0,E,10.0,000.0,081226,,"), "another kind"},
        {framed("GPAPB"), "no fields"},
        {framed("gpAPB,A,A,0.10,R,N,V,V,011,M,WP1,011,M,090,T"), "address in lower case"},
        {"!" + apb_090.substr(1), "not a $ sentence"},
        {"", "empty"},
        {"$*00", "nothing inside"},
        {framed("GPAPB,A,A,0.10,R,N,V,V,011,M," + std::string(180, 'W') + ",011,M,090,T"), "longer than a line"},
        {apb_090 + "\n", "a line end left in"},
    };
    for (const auto& [line, why] : rows) EXPECT_FALSE(read_pilot_sentence(line)) << why;
    EXPECT_TRUE(read_pilot_sentence(apb_090 + "\r")) << "a trailing CR is the line end's";
    EXPECT_TRUE(read_pilot_sentence(lower_sum)) << "checksum in lower case";
}

TEST(PilotSentences, MagneticMadeTrueByTheVariation) {
    // heading; magnetic; variation (east positive); true heading
    const std::vector<std::tuple<double, bool, std::optional<double>, double>> rows = {
        {90.0, true, 3.5, 93.5},    {90.0, false, 3.5, 90.0},   {90.0, true, std::nullopt, 90.0},
        {358.0, true, 4.0, 2.0},    {2.0, true, -4.0, 358.0},   {0.0, true, 0.0, 0.0},
    };
    for (const auto& [heading, magnetic, variation, expected] : rows)
        EXPECT_DOUBLE_EQ(true_heading(heading, magnetic, variation), expected) << heading << " " << magnetic;
}

TEST(PilotTurn, TurnsTheShortWayAndStopsOnTheHeading) {
    // course; target; most degrees this step; course after
    const std::vector<std::tuple<double, double, double, double>> rows = {
        {0.0, 90.0, 3.0, 3.0},       // to starboard
        {90.0, 0.0, 3.0, 87.0},      // to port
        {350.0, 10.0, 3.0, 353.0},   // across north, to starboard
        {10.0, 350.0, 3.0, 7.0},
        {1.0, 359.0, 3.0, 359.0},    // across north, within reach: exactly there
        {358.5, 1.0, 3.0, 1.0},
        {2.0, 358.0, 3.0, 359.0},
        {0.0, 180.0, 3.0, 3.0},      // opposite: to starboard
        {88.0, 90.0, 3.0, 90.0},     // no overshoot
        {90.0, 90.0, 3.0, 90.0},
        {0.0, 90.0, 0.0, 0.0},       // no time went by
        {0.0, 270.0, 100.0, 270.0},  // one long step: straight there, the short way
        {0.0, 200.0, 100.0, 260.0},
        {10.0, 359.99999999999994, 20.0, 0.0},  // a bearing's rounding below 360: north, never 360.0
        {1.0, 0.0, 2.0, 0.0},
    };
    for (const auto& [course, target, most, expected] : rows)
        EXPECT_DOUBLE_EQ(turned_course(course, target, most), expected) << course << " -> " << target;
}

// The pilot on, fed one line at steady second `at`.
Autopilot pilot_hearing(const std::string& line, double at = 0.0) {
    Autopilot pilot;
    pilot.set_on(true);
    pilot.step(0.0, {}, at);
    EXPECT_TRUE(pilot.hear(line, "tcp 127.0.0.1:5000", at)) << line;
    return pilot;
}

TEST(Autopilot, TurnsAtItsRateOnTheTicksAndHolds) {
    Autopilot pilot = pilot_hearing(apb_090);
    double course = 0.0;
    std::vector<double> courses;
    for (int second = 1; second <= 35; ++second) {
        if (const auto next = pilot.step(course, {}, second)) course = *next;
        courses.push_back(course);
    }
    EXPECT_DOUBLE_EQ(courses[0], 3.0);
    EXPECT_DOUBLE_EQ(courses[9], 30.0);
    EXPECT_DOUBLE_EQ(courses[29], 90.0);
    EXPECT_DOUBLE_EQ(courses[34], 90.0) << "holds once there, and after the sentences stop";
    EXPECT_EQ(pilot.status(35.0), "Pilota: nessuna frase da 35 s, tiene 090");
}

TEST(Autopilot, TheClocksSecondsSetTheTurnNotTheTicks) {
    Autopilot pilot = pilot_hearing(apb_090);
    ASSERT_FALSE(pilot.set_turn_rate(10.0));
    // a tick at x10: ten simulated seconds in one
    EXPECT_EQ(pilot.step(0.0, {}, 10.0), std::optional<double>(90.0));
    EXPECT_EQ(pilot.step(90.0, {}, 10.0), std::nullopt) << "on the heading: the course is left alone";
    // a paused clock: no time, no turn
    pilot.hear(framed("GPAPB,A,A,,,,V,V,,,WP2,,,100,T"), "udp", 10.0);
    EXPECT_EQ(pilot.step(90.0, {}, 10.0), std::nullopt);
    EXPECT_EQ(pilot.step(90.0, {}, 10.5), std::optional<double>(95.0));
}

TEST(Autopilot, OffHearsNothingAndTurnsNothing) {
    Autopilot pilot;
    EXPECT_FALSE(pilot.hear(apb_090, "tcp", 0.0));
    EXPECT_EQ(pilot.step(0.0, {}, 0.0), std::nullopt);
    EXPECT_EQ(pilot.step(0.0, {}, 5.0), std::nullopt);
    EXPECT_EQ(pilot.status(5.0), "Pilota: spento");
    Autopilot on = pilot_hearing(apb_090);
    on.set_on(false);
    on.set_on(true);
    EXPECT_EQ(on.step(0.0, {}, 1.0), std::nullopt) << "switched on again: waits for a new sentence";
    EXPECT_EQ(on.status(1.0), "Pilota: in attesa di frasi");
}

TEST(Autopilot, SteersToTheWaypointOfRmbFromWhereTheShipIs) {
    const std::string rmb = framed("GPRMB,A,,,WP0,BOA,4500.00,N,01000.00,E,,,,V");
    Autopilot pilot = pilot_hearing(rmb);
    ASSERT_FALSE(pilot.set_turn_rate(180.0));
    // due east of the ship on the equator's side: the great circle's bearing
    const GeoPoint west{45.0, 9.0};
    EXPECT_NEAR(*pilot.step(0.0, west, 1.0), initial_bearing(west, {45.0, 10.0}), 1e-9);
    EXPECT_LT(*pilot.asked(), 89.9) << "a great circle, not a rhumb line";
    const GeoPoint south{44.0, 10.0};
    EXPECT_NEAR(std::remainder(*pilot.step(0.0, south, 2.0), 360.0), 0.0, 1e-9);
    EXPECT_EQ(pilot.status(2.0), "Pilota: rotta 000 verso BOA") << "360 is said as 000";
    // An APB heard lately keeps the RMB from steering.
    pilot.hear(apb_090, "udp", 3.0);
    pilot.hear(rmb, "udp", 3.5);
    EXPECT_EQ(pilot.step(0.0, south, 4.0), std::optional<double>(90.0));
    EXPECT_EQ(pilot.waypoint(), "WP1");
    pilot.hear(rmb, "udp", 9.0);
    EXPECT_NEAR(std::remainder(*pilot.step(90.0, south, 9.0), 360.0), 0.0, 1e-9) << "the APB has gone quiet";
    // The RMBs stop: the last bearing is held, wherever the ship goes.
    EXPECT_EQ(pilot.step(0.0, west, 20.0), std::nullopt);
    EXPECT_NEAR(std::remainder(*pilot.asked(), 360.0), 0.0, 1e-9);
}

TEST(Autopilot, KeepsTheCrossTrackErrorAndTheVariation) {
    Autopilot pilot = pilot_hearing(framed("GPXTE,A,A,1.5,R,N"));
    EXPECT_EQ(pilot.cross_track(), (CrossTrack{1.5, 'R'}));
    EXPECT_EQ(pilot.asked(), std::nullopt) << "XTE asks no heading";
    ASSERT_FALSE(pilot.set_variation(-2.0));
    pilot.hear(framed("GPAPB,A,A,,,,V,V,,,WP1,,,090,M"), "udp", 1.0);
    EXPECT_EQ(pilot.asked(), std::optional<double>(88.0));
    EXPECT_EQ(pilot.cross_track(), (CrossTrack{1.5, 'R'})) << "an APB without one leaves it";
    EXPECT_EQ(pilot.source(), "udp");
    EXPECT_EQ(pilot.since_last(3.0), std::optional<double>(2.0));
}

TEST(Autopilot, RefusesRatesAndVariationsOutOfRange) {
    // value; refused
    const std::vector<std::pair<double, bool>> rates = {
        {0.0, true}, {-1.0, true}, {0.1, false}, {180.0, false}, {180.5, true}, {std::nan(""), true}};
    for (const auto& [rate, refused] : rates) {
        Autopilot pilot;
        const auto refusal = pilot.set_turn_rate(rate);
        EXPECT_EQ(refusal.has_value(), refused) << rate;
        EXPECT_EQ(pilot.turn_rate(), refused ? Autopilot::default_turn_rate : rate) << rate;
        if (refusal) {
            EXPECT_EQ(refusal->field, "virata");
        }
    }
    Autopilot pilot;
    EXPECT_TRUE(pilot.set_variation(181.0));
    EXPECT_FALSE(pilot.set_variation(-180.0));
    EXPECT_FALSE(pilot.set_variation(std::nullopt));
}

// Lines out of pieces as a TCP client's bytes come: split anywhere, CR LF
// or LF, a line past the longest dropped whole up to its end.
TEST(LineAssembler, GivesWholeLinesOnlyAndDropsTheOverlong) {
    // pieces; lines expected
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> rows = {
        {{"$A*00\r\n$B*0", "0\r\n"}, {"$A*00", "$B*00"}},
        {{"one\ntwo\r\n", "three"}, {"one", "two"}},
        {{"0123456789\n", "short\n"}, {"short"}},               // 10 characters: past 8
        {{"0123", "45678", "9\nok\n"}, {"ok"}},                  // grown past 8 in pieces
        {{"01234567\r\n"}, {"01234567"}},                       // 8 and its CR
        {{"\n\r\n"}, {"", ""}},
    };
    for (const auto& [pieces, expected] : rows) {
        LineAssembler lines(8);
        std::vector<std::string> got;
        for (const std::string& piece : pieces) lines.feed(piece, [&](std::string_view line) { got.emplace_back(line); });
        EXPECT_EQ(got, expected) << pieces.front();
    }
    // A line begun while the lines were not wanted is dropped whole.
    LineAssembler lines(8);
    std::vector<std::string> got;
    const auto each = [&](std::string_view line) { got.emplace_back(line); };
    lines.feed("$A*00\n$B", [](std::string_view) {});
    lines.drop_line_begun();
    lines.feed("*00\n$C*00\n", each);
    EXPECT_EQ(got, std::vector<std::string>{"$C*00"});
}

// The fuzzer's seed corpus holds: every line read or refused within the rules.
TEST(PilotSentences, TheSeedCorpusHolds) {
    ASSERT_FALSE(std::filesystem::is_empty(VADREL_PILOT_CORPUS)) << "the seed corpus is there";
    for (const auto& entry : std::filesystem::directory_iterator(VADREL_PILOT_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(fuzzing::check_pilot(bytes), "") << entry.path().filename();
    }
}

}  // namespace
}  // namespace vadrel
