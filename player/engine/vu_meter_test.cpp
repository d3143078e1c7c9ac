#include "player/engine/vu_meter.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

TEST(VuMeterTest, WindowIsTwentyMillisecondsOfWholeFrames) {
    struct Case {
        int rate, channels;
        std::uint32_t bytes;
    } cases[] = {{44100, 2, 3528}, {11025, 1, 440}, {11025, 2, 880}, {8000, 1, 320}, {22050, 1, 882}};
    for (const Case& c : cases) {
        const std::uint32_t n = VuWindowBytes(c.rate, c.channels);
        EXPECT_EQ(n, c.bytes) << c.rate;
        EXPECT_EQ(n % static_cast<std::uint32_t>(c.channels * 2), 0u);
    }
}

TEST(VuMeterTest, WindowStartFollowsThePlayedBytesInWholeFrames) {
    struct Case {
        const char* name;
        std::uint64_t played, done;
        std::uint32_t length, window, align;
        bool next;
        std::uint32_t offset;
    } cases[] = {
        {"short buffer reads from its start", 5000, 0, 800, 440, 2, false, 0},
        {"inside the buffer", 10101, 10000, 5000, 440, 2, false, 100},
        {"odd stereo offset rounds down to a frame", 10007, 10000, 5000, 880, 4, false, 4},
        {"device behind the completed buffers", 9000, 10000, 5000, 440, 2, false, 0},
        {"past the buffer moves to the next", 16000, 10000, 5000, 440, 2, true, 0},
        {"near the end keeps a whole window", 14900, 10000, 5000, 440, 2, false, 4558},
        {"stereo near the end", 14999, 10000, 23108, 3528, 4, false, 4996},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const VuWindow w = ComputeVuWindow(c.played, c.done, c.length, c.window, c.align);
        EXPECT_EQ(w.nextBuffer, c.next);
        EXPECT_EQ(w.offset, c.offset);
        EXPECT_EQ(w.offset % c.align, 0u);
        EXPECT_LE(w.offset + c.window, c.length);
    }
}

TEST(VuMeterTest, LevelScale) {
    struct Case {
        double mean;
        int level;
    } cases[] = {{0, 0}, {54.11, 0}, {54.12, 0}, {60, 1}, {2316.9, 62}, {23169, 100}, {32767, 105}};
    for (const Case& c : cases) EXPECT_EQ(VuLevel(c.mean), c.level) << c.mean;
}

}  // namespace
}  // namespace pell
