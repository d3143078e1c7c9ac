#include "common/core/clock.h"

#include <gtest/gtest.h>

#include "testsupport/manual_clock.h"

namespace pell {
namespace {

TEST(ClockTest, FormatsDayFolderNamesAndTimes) {
    LocalDateTime t = MakeLocal(2026, 12, 6, 9, 5, 7);
    EXPECT_EQ(FormatLocal(t, "%d.%m.%Y"), "06.12.2026");
    EXPECT_EQ(FormatLocal(t, "%H:%M:%S"), "09:05:07");
}

TEST(ClockTest, ManualClockCrossesMidnightAndTheTickWrap) {
    ManualClock clock(MakeLocal(2026, 12, 31, 23, 59, 59), 0xFFFFFE0Cu);
    clock.AdvanceMs(500);
    EXPECT_EQ(clock.Now(), MakeLocal(2026, 12, 31, 23, 59, 59));
    clock.AdvanceMs(500);
    EXPECT_EQ(clock.Now(), MakeLocal(2027, 1, 1, 0, 0, 0));
    EXPECT_EQ(clock.TickMs(), 0xFFFFFE0Cu + 1000u);
    EXPECT_EQ(TicksSince(0xFFFFFE0Cu, clock.TickMs()), 1000u);
    clock.AdvanceMs(2 * 86400 * 1000u);
    EXPECT_EQ(clock.Now(), MakeLocal(2027, 1, 3, 0, 0, 0));
}

}  // namespace
}  // namespace pell
