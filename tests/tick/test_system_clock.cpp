// The clock's texts and readings from fixed local times.

#include <gtest/gtest.h>

#include <QDateTime>
#include <memory>
#include <vector>

#include "tick/system_clock.h"

namespace vadrel {
namespace {

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
