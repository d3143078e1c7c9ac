#include "recorder/core/line_state.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

static_assert(Line(0).index() == 0 && Line(1).index() == 1, "line 1 is the left input, line 2 the right");
static_assert(kLines[0] == Line(0) && kLines[1] == Line(1), "loops over the lines go line 1 first");

TEST(LineTest, ChannelNumbersZeroAndOneAreTheTwoLines) {
    EXPECT_EQ(Line(0).channel(), 0);
    EXPECT_EQ(Line(1).channel(), 1);
    EXPECT_NE(Line(0), Line(1));
    PerLine<int> calls{};
    for (const Line line : kLines) calls[line] += line.channel() + 1;
    EXPECT_EQ(calls[0], 1);
    EXPECT_EQ(calls[1], 2);
}

TEST(LineDeathTest, AChannelNumberOutsideZeroAndOneStopsTheProgram) {
    // Without the check 7 and -1 would both have been line 2, and its call filed there.
    for (const int channel : {2, 7, -1}) {
        EXPECT_DEATH((void)Line(channel), "") << channel;
    }
}

}  // namespace
}  // namespace pell
