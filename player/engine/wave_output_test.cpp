#include "player/engine/queued_wave_out.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

struct Completions {
    int count = 0;
    std::uint32_t lastLength = 0;
    std::uint32_t lastUser = 0;
};

void Record(WaveOutput*, OutputMessage message, void* instance, WaveHeader* header) {
    if (message != OutputMessage::kDone) return;
    auto* c = static_cast<Completions*>(instance);
    ++c->count;
    c->lastLength = header->validBytes;
    c->lastUser = header->index;
}

TEST(WaveOutputTest, BufferSizesFollowFormatAndDuration) {
    struct Case {
        std::uint16_t channels;
        std::uint32_t rate, ms, bytes;
    } cases[] = {{1, 8000, 144, 2304}, {2, 44100, 131, 23108}, {2, 48000, 120, 23040}, {1, 11025, 200, 4410}};
    for (const Case& c : cases) {
        QueuedWaveOut out;
        ASSERT_EQ(out.Initialize(1, c.channels, c.rate, 16, 3, c.ms), 1);
        EXPECT_EQ(out.GetBufferSize(), c.bytes);
        EXPECT_EQ(out.GetFormat().blockAlign, c.channels * 2);
        for (std::uint32_t i = 0; i < 3; ++i) {
            EXPECT_NE(out.GetBufferData(i), nullptr);
            EXPECT_EQ(out.GetBufferDataSize(i), 0u);
        }
    }
}

TEST(WaveOutputTest, InitializeTwiceKeepsTheFirstBuffers) {
    QueuedWaveOut out;
    EXPECT_EQ(out.Uninitialize(), 1);
    ASSERT_EQ(out.Initialize(1, 1, 8000, 16, 4, 144), 1);
    std::uint8_t* first = out.GetBufferData(0);
    EXPECT_EQ(out.Initialize(1, 2, 44100, 16, 8, 131), 0);
    EXPECT_EQ(out.GetError(), "WWaveOut::Initialize   *** Already initializet. Uninitialize first.");
    EXPECT_EQ(out.GetBufferData(0), first);
    EXPECT_EQ(out.GetNumOfBuffers(), 4u);
    EXPECT_EQ(out.Uninitialize(), 1);
    EXPECT_EQ(out.GetNumOfBuffers(), 0u);
    EXPECT_EQ(out.GetBufferData(0), nullptr);
}

TEST(WaveOutputTest, BuffersCompleteInOrderIncludingEmptyOnes) {
    QueuedWaveOut out;
    ASSERT_EQ(out.Initialize(1, 1, 8000, 16, 3, 144), 1);
    Completions c;
    ASSERT_EQ(out.OpenAudioOutput(kDefaultOutputDevice, &Record, &c, kCallbackFunction), 1);
    out.SetBufferDataSize(0, 0);
    out.SetBufferDataSize(1, 1000);
    out.SetBufferDataSize(2, 99999);  // cut to the buffer
    EXPECT_EQ(out.GetBufferDataSize(2), 2304u);
    for (std::uint32_t i = 0; i < 3; ++i) ASSERT_EQ(out.PlayBuffer(i), 1);
    EXPECT_EQ(out.IsBufferDone(0), 0);
    EXPECT_EQ(out.UnprepareHeader(0), 0);  // still queued
    EXPECT_EQ(out.Close(), 0);
    EXPECT_EQ(out.GetError(), "WWaveOut::Close   *** There are still buffers in the queue");
    struct Step {
        std::uint32_t user, length;
        std::uint64_t samples;
    } steps[] = {{0, 0, 0}, {1, 1000, 500}, {2, 2304, 1652}};
    for (const Step& s : steps) {
        ASSERT_TRUE(out.CompleteNext());
        EXPECT_EQ(c.lastUser, s.user);
        EXPECT_EQ(c.lastLength, s.length);
        EXPECT_EQ(out.IsBufferDone(s.user), 1);
        EXPECT_EQ(out.GetPosition(0), s.samples);
    }
    EXPECT_FALSE(out.CompleteNext());
    EXPECT_EQ(c.count, 3);
    EXPECT_EQ(out.UnprepareHeader(0), 1);
    EXPECT_EQ(out.Close(), 1);
    EXPECT_EQ(out.GetPosition(0), 0u);
    EXPECT_EQ(out.Close(), 0);
    EXPECT_EQ(out.GetError(), "WWaveOut::Close  *** Specified device handle is invalid");
}

TEST(WaveOutputTest, PositionKindsTruncateAndUseSixtyFourBits) {
    // 7920 samples at 8000 Hz = 0.99 s; then 200 s of 44.1 kHz stereo in one buffer count.
    struct Case {
        std::uint16_t channels;
        std::uint32_t rate, ms, bufferBytes;
        int buffers;
        std::uint64_t k0, k1, k2, k3;
    } cases[] = {
        {1, 8000, 990, 15840, 1, 7920, 990, 0, 15840},
        {2, 44100, 10000, 1764000, 20, 8820000, 200000, 200, 35280000},
    };
    for (const Case& c : cases) {
        QueuedWaveOut out;
        ASSERT_EQ(out.Initialize(1, c.channels, c.rate, 16, 1, c.ms), 1);
        ASSERT_EQ(out.OpenAudioOutput(kDefaultOutputDevice, nullptr, nullptr, kCallbackFunction), 1);
        for (int i = 0; i < c.buffers; ++i) {
            out.SetBufferDataSize(0, c.bufferBytes);
            ASSERT_EQ(out.PlayBuffer(0), 1);
            ASSERT_TRUE(out.CompleteNext());
        }
        EXPECT_EQ(out.GetPosition(0), c.k0);
        EXPECT_EQ(out.GetPosition(1), c.k1);
        EXPECT_EQ(out.GetPosition(2), c.k2);
        EXPECT_EQ(out.GetPosition(3), c.k3);
        EXPECT_EQ(out.GetPosition(4), 0u);
    }
}

TEST(WaveOutputTest, ResetReturnsQueuedBuffersAndPauseHoldsThem) {
    QueuedWaveOut out;
    ASSERT_EQ(out.Initialize(1, 2, 44100, 16, 4, 131), 1);
    Completions c;
    ASSERT_EQ(out.OpenAudioOutput(kDefaultOutputDevice, &Record, &c, kCallbackFunction), 1);
    for (std::uint32_t i = 0; i < 4; ++i) ASSERT_EQ(out.PlayBuffer(i), 1);
    out.Pause();
    EXPECT_FALSE(out.CompleteNext());
    out.Restart();
    EXPECT_TRUE(out.CompleteNext());
    out.Reset();
    EXPECT_EQ(c.count, 4);
    for (std::uint32_t i = 0; i < 4; ++i) EXPECT_EQ(out.IsBufferDone(i), 1);
    EXPECT_EQ(out.Close(), 1);
}

TEST(WaveOutputTest, OpenAndCloseTextsByResultCode) {
    struct Case {
        OutputResult code;
        const char* open;
    } cases[] = {
        {OutputResult::kAllocated, "WWaveOut::OpenAudioOutput  *** Specified resource is already allocated"},
        {OutputResult::kBadDeviceId, "WWaveOut::OpenAudioOutput  *** Specified device identifier is out of range"},
        {OutputResult::kNoDriver, "WWaveOut::OpenAudioOutput  *** No device driver is present"},
        {OutputResult::kNoMemory, "WWaveOut::OpenAudioOutput  *** Unable to allocate or lock memory"},
        {OutputResult::kBadFormat,
         "WWaveOut::OpenAudioOutput   *** Attempted to open with an unsupported waveform-audio format"},
        {OutputResult::kSync,
         "WWaveOut::OpenAudioOutput   *** The device is synchronous but waveOutOpen was called without using the "
         "WAVE_ALLOWSYNC flag"},
        {OutputResult::kError, "WWaveOut::OpenAudioOutput   *** Unknown error"},
    };
    for (const Case& c : cases) {
        QueuedWaveOut out;
        out.FailOpenWith(c.code);
        EXPECT_EQ(out.OpenAudioOutput(kDefaultOutputDevice, nullptr, nullptr, kCallbackFunction), 0);
        EXPECT_EQ(out.GetError(), c.open);
    }
    EXPECT_STREQ(CloseErrorText(OutputResult::kNoDriver), "WWaveOut::Close  *** No device driver is present");
    EXPECT_STREQ(CloseErrorText(OutputResult::kNoMemory), "WWaveOut::Close   *** Unable to allocate or lock memory");
    EXPECT_STREQ(CloseErrorText(OutputResult::kError), "WWaveOut::Close   *** Unknown error");
}

TEST(WaveOutputTest, PlayBufferFailsOnAClosedDeviceOrWhenTheWriteFails) {
    QueuedWaveOut out;
    ASSERT_EQ(out.Initialize(1, 1, 8000, 16, 2, 144), 1);
    EXPECT_EQ(out.PlayBuffer(0), 0);
    EXPECT_EQ(out.GetError(), "WWaveOut::PlayBuffer   *** Can't prepare data");
    ASSERT_EQ(out.OpenAudioOutput(kDefaultOutputDevice, nullptr, nullptr, kCallbackFunction), 1);
    out.FailPlayBufferNumber(2);
    EXPECT_EQ(out.PlayBuffer(0), 1);
    EXPECT_EQ(out.PlayBuffer(1), 0);
    EXPECT_EQ(out.GetError(), "WWaveOut::PlayBuffer   *** Can't write data");
    EXPECT_EQ(out.QueuedCount(), 1u);
}

}  // namespace
}  // namespace pell
