// The sentences of one second with the receiver options, as a client reads
// them: each row an option set and the exact sentences it gives (the time
// 20.15.28 local, 18.15.28 UTC, on 9 May 2003, at 4400.6787 N 01007.7087 E).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/faults.h"
#include "core/rmc.h"
#include "core/tick.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;
using Frasi = std::vector<std::string>;

enum class Modo { gps, radio, multi };

struct Scene {
    const char* name;
    OpzioniRicevitore opzioni;
    Modo modo = Modo::gps;
    const char* vel = "0";
    const char* angolo = "0";
    bool miglia = false;
};

Frasi frasi_di(const Scene& s, Rig& rig) {
    rig.form.rmc_lat = "4400.6787";
    rig.form.rmc_lon = "01007.7087";
    rig.form.txt_vel.set_text(s.vel);
    rig.form.txt_angolo.set_text(s.angolo);
    if (s.miglia) rig.form.opt_miglia.select();
    if (s.modo == Modo::radio) rig.form.opt_tx_radio.select();
    if (s.modo == Modo::multi) {
        rig.form.opt_multi.select();
        rig.form.txt_num_mezzi.set_text("19");
        rig.form.mezzo_attuale = 3;
    }
    imposta_ricevitore(rig.form, s.opzioni);
    return forma_frasi(rig.form);
}

OpzioniRicevitore complete(double quota = 0.0) {
    OpzioniRicevitore o;
    o.frasi_complete = true;
    o.quota = quota;
    return o;
}

TEST(FormaFrasi, EachOptionSetGivesTheSentencesOfAReceiver) {
    OpzioniRicevitore utc;
    utc.utc = true;
    OpzioniRicevitore tutto = complete(254.5);
    tutto.moto_reale = true;
    OpzioniRicevitore senza_fix = complete();
    senza_fix.senza_fix = true;
    OpzioniRicevitore radio_senza_fix;
    radio_senza_fix.senza_fix = true;

    const std::vector<std::pair<Scene, Frasi>> rows = {
        {{"UTC", utc}, {"$GPRMC,181528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*40"}},
        {{"full set, local time, real motion", tutto, Modo::gps, "100", "45"},
         {"$GPRMC,201528,A,4400.6787,N,01007.7087,E,54.0,045.0,090503,000.0,W,*7B",
          "$GPGGA,201528,4400.6787,N,01007.7087,E,1,07,1.0,254.5,M,,M,,*50",
          "$GPVTG,045.0,T,045.0,M,54.0,N,100.0,K*7E", "$GPGSA,A,3,04,16,18,19,22,27,29,,,,,,1.8,1.0,1.5*32",
          "$GPZDA,201528,09,05,2003,00,00*49"}},
        {{"full set, multi-user vehicle 3: the checksum covers the prefix", complete(), Modo::multi, "100", "45"},
         {"@3$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*5C",
          "@3$GPGGA,201528,4400.6787,N,01007.7087,E,1,07,1.0,0.0,M,,M,,*41", "@3$GPVTG,000.0,T,000.0,M,0.0,N,0.0,K*59",
          "@3$GPGSA,A,3,04,16,18,19,22,27,29,,,,,,1.8,1.0,1.5*25", "@3$GPZDA,201528,09,05,2003,00,00*5E"}},
        {{"fix lost, full set", senza_fix, Modo::gps, "100", "45"},
         {"$GPRMC,201528,V,,,,,,,090503,000.0,W,*67", "$GPGGA,201528,,,,,0,00,,,,,,,*6A", "$GPVTG,,T,,M,,N,,K*4E",
          "$GPGSA,A,1,,,,,,,,,,,,,,,*1E", "$GPZDA,201528,09,05,2003,00,00*49"}},
        {{"radio, full set: live fix in the burst", complete(-12), Modo::radio},
         {gsv_1, gsv_2, rme, "$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B",
          "$GPVTG,000.0,T,000.0,M,0.0,N,0.0,K*4E", "$GPGGA,201528,4400.6787,N,01007.7087,E,1,07,1.0,-12.0,M,,M,,*48",
          "$GPGSA,A,3,04,16,18,19,22,27,29,,,,,,1.8,1.0,1.5*32"}},
        {{"radio, fix lost: the burst's fix goes too", radio_senza_fix, Modo::radio},
         {gsv_1, gsv_2, rme, "$GPRMC,201528,V,,,,,,,090503,000.0,W,*67", "$GPVTG,,T,,M,,N,,K*4E",
          "$GPGGA,201528,,,,,0,00,,,,,,,*6A", "$GPGSA,A,1,,,,,,,,,,,,,,,*1E"}},
    };
    for (const auto& [scene, expected] : rows) {
        Rig rig;
        const Frasi got = frasi_di(scene, rig);
        ASSERT_EQ(got.size(), expected.size()) << scene.name;
        for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], expected[i]) << scene.name << ", sentence " << i;
    }
}

TEST(FormaFrasi, RealSpeedInKnotsAndTrueCourseOverTheGround) {
    const struct {
        const char *vel, *angolo;
        bool miglia;
        const char *velocita, *rotta;
    } rows[] = {
        {"100", "45", false, "54.0", "045.0"},  {"10", "90", true, "10.0", "090.0"},
        {"-100", "45", false, "54.0", "225.0"},  // backing along course 45 goes over the ground to 225
        {"-5", "270", true, "5.0", "090.0"},     {"100", "360", false, "54.0", "000.0"},
        {"100", "359.96", false, "54.0", "000.0"},  // rounds to 360.0, which is 000.0
        {"0", "0", false, "0.0", "000.0"},
    };
    OpzioniRicevitore moto;
    moto.moto_reale = true;
    for (const auto& r : rows) {
        Rig rig;
        const std::string rmc = frasi_di({"", moto, Modo::gps, r.vel, r.angolo, r.miglia}, rig).at(0);
        const std::string campi = std::string(",") + r.velocita + "," + r.rotta + ",090503,";
        EXPECT_NE(rmc.find(campi), std::string::npos) << r.vel << " at " << r.angolo << ": " << rmc;
    }
}

TEST(FormaFrasi, OneReadingOfTheClockStampsTheWholeSetAlsoAtMidnight) {
    Rig rig;
    rig.clock.wall.utc = {2026, 12, 31, 23, 59, 59};
    OpzioniRicevitore o = complete();
    o.utc = true;
    const Frasi got = frasi_di({"", o}, rig);
    EXPECT_EQ(rig.clock.wall_readings, 1);
    EXPECT_EQ(got.at(0), "$GPRMC,235959,A,4400.6787,N,01007.7087,E,0.0,000.0,311226,000.0,W,*4C");
    EXPECT_EQ(got.at(1), "$GPGGA,235959,4400.6787,N,01007.7087,E,1,07,1.0,0.0,M,,M,,*5B");
    EXPECT_EQ(got.at(4), "$GPZDA,235959,31,12,2026,00,00*4E");
}

// A running panel on an open port, every sentence faulted the one way.
TEST(Guasti, EachFaultAsAClientSeesIt) {
    const struct {
        const char* name;
        Guasti guasti;
    } rows[] = {
        {"second lost", {true, 1.0, 0.0, 0.0, 5}},
        {"wrong checksum", {true, 0.0, 1.0, 0.0, 5}},
        {"cut short", {true, 0.0, 0.0, 1.0, 5}},
    };
    for (const auto& r : rows) {
        Rig clean;
        Rig faulty;
        OpzioniRicevitore o = complete();
        for (Rig* rig : {&clean, &faulty}) {
            rig->port.force_open();
            imposta_ricevitore(rig->form, o);
        }
        o.guasti = r.guasti;
        imposta_ricevitore(faulty.form, o);
        for (int tick = 0; tick < 5; ++tick) {
            Timer1_Timer(clean.form);
            Timer1_Timer(faulty.form);
        }
        const auto& monitor = faulty.form.Picture1.lines();
        if (r.guasti.perdita > 0) {
            EXPECT_TRUE(faulty.port.written.empty()) << r.name;
            EXPECT_EQ(monitor.back(), "[guasto: secondo 201528 non inviato]") << r.name;
            continue;
        }
        ASSERT_EQ(faulty.port.written.size(), clean.port.written.size()) << r.name;
        for (std::size_t t = 0; t < clean.port.written.size(); ++t) {
            const std::string& good = clean.port.written[t];
            const std::string& bad = faulty.port.written[t];
            for (std::size_t at = 0, bad_at = 0; at < good.size();) {
                const std::size_t end = good.find("\r\n", at);
                const std::size_t bad_end = bad.find("\r\n", bad_at);
                const std::string sentence = good.substr(at, end - at);
                const std::string faulted = bad.substr(bad_at, bad_end - bad_at);
                if (r.guasti.checksum > 0) {
                    EXPECT_EQ(faulted.substr(0, faulted.size() - 2), sentence.substr(0, sentence.size() - 2)) << r.name;
                    EXPECT_NE(faulted, sentence) << r.name;
                } else {
                    EXPECT_LT(faulted.size(), sentence.size()) << r.name << ": " << faulted;
                    EXPECT_EQ(sentence.rfind(faulted, 0), 0u) << r.name << ": " << faulted;
                }
                at = end + 2;
                bad_at = bad_end + 2;
            }
        }
        const std::string mark = r.guasti.checksum > 0 ? segno_checksum : segno_tronca;
        EXPECT_TRUE(monitor.back().ends_with(mark)) << r.name << ": " << monitor.back();
    }
}

TEST(Guasti, ANewSeedStartsTheSequenceAgainAndTheSameOptionsKeepItGoing) {
    Rig rig;
    rig.port.force_open();
    OpzioniRicevitore o;
    o.guasti = {true, 0.3, 0.3, 0.3, 7};
    const auto run = [&rig](int ticks) {
        rig.port.written.clear();
        for (int i = 0; i < ticks; ++i) Timer1_Timer(rig.form);
        std::string all;
        for (const std::string& w : rig.port.written) all += w + "|";
        return all + std::to_string(rig.port.written.size());
    };
    imposta_ricevitore(rig.form, o);
    const std::string first = run(30);
    imposta_ricevitore(rig.form, o);
    EXPECT_NE(run(30), first) << "the same options go on with the sequence";
    o.guasti.seme = 8;
    imposta_ricevitore(rig.form, o);
    o.guasti.seme = 7;
    imposta_ricevitore(rig.form, o);
    EXPECT_EQ(run(30), first);
}

}  // namespace
}  // namespace vadrel
