// The clock's readings and texts, from fixed local times.

#include <gtest/gtest.h>

#include <QTimeZone>
#include <vector>

#include "platform/system_clock.h"

namespace vadrel {
namespace {

QDateTime at(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms));
}

TEST(ClockTexts, TimeHasOneOrTwoHourDigitsAndTwoDigitMinutesAndSeconds) {
    struct Row {
        QTime time;
        const char* text;
    };
    const Row rows[] = {
        {QTime(20, 15, 28), "20.15.28"}, {QTime(9, 5, 3), "9.05.03"},     {QTime(0, 0, 0), "0.00.00"},
        {QTime(23, 59, 59, 999), "23.59.59"}, {QTime(10, 0, 0), "10.00.00"}, {QTime(0, 9, 59, 500), "0.09.59"},
    };
    for (const Row& row : rows) EXPECT_EQ(time_text_of(row.time), row.text) << row.text;
}

TEST(ClockTexts, DateIsDayMonthAndTwoDigitYear) {
    struct Row {
        QDate date;
        const char* text;
    };
    const Row rows[] = {
        {QDate(2003, 5, 9), "09/05/03"},   {QDate(2026, 12, 31), "31/12/26"}, {QDate(2000, 1, 1), "01/01/00"},
        {QDate(1999, 10, 23), "23/10/99"}, {QDate(2100, 2, 28), "28/02/00"},
    };
    for (const Row& row : rows) EXPECT_EQ(date_text_of(row.date), row.text) << row.text;
}

TEST(ClockTexts, SecondsSinceMidnightKeepTheFractions) {
    EXPECT_EQ(seconds_since_midnight_of(at(2003, 5, 9, 0, 0, 0)), 0.0f);
    EXPECT_EQ(seconds_since_midnight_of(at(2003, 5, 9, 20, 15, 28, 250)), 72928.25f);
    EXPECT_EQ(seconds_since_midnight_of(at(2003, 5, 9, 0, 0, 1, 500)), 1.5f);
    EXPECT_NEAR(seconds_since_midnight_of(at(2003, 5, 9, 23, 59, 59, 999)), 86399.999f, 0.01f);
}

TEST(ClockTexts, SecondsRunOnWithoutAJumpWhenTheClocksChange) {
    const QTimeZone rome("Europe/Rome");
    if (!rome.isValid()) GTEST_SKIP() << "no time zone data";
    struct Row {
        const char* situation;
        QDateTime reading;
        float seconds;
    };
    const Row rows[] = {
        {"clocks forward, before", QDateTime(QDate(2026, 3, 29), QTime(1, 59, 59), rome), 7199.0f},
        {"clocks forward, after: one second later", QDateTime(QDate(2026, 3, 29), QTime(3, 0, 0), rome), 7200.0f},
        {"summer evening: standard time", QDateTime(QDate(2026, 5, 9), QTime(20, 0, 0), rome), 68400.0f},
        {"summer: the day turns at 01:00", QDateTime(QDate(2026, 5, 9), QTime(0, 59, 59), rome), 86399.0f},
        {"summer: 01:00 is 0", QDateTime(QDate(2026, 5, 9), QTime(1, 0, 0), rome), 0.0f},
        {"clocks back, first 02:30", QDateTime::fromSecsSinceEpoch(1792888200, rome), 5400.0f},
        {"clocks back, second 02:30: an hour later", QDateTime::fromSecsSinceEpoch(1792891800, rome), 9000.0f},
        {"winter evening", QDateTime(QDate(2026, 12, 6), QTime(20, 0, 0), rome), 72000.0f},
    };
    for (const Row& row : rows) EXPECT_EQ(seconds_since_midnight_of(row.reading), row.seconds) << row.situation;
}

// A clock source that hands out the given readings one by one.
struct Readings {
    std::vector<QDateTime> times;
    std::size_t next = 0;
    QDateTime operator()() { return times.at(next++); }
};

TEST(SystemClock, ASentenceBuiltAcrossMidnightTakesItsDateFromTheTimeReading) {
    auto readings = std::make_shared<Readings>();
    readings->times = {at(2003, 5, 8, 23, 59, 59, 990), at(2003, 5, 9, 0, 0, 0, 10)};
    SystemClock clock([readings] { return (*readings)(); });
    EXPECT_EQ(clock.time_text(), "23.59.59");
    EXPECT_EQ(clock.date_text(), "08/05/03") << "not the next day's date";
}

TEST(SystemClock, ADateAskedLongAfterTheTimeIsReadAfresh) {
    auto readings = std::make_shared<Readings>();
    readings->times = {at(2003, 5, 8, 23, 59, 58), at(2003, 5, 9, 0, 0, 2),   // 4 s apart
                       at(2003, 5, 9, 0, 0, 3)};                               // no time text before
    SystemClock clock([readings] { return (*readings)(); });
    EXPECT_EQ(clock.time_text(), "23.59.58");
    EXPECT_EQ(clock.date_text(), "09/05/03");
    EXPECT_EQ(clock.date_text(), "09/05/03");
}

TEST(SystemClock, EachSecondsReadingIsFresh) {
    auto readings = std::make_shared<Readings>();
    readings->times = {at(2003, 5, 9, 20, 15, 28), at(2003, 5, 9, 20, 15, 29, 125)};
    SystemClock clock([readings] { return (*readings)(); });
    EXPECT_EQ(clock.seconds_since_midnight(), 72928.0f);
    EXPECT_EQ(clock.seconds_since_midnight(), 72929.125f);
}

TEST(SystemClock, TheRealClockAgreesWithItsOwnTexts) {
    SystemClock clock;
    const std::string time = clock.time_text();
    const std::string date = clock.date_text();
    EXPECT_TRUE(time.size() == 7 || time.size() == 8) << time;
    EXPECT_EQ(date.size(), 8u) << date;
    const float seconds = clock.seconds_since_midnight();
    EXPECT_GE(seconds, 0.0f);
    EXPECT_LT(seconds, 86401.0f);
}

}  // namespace
}  // namespace vadrel
