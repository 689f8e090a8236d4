#include <gtest/gtest.h>

#include <QDateTime>
#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "nmea/faults.h"
#include "nmea/sentences.h"
#include "sky/sentence_table.h"
#include "sky/sky_options.h"
#include "support/fakes.h"
#include "tick/second_sentences.h"
#include "tick/system_clock.h"

namespace vadrel {
namespace {

using testing::Rig;

constexpr double arc(double degrees, double minutes = 0.0, double seconds = 0.0) {
    return degrees * 3600.0 + minutes * 60.0 + seconds;
}

const std::string radio_start("\r\n\0\0\0\0\0$GPGSV", 13);

// A running panel on an open port, vehicle 0 at 44 1 46 N, 10 8 4 E, course
// 45, 100 km/h.
struct Running : Rig {
    Running() {
        port.force_open();
        fleet.place(0, arc(44, 1, 46), arc(10, 8, 4), nullptr);
        fleet.set_course(0, 45.0, nullptr);
        fleet.set_speed(0, 100.0, nullptr);
    }
    const std::string& monitor() const { return form.monitor.lines().back(); }
    // The last write up to its first CR LF.
    std::string last_sentence() const { return port.written.back().substr(0, port.written.back().find("\r\n")); }
};

// Stopped, nothing is sent and the seconds are one step once started again;
// started on a closed port, the label says so and blinks.
TEST(Transmitter, StartStopAndAClosedPort) {
    Running r;
    r.tick(0);
    r.form.start_stop_button.click();
    for (int i = 0; i < 3; ++i) r.tick();
    EXPECT_EQ(r.port.written.size(), 1u);
    r.port.close();
    r.form.start_stop_button.click();
    EXPECT_EQ(r.form.status_label.caption(), "No Tx");
    EXPECT_TRUE(r.form.status_label.visible()) << "Start leaves the visibility to the blink";
    r.tick(0);
    EXPECT_FALSE(r.form.status_label.visible());
    EXPECT_EQ(r.form.latitude_seconds_box.text(), "48") << "3 s at 100 km/h on course 45";
    r.port.force_open();
    r.form.start_stop_button.click();
    r.form.start_stop_button.click();
    EXPECT_EQ(r.form.status_label.caption(), "Tx OK");
    EXPECT_EQ(r.form.status_label.colour(), Colour::green_status());
}

TEST(Transmitter, MonitorClearsOnlyPastItsHeight) {
    Running r;
    // 16 lines of 195 twips reach 3120, past the height 3045; 15 reach 2925
    for (int i = 0; i < 16; ++i) r.tick();
    EXPECT_EQ(r.form.monitor.lines().size(), 16u);
    r.tick();
    EXPECT_EQ(r.form.monitor.lines().size(), 1u);
}

// Multi-user mode, two vehicles: each sentence carries its vehicle, the
// panel shows the next one while the events run mid-tick (Stop pressed
// there lets the tick end; a tick arriving there is dropped), and every
// vehicle of the cycle moves every second once its turn has come.
TEST(Transmitter, MultiUserSendsEachInTurnAndMovesThemAll) {
    Running r;
    r.fleet.load(1, Vehicle{-arc(45, 30), -arc(9, 12), 0.0, 100.0, SpeedUnit::kmh}, nullptr);
    r.form.multi_user_mode_option.select();
    r.form.vehicle_count_box.set_text("2");
    r.shell.pending = [&] {
        r.transmitter.tick();
        r.form.start_stop_button.click();
    };
    r.tick(0);
    ASSERT_EQ(r.port.written.size(), 1u);
    EXPECT_EQ(r.form.current_vehicle_box.text(), "1");
    EXPECT_EQ(r.form.latitude_hemisphere_box.text(), "S");
    EXPECT_FALSE(r.link.transmitting()) << "the tick finished all the same";
    r.form.start_stop_button.click();
    r.tick();
    EXPECT_EQ(r.port.written.at(1).rfind("@1$GPRMC,201528,A,4530.0000,S,", 0), 0u) << "its first step starts its clock";
    r.tick();
    r.tick();
    EXPECT_NE(r.port.written[3].find(",4529.9700,S,"), std::string::npos) << "two seconds north: " << r.port.written[3];
    EXPECT_EQ(r.fleet.vehicle(0).last_step, r.clock.steady) << "vehicle 0 moved at vehicle 1's turn too";
}

TEST(Transmitter, BusyLineSkipsAndALostPortIsClosedUntilChosenAgain) {
    Running r;
    r.port.busy = true;
    r.tick();
    r.tick();
    EXPECT_TRUE(r.port.written.empty());
    EXPECT_EQ(r.transmitter.skipped_writes(), 2);
    EXPECT_NE(r.monitor().find("saltati 2"), std::string::npos);
    r.port.busy = false;
    r.port.fail_writes = true;
    r.tick();
    EXPECT_FALSE(r.port.is_open());
    EXPECT_FALSE(r.form.com2_option.selected());
    EXPECT_EQ(r.form.status_label.caption(), "No tx");
    r.port.fail_writes = false;
    r.tick();  // the simulation goes on, and each line says why nothing is sent
    EXPECT_EQ(r.monitor(), "  [non inviato: adattatore scollegato]");
    r.form.com2_option.select();
    r.tick();
    EXPECT_EQ(r.port.written.size(), 1u);
}

// An output beside the serial port, as the network outputs are.
struct OtherOutput : OutputSink {
    Result send(std::string_view bytes) override {
        got.emplace_back(bytes);
        return result;
    }
    Result result;
    std::vector<std::string> got;
};

// The bytes of the mode go to every output whatever the serial port does;
// the monitor shows them when any output ran, with each one's note.
TEST(Transmitter, EveryOutputGetsTheModesBytesAndTheMonitorShowsWhatRan) {
    // what, the serial port open, its writes failing, radio, the other output's result, shown, the notes
    const std::tuple<const char*, bool, bool, bool, OutputSink::Result, bool, const char*> rows[] = {
        {"nothing runs", false, false, false, {false, ""}, false, ""},
        {"only the other output runs", false, false, false, {true, ""}, true, ""},
        {"the other output failed", false, false, false, {false, "  [TCP: guasto]"}, false, "  [TCP: guasto]"},
        {"both run, the other skipped", true, false, false, {true, "  [TCP: saltato]"}, true, "  [TCP: saltato]"},
        {"the serial port is lost", true, true, false, {true, ""}, true, "  [non inviato: adattatore scollegato]"},
        {"radio, the serial port closed", false, false, true, {true, ""}, true, ""},
    };
    for (const auto& [name, serial_open, serial_fails, radio, result, shows, notes] : rows) {
        Running r;
        OtherOutput other;
        other.result = result;
        r.output.add(other);
        if (!serial_open) r.port.close();
        r.port.fail_writes = serial_fails;
        if (radio) r.form.radio_mode_option.select();
        r.tick();
        ASSERT_EQ(other.got.size(), 1u) << name;
        const std::string& bytes = other.got[0];
        EXPECT_EQ(bytes.rfind(radio ? radio_start : "$GPRMC", 0), 0u) << name;
        const std::string shown = radio ? "\xE2\x90\x80\xE2\x90\x80\xE2\x90\x80\xE2\x90\x80\xE2\x90\x80$GPGSV"
                                            : bytes.substr(0, bytes.size() - 2);
        const auto& lines = r.form.monitor.lines();
        ASSERT_GE(lines.size(), radio ? 8u : 1u) << name;
        EXPECT_EQ(lines.end()[radio ? -8 : -1].substr(0, radio ? shown.size() : std::string::npos),
                  (shows ? shown : "") + notes)
            << name;
        EXPECT_EQ(r.port.written.size(), serial_open && !serial_fails ? 1u : 0u) << name;
    }
}

// The supplement's lines (the AIS targets') follow the second's own
// sentences in the same write, in GPS standard and radio, also in a second
// the receiver loses; multi-user mode never asks for them.
TEST(Transmitter, TheSupplementFollowsTheSecondsOwnSentences) {
    const std::string lines = "!AIVDM,1\r\n!AIVDM,2\r\n";
    // what, the mode, the second lost, the write's start and end (none: not asked)
    const std::tuple<const char*, Mode, bool, std::string, std::string> rows[] = {
        {"GPS standard: after the $GPRMC", Mode::gps_standard, false, "$GPRMC", "\r\n" + lines},
        {"radio: after the closing separator", Mode::radio, false, radio_start,
         std::string("\r\n\0\0\0\0\0", 7) + lines},
        {"a lost second: alone", Mode::gps_standard, true, lines, lines},
        {"multi-user: none", Mode::multi_user, false, "@0$GPRMC", ""},
    };
    for (const auto& [name, mode, lost, start, end] : rows) {
        Running r;
        std::vector<double> asked;
        r.transmitter.set_supplement([&asked](double steady) {
            asked.push_back(steady);
            return Transmitter::SupplementSecond{{"!AIVDM,1", "!AIVDM,2"}, {}};
        });
        r.fleet.set_mode(mode, nullptr);
        if (lost) {
            ReceiverOptions lose_all;
            lose_all.faults = {true, 1.0, 0.0, 0.0, 1};
            r.transmitter.set_receiver(lose_all);
        }
        r.tick();
        ASSERT_EQ(r.port.written.size(), 1u) << name;
        const std::string& bytes = r.port.written[0];
        EXPECT_EQ(bytes.rfind(start, 0), 0u) << name;
        EXPECT_EQ(bytes.ends_with(lines), !end.empty()) << name;
        EXPECT_TRUE(bytes.ends_with(end)) << name;
        EXPECT_EQ(asked, end.empty() ? std::vector<double>{} : std::vector{r.clock.steady}) << name;
        EXPECT_EQ(r.monitor() == "!AIVDM,2", !end.empty()) << name;
        const auto& shown = r.form.monitor.lines();
        EXPECT_EQ(shown.size() >= 3 && shown.end()[-3] == "[guasto: secondo 201528 non inviato]", lost) << name;
    }
}

// The own ship's instruments speak after the second's own sentences and
// before the supplement's, in GPS standard only, also in a second the
// receiver loses (they are other devices); off, nothing changes.
TEST(Transmitter, TheInstrumentsFollowTheSecondsOwnSentencesInGpsStandardOnly) {
    // what, the mode, on, the second lost, where the write has the instruments' first line (npos: nowhere)
    const std::tuple<const char*, Mode, bool, bool, std::size_t> rows[] = {
        {"GPS standard: after the $GPRMC", Mode::gps_standard, true, false, 1},
        {"a lost second: the instruments first", Mode::gps_standard, true, true, 0},
        {"radio: none", Mode::radio, true, false, std::string::npos},
        {"multi-user: none", Mode::multi_user, true, false, std::string::npos},
        {"off: none", Mode::gps_standard, false, false, std::string::npos},
    };
    for (const auto& [name, mode, on, lost, at] : rows) {
        Running r;
        InstrumentSettings instruments;
        instruments.enabled = on;
        r.transmitter.set_instruments(instruments);
        r.transmitter.set_supplement([](double) { return Transmitter::SupplementSecond{{"!AIVDM,1"}, {}}; });
        if (lost) r.transmitter.set_receiver(ReceiverOptions{.faults = {true, 1.0, 0.0, 0.0, 1}});  // every second lost
        r.fleet.set_mode(mode, nullptr);
        r.tick();
        ASSERT_EQ(r.port.written.size(), 1u) << name;
        std::vector<std::string> lines;
        for (std::size_t from = 0, end; (end = r.port.written[0].find("\r\n", from)) != std::string::npos; from = end + 2)
            lines.push_back(r.port.written[0].substr(from, end - from));
        const auto first = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("$HCHDG"); });
        EXPECT_EQ(first == lines.end() ? std::string::npos : static_cast<std::size_t>(first - lines.begin()), at) << name;
        if (at == std::string::npos) continue;
        EXPECT_EQ(lines.size(), at + 12) << name << ": eleven sentences, then the supplement";
        EXPECT_EQ(lines.back(), "!AIVDM,1") << name;
        EXPECT_EQ(lines[at + 1], "$HEHDT,45.0,T*1E") << name << ": the vehicle's course";
        EXPECT_TRUE(r.transmitter.last_readings().has_value()) << name;
    }
}

// The rate of turn is the current vehicle's own: its course change over the
// steady time since the second before; another vehicle made current, or the
// instruments turned off and on, starts again from no turn.
TEST(Transmitter, TheInstrumentsTurnWithTheCurrentVehicleOnly) {
    Running r;
    InstrumentSettings instruments;
    instruments.enabled = true;
    r.transmitter.set_instruments(instruments);
    r.fleet.set_course(1, 300.0, nullptr);
    r.fleet.set_speed(1, 10.0, nullptr);
    const auto rate = [&r] { return r.transmitter.last_readings()->rate_of_turn; };
    r.tick();
    EXPECT_EQ(rate(), 0.0) << "the first second";
    r.fleet.set_course(0, 55.0, nullptr);
    r.tick(2.0);
    EXPECT_DOUBLE_EQ(rate(), 300.0) << "10 degrees in 2 s to starboard";
    r.fleet.set_current(1, nullptr);
    r.tick();
    EXPECT_EQ(rate(), 0.0) << "another vehicle: no turn from 55 to 300";
    EXPECT_EQ(r.transmitter.last_readings()->heading_true, 300.0);
    instruments.enabled = false;
    r.transmitter.set_instruments(instruments);
    r.tick();
    r.fleet.set_course(1, 290.0, nullptr);
    instruments.enabled = true;
    r.transmitter.set_instruments(instruments);
    r.tick();
    EXPECT_EQ(rate(), 0.0) << "off and on again: no turn";
    EXPECT_EQ(r.transmitter.last_readings()->distance_run_nm, 0.0);
}

// Each sentence leaves a point on its vehicle's track: where it was sent,
// the UTC time, its speed and course over ground. Multi-user mode, 2
// vehicles: 0 at 100 km/h on course 45, 1 backwards at 10 knots on 90.
TEST(Transmitter, EachSentenceIsAPointOfItsVehiclesTrack) {
    Running r;
    r.form.multi_user_mode_option.select();
    r.form.vehicle_count_box.set_text("2");
    r.fleet.load(1, Vehicle{-arc(45, 30), -arc(9, 12), 90.0, -10.0, SpeedUnit::knots}, nullptr);
    for (int i = 0; i < 3; ++i) {
        r.clock.utc += 1.0;
        r.tick();
    }
    // the vehicle, its points, the last one's speed (m/s), course and seconds before now
    const std::tuple<std::size_t, std::size_t, double, double, double> rows[] = {
        {0, 2, 100 / 3.6, 45, 0}, {1, 1, 10 * 1.852 / 3.6, 270, 1}, {2, 0, 0, 0, 0}};
    for (const auto& [vehicle, points, speed, course, utc_before_now] : rows) {
        const auto& track = r.tracks.points(vehicle);
        ASSERT_EQ(track.size(), points) << vehicle;
        if (track.empty()) continue;
        EXPECT_EQ(track.back().utc, r.clock.utc - utc_before_now) << vehicle;
        EXPECT_NEAR(track.back().speed, speed, 1e-9) << vehicle;
        EXPECT_EQ(track.back().course, course) << vehicle;
    }
    EXPECT_EQ(r.tracks.points(0).back().lat * 3600.0, r.fleet.vehicle(0).lat) << "vehicle 0 was sent last";
}

// While a log plays the ticks send nothing and the label says so; at its
// end the label is what it was, or what Start/Stop or a lost port set
// meanwhile: a port lost by a replayed second is closed and told as a tick
// tells it.
TEST(Transmitter, PausedWhileALogPlays) {
    // stopped, the port's loss by the replayed second, the monitor's line, the label's caption and colour
    const std::tuple<bool, const char*, const char*, const char*, Colour> rows[] = {
        {false, "", "$GPRMC,x*00", "Tx ok", Colour::green_status()},
        {true, "", "$GPRMC,x*00", "Stop", Colour::red_status()},
        {false, "porta persa: adattatore scollegato", "$GPRMC,x*00  [non inviato: porta persa: adattatore scollegato]",
         "No tx", Colour::red_status()}};
    for (const auto& [stopped, loss, line, caption, colour] : rows) {
        Running r;
        r.form.status_label.set_caption("Tx ok");
        r.form.status_label.set_colour(Colour::green_status());
        r.tick();
        r.transmitter.begin_replay();
        EXPECT_EQ(r.form.status_label.caption(), "Riproduce");
        r.tick();
        Delivery delivery;
        delivery.serial = *loss ? Delivery::Serial::lost : Delivery::Serial::written;
        delivery.loss = loss;
        r.transmitter.show_replayed("$GPRMC,x*00\r\n", delivery);
        EXPECT_EQ(r.port.written.size(), 1u);
        if (stopped) r.form.start_stop_button.click();
        r.transmitter.end_replay();
        EXPECT_EQ(r.monitor(), line);
        EXPECT_EQ(r.form.status_label.caption(), caption);
        EXPECT_EQ(r.form.status_label.colour(), colour);
        EXPECT_EQ(r.port.is_open(), !*loss);
        r.tick();
        EXPECT_EQ(r.port.written.size(), stopped || *loss ? 1u : 2u);
    }
}

// The full set under a sky at five fixes a second: each fix its own time
// (hundredths) and its own step of the motion; the multi-user mode keeps to
// one a second.
TEST(Transmitter, FixesBetweenTheSecondsCarryTheirTimeAndStepTheMotion) {
    Running r;
    ReceiverOptions o;
    o.full_set = o.utc = true;
    o.sky_options.satellites = true;
    o.sky_options.rate = 5;
    r.transmitter.set_receiver(o);
    r.clock.wall.utc = r.clock.wall.local = {2003, 5, 9, 20, 15, 28};
    std::vector<std::string> rmc;
    for (int k = 0; k < 5; ++k) {
        r.clock.utc = 1052511328.0 + 0.2 * k + 0.003;  // a timer a little late
        r.clock.steady += 0.2;
        r.transmitter.tick(k);
        ASSERT_EQ(r.port.written.size(), k + 1u);
        rmc.push_back(r.last_sentence());
        EXPECT_EQ(rmc.back().substr(0, 18), "$GPRMC,201528." + std::to_string(2 * k) + "0,A") << k;
    }
    EXPECT_NE(rmc[1].substr(17, 22), rmc[4].substr(17, 22)) << "moved between the fixes";
    EXPECT_NE(r.port.written.back().find("$GPGSV,"), std::string::npos);

    r.form.multi_user_mode_option.select();
    r.transmitter.tick(1);
    EXPECT_EQ(r.port.written.size(), 5u);
    r.transmitter.tick(0);
    EXPECT_EQ(r.port.written.size(), 6u);
}

// The noise moves what is said, never the vehicle; the same seed says the
// same; a timed loss of the fix empties the fix for its seconds.
TEST(Transmitter, NoiseAndTimedLossesOfTheFixAreTheReceiversNotTheVehicles) {
    const auto run = [](double noise, FixOutage outage) {
        Running r;
        ReceiverOptions o;
        o.full_set = true;
        o.sky_options.noise = noise;
        o.faults.enabled = outage.every > 0;
        o.faults.seed = 7;
        o.faults.fix_outage = outage;
        r.transmitter.set_receiver(o);
        std::vector<std::string> rmc;
        for (int s = 0; s < 4; ++s) {
            r.clock.wall.utc.second = r.clock.wall.local.second = s;
            r.tick();
            rmc.push_back(r.last_sentence());
        }
        // the track keeps the true position and, under noise, the one sent
        const TrackPoint& step = r.transmitter.tracks().points(0).back();
        EXPECT_EQ(step.reported, noise > 0.0);
        EXPECT_DOUBLE_EQ(step.lat * arc_seconds_per_degree, r.fleet.vehicle(0).lat);
        if (const auto sent = r.transmitter.reported(0)) {
            EXPECT_DOUBLE_EQ(step.reported_lat * arc_seconds_per_degree, sent->lat);
            EXPECT_DOUBLE_EQ(step.reported_lon * arc_seconds_per_degree, sent->lon);
            EXPECT_NE(step.reported_lat, step.lat);
        }
        return std::pair(rmc, r.fleet.vehicle(0).lat);
    };
    const auto [plain, true_lat] = run(0.0, {});
    const auto [noisy, noisy_lat] = run(20.0, {});
    EXPECT_EQ(noisy_lat, true_lat);
    for (std::size_t s = 0; s < plain.size(); ++s) EXPECT_NE(noisy[s], plain[s]) << s;
    EXPECT_EQ(run(20.0, {}).first, noisy);
    const auto lost = run(0.0, {2, 4}).first;  // the last 2 s of every 4
    for (std::size_t s = 0; s < lost.size(); ++s) EXPECT_EQ(lost[s].substr(13, 3), s < 2 ? ",A," : ",V,") << lost[s];
}

// The track's altitude is the one the second's GGA carried: none without a
// GGA or without a fix, the altitude with the noise's part under noise.
TEST(Transmitter, TheTrackKeepsTheAltitudeTheSentencesCarried) {
    const auto altitude_of = [](bool full, bool no_fix, double noise, const char* list) {
        Running r;
        ReceiverOptions o;
        o.full_set = full;
        o.altitude = 254.5;
        o.no_fix = no_fix;
        o.sky_options.noise = noise;
        if (*list != '\0') o.sky_options.sentences = std::get<std::vector<SentenceKind>>(read_sentence_list(list));
        r.transmitter.set_receiver(o);
        r.tick();
        std::string gga;
        for (std::size_t at = 0; at != std::string::npos;) {
            const std::size_t end = r.port.written.back().find("\r\n", at);
            const std::string line = r.port.written.back().substr(at, end - at);
            if (line.find("GGA,") != std::string::npos) gga = line;
            at = end == std::string::npos ? end : end + 2;
        }
        return std::pair(r.transmitter.tracks().points(0).back().altitude, gga);
    };
    // full set, no fix, noise (m), sentence list, altitude in the track
    const std::tuple<bool, bool, double, const char*, std::optional<double>> rows[] = {
        {false, false, 0.0, "", std::nullopt},       // $GPRMC alone
        {true, false, 0.0, "", 254.5},
        {true, true, 0.0, "", std::nullopt},         // GGA with empty fields
        {true, false, 0.0, "RMC,VTG", std::nullopt}, // no GGA in the list
        {true, false, 0.0, "RMC,GGA", 254.5},
    };
    for (const auto& [full, no_fix, noise, list, expected] : rows) {
        const auto [altitude, gga] = altitude_of(full, no_fix, noise, list);
        EXPECT_EQ(altitude, expected) << full << no_fix << list << ": " << gga;
    }
    // Under noise: the altitude the GGA says, which the noise moved.
    const auto [noisy, gga] = altitude_of(true, false, 30.0, "");
    ASSERT_TRUE(noisy.has_value()) << gga;
    EXPECT_NE(*noisy, 254.5);
    EXPECT_NE(gga.find("," + QString::number(*noisy, 'f', 1).toStdString() + ",M,"), std::string::npos) << gga;
}

// Each vehicle's own stream beside the main output: which vehicles have
// one, what each holds in every mode, and that the main output's bytes
// stay as they are.
struct FakeStreams final : VehicleOutput {
    bool streaming = true;
    std::vector<std::vector<std::optional<std::string>>> seconds;
    bool on() const override { return streaming; }
    void send(const std::vector<std::optional<std::string>>& bytes) override { seconds.push_back(bytes); }
};

// Vehicles 0, 1 and 2 of "Numero di mezzi mobili" 3, each at its own
// latitude (44, 45, 46 degrees) heading north at 36 km/h.
struct Fleet3 : Rig {
    FakeStreams streams;
    Fleet3() {
        port.force_open();
        for (std::size_t n = 0; n < 3; ++n) {
            fleet.place(n, (44.0 + static_cast<double>(n)) * 3600.0, 10.0 * 3600.0, nullptr);
            fleet.set_speed(n, 36.0, nullptr);
        }
        fleet.set_cycle(3, nullptr);
        fleet.set_streams(true, nullptr);
        transmitter.set_vehicle_output(&streams);
    }
};

// The faults, wrong checksums on every sentence here, stay on the main output.
TEST(TransmitterStreams, EachVehicleInUseHasItsOwnGpsStandardSecondInEveryMode) {
    // the mode, faults, the main output's start (as the mode has it), what
    const std::tuple<Mode, bool, const char*, const char*> rows[] = {
        {Mode::gps_standard, false, "$GPRMC,", "GPS standard: the current vehicle's stream is the main output"},
        {Mode::gps_standard, true, "$GPRMC,", "GPS standard with faults: the stream keeps its checksums"},
        {Mode::radio, false, "\r\n", "radio: the main output keeps its burst"},
        {Mode::multi_user, false, "@1$GPRMC,", "multi-user: the main output keeps its @n, in turn"},
    };
    for (const auto& [mode, faults, main_starts, message] : rows) {
        Fleet3 r;
        r.fleet.set_mode(mode, nullptr);
        ReceiverOptions options;
        options.faults = {faults, 0.0, 1.0, 0.0, 1};
        r.transmitter.set_receiver(options);
        r.tick(0);
        r.tick(1);
        ASSERT_EQ(r.streams.seconds.size(), 2u) << message;
        EXPECT_EQ(r.port.written.back().rfind(main_starts, 0), 0u) << message;
        const auto& second = r.streams.seconds.back();
        ASSERT_EQ(second.size(), fleet_size) << message;
        for (std::size_t n = 0; n < fleet_size; ++n) {
            // one $GPRMC, its own latitude, moved on by the second
            const std::string own = "$GPRMC,201528,A," + std::to_string(44 + n) + "00.0";
            EXPECT_EQ(second[n] && second[n]->starts_with(own) && second[n]->find("\r\n") == second[n]->size() - 2,
                      n < 3)
                << message << ", vehicle " << n << ": " << second[n].value_or("none");
        }
        const std::string body = second[0]->substr(0, second[0]->find('*'));
        EXPECT_EQ(body + checksum_field(body) + "\r\n", *second[0]) << message;
        EXPECT_EQ(*second[0] == r.port.written.back(), mode == Mode::gps_standard && !faults) << message;
    }
}

// The tracks follow the vehicles in use where their sentences went: the
// main output's, each stream's, each AIS target whose position went out;
// one point a second at most, however many outputs a vehicle has.
TEST(TransmitterStreams, EachVehicleSentHasItsTrack) {
    // what, the mode, streams on, the vehicles the supplement reports, each vehicle's points after 3 seconds (0 .. 3)
    const std::tuple<const char*, Mode, bool, std::vector<std::size_t>, std::vector<std::size_t>> rows[] = {
        {"GPS standard, streams: every second each", Mode::gps_standard, true, {}, {3, 3, 3, 0}},
        {"multi-user, streams: each from its first turn", Mode::multi_user, true, {}, {3, 3, 2, 0}},
        {"multi-user alone: each at its turn", Mode::multi_user, false, {}, {1, 1, 1, 0}},
        {"AIS: the targets reported, the own ship once", Mode::gps_standard, false, {0, 2}, {3, 0, 3, 0}},
    };
    for (const auto& [what, mode, streams, reported, points] : rows) {
        Fleet3 r;
        r.fleet.set_mode(mode, nullptr);
        r.fleet.set_streams(streams, nullptr);
        r.streams.streaming = streams;
        r.transmitter.set_supplement([&reported](double) { return Transmitter::SupplementSecond{{"!AIVDM"}, reported}; });
        for (int t = 0; t < 3; ++t) r.tick(1);
        std::vector<std::size_t> counted;
        for (std::size_t n = 0; n < 4; ++n) counted.push_back(r.tracks.points(n).size());
        EXPECT_EQ(counted, points) << what;
    }
}

TEST(TransmitterStreams, OffTheOtherVehiclesStayWhereTheyAreAndNothingIsMade) {
    Fleet3 r;
    r.streams.streaming = false;
    r.fleet.set_streams(false, nullptr);
    r.tick(0);
    r.tick(60);
    EXPECT_TRUE(r.streams.seconds.empty());
    EXPECT_EQ(r.fleet.vehicle(1).lat, 45.0 * 3600.0);
    // on: every vehicle in use moves with the ticks
    r.streams.streaming = true;
    r.fleet.set_streams(true, nullptr);
    r.tick(60);
    r.tick(60);
    EXPECT_GT(r.fleet.vehicle(1).lat, 45.0 * 3600.0 + 10.0);
}

// The sentences of one second for one vehicle with the receiver options, as
// a client reads them (the time 20.15.28 local, 18.15.28 UTC, on 9 May 2003,
// at 4400.6787 N 01007.7087 E). The golden files of the end-to-end tests hold
// every mode and option set byte for byte over many seconds; these rows are
// the cases they leave out.
using Sentences = std::vector<std::string>;

struct Scene {
    ReceiverOptions options;
    Mode mode = Mode::gps_standard;
    double speed = 0.0;
    double course = 0.0;
    SpeedUnit unit = SpeedUnit::kmh;
};

Sentences sentences_of(const Scene& s, testing::FakeClock& clock) {
    // 4400.6787 N 01007.7087 E, a hair past so the cut keeps the last digit
    const Vehicle v{158440.7221, 36462.5221, s.course, s.speed, s.unit};
    return second_sentences({v, {}, s.mode, s.options, sentence_time(clock, s.options)});
}

// Radio without a fix: the burst's own fix goes too.
TEST(SecondSentences, ARadioBurstWithoutAFix) {
    ReceiverOptions no_fix;
    no_fix.no_fix = true;
    testing::FakeClock clock;
    EXPECT_EQ(sentences_of({no_fix, Mode::radio}, clock),
              (Sentences{gsv_1, gsv_2, rme, "$GPRMC,201528,V,,,,,,,090503,000.0,W,*67", "$GPVTG,,T,,M,,N,,K*4E",
                         "$GPGGA,201528,,,,,0,00,,,,,,,*6A", "$GPGSA,A,1,,,,,,,,,,,,,,,*1E"}));
}

// Each mode sends only the kinds the sentence table allows it.
TEST(SecondSentences, EachModeSendsWhatTheTableAllows) {
    ReceiverOptions full;
    full.full_set = true;
    full.sky_options.sentences = std::get<std::vector<SentenceKind>>(read_sentence_list("RMC,GGA,VTG,GSA,GSV,ZDA,GLL,HDT"));
    // the scene, where its sentences must be allowed
    const std::tuple<Scene, std::uint8_t> rows[] = {
        {{{}, Mode::gps_standard}, SentIn::gps_standard},
        {{{}, Mode::multi_user}, SentIn::gps_standard},
        {{{}, Mode::radio}, SentIn::radio_burst},
        {{full, Mode::radio}, SentIn::radio_burst},
        {{full, Mode::gps_standard}, SentIn::full_set},
    };
    for (const auto& [scene, where] : rows) {
        testing::FakeClock clock;
        for (const std::string& sentence : sentences_of(scene, clock)) {
            const SentenceRow* row = sentence_row(sentence.substr(sentence.find('$') + 3, 3));
            ASSERT_NE(row, nullptr) << sentence;
            EXPECT_NE(row->where & where, 0) << sentence << " in " << static_cast<int>(where);
        }
    }
}

// Without UTC or the full set the time and date are the regional texts,
// only "." and "/" taken out; otherwise one reading of the clock stamps the
// whole set, also at midnight.
TEST(SecondSentences, TimeAndDateFields) {
    // the clock's time and date texts, the fields
    const std::tuple<const char*, const char*, const char*, const char*> rows[] = {
        {"9.05.03", "09/05/03", "090503", "090503"},
        {"23.59.59", "31/12/2026", "235959", "31122026"},
        {"12:30:45", "31-12-26", ":30:45", "31-12-26"},
    };
    for (const auto& [time, date, field_time, field_date] : rows) {
        testing::FakeClock clock;
        clock.time = time;
        clock.date = date;
        const SentenceTime t = sentence_time(clock, {});
        EXPECT_EQ(t.time + " " + t.date, std::string(field_time) + " " + field_date) << time;
    }
    testing::FakeClock clock;
    clock.wall.utc = {2026, 12, 31, 23, 59, 59};
    ReceiverOptions o;
    o.full_set = o.utc = true;
    const Sentences got = sentences_of({o}, clock);
    EXPECT_EQ(clock.wall_readings, 1);
    EXPECT_EQ(got.at(0), "$GPRMC,235959,A,4400.6787,N,01007.7087,E,0.0,000.0,311226,000.0,W,*4C");
    EXPECT_EQ(got.at(4), "$GPZDA,235959,31,12,2026,00,00*4E");
}

TEST(SecondSentences, RealSpeedInKnotsAndTrueCourseOverTheGround) {
    // speed, course, unit, the $GPRMC's speed and course fields
    const std::tuple<double, double, SpeedUnit, const char*> rows[] = {
        {-100, 45, SpeedUnit::none, ",54.0,225.0,"},  // backing along course 45 goes over the ground to 225
        {100, 359.96, SpeedUnit::kmh, ",54.0,000.0,"},  // rounds to 360.0, which is 000.0
    };
    ReceiverOptions motion;
    motion.real_motion = true;
    for (const auto& [speed, course, unit, fields] : rows) {
        testing::FakeClock clock;
        const std::string rmc = sentences_of({motion, Mode::gps_standard, speed, course, unit}, clock)[0];
        EXPECT_NE(rmc.find(fields), std::string::npos) << speed << " at " << course << ": " << rmc;
    }
}

// The faults of a seed go on with the same options, start again with a new
// seed, and are none while switched off whatever the rates.
TEST(Faults, ANewSeedStartsTheSequenceAgainAndTheSameOptionsKeepItGoing) {
    testing::Rig rig;
    rig.port.force_open();
    ReceiverOptions o;
    o.faults = {true, 0.3, 0.3, 0.3, 7};
    const auto run = [&rig](int ticks) {
        rig.port.written.clear();
        for (int i = 0; i < ticks; ++i) rig.tick();
        std::string all;
        for (const std::string& w : rig.port.written) all += w + "|";
        return all + std::to_string(rig.port.written.size());
    };
    rig.transmitter.set_receiver(o);
    const std::string first = run(30);
    rig.transmitter.set_receiver(o);
    EXPECT_NE(run(30), first) << "the same options go on with the sequence";
    o.faults.seed = 8;
    rig.transmitter.set_receiver(o);
    o.faults.seed = 7;
    rig.transmitter.set_receiver(o);
    EXPECT_EQ(run(30), first);
    o.faults = {false, 0.0, 1.0, 0.0, 7};
    rig.transmitter.set_receiver(o);
    const std::string sent = run(1);
    const std::string body = sent.substr(0, sent.find('*'));
    EXPECT_EQ(sent, body + checksum_field(body) + "\r\n|1") << "off: no wrong checksum";
}

// A sentence built across midnight takes its date from its time reading; a
// date asked long after the time, or alone, is read afresh. The hour has no
// leading zero, the year two digits.
TEST(SystemClock, TheDateGoesWithTheTimeJustRead) {
    const auto at = [](int day, QTime time) { return QDateTime(QDate(2003, 5, day), time); };
    const std::vector<QDateTime> readings = {at(8, QTime(23, 59, 59, 990)), at(9, QTime(0, 0, 0, 10)),
                                             at(9, QTime(0, 0, 0, 500)), at(8, QTime(23, 59, 58)),
                                             at(9, QTime(0, 0, 2))};
    auto next = std::make_shared<std::size_t>(0);
    SystemClock clock([readings, next] { return readings.at((*next)++); });
    EXPECT_EQ(clock.time_text(), "23.59.59");
    EXPECT_EQ(clock.date_text(), "08/05/03") << "not the next day's date";
    EXPECT_EQ(clock.date_text(), "09/05/03") << "no time since the last date";
    EXPECT_EQ(clock.time_text(), "23.59.58");
    EXPECT_EQ(clock.date_text(), "09/05/03") << "4 s after the time";
    EXPECT_EQ(time_text_of(QTime(9, 5, 3)), "9.05.03");
}

}  // namespace
}  // namespace vadrel
