// The sentences of one second for one vehicle with the receiver options, as
// a client reads them: each row an option set and the exact sentences it
// gives (the time 20.15.28 local, 18.15.28 UTC, on 9 May 2003, at 4400.6787 N
// 01007.7087 E).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nmea/faults.h"
#include "tick/second_sentences.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using Sentences = std::vector<std::string>;

struct Scene {
    const char* name;
    OpzioniRicevitore options;
    Mode mode = Mode::gps_standard;
    double speed = 0.0;
    double course = 0.0;
    SpeedUnit unit = SpeedUnit::kmh;
    std::string prefix = {};
};

Sentences sentences_of(const Scene& s, testing::FakeClock& clock) {
    // 4400.6787 N 01007.7087 E, a hair past so the cut keeps the last digit
    const Vehicle v{158440.7221, 36462.5221, s.course, s.speed, s.unit};
    return second_sentences({v, s.prefix, s.mode, s.options, sentence_time(clock, s.options)});
}

OpzioniRicevitore complete(double altitude = 0.0) {
    OpzioniRicevitore o;
    o.frasi_complete = true;
    o.quota = altitude;
    return o;
}

TEST(SecondSentences, EachOptionSetGivesTheSentencesOfAReceiver) {
    OpzioniRicevitore utc;
    utc.utc = true;
    OpzioniRicevitore all = complete(254.5);
    all.moto_reale = true;
    OpzioniRicevitore no_fix = complete();
    no_fix.senza_fix = true;
    OpzioniRicevitore radio_no_fix;
    radio_no_fix.senza_fix = true;

    const std::vector<std::pair<Scene, Sentences>> rows = {
        {{"standard: speed and course never change", {}, Mode::gps_standard, 120, 270},
         {"$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B"}},
        {{"multi-user vehicle 3", {}, Mode::multi_user, 0, 0, SpeedUnit::kmh, "@3"},
         {"@3$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*5C"}},
        {{"multi-user vehicle 12", {}, Mode::multi_user, 0, 0, SpeedUnit::kmh, "@12"},
         {"@12$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*6C"}},
        {{"UTC", utc}, {"$GPRMC,181528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*40"}},
        {{"full set, local time, real motion", all, Mode::gps_standard, 100, 45},
         {"$GPRMC,201528,A,4400.6787,N,01007.7087,E,54.0,045.0,090503,000.0,W,*7B",
          "$GPGGA,201528,4400.6787,N,01007.7087,E,1,07,1.0,254.5,M,,M,,*50",
          "$GPVTG,045.0,T,045.0,M,54.0,N,100.0,K*7E", "$GPGSA,A,3,04,16,18,19,22,27,29,,,,,,1.8,1.0,1.5*32",
          "$GPZDA,201528,09,05,2003,00,00*49"}},
        {{"full set, multi-user: the checksum covers the prefix", complete(), Mode::multi_user, 100, 45,
          SpeedUnit::kmh, "@3"},
         {"@3$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*5C",
          "@3$GPGGA,201528,4400.6787,N,01007.7087,E,1,07,1.0,0.0,M,,M,,*41", "@3$GPVTG,000.0,T,000.0,M,0.0,N,0.0,K*59",
          "@3$GPGSA,A,3,04,16,18,19,22,27,29,,,,,,1.8,1.0,1.5*25", "@3$GPZDA,201528,09,05,2003,00,00*5E"}},
        {{"fix lost, full set", no_fix, Mode::gps_standard, 100, 45},
         {"$GPRMC,201528,V,,,,,,,090503,000.0,W,*67", "$GPGGA,201528,,,,,0,00,,,,,,,*6A", "$GPVTG,,T,,M,,N,,K*4E",
          "$GPGSA,A,1,,,,,,,,,,,,,,,*1E", "$GPZDA,201528,09,05,2003,00,00*49"}},
        {{"radio: the fixed burst", {}, Mode::radio},
         {gsv_1, gsv_2, rme, "$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B", vtg, gga, gsa}},
        {{"radio, full set: live fix in the burst", complete(-12), Mode::radio},
         {gsv_1, gsv_2, rme, "$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B",
          "$GPVTG,000.0,T,000.0,M,0.0,N,0.0,K*4E", "$GPGGA,201528,4400.6787,N,01007.7087,E,1,07,1.0,-12.0,M,,M,,*48",
          "$GPGSA,A,3,04,16,18,19,22,27,29,,,,,,1.8,1.0,1.5*32"}},
        {{"radio, fix lost: the burst's fix goes too", radio_no_fix, Mode::radio},
         {gsv_1, gsv_2, rme, "$GPRMC,201528,V,,,,,,,090503,000.0,W,*67", "$GPVTG,,T,,M,,N,,K*4E",
          "$GPGGA,201528,,,,,0,00,,,,,,,*6A", "$GPGSA,A,1,,,,,,,,,,,,,,,*1E"}},
    };
    for (const auto& [scene, expected] : rows) {
        testing::FakeClock clock;
        EXPECT_EQ(sentences_of(scene, clock), expected) << scene.name;
    }
}

// The radio burst's fixed sentences come out of the builders byte for byte
// as the receivers behind the radio modems have always had them, framed by
// CR LF and five NULs.
TEST(SecondSentences, TheRadioBurst) {
    const std::pair<std::string, const char*> rows[] = {
        {gsv_1, "$GPGSV,2,1,08,04,47,228,46,14,05,121,,16,16,303,39,18,57,057,46*7C"},
        {gsv_2, "$GPGSV,2,2,08,19,64,163,46,22,09,040,41,27,39,196,44,29,33,067,46*7C"},
        {rme, "$PGRME,297.9,M,300.0,M,297.9,M*2D"},
        {vtg, "$GPVTG,327.9,T,327.4,M,03.0,N,05.5,K*40"},
        {gga, "$GPGGA,201528,4400.6787,N,01007.7087,E,1,03,6.3,254.5,M,47.9,M,,*44"},
        {gsa, "$GPGSA,A,3,,,,18,,,27,29,,,,,6.3,6.3,1.0*34"},
    };
    for (const auto& [built, expected] : rows) EXPECT_EQ(built, expected);
    const std::string sep("\r\n\0\0\0\0\0", 7);
    EXPECT_EQ(second_bytes({"$A*00", "$B*00"}, Mode::radio), sep + "$A*00" + sep + "$B*00" + sep);
    EXPECT_EQ(second_bytes({"$A*00", "$B*00"}, Mode::multi_user), "$A*00\r\n$B*00\r\n");
    EXPECT_EQ(second_text({"$A*00", "$B*00"}, Mode::gps_standard), "$A*00\r\n$B*00");
    EXPECT_EQ(checksum_field("$\x0A"), "*0A");
    EXPECT_EQ(checksum_field("x$\xFF"), "*DB");
}

// Without UTC or the full set the time and date are the regional texts,
// only "." and "/" taken out; otherwise one reading of the clock stamps the
// whole set, also at midnight.
TEST(SecondSentences, TimeAndDateFields) {
    const struct {
        const char *time, *date, *field_time, *field_date;
    } rows[] = {
        {"9.05.03", "09/05/03", "090503", "090503"},
        {"0.00.00", "01/01/27", "000000", "010127"},
        {"23.59.59", "31/12/2026", "235959", "31122026"},
        {"12:30:45", "31-12-26", ":30:45", "31-12-26"},
    };
    for (const auto& row : rows) {
        testing::FakeClock clock;
        clock.time = row.time;
        clock.date = row.date;
        const SentenceTime t = sentence_time(clock, {});
        EXPECT_EQ(t.time + " " + t.date, std::string(row.field_time) + " " + row.field_date) << row.time;
    }
    testing::FakeClock clock;
    clock.wall.utc = {2026, 12, 31, 23, 59, 59};
    OpzioniRicevitore o = complete();
    o.utc = true;
    const Sentences got = sentences_of({"", o}, clock);
    EXPECT_EQ(clock.wall_readings, 1);
    EXPECT_EQ(got.at(0), "$GPRMC,235959,A,4400.6787,N,01007.7087,E,0.0,000.0,311226,000.0,W,*4C");
    EXPECT_EQ(got.at(4), "$GPZDA,235959,31,12,2026,00,00*4E");
}

TEST(SecondSentences, RealSpeedInKnotsAndTrueCourseOverTheGround) {
    const struct {
        double speed, course;
        SpeedUnit unit;
        const char* fields;
    } rows[] = {
        {100, 45, SpeedUnit::kmh, ",54.0,045.0,"},   {10, 90, SpeedUnit::knots, ",10.0,090.0,"},
        {-100, 45, SpeedUnit::none, ",54.0,225.0,"},  // backing along course 45 goes over the ground to 225
        {-5, 270, SpeedUnit::knots, ",5.0,090.0,"},  {100, 360, SpeedUnit::kmh, ",54.0,000.0,"},
        {100, 359.96, SpeedUnit::kmh, ",54.0,000.0,"},  // rounds to 360.0, which is 000.0
    };
    OpzioniRicevitore motion;
    motion.moto_reale = true;
    for (const auto& row : rows) {
        testing::FakeClock clock;
        const std::string rmc = sentences_of({"", motion, Mode::gps_standard, row.speed, row.course, row.unit}, clock)[0];
        EXPECT_NE(rmc.find(row.fields), std::string::npos) << row.speed << " at " << row.course << ": " << rmc;
    }
}

// Each fault as a client sees it, every sentence faulted the one way.
TEST(Faults, EachFaultAsAClientSeesIt) {
    const Sentences clean = {"$GPRMC,1,2,3*4B", "$GPGGA,5,6*44"};
    const struct {
        const char* name;
        Guasti faults;
    } rows[] = {
        {"off", {false, 1.0, 1.0, 1.0, 5}},
        {"second lost", {true, 1.0, 0.0, 0.0, 5}},
        {"wrong checksum", {true, 0.0, 1.0, 0.0, 5}},
        {"cut short", {true, 0.0, 0.0, 1.0, 5}},
    };
    for (const auto& row : rows) {
        Sentences sentences = clean;
        SplitMix64 dice(row.faults.seme);
        const FaultsOfSecond faults = apply_faults(row.faults, dice, sentences);
        EXPECT_EQ(faults.lost, row.faults.attivi && row.faults.perdita > 0) << row.name;
        for (std::size_t i = 0; i < clean.size() && !faults.lost; ++i) {
            const std::string& good = clean[i];
            const std::string& bad = sentences[i];
            if (!row.faults.attivi) {
                EXPECT_EQ(bad, good) << row.name;
                EXPECT_EQ(faults.marks[i], "") << row.name;
            } else if (row.faults.checksum > 0) {
                EXPECT_EQ(bad.substr(0, bad.size() - 2), good.substr(0, good.size() - 2)) << row.name;
                EXPECT_NE(bad, good) << row.name;
                EXPECT_EQ(faults.marks[i], wrong_checksum_mark) << row.name;
            } else {
                EXPECT_LT(bad.size(), good.size()) << row.name;
                EXPECT_EQ(good.rfind(bad, 0), 0u) << row.name;
                EXPECT_EQ(faults.marks[i], cut_sentence_mark) << row.name;
            }
        }
    }
}

TEST(Faults, ANewSeedStartsTheSequenceAgainAndTheSameOptionsKeepItGoing) {
    testing::Rig rig;
    rig.port.force_open();
    OpzioniRicevitore o;
    o.guasti = {true, 0.3, 0.3, 0.3, 7};
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
    o.guasti.seme = 8;
    rig.transmitter.set_receiver(o);
    o.guasti.seme = 7;
    rig.transmitter.set_receiver(o);
    EXPECT_EQ(run(30), first);
    o.guasti = {true, 1.0, 0.0, 0.0, 7};
    rig.transmitter.set_receiver(o);
    EXPECT_EQ(run(1), "0");
    EXPECT_EQ(rig.form.monitor.lines().back(), "[guasto: secondo 201528 non inviato]");
}

}  // namespace
}  // namespace vadrel
