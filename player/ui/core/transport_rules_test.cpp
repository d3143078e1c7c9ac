#include "player/ui/core/transport_rules.h"

#include <gtest/gtest.h>

#include "player/catalogue/catalogue_test_support.h"

namespace pell {
namespace {

TEST(TransportRulesTest, NextAndPreviousWrapAndNeedACurrentRow) {
    struct Case {
        int current;
        int count;
        int next;
        int previous;
    };
    const Case cases[] = {
        {-1, 5, -1, -1}, {0, 0, -1, -1}, {0, 5, 1, 4}, {4, 5, 0, 3},
        {2, 5, 3, 1},    {0, 1, 0, 0},   {7, 5, 0, 4},  // a stale row past the end lands inside the list
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NextRow(c.current, c.count), c.next) << c.current << "/" << c.count;
        EXPECT_EQ(PreviousRow(c.current, c.count), c.previous) << c.current << "/" << c.count;
    }
}

TEST(TransportRulesTest, ShownTimeIsElapsedOrClockTimeModuloADay) {
    struct Case {
        std::uint32_t position;
        int startOfDay;
        int clockMode;
        int shown;
        const char* text;
    };
    const Case cases[] = {
        {45, 86370, 1, 15, "00:00:15"},  // started 23:59:30, 45 s in
        {45, 86370, 0, 45, "00:00:45"},
        {90061, 0, 0, 3661, "01:01:01"},
        {0, 3600 * 13 + 61, 1, 46861, "13:01:01"},
    };
    for (const Case& c : cases) {
        const int shown = ShownSeconds(c.position, c.startOfDay, c.clockMode);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(ClockText(shown), c.text);
    }
    EXPECT_EQ(TimeDigits(90061), (std::array<int, 6>{0, 1, 0, 1, 0, 1}));
    EXPECT_EQ(TimeDigits(86399), (std::array<int, 6>{2, 3, 5, 9, 5, 9}));
}

TEST(TransportRulesTest, StartOfDayIsTheLastWriteLessTheLengthInLocalTime) {
    test::ScopedTimeZone zone(test::kCentralEurope);
    // Last write 00:00:15 local on 1 Jan 2026 for a 45 s record: it started 23:59:30.
    EXPECT_EQ(StartOfDay(test::LocalTime(2026, 1, 1, 0, 0, 15), 45), 86370);
    EXPECT_EQ(StartOfDay(test::LocalTime(2026, 7, 1, 12, 0, 0), 3600), 11 * 3600);
}

TEST(TransportRulesTest, MeterLevelsFromEngineLevels) {
    EXPECT_EQ(MeterLevelFromVu(0), -4);
    EXPECT_EQ(MeterLevelFromVu(100), 46);
    EXPECT_EQ(MeterLevelFromVu(9), 0);
}

}  // namespace
}  // namespace pell
