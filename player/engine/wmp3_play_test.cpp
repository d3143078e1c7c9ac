// Playback through the worker thread with a wave output that plays a buffer only when the test
// says so: every step is driven, nothing waits on the wall clock.

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <thread>

#include <gtest/gtest.h>

#include "player/engine/peak_limiter.h"
#include "player/engine/queued_wave_out.h"
#include "player/engine/testing/mp3_fixtures.h"
#include "player/engine/wmp3.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using testing::EncodeOptions;
using testing::ToneParams;

class WMp3PlayTest : public ::testing::Test {
protected:
    WMp3PlayTest() {
        auto out = std::make_unique<QueuedWaveOut>();
        out_ = out.get();
        out_->SetSink([this](const std::uint8_t* data, std::uint32_t bytes) {
            played_.insert(played_.end(), data, data + bytes);
        });
        mp3_ = std::make_unique<WMp3>(std::move(out));
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        dir_.Write(name, bytes);
        return dir_.File(name);
    }
    // Waits until the worker has queued at least n buffers (or stopped).
    void WaitQueued(std::size_t n) {
        ASSERT_TRUE(out_->WaitFor([&](std::size_t queued, bool) { return queued >= n || !mp3_->IsPlaying(); }));
    }
    // Plays every buffer the worker queues until it stops at the stream's end.
    void PlayToEnd() {
        for (int guard = 0; guard < 1000000; ++guard) {
            ASSERT_TRUE(out_->WaitFor([&](std::size_t queued, bool) { return queued > 0 || !mp3_->IsPlaying(); }));
            if (!out_->CompleteNext() && !mp3_->IsPlaying()) break;
        }
        // The worker closes the device before it ends.
        ASSERT_TRUE(out_->WaitFor([](std::size_t, bool open) { return !open; }));
    }
    std::vector<std::uint8_t> PlayFile(const std::string& path) {
        played_.clear();
        EXPECT_EQ(mp3_->OpenMp3File(path.c_str(), 1000), 1) << mp3_->GetError();
        EXPECT_EQ(mp3_->Play(), 1);
        PlayToEnd();
        EXPECT_EQ(mp3_->Close(), 1);
        return played_;
    }

    TempDir dir_;
    QueuedWaveOut* out_ = nullptr;
    std::vector<std::uint8_t> played_;
    std::unique_ptr<WMp3> mp3_;
};

struct PcmCase {
    const char* name;
    ToneParams tone;
    EncodeOptions encode;
    bool id3v2;
    bool id3v1;
};

TEST_F(WMp3PlayTest, PlayedPcmEqualsLibmpg123DecodingTheSameFile) {
    const PcmCase cases[] = {
        {"44.1 kHz stereo cbr", {44100, 2, 2.0, 440, 660, 9000}, {128, false, true}, false, false},
        {"8 kHz mono cbr with tags", {8000, 1, 3.0, 300, 0, 9000}, {16, false, true}, true, true},
        {"22.05 kHz mono vbr", {22050, 1, 2.0, 1000, 0, 9000}, {48, true, true}, false, true},
        {"16 kHz mono without header frame", {16000, 1, 2.0, 700, 0, 9000}, {32, false, false}, true, false},
        {"48 kHz stereo", {48000, 2, 1.5, 200, 5000, 9000}, {192, false, true}, false, false},
    };
    for (const PcmCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = testing::EncodeTone(c.tone, c.encode);
        if (c.id3v2) bytes = testing::Id3v2Tag(500, true) + bytes;
        if (c.id3v1) bytes += testing::Id3v1Tag();
        const std::string path = Write("p.mp3", bytes);
        const std::vector<std::uint8_t> reference = testing::ReferenceDecode(path);
        ASSERT_GT(reference.size(), 1000u);
        const std::vector<std::uint8_t> pcm = PlayFile(path);
        EXPECT_EQ(pcm.size(), reference.size());
        EXPECT_TRUE(pcm == reference);
    }
}

TEST_F(WMp3PlayTest, Mpeg2LayerTwoFramesFitTheirBuffers) {
    // 1152 samples per frame at 16 kHz: the plan must leave room for them.
    const std::string path = Write("l2.mp3", testing::SilentFrames(60, 2, 2, 8, 2, true));
    const std::vector<std::uint8_t> pcm = PlayFile(path);
    EXPECT_EQ(pcm.size(), testing::ReferenceDecode(path).size());
    EXPECT_EQ(pcm.size(), 60u * 1152 * 2);
}

TEST_F(WMp3PlayTest, ACutLastFrameBeforeATagEndsThePlaybackAtThePreviousFrame) {
    const std::string frames = testing::SilentFrames(30, 1, 3, 9, 0, false);
    struct Case {
        const char* name;
        std::string bytes;
        std::size_t frames;
    } cases[] = {
        {"whole", frames + testing::Id3v1Tag(), 30},
        {"cut before tag", frames + frames.substr(0, 200) + testing::Id3v1Tag(), 30},
        {"cut at end", frames + frames.substr(0, 300), 30},
        // Bytes after the audio in which no frame can be found: everything before them plays.
        {"tag cut short", frames + testing::Id3v1Tag().substr(0, 60), 30},
        {"junk after the audio", frames + std::string(300, '\x55'), 30},
        {"cut frame then cut tag", frames + frames.substr(0, 200) + testing::Id3v1Tag().substr(0, 90), 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::uint8_t> pcm = PlayFile(Write("c.mp3", c.bytes));
        EXPECT_EQ(pcm.size(), c.frames * 1152 * 4);
    }
}

TEST_F(WMp3PlayTest, CommandsFollowTheStateTable) {
    const std::string path = Write("a.mp3", testing::EncodeTone({8000, 1, 4.0, 300, 0, 9000}, {16, false, true}));
    ASSERT_EQ(mp3_->OpenMp3File(path.c_str(), 1000), 1);
    EXPECT_EQ(mp3_->Stop(), 0);   // nothing plays
    EXPECT_EQ(mp3_->Pause(), 0);  // nothing plays
    ASSERT_EQ(mp3_->Play(), 1);
    WaitQueued(7);
    EXPECT_EQ(mp3_->Play(), 0);  // already playing
    EXPECT_EQ(out_->OpenCount(), 1);
    EXPECT_EQ(mp3_->OpenMp3File(path.c_str(), 1000), 0);
    EXPECT_EQ(mp3_->GetError(), "You need to close mp3 file before open new one");
    EXPECT_TRUE(mp3_->IsPlaying());
    EXPECT_TRUE(out_->CompleteNext());
    ASSERT_EQ(mp3_->Pause(), 1);
    EXPECT_TRUE(mp3_->IsPaused());
    EXPECT_FALSE(out_->CompleteNext());
    EXPECT_EQ(mp3_->Play(), 1);  // resumes
    EXPECT_FALSE(mp3_->IsPaused());
    EXPECT_TRUE(out_->CompleteNext());
    EXPECT_EQ(out_->OpenCount(), 1);
    ASSERT_EQ(mp3_->Pause(), 1);
    EXPECT_EQ(mp3_->Stop(), 1);  // stops while paused
    EXPECT_FALSE(mp3_->IsPlaying());
    EXPECT_FALSE(mp3_->IsPaused());
    EXPECT_FALSE(out_->IsOpen());
    EXPECT_EQ(mp3_->GetPosition(), 0u);
    EXPECT_EQ(mp3_->Stop(), 0);
    // Playing again starts from the audio start with a new worker.
    played_.clear();
    ASSERT_EQ(mp3_->Play(), 1);
    PlayToEnd();
    EXPECT_EQ(played_.size(), testing::ReferenceDecode(path).size());
    EXPECT_EQ(out_->OpenCount(), 2);
}

TEST_F(WMp3PlayTest, EveryCommandMovesTheStateAsDocumented) {
    const std::string path = Write("a.mp3", testing::EncodeTone({8000, 1, 2.0, 300, 0, 9000}, {16, false, true}));
    using State = WMp3::State;
    enum class Op { kPlay, kPause, kResume, kStop, kSeek, kPlayToEnd, kClose };
    struct Step {
        const char* name;
        Op op;
        int result;
        State state;
    } steps[] = {
        {"pause when stopped does nothing", Op::kPause, 0, State::kOpen},
        {"resume when stopped answers 1 and stays", Op::kResume, 1, State::kOpen},
        {"play", Op::kPlay, 1, State::kPlaying},
        {"pause", Op::kPause, 1, State::kPaused},
        {"pause again answers 1", Op::kPause, 1, State::kPaused},
        {"resume", Op::kResume, 1, State::kPlaying},
        {"stop", Op::kStop, 1, State::kOpen},
        {"play again", Op::kPlay, 1, State::kPlaying},
        {"the worker ends at the stream's end", Op::kPlayToEnd, 1, State::kEnded},
        {"stop at the end does nothing", Op::kStop, 0, State::kEnded},
        {"seek leaves the end", Op::kSeek, 1, State::kOpen},
        {"play from the seek", Op::kPlay, 1, State::kPlaying},
        {"seek while playing stops", Op::kSeek, 1, State::kOpen},
        {"play", Op::kPlay, 1, State::kPlaying},
        {"the end again", Op::kPlayToEnd, 1, State::kEnded},
        {"play from the end starts over", Op::kPlay, 1, State::kPlaying},
        {"close", Op::kClose, 1, State::kClosed},
        {"stop when closed fails", Op::kStop, 0, State::kClosed},
    };
    ASSERT_EQ(mp3_->OpenMp3File(path.c_str(), 1000), 1);
    EXPECT_EQ(mp3_->GetState(), State::kOpen);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        int result = 1;
        switch (step.op) {
            case Op::kPlay:
                result = mp3_->Play();
                break;
            case Op::kPause:
                result = mp3_->Pause();
                break;
            case Op::kResume:
                result = mp3_->Resume();
                break;
            case Op::kStop:
                result = mp3_->Stop();
                break;
            case Op::kSeek:
                result = mp3_->Seek(1);
                break;
            case Op::kPlayToEnd:
                PlayToEnd();
                break;
            case Op::kClose:
                result = mp3_->Close();
                break;
        }
        EXPECT_EQ(result, step.result);
        EXPECT_EQ(mp3_->GetState(), step.state);
        EXPECT_EQ(mp3_->IsPlaying(), step.state == State::kPlaying || step.state == State::kPaused);
        EXPECT_EQ(mp3_->IsPaused(), step.state == State::kPaused);
        if (step.state == State::kEnded) {
            EXPECT_EQ(mp3_->GetPosition(), mp3_->GetLength());
        }
    }
}

TEST_F(WMp3PlayTest, PositionCountsPlayedSecondsFromTheSeekAndReadsTheLengthAtTheEnd) {
    const std::string path = Write("a.mp3", testing::SilentFrames(700, 25, 3, 1, 2, true));  // 50 s at 8 kHz
    ASSERT_EQ(mp3_->OpenMp3File(path.c_str(), 1000), 1);
    ASSERT_EQ(mp3_->GetLength(), 50u);
    ASSERT_EQ(mp3_->Seek(45), 1);
    EXPECT_EQ(mp3_->GetPosition(), 45u);
    ASSERT_EQ(mp3_->Play(), 1);
    // A buffer holds one frame of 576 samples at 8 kHz: fourteen of them make 1.008 s.
    for (int i = 0; i < 13; ++i) {
        WaitQueued(1);
        ASSERT_TRUE(out_->CompleteNext());
    }
    EXPECT_EQ(mp3_->GetPosition(), 45u);
    WaitQueued(1);
    ASSERT_TRUE(out_->CompleteNext());
    EXPECT_EQ(mp3_->GetPosition(), 46u);
    PlayToEnd();
    EXPECT_FALSE(mp3_->IsPlaying());
    EXPECT_EQ(mp3_->GetPosition(), 50u);
    ASSERT_EQ(mp3_->Seek(10), 1);
    EXPECT_EQ(mp3_->GetPosition(), 10u);
    // The seek's frame: 10 s x 8000 / 576 = frame 138.
    played_.clear();
    ASSERT_EQ(mp3_->Play(), 1);
    PlayToEnd();
    EXPECT_EQ(played_.size(), (700u - 138u) * 576 * 2);
}

TEST_F(WMp3PlayTest, SeekingIntoAVbrFileFollowsItsTableOfContents) {
    const std::string path = Write("v.mp3", testing::EncodeTone({22050, 1, 8.0, 600, 0, 9000}, {64, true, true}));
    ASSERT_EQ(mp3_->OpenMp3File(path.c_str(), 1000), 1);
    const StreamInfo info = mp3_->GetStreamInfo();
    ASSERT_EQ(info.xing, 1);
    ASSERT_TRUE(info.xingInfo.flags & kXingToc);
    ASSERT_EQ(mp3_->GetLength(), 8u);
    struct Case {
        int seconds;
        double remaining;
    } cases[] = {{0, 8.0}, {2, 6.0}, {5, 3.0}, {8, 0.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        played_.clear();
        ASSERT_EQ(mp3_->Seek(c.seconds), 1);
        ASSERT_EQ(mp3_->Play(), 1);
        PlayToEnd();
        const double seconds = static_cast<double>(played_.size()) / (2.0 * 22050);
        EXPECT_NEAR(seconds, c.remaining, 0.25);
    }
}

TEST_F(WMp3PlayTest, SeekWhilePlayingStopsAndWaitsForTheWorker) {
    const std::string path = Write("a.mp3", testing::SilentFrames(700, 25, 3, 1, 2, true));
    ASSERT_EQ(mp3_->OpenMp3File(path.c_str(), 1000), 1);
    for (int round = 0; round < 5; ++round) {
        ASSERT_EQ(mp3_->Play(), 1);
        WaitQueued(static_cast<std::size_t>(1 + round));
        out_->CompleteNext();
        ASSERT_EQ(mp3_->Seek(round * 10), 1);
        EXPECT_FALSE(mp3_->IsPlaying());
        EXPECT_FALSE(out_->IsOpen());
        EXPECT_EQ(mp3_->GetPosition(), static_cast<std::uint32_t>(round * 10));
    }
    EXPECT_EQ(mp3_->Close(), 1);
}

TEST_F(WMp3PlayTest, LevelsAreZeroBeforeTheFirstBufferAndOnSilence) {
    struct Case {
        const char* name;
        std::string bytes;
        bool loud;
    } cases[] = {
        {"silence", testing::SilentFrames(100, 1, 3, 9, 0, false), false},
        {"tone", testing::EncodeTone({44100, 2, 2.0, 440, 660, 20000}, {128, false, true}), true},
        {"tone 11025", testing::EncodeTone({11025, 1, 2.0, 440, 0, 20000}, {32, false, true}), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(mp3_->OpenMp3File(Write("v.mp3", c.bytes).c_str(), 1000), 1);
        int left = -1, right = -1;
        EXPECT_EQ(mp3_->GetVUData(&left, &right), 0);
        ASSERT_EQ(mp3_->Play(), 1);
        WaitQueued(4);
        EXPECT_EQ(mp3_->GetVUData(&left, &right), 0);
        EXPECT_EQ(left, 0);
        EXPECT_EQ(right, 0);
        ASSERT_TRUE(out_->CompleteNext());
        ASSERT_TRUE(out_->CompleteNext());
        EXPECT_EQ(mp3_->GetVUData(&left, &right), 1);
        if (c.loud) {
            // A sine of amplitude 20000 has a mean magnitude of about 12700: level 90.
            EXPECT_GE(left, 85);
            EXPECT_LE(left, 95);
            EXPECT_GE(right, 85);
            EXPECT_LE(right, 95);
        } else {
            EXPECT_EQ(left, 0);
            EXPECT_EQ(right, 0);
        }
        mp3_->Stop();
        EXPECT_EQ(mp3_->GetVUData(&left, &right), 0);
        mp3_->Close();
    }
}

TEST_F(WMp3PlayTest, ADeviceFailureStopsInsteadOfPlayingSilence) {
    const std::string path = Write("a.mp3", testing::SilentFrames(700, 25, 3, 1, 2, true));
    ASSERT_EQ(mp3_->OpenMp3File(path.c_str(), 1000), 1);
    out_->FailPlayBufferNumber(3);
    ASSERT_EQ(mp3_->Play(), 1);
    ASSERT_TRUE(out_->WaitFor([&](std::size_t, bool) { return !mp3_->IsPlaying(); }));
    mp3_->Stop();
    EXPECT_FALSE(mp3_->IsPlaying());
    EXPECT_EQ(mp3_->GetError(), "WWaveOut::PlayBuffer   *** Can't write data");
    out_->FailPlayBufferNumber(0);
    // An output that cannot open ends the worker and the playback.
    out_->FailOpenWith(OutputResult::kNoDriver);
    ASSERT_EQ(mp3_->Play(), 1);
    ASSERT_TRUE(out_->WaitFor([&](std::size_t, bool) { return !mp3_->IsPlaying(); }));
    EXPECT_EQ(mp3_->GetError(), "WWaveOut::OpenAudioOutput  *** No device driver is present");
    EXPECT_EQ(mp3_->Stop(), 0);
    // Once the device is back, playing again works.
    out_->FailOpenWith(OutputResult::kOk);
    ASSERT_EQ(mp3_->Play(), 1);
    PlayToEnd();
    EXPECT_EQ(played_.size(), 700u * 576 * 2);
    mp3_->Close();
}

TEST_F(WMp3PlayTest, CloseAndDestructionWaitForARunningWorker) {
    const std::string path = Write("a.mp3", testing::SilentFrames(300, 1, 3, 9, 0, false));
    for (int round = 0; round < 4; ++round) {
        ASSERT_EQ(mp3_->OpenMp3File(path.c_str(), 1000), 1);
        ASSERT_EQ(mp3_->Play(), 1);
        WaitQueued(static_cast<std::size_t>(round));
        if (round % 2) out_->CompleteNext();
        EXPECT_EQ(mp3_->Close(), 1);
        EXPECT_FALSE(out_->IsOpen());
        EXPECT_EQ(out_->GetNumOfBuffers(), 0u);
    }
    ASSERT_EQ(mp3_->OpenMp3File(path.c_str(), 1000), 1);
    ASSERT_EQ(mp3_->Play(), 1);
    mp3_.reset();
}

double BandAmplitude(const std::vector<std::uint8_t>& pcm) {
    double sum = 0;
    const std::size_t n = pcm.size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = static_cast<std::int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
        sum += v * v;
    }
    return std::sqrt(sum / static_cast<double>(n));
}

TEST_F(WMp3PlayTest, ABandGainScalesThatBandByItsFactor) {
    struct Case {
        int rate;
        double hz;
        int band, gain, preamp;
        double factor;
    } cases[] = {
        {8000, 800, 6, 10, 0, 5.08},  // subbands 5-7: 625-1000 Hz
        {44100, 4500, 6, -10, 0, 0.112}, {44100, 340, 1, 3, 0, 2.0}, {8000, 3500, 10, -4, 2, 0.527 * 1.414},
        {22050, 2500, 5, 0, -5, 0.355},  // preamp only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hz);
        const std::string path = Write(
            "eq.mp3", testing::EncodeTone({c.rate, 1, 2.0, c.hz, 0, 2000}, {c.rate > 16000 ? 64 : 32, false, true}));
        mp3_->EnableEqualizer(1);
        ASSERT_EQ(mp3_->SetEqualizer(0, c.band, 0), 1);
        const double flat = BandAmplitude(PlayFile(path));
        ASSERT_EQ(mp3_->SetEqualizer(c.preamp, c.band, c.gain), 1);
        const double shaped = BandAmplitude(PlayFile(path));
        EXPECT_NEAR(shaped / flat, c.factor, c.factor * 0.06);
        ASSERT_EQ(mp3_->SetEqualizer(0, c.band, 0), 1);
    }
}

TEST(FileWaveOutTest, DecodingWritesEveryByteInLargeBlocks) {
    TempDir dir;
    // Seven minutes at 8 kHz decode into 5,000 buffers of one frame each.
    dir.Write("long.mp3", testing::SilentFrames(5000, 25, 3, 1, 2, true));
    const std::string raw = dir.File("out.raw");
    auto output = std::make_unique<FileWaveOut>(raw);
    FileWaveOut* file = output.get();
    WMp3 mp3(std::move(output));
    ASSERT_EQ(mp3.OpenMp3File(dir.File("long.mp3").c_str(), 1000), 1);
    ASSERT_EQ(mp3.Play(), 1);
    while (mp3.IsPlaying()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    mp3.Close();
    ASSERT_TRUE(file->CloseFile());
    const std::uint64_t bytes = 5000ull * 576 * 2;
    EXPECT_EQ(file->BytesWritten(), bytes);
    EXPECT_EQ(dir.Read("out.raw").size(), bytes);
    EXPECT_EQ(file->WriteCalls(), (bytes + FileWaveOut::kWriteBlockBytes - 1) / FileWaveOut::kWriteBlockBytes);
}

TEST_F(WMp3PlayTest, BoostedBandsKeepTheOutputWithinFullScaleOnASweep) {
    // 12000 is -8.7 dBFS: a +14 dB band would take it far past full scale.
    const std::string path = Write(
        "sweep.mp3", testing::EncodeMp3(testing::MakeSweep(8000, 1, 3.0, 80, 3900, 12000), 8000, 1, {32, false, true}));
    const std::size_t referenceBytes = testing::ReferenceDecode(path).size();
    struct Case {
        const char* name;
        int preamp;
        std::array<int, 10> gains;
    } cases[] = {
        {"all bands at +10", 0, {10, 10, 10, 10, 10, 10, 10, 10, 10, 10}},
        {"band 6 at +10", 0, {0, 0, 0, 0, 0, 10, 0, 0, 0, 0}},
        {"preamp +5 and all bands at +10", 5, {10, 10, 10, 10, 10, 10, 10, 10, 10, 10}},
        {"bands cut, preamp +5", 5, {-10, -5, 0, 0, 0, 0, 0, 0, -5, -10}},
    };
    mp3_->EnableEqualizer(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int band = 1; band <= 10; ++band)
            ASSERT_EQ(mp3_->SetEqualizer(c.preamp, band, c.gains[static_cast<std::size_t>(band - 1)]), 1);
        const std::vector<std::uint8_t> pcm = PlayFile(path);
        EXPECT_EQ(pcm.size(), referenceBytes);
        int peak = 0;
        std::size_t atFullScale = 0;
        for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
            const int v = std::abs(static_cast<int>(static_cast<std::int16_t>(pcm[i] | (pcm[i + 1] << 8))));
            peak = std::max(peak, v);
            if (v >= 32767) ++atFullScale;
        }
        EXPECT_EQ(atFullScale, 0u);
        EXPECT_LE(peak, PeakLimiter::kCeiling + 1);
        // The boost is there: the sweep comes out louder than it went in.
        EXPECT_GT(peak, 20000);
    }
}

TEST_F(WMp3PlayTest, FlatEqualizerDecodesExactlyAsWithout) {
    const std::string path = Write("a.mp3", testing::EncodeTone({44100, 2, 1.0, 440, 3000, 9000}, {128, false, true}));
    const std::vector<std::uint8_t> off = PlayFile(path);
    mp3_->EnableEqualizer(1);
    ASSERT_EQ(mp3_->SetEqualizer(3, 4, 7), 1);
    ASSERT_EQ(mp3_->SetEqualizer(0, 4, 0), 1);
    EXPECT_TRUE(PlayFile(path) == off);
    EXPECT_TRUE(testing::ReferenceDecode(path) == off);
    // Gains outlive the decoder resets of every open and play.
    ASSERT_EQ(mp3_->SetEqualizer(0, 2, 10), 1);
    EXPECT_FALSE(PlayFile(path) == off);
    EXPECT_DOUBLE_EQ(mp3_->SubbandGain(0, 1), 5.08);
    EXPECT_DOUBLE_EQ(mp3_->SubbandGain(1, 1), 5.08);
    EXPECT_DOUBLE_EQ(mp3_->SubbandGain(1, 2), 1.0);
}

TEST_F(WMp3PlayTest, EqualizerAndQueriesWhileTheWorkerDecodes) {
    const std::string path = Write("a.mp3", testing::EncodeTone({22050, 2, 3.0, 440, 3000, 9000}, {64, false, true}));
    ASSERT_EQ(mp3_->OpenMp3File(path.c_str(), 1000), 1);
    mp3_->EnableEqualizer(1);
    ASSERT_EQ(mp3_->Play(), 1);
    int step = 0;
    for (int guard = 0; guard < 100000; ++guard) {
        ASSERT_TRUE(out_->WaitFor([&](std::size_t queued, bool) { return queued > 0 || !mp3_->IsPlaying(); }));
        mp3_->SetEqualizer(step % 11 - 5, step % 10 + 1, step % 21 - 10);
        int left = 0, right = 0;
        mp3_->GetVUData(&left, &right);
        mp3_->GetPosition();
        ++step;
        if (!out_->CompleteNext() && !mp3_->IsPlaying()) break;
    }
    EXPECT_GT(step, 10);
    EXPECT_EQ(mp3_->GetPosition(), mp3_->GetLength());
    mp3_->Close();
}

}  // namespace
}  // namespace pell
