#include <gtest/gtest.h>

#include <functional>

#include "core/fleet.h"
#include "core/tick.h"
#include "motion/advance.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

// A running panel on an open port at 44 1 46 N, 10 8 4 E, course 45, 100 km/h.
struct Running : Rig {
    Running() {
        port.force_open();
        for (auto [box, text] : {std::pair{&form.txt_lat_g, "44"}, {&form.txt_lat_p, "1"}, {&form.txt_lat_s, "46"},
                                 {&form.txt_lon_g, "10"}, {&form.txt_lon_p, "8"}, {&form.txt_lon_s, "4"},
                                 {&form.txt_angolo, "45"}, {&form.txt_vel, "100"}}) {
            box->set_text(text);
        }
    }
    void tick(double seconds_later = 1.0) {
        clock.steady += seconds_later;
        Timer1_Timer(form);
    }
};

TEST(Timer1Timer, FirstTickStampsThenTheNextMovesAndIsSentWithCrLf) {
    Running r;
    r.tick(0);
    EXPECT_EQ(r.form.txt_lat_s.text(), "46");  // the first step covers no time
    r.tick(1);
    EXPECT_EQ(r.form.txt_lat_s.text(), "47");
    EXPECT_EQ(r.form.rmc_lat, "4401.7772");
    EXPECT_EQ(r.form.rmc_lon, "01008.0814");
    EXPECT_EQ(r.form.mezzi[0], (veicolo{44, 1, 47, "N", 10, 8, 5, "E", 100, 45, -1, 0}));
    EXPECT_EQ(r.form.tempo_ultimo[0], r.clock.steady);
    ASSERT_EQ(r.port.written.size(), 2u);
    const std::string& w = r.port.written[1];
    EXPECT_EQ(w, "$GPRMC,201528,A,4401.7772,N,01008.0814,E,0.0,000.0,090503,000.0,W,*4B\r\n");
    EXPECT_EQ(r.form.Picture1.lines().back(), w.substr(0, w.size() - 2));
}

TEST(Timer1Timer, ModeIsReadAtEachTickAndRadioIsOneWrite) {
    Running r;
    r.tick(0);
    r.form.opt_tx_radio.select();
    r.tick();
    r.form.Opt_gps_standard.select();
    r.tick();
    ASSERT_EQ(r.port.written.size(), 3u);
    EXPECT_EQ(r.port.written[0][0], '$');
    EXPECT_EQ(r.port.written[1].substr(0, 13), std::string("\r\n\0\0\0\0\0$GPGSV", 13));
    EXPECT_EQ(r.port.written[2][0], '$');
    // the burst is shown readably: nine lines, NUL as a visible symbol
    const auto& lines = r.form.Picture1.lines();
    EXPECT_EQ(lines.size(), 1u + 9u + 1u);
    EXPECT_EQ(lines[2].rfind("\xE2\x90\x80\xE2\x90\x80\xE2\x90\x80\xE2\x90\x80\xE2\x90\x80$GPGSV", 0), 0u);
}

TEST(Timer1Timer, StartStopAndAClosedPort) {
    Running r;
    r.tick(0);
    Command9_Click(r.form);
    EXPECT_EQ(r.form.tx_attiva, 0);
    EXPECT_EQ(r.form.Label11.caption(), "Stop");
    EXPECT_EQ(r.form.Label11.colour(), Colour::red_status());
    for (int i = 0; i < 3; ++i) r.tick();  // stopped: nothing moves, nothing is sent
    EXPECT_EQ(r.port.written.size(), 1u);
    EXPECT_EQ(r.form.Picture1.lines().size(), 1u);
    EXPECT_TRUE(r.form.Label11.visible());

    r.port.close();
    Command9_Click(r.form);
    EXPECT_EQ(r.form.Label11.caption(), "No Tx");
    EXPECT_TRUE(r.form.Label11.visible());  // Start leaves the visibility to the blink
    r.tick(0);
    EXPECT_EQ(r.port.written.size(), 1u);
    EXPECT_EQ(r.form.Picture1.lines().back(), "");
    EXPECT_FALSE(r.form.Label11.visible());
    // the three stopped seconds in one step: 3 s at 100 km/h on course 45
    EXPECT_EQ(r.form.txt_lat_s.text(), "48");

    r.port.force_open();
    Command9_Click(r.form);
    Command9_Click(r.form);
    EXPECT_EQ(r.form.Label11.caption(), "Tx OK");
    EXPECT_EQ(r.form.Label11.colour(), Colour::green_status());
}

TEST(Timer1Timer, MonitorClearsOnlyPastItsHeight) {
    Running r;
    // 16 lines of 195 twips reach 3120, past the height 3045; 15 reach 2925
    for (int i = 0; i < 16; ++i) r.tick();
    EXPECT_EQ(r.form.Picture1.lines().size(), 16u);
    r.tick();
    EXPECT_EQ(r.form.Picture1.lines().size(), 1u);
}

TEST(Timer1Timer, MultiUserStepsEachVehicleAndLoadsTheNext) {
    Running r;
    r.form.opt_multi.select();
    r.form.txt_num_mezzi.set_text("2");
    r.form.mezzi[1] = veicolo{45, 30, 0, "S", 9, 12, 0, "W", 0, 0, -1, 0};
    r.shell.pending = [&] { r.form.Command9.click(); };  // Stop, pressed mid-tick
    r.tick(0);
    EXPECT_EQ(r.port.written[0].substr(0, 3), "@0$");
    EXPECT_EQ(r.form.txt_lat_ns.text(), "S");  // vehicle 1 is shown
    EXPECT_EQ(r.form.tx_attiva, 0);            // the tick finished all the same
    EXPECT_EQ(r.form.Picture1.lines().size(), 1u);
    Command9_Click(r.form);
    r.tick();
    EXPECT_EQ(r.port.written[1].substr(0, 3), "@1$");
    EXPECT_NE(r.port.written[1].find(",S,"), std::string::npos);
    EXPECT_EQ(r.form.mezzi[0].vel, 100);  // vehicle 0 kept its own record
    EXPECT_EQ(r.form.txt_lat_g.text(), "44");
}

TEST(Timer1Timer, ATickArrivingInsideATickIsDropped) {
    Running r;
    r.form.opt_multi.select();
    r.shell.pending = [&] { Timer1_Timer(r.form); };
    r.tick(0);
    EXPECT_EQ(r.port.written.size(), 1u);
    EXPECT_FALSE(r.form.tick_in_corso);
}

TEST(Timer1Timer, BusyLineSkipsAndALostPortIsClosedUntilChosenAgain) {
    Running r;
    r.port.busy = true;
    r.tick();
    r.tick();
    EXPECT_TRUE(r.port.written.empty());
    EXPECT_EQ(r.form.scritture_saltate, 2);
    EXPECT_NE(r.form.Picture1.lines().back().find("saltati 2"), std::string::npos);
    r.port.busy = false;
    r.port.fail_writes = true;
    r.tick();
    EXPECT_FALSE(r.port.is_open());
    EXPECT_FALSE(r.form.opt_com2.selected());
    EXPECT_EQ(r.form.Label11.caption(), "No tx");
    r.port.fail_writes = false;
    r.tick();  // the simulation goes on, and each line says why nothing is sent
    EXPECT_EQ(r.form.Picture1.lines().back(), "  [non inviato: adattatore scollegato]");
    r.form.opt_com2.select();
    r.tick();
    EXPECT_EQ(r.port.written.size(), 1u);
    EXPECT_EQ(r.form.Picture1.lines().back(), r.port.written[0].substr(0, r.port.written[0].size() - 2));
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

// The bytes of the selected mode go to every output whatever the serial port
// does; the monitor shows them when any output ran, with each one's note.
TEST(Timer1Timer, EveryOutputGetsTheModesBytesAndTheMonitorShowsWhatRan) {
    struct Row {
        const char* name;
        bool serial_open;
        bool serial_fails;
        OutputSink::Result other;
        const char* monitor;  // "S": the sentence; "" or "S..." with the notes after it
    };
    const Row rows[] = {
        {"nothing runs", false, false, {false, ""}, ""},
        {"only the other output runs", false, false, {true, ""}, "S"},
        {"the other output failed", false, false, {false, "  [TCP: guasto]"}, "  [TCP: guasto]"},
        {"both run, the other skipped", true, false, {true, "  [TCP: saltato]"}, "S  [TCP: saltato]"},
        {"the serial port is lost", true, true, {true, ""}, "S  [non inviato: adattatore scollegato]"},
    };
    for (const Row& row : rows) {
        Running r;
        OtherOutput other;
        other.result = row.other;
        r.output.add(other);
        if (!row.serial_open) r.port.close();
        r.port.fail_writes = row.serial_fails;
        r.tick();
        ASSERT_EQ(other.got.size(), 1u) << row.name;
        const std::string s = other.got[0].substr(0, other.got[0].size() - 2);
        EXPECT_EQ(other.got[0], s + "\r\n") << row.name;
        std::string expected = row.monitor;
        if (!expected.empty() && expected[0] == 'S') expected = s + expected.substr(1);
        EXPECT_EQ(r.form.Picture1.lines().back(), expected) << row.name;
        EXPECT_EQ(r.port.written.size(), row.serial_open && !row.serial_fails ? 1u : 0u) << row.name;
        EXPECT_EQ(r.form.Label11.caption(), row.serial_fails ? "No tx" : "Label11") << row.name;
    }
    // radio mode: the whole burst, serial port closed
    Running r;
    OtherOutput other;
    other.result = {true, ""};
    r.output.add(other);
    r.port.close();
    r.form.opt_tx_radio.select();
    r.tick();
    ASSERT_EQ(other.got.size(), 1u);
    EXPECT_EQ(other.got[0].substr(0, 13), std::string("\r\n\0\0\0\0\0$GPGSV", 13));
    EXPECT_EQ(r.form.Picture1.lines().size(), 9u);  // the burst, shown as when the serial port sends it
}

// A second from the pole, due east at 100 km/h, the vehicle circles the pole
// and the longitude turns by tens of degrees a tick: the boxes and the record
// keep agreeing and stay within range.
TEST(Timer1Timer, ThousandsOfTicksAtThePoleEastward) {
    Running r;
    r.form.txt_lat_g.set_text("89");
    r.form.txt_lat_p.set_text("59");
    r.form.txt_lat_s.set_text("59");
    r.form.txt_angolo.set_text("90");
    for (int i = 0; i < 1000; ++i) {
        r.tick();
        const veicolo& v = r.form.mezzi[0];
        ASSERT_EQ(r.form.txt_lon_g.text() + " " + r.form.txt_lon_p.text() + " " + r.form.txt_lon_s.text(),
                  std::to_string(v.lon_g) + " " + std::to_string(v.lon_p) + " " + std::to_string(v.lon_s))
            << "tick " << i;
        ASSERT_TRUE(v.lon_g >= 0 && v.lon_g <= 180 && v.lat_g == 89) << "tick " << i;
    }
    EXPECT_EQ(r.port.written.size(), 1000u);
}

// Each step leaves a point on its own vehicle's track: where the step left
// it, the UTC time, and its speed and course over ground. Multi-user mode, 2
// vehicles: 0 at 100 km/h on course 45, 1 backwards at 10 miglia/h on 90.
TEST(Timer1Timer, EachStepIsAPointOfItsVehiclesTrack) {
    Running r;
    r.form.opt_multi.select();
    r.form.txt_num_mezzi.set_text("2");
    r.form.mezzi[1] = veicolo{45, 30, 0, "S", 9, 12, 0, "W", -10, 90, 0, -1};
    for (int i = 0; i < 3; ++i) {
        r.clock.utc += 1.0;
        r.tick();
    }
    const struct {
        std::size_t vehicle;
        std::size_t points;
        double speed;  // m/s
        double course;
    } rows[] = {{0, 2, 100 / 3.6, 45}, {1, 1, 10 * 1.852 / 3.6, 270}, {2, 0, 0, 0}};
    for (const auto& row : rows) {
        const auto& track = r.form.tracce.points(row.vehicle);
        ASSERT_EQ(track.size(), row.points) << row.vehicle;
        if (track.empty()) continue;
        const TrackPoint& last = track.back();
        const ExactPosition& p = r.form.posizioni[row.vehicle];
        EXPECT_EQ(last.lat * 3600.0, p.lat) << row.vehicle;
        EXPECT_EQ(last.lon * 3600.0, p.lon) << row.vehicle;
        EXPECT_EQ(last.steady, r.form.tempo_ultimo[row.vehicle]) << row.vehicle;
        EXPECT_EQ(last.utc, r.clock.utc - (row.vehicle == 0 ? 0.0 : 1.0)) << row.vehicle;
        EXPECT_NEAR(last.speed, row.speed, 1e-9) << row.vehicle;
        EXPECT_EQ(last.course, row.course) << row.vehicle;
    }
}

// The track goes on through the tick's own writes of the boxes and breaks
// where the operator set the vehicle.
TEST(Timer1Timer, TheTrackBreaksWhereTheVehicleWasSetByHand) {
    const struct {
        const char* name;
        std::function<void(Form1&)> between;
        bool breaks;
    } rows[] = {
        {"nothing", [](Form1&) {}, false},
        {"another vehicle shown and back", [](Form1& f) { f.mezzo_attuale = 1; cambia_veicolo(f); f.mezzo_attuale = 0; cambia_veicolo(f); }, false},
        {"a step button", [](Form1& f) { f.Command6.click(); }, true},
        {"the S key", [](Form1& f) { f.txt_lat_ns.type('S', U's'); }, true},
        {"Vai a posizione", [](Form1& f) { vai_a_posizione(f, 0, {TypedCoordinate{3600.0, false}, {}}); }, true},
    };
    for (const auto& row : rows) {
        Running r;
        r.tick();
        row.between(r.form);
        r.tick();
        const auto& track = r.form.tracce.points(0);
        ASSERT_EQ(track.size(), 2u) << row.name;
        EXPECT_EQ(track[1].segment != track[0].segment, row.breaks) << row.name;
    }
}

// While a log plays the ticks send nothing and the label says so; at its
// end the label is what it was, or what Start/Stop or a lost port set
// meanwhile: a port lost by a replayed second is closed and told as a tick
// tells it.
TEST(Timer1Timer, PausedWhileALogPlays) {
    enum class Meanwhile { nothing, stopped, port_lost };
    for (const Meanwhile meanwhile : {Meanwhile::nothing, Meanwhile::stopped, Meanwhile::port_lost}) {
        Running r;
        r.form.Label11.set_caption("Tx ok");
        r.form.Label11.set_colour(Colour::green_status());
        r.tick();
        inizia_riproduzione(r.form);
        EXPECT_EQ(r.form.Label11.caption(), "Riproduce");
        r.tick();
        Delivery delivery;
        delivery.serial = Delivery::Serial::written;
        if (meanwhile == Meanwhile::port_lost) {
            delivery.serial = Delivery::Serial::lost;
            delivery.loss = "porta persa: adattatore scollegato";
        }
        mostra_riproduzione(r.form, "$GPRMC,x*00\r\n", delivery);
        EXPECT_EQ(r.port.written.size(), 1u);
        if (meanwhile == Meanwhile::stopped) Command9_Click(r.form);
        finisci_riproduzione(r.form);
        const struct {
            const char* line;
            const char* caption;
            Colour colour;
        } expected[] = {{"$GPRMC,x*00", "Tx ok", Colour::green_status()},
                        {"$GPRMC,x*00", "Stop", Colour::red_status()},
                        {"$GPRMC,x*00  [non inviato: porta persa: adattatore scollegato]", "No tx", Colour::red_status()}};
        const auto& e = expected[static_cast<int>(meanwhile)];
        EXPECT_EQ(r.form.Picture1.lines().back(), e.line);
        EXPECT_EQ(r.form.Label11.caption(), e.caption);
        EXPECT_EQ(r.form.Label11.colour(), e.colour);
        EXPECT_EQ(r.port.is_open(), meanwhile != Meanwhile::port_lost);
        r.tick();
        EXPECT_EQ(r.port.written.size(), meanwhile == Meanwhile::nothing ? 2u : 1u);
    }
}

}  // namespace
}  // namespace vadrel
