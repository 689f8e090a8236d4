// The sentences of one second for one vehicle with the receiver options, as
// a client reads them (the time 20.15.28 local, 18.15.28 UTC, on 9 May 2003,
// at 4400.6787 N 01007.7087 E). The golden files of the end-to-end tests hold
// every mode and option set byte for byte over many seconds; these rows are
// the cases they leave out.
#include <gtest/gtest.h>

#include <QDateTime>
#include <memory>
#include <string>
#include <vector>

#include "nmea/faults.h"
#include "support/fakes.h"
#include "tick/second_sentences.h"
#include "tick/system_clock.h"

namespace vadrel {
namespace {

using Sentences = std::vector<std::string>;

struct Scene {
    OpzioniRicevitore options;
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
    OpzioniRicevitore no_fix;
    no_fix.senza_fix = true;
    testing::FakeClock clock;
    EXPECT_EQ(sentences_of({no_fix, Mode::radio}, clock),
              (Sentences{gsv_1, gsv_2, rme, "$GPRMC,201528,V,,,,,,,090503,000.0,W,*67", "$GPVTG,,T,,M,,N,,K*4E",
                         "$GPGGA,201528,,,,,0,00,,,,,,,*6A", "$GPGSA,A,1,,,,,,,,,,,,,,,*1E"}));
}

// Without UTC or the full set the time and date are the regional texts,
// only "." and "/" taken out; otherwise one reading of the clock stamps the
// whole set, also at midnight.
TEST(SecondSentences, TimeAndDateFields) {
    const struct {
        const char *time, *date, *field_time, *field_date;
    } rows[] = {
        {"9.05.03", "09/05/03", "090503", "090503"},
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
    OpzioniRicevitore o;
    o.frasi_complete = o.utc = true;
    const Sentences got = sentences_of({o}, clock);
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
        {-100, 45, SpeedUnit::none, ",54.0,225.0,"},  // backing along course 45 goes over the ground to 225
        {100, 359.96, SpeedUnit::kmh, ",54.0,000.0,"},  // rounds to 360.0, which is 000.0
    };
    OpzioniRicevitore motion;
    motion.moto_reale = true;
    for (const auto& row : rows) {
        testing::FakeClock clock;
        const std::string rmc = sentences_of({motion, Mode::gps_standard, row.speed, row.course, row.unit}, clock)[0];
        EXPECT_NE(rmc.find(row.fields), std::string::npos) << row.speed << " at " << row.course << ": " << rmc;
    }
}

// The faults of a seed go on with the same options, start again with a new
// seed, and are none while switched off whatever the rates.
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
    o.guasti = {false, 0.0, 1.0, 0.0, 7};
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
