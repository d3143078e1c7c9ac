#include "recorder/devices/watchdog.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

TEST(WatchdogTimerTest, ReconnectAfterFifteenQuietSecondsThenEveryFifteen) {
    struct Step {
        uint32_t tick;
        bool block;  // a block was processed at this tick
        bool due;
    };
    const Step steps[] = {
        {1000, false, false}, {16000, false, false},  // exactly 15 s: not yet
        {16001, false, true}, {17000, false, false}, {31001, false, false}, {31002, false, true},
        {40000, true, false}, {55000, false, false}, {55001, false, true},  {70002, false, true},
    };
    WatchdogTimer timer(1000);
    for (const Step& step : steps) {
        if (step.block) timer.NoteBlock(step.tick);
        EXPECT_EQ(timer.ReconnectDue(step.tick), step.due) << "at " << step.tick;
    }
}

TEST(WatchdogTimerTest, CountsAcrossTheTickWrap) {
    WatchdogTimer timer(0xFFFFF000u);
    EXPECT_FALSE(timer.ReconnectDue(0xFFFFF000u + 15000u));
    EXPECT_TRUE(timer.ReconnectDue(0xFFFFF000u + 15001u));
}

TEST(WatchdogTimerTest, BlocksKeepItQuiet) {
    WatchdogTimer timer(0);
    for (uint32_t tick = 500; tick < 120000; tick += 500) {
        timer.NoteBlock(tick);
        EXPECT_FALSE(timer.ReconnectDue(tick + 1000)) << tick;
    }
}

}  // namespace
}  // namespace pell
