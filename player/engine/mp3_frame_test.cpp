#include "player/engine/mp3_frame.h"

#include <gtest/gtest.h>

#include "player/engine/testing/mp3_fixtures.h"

namespace pell {
namespace {

const std::uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

TEST(IsValidHeaderTest, RejectsEachReservedField) {
    struct Case {
        std::uint32_t h;
        bool valid;
    } cases[] = {
        {0xFFFB9064, true},   // MPEG-1 Layer III 128 kbit/s 44.1 kHz
        {0xFFDB9064, false},  // sync bits incomplete
        {0xFFEB9064, false},  // version bits 01 reserved
        {0xFFF99064, false},  // layer bits 00 reserved
        {0xFFFBF064, false},  // bitrate index 15
        {0xFFFB9C64, false},  // sample-rate bits 11
        {0xFFFB9066, false},  // emphasis 2
        {0xFFFB0064, true},   // free format passes here
        {0xFFE39064, true},   // MPEG-2.5
    };
    for (const Case& c : cases) EXPECT_EQ(IsValidHeader(c.h), c.valid) << std::hex << c.h;
}

struct ParseCase {
    int version, layer, bitrateIndex, rateBits;
    bool padding, mono;
    int size, sampleRateIndex, lsf, mpeg25, samplesPerFrame;
};

class ParseFrameHeaderTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseFrameHeaderTest, GivesSizeRateAndSamplesPerFrame) {
    const ParseCase& c = GetParam();
    const std::string bytes =
        testing::FrameHeaderBytes(c.version, c.layer, c.bitrateIndex, c.rateBits, c.padding, c.mono);
    FrameHeader h;
    ASSERT_TRUE(ParseFrameHeader(Bytes(bytes), h));
    EXPECT_EQ(h.size, c.size);
    EXPECT_EQ(h.sampleRateIndex, c.sampleRateIndex);
    EXPECT_EQ(h.lsf, c.lsf);
    EXPECT_EQ(h.mpeg25, c.mpeg25);
    EXPECT_EQ(h.layer, c.layer);
    EXPECT_EQ(h.channels, c.mono ? 1 : 2);
    EXPECT_EQ(SamplesPerFrame(h.layer, h.lsf), c.samplesPerFrame);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ParseFrameHeaderTest,
    ::testing::Values(ParseCase{1, 3, 9, 0, false, false, 417, 0, 0, 0, 1152},  // 128k 44.1k
                      ParseCase{1, 3, 9, 0, true, false, 418, 0, 0, 0, 1152},
                      ParseCase{1, 3, 5, 2, false, true, 288, 2, 0, 0, 1152},    // 64k 32k mono
                      ParseCase{1, 2, 12, 1, false, false, 768, 1, 0, 0, 1152},  // 256k 48k Layer II
                      ParseCase{1, 1, 12, 0, true, false, 420, 0, 0, 0, 384},    // 384k Layer I
                      ParseCase{2, 3, 8, 2, false, true, 288, 5, 1, 0, 576},     // 64k 16k
                      ParseCase{2, 2, 8, 2, false, true, 576, 5, 1, 0, 1152},    // Layer II keeps 1152
                      ParseCase{2, 1, 8, 2, false, true, 384, 5, 1, 0, 384},
                      ParseCase{25, 3, 1, 2, false, true, 72, 8, 1, 1, 576}));  // 8k 8 kHz

TEST(ParseFrameHeaderTest, RejectsTheReservedVersion) {
    const std::uint8_t bytes[] = {0xFF, 0xEB, 0x90, 0x64};
    FrameHeader h;
    EXPECT_FALSE(ParseFrameHeader(bytes, h));
}

TEST(XingTest, ReadsPresentFieldsAndDropsThoseBeyondTheFrame) {
    std::vector<std::uint8_t> toc(100);
    for (std::size_t i = 0; i < 100; ++i) toc[i] = static_cast<std::uint8_t>(i * 2);
    struct Case {
        int version, bitrateIndex, rateBits;
        bool mono;
        std::uint32_t flags;
        bool found;
        std::uint32_t keptFlags;
        std::uint32_t frames;
        std::int32_t quality;
    } cases[] = {
        {1, 9, 0, false, 15, true, 15, 1234, 57},
        {1, 9, 0, false, 1, true, 1, 1234, -1},
        {1, 9, 0, true, 5, true, 5, 1234, -1},
        {2, 8, 2, true, 15, true, 15, 1234, 57},
        // 8 kbit/s at 8 kHz: a 72-byte frame holds flags and frame count, not the table.
        {25, 1, 2, true, 15, true, 3, 1234, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        const std::string frame = testing::XingFrame(c.version, c.bitrateIndex, c.rateBits, c.mono, c.flags, 1234, toc);
        FrameHeader h;
        ASSERT_TRUE(ParseFrameHeader(Bytes(frame), h));
        XingInfo xing;
        EXPECT_EQ(ParseXingFrame({Bytes(frame), frame.size()}, h, xing), c.found);
        EXPECT_EQ(xing.flags, c.keptFlags);
        EXPECT_EQ(xing.frames, c.frames);
        EXPECT_EQ(xing.quality, c.quality);
        if (xing.flags & kXingToc) {
            EXPECT_EQ(xing.toc[50], 100);
        }
    }
    const std::string plain = testing::SilentFrame(1, 3, 9, 0, false);
    FrameHeader h;
    ASSERT_TRUE(ParseFrameHeader(Bytes(plain), h));
    XingInfo xing;
    EXPECT_FALSE(ParseXingFrame({Bytes(plain), plain.size()}, h, xing));
}

StreamInfo Info(int rate, int spf, std::uint32_t audioBytes) {
    StreamInfo info;
    info.sampleRate = rate;
    info.samplesPerFrame = spf;
    info.audioStart = 100;
    info.audioBytes = audioBytes;
    return info;
}

TEST(MeasurementTest, FramesAndLengthByRuleWithoutDividingByZero) {
    struct Case {
        int vbr, xing;
        std::uint32_t xingFlags, xingFrames, headerSize;
        std::uint64_t total;
        std::uint32_t count;
        std::uint32_t frames, average, seconds;
    } cases[] = {
        {0, 0, 0, 0, 72, 72, 1, 100, 72, 7},  // 100 frames of 576 at 8000 Hz: 7 s
        {0, 0, 0, 0, 0, 0, 1, 0, 0, 0},       // zero frame size
        {1, 0, 0, 0, 72, 720, 9, 90, 80, 6},  // sampled average
        {1, 1, 1, 50, 72, 0, 0, 50, 144, 3},  // Xing count
        {1, 1, 0, 0, 72, 0, 0, 0, 72, 0},     // Xing without a count: length 0
        {1, 1, 1, 0, 72, 0, 0, 0, 72, 0},     // zero count
    };
    for (const Case& c : cases) {
        StreamInfo info = Info(8000, 576, 7200);
        info.vbr = c.vbr;
        info.xing = c.xing;
        info.xingInfo.flags = c.xingFlags;
        info.xingInfo.frames = c.xingFrames;
        FinishMeasurement(info, c.headerSize, c.total, c.count);
        EXPECT_EQ(info.frames, c.frames);
        EXPECT_EQ(info.averageFrameBytes, c.average);
        EXPECT_EQ(info.lengthSeconds, c.seconds);
    }
}

TEST(SeekOffsetTest, TableOfContentsOrAverageFrameRule) {
    StreamInfo info = Info(44100, 1152, 1000000);
    info.averageFrameBytes = 400;
    info.lengthSeconds = 100;
    for (std::size_t i = 0; i < 100; ++i) info.xingInfo.toc[i] = static_cast<std::uint8_t>(i * 256 / 100);
    struct Case {
        int vbr, xing;
        std::uint32_t flags, seconds;
        std::uint64_t offset;
    } cases[] = {
        {0, 0, 0, 10, 100 + (10 * 44100 / 1152) * 400},
        {1, 1, 7, 0, 100},
        {1, 1, 7, 50, 100 + 500000},
        {1, 1, 7, 100, 100 + 1000000},   // i = 99 interpolates towards 256
        {1, 1, 3, 10, 100 + 382 * 400},  // no table: average rule
    };
    for (const Case& c : cases) {
        info.vbr = c.vbr;
        info.xing = c.xing;
        info.xingInfo.flags = c.flags;
        EXPECT_EQ(ByteOffsetForSeconds(info, c.seconds), c.offset) << c.seconds;
    }
    info.lengthSeconds = 0;
    info.vbr = info.xing = 1;
    info.xingInfo.flags = 7;
    EXPECT_EQ(ByteOffsetForSeconds(info, 0), 100u);
}

TEST(MulDivTest, RoundsToNearest) {
    EXPECT_EQ(MulDiv(100, 44100, 1152000), 4);
    EXPECT_EQ(MulDiv(5, 2, 4), 3);
    EXPECT_EQ(MulDiv(-5, 2, 4), -3);
    EXPECT_EQ(MulDiv(7, 1, 2), 4);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

TEST(BufferPlanTest, PlansForTheDefaultSecond) {
    struct Case {
        int rate, channels, spf, f, m, n;
        std::uint32_t bytes, pcmOfF;
    } cases[] = {
        {44100, 2, 1152, 4, 131, 8, 23108, 18432},
        {48000, 2, 1152, 4, 120, 8, 23040, 18432},
        {32000, 1, 1152, 3, 144, 7, 9216, 6912},
        {16000, 1, 576, 3, 144, 7, 4608, 3456},
        {8000, 1, 576, 1, 144, 7, 2304, 1152},
        {16000, 1, 1152, 1, 144, 7, 4608, 2304},     // MPEG-2 Layer II: room for two frames
        {44100, 2, 384, 11, 104, 10, 18345, 16896},  // Layer I
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        const BufferPlan plan = MakeBufferPlan(c.rate, c.spf, 1000);
        EXPECT_EQ(plan.framesPerBuffer, c.f);
        EXPECT_EQ(plan.bufferMs, c.m);
        EXPECT_EQ(plan.bufferCount, c.n);
        const std::uint32_t bytes = OutputBufferBytes(c.rate, c.channels, plan.bufferMs);
        EXPECT_EQ(bytes, c.bytes);
        EXPECT_EQ(static_cast<std::uint32_t>(c.f * c.spf * c.channels * 2), c.pcmOfF);
        EXPECT_GE(bytes, c.pcmOfF);
    }
}

}  // namespace
}  // namespace pell
