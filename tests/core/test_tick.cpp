#include <gtest/gtest.h>

#include "core/tick.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

// A running panel on an open port at 44 1 46 N, 10 8 4 E, course 45, 100 km/h.
struct Running : Rig {
    Running() {
        port.force_open();
        form.txt_lat_g.set_text("44");
        form.txt_lat_p.set_text("1");
        form.txt_lat_s.set_text("46");
        form.txt_lon_g.set_text("10");
        form.txt_lon_p.set_text("8");
        form.txt_lon_s.set_text("4");
        form.txt_angolo.set_text("45");
        form.txt_vel.set_text("100");
    }
    void tick(float seconds_later = 1.0f) {
        clock.seconds += seconds_later;
        Timer1_Timer(form);
    }
};

TEST(Timer1Timer, FirstTickStampsThenTheNextMovesByElapsedTime) {
    Running r;
    r.tick(0);
    EXPECT_EQ(r.form.avviato[0], 1);
    EXPECT_EQ(r.form.txt_lat_s.text(), "46");  // first step covers no time
    r.tick(1);
    EXPECT_EQ(r.form.txt_lat_s.text(), "47");
    EXPECT_EQ(r.form.rmc_lat, "4401.7772");
    EXPECT_EQ(r.form.rmc_lon, "01008.0814");
    // the record holds what the panel shows
    EXPECT_EQ(r.form.mezzi[0].lat_s, 47);
    EXPECT_EQ(r.form.mezzi[0].lon_s, 5);
    EXPECT_EQ(r.form.mezzi[0].vel, 100);
    EXPECT_EQ(r.form.mezzi[0].angolo, 45);
    EXPECT_EQ(r.form.mezzi[0].km, -1);
    EXPECT_EQ(r.form.tempo_ultimo[0], r.clock.seconds);
}

TEST(Timer1Timer, GpsStandardWritesOneSentenceWithCrLf) {
    Running r;
    r.tick(0);
    ASSERT_EQ(r.port.written.size(), 1u);
    const std::string& w = r.port.written[0];
    EXPECT_EQ(w.substr(0, 7), "$GPRMC,");
    EXPECT_EQ(w.substr(w.size() - 2), "\r\n");
    EXPECT_EQ(r.form.Picture1.lines(), std::vector<std::string>{w.substr(0, w.size() - 2)});
}

TEST(Timer1Timer, RadioWritesTheBurstAsOneWrite) {
    Running r;
    r.form.opt_tx_radio.select();
    r.tick(0);
    ASSERT_EQ(r.port.written.size(), 1u);
    EXPECT_EQ(r.port.written[0].substr(0, 13), std::string("\r\n\0\0\0\0\0$GPGSV", 13));
    // the monitor shows the burst readably: nine lines, NUL as a visible symbol
    EXPECT_EQ(r.form.Picture1.lines().size(), 9u);
    EXPECT_EQ(r.form.Picture1.lines()[1].rfind("\xE2\x90\x80\xE2\x90\x80\xE2\x90\x80\xE2\x90\x80\xE2\x90\x80$GPGSV", 0), 0u);
    EXPECT_EQ(r.form.Picture1.current_y(), 9 * PictureBox::line_height);
}

TEST(Timer1Timer, ModeChangeTakesEffectAtTheNextTick) {
    Running r;
    r.tick(0);
    r.form.opt_tx_radio.select();
    r.tick();
    r.form.Opt_gps_standard.select();
    r.tick();
    ASSERT_EQ(r.port.written.size(), 3u);
    EXPECT_EQ(r.port.written[0][0], '$');
    EXPECT_EQ(r.port.written[1][0], '\r');
    EXPECT_EQ(r.port.written[2][0], '$');
}

TEST(Timer1Timer, ClosedPortPrintsAnEmptyLineAndKeepsBlinking) {
    Running r;
    r.port.close();
    Command9_Click(r.form);
    Command9_Click(r.form);
    EXPECT_EQ(r.form.Label11.caption(), "No Tx");
    EXPECT_EQ(r.form.Label11.colour(), Colour::red_status());
    const bool visible = r.form.Label11.visible();
    r.tick(0);
    EXPECT_TRUE(r.port.written.empty());
    EXPECT_EQ(r.form.Picture1.lines(), std::vector<std::string>{""});
    EXPECT_NE(r.form.Label11.visible(), visible);
    r.tick();
    EXPECT_EQ(r.form.Label11.visible(), visible);
}

TEST(Timer1Timer, StoppedTicksChangeNothing) {
    Running r;
    r.tick(0);
    Command9_Click(r.form);
    EXPECT_EQ(r.form.tx_attiva, 0);
    EXPECT_EQ(r.form.Label11.caption(), "Stop");
    EXPECT_EQ(r.form.Label11.colour(), Colour::red_status());
    EXPECT_TRUE(r.form.Label11.visible());
    const float stamp = r.form.tempo_ultimo[0];
    for (int i = 0; i < 5; ++i) r.tick();
    EXPECT_EQ(r.port.written.size(), 1u);
    EXPECT_EQ(r.form.Picture1.lines().size(), 1u);
    EXPECT_EQ(r.form.txt_lat_s.text(), "46");
    EXPECT_EQ(r.form.tempo_ultimo[0], stamp);
    EXPECT_TRUE(r.form.Label11.visible());
}

TEST(Timer1Timer, RestartAfterSixtySecondsJumpsBySixtySecondsOfTravel) {
    Running r;
    r.form.txt_angolo.set_text("0");
    r.tick(0);
    Command9_Click(r.form);
    r.clock.seconds += 60;
    Command9_Click(r.form);
    EXPECT_EQ(r.form.Label11.caption(), "Tx OK");
    EXPECT_EQ(r.form.Label11.colour(), Colour::green_status());
    r.tick(0);
    // 60 s at 100 km/h due north: 1.667 km, 53.96 seconds of arc; the carry
    // into the minutes drops the fraction (99.96 s become 1 min 39 s)
    EXPECT_EQ(r.form.txt_lat_p.text(), "2");
    EXPECT_EQ(r.form.txt_lat_s.text(), "39");
}

TEST(Timer1Timer, MonitorClearsOnlyPastItsHeight) {
    Running r;
    r.tick(0);
    // 16 lines of 195 twips reach 3120, past the height 3045; 15 reach 2925
    for (int i = 1; i < 16; ++i) r.tick();
    EXPECT_EQ(r.form.Picture1.lines().size(), 16u);
    r.tick();
    EXPECT_EQ(r.form.Picture1.lines().size(), 1u);
    EXPECT_EQ(r.form.Picture1.current_y(), PictureBox::line_height);
}

TEST(Timer1Timer, MidnightStepDoesNotJumpBackADay) {
    Running r;
    r.form.txt_angolo.set_text("0");
    r.clock.seconds = 86399.5f;
    r.tick(0);
    r.clock.seconds = 0.5f;
    Timer1_Timer(r.form);
    EXPECT_EQ(r.form.txt_lat_g.text(), "44");
    EXPECT_EQ(r.form.txt_lat_p.text(), "1");
    EXPECT_EQ(r.form.txt_lat_s.text(), "47");
}

TEST(Timer1Timer, MultiUserStepsEachVehicleAndLoadsTheNext) {
    Running r;
    r.form.opt_multi.select();
    r.form.txt_num_mezzi.set_text("2");
    r.form.mezzi[1] = veicolo{45, 30, 0, "S", 9, 12, 0, "W", 0, 0, -1, 0};
    r.tick(0);
    EXPECT_EQ(r.port.written[0].substr(0, 3), "@0$");
    EXPECT_EQ(r.form.mezzo_attuale, 1);
    EXPECT_EQ(r.form.txt_lat_g.text(), "45");
    EXPECT_EQ(r.form.txt_lat_ns.text(), "S");
    r.tick();
    EXPECT_EQ(r.port.written[1].substr(0, 3), "@1$");
    EXPECT_NE(r.port.written[1].find(",S,"), std::string::npos);
    // vehicle 0 kept its own record while vehicle 1 was shown
    EXPECT_EQ(r.form.mezzi[0].vel, 100);
    EXPECT_EQ(r.form.txt_lat_g.text(), "44");
}

TEST(Timer1Timer, StartStopDuringTheMultiUserPauseLetsTheTickFinish) {
    Running r;
    r.form.opt_multi.select();
    r.form.txt_num_mezzi.set_text("2");
    r.shell.pending = [&] { r.form.Command9.click(); };
    r.tick(0);
    EXPECT_EQ(r.form.tx_attiva, 0);
    EXPECT_EQ(r.port.written.size(), 1u);
    EXPECT_EQ(r.form.Picture1.lines().size(), 1u);
}

TEST(Timer1Timer, ATickArrivingInsideATickIsDropped) {
    Running r;
    r.form.opt_multi.select();
    r.shell.pending = [&] { Timer1_Timer(r.form); };
    r.tick(0);
    EXPECT_EQ(r.port.written.size(), 1u);
    EXPECT_FALSE(r.form.tick_in_corso);
}

TEST(Timer1Timer, BusyLineSkipsTheWriteAndCountsIt) {
    Running r;
    r.tick(0);
    r.port.busy = true;
    r.tick();
    r.tick();
    EXPECT_EQ(r.port.written.size(), 1u);
    EXPECT_EQ(r.form.scritture_saltate, 2);
    EXPECT_NE(r.form.Picture1.lines().back().find("saltati 2"), std::string::npos);
    r.port.busy = false;
    r.tick();
    EXPECT_EQ(r.port.written.size(), 2u);
}

TEST(Timer1Timer, LostPortIsClosedAndShownAsNoTx) {
    Running r;
    r.port.fail_writes = true;
    r.tick(0);
    EXPECT_FALSE(r.port.is_open());
    EXPECT_FALSE(r.form.opt_com2.selected());
    EXPECT_EQ(r.form.Label11.caption(), "No tx");
    EXPECT_EQ(r.form.Label11.colour(), Colour::red_status());
    // the simulation goes on
    r.port.fail_writes = false;
    r.tick();
    EXPECT_EQ(r.form.txt_lat_s.text(), "47");
    // selecting a port again recovers
    r.form.opt_com2.select();
    EXPECT_TRUE(r.port.is_open());
    r.tick();
    EXPECT_EQ(r.port.written.size(), 1u);
}

// Near the pole the longitude minutes grow every tick; no tick may leave the
// 16-bit range or a record that disagrees with the panel.
TEST(Timer1Timer, ThousandsOfTicksAtThePoleEastward) {
    Running r;
    r.form.txt_lat_g.set_text("89");
    r.form.txt_lat_p.set_text("59");
    r.form.txt_lat_s.set_text("59");
    r.form.txt_angolo.set_text("90");
    r.tick(0);
    for (int i = 0; i < 5000; ++i) {
        r.tick();
        const veicolo& v = r.form.mezzi[0];
        ASSERT_EQ(r.form.txt_lon_g.text(), std::to_string(v.lon_g)) << "tick " << i;
        ASSERT_EQ(r.form.txt_lon_p.text(), std::to_string(v.lon_p)) << "tick " << i;
        ASSERT_EQ(r.form.txt_lon_s.text(), std::to_string(v.lon_s)) << "tick " << i;
        ASSERT_GE(v.lon_g, 0);
        ASSERT_LE(v.lon_g, 179);
    }
    EXPECT_EQ(r.port.written.size(), 5001u);
}

TEST(Command9Click, TogglesWithCaptionsAndColours) {
    Rig rig;
    rig.port.force_open();
    Command9_Click(rig.form);
    EXPECT_EQ(rig.form.tx_attiva, 0);
    rig.form.Label11.set_visible(false);
    Command9_Click(rig.form);
    EXPECT_EQ(rig.form.tx_attiva, 1);
    EXPECT_EQ(rig.form.Label11.caption(), "Tx OK");
    EXPECT_FALSE(rig.form.Label11.visible());  // Start leaves the visibility alone
}

}  // namespace
}  // namespace vadrel
