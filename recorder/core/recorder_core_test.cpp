#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "recorder/core/testing/mp3_decode.h"
#include "recorder/core/testing/recorder_fakes.h"

namespace pell {
namespace {

std::vector<int16_t> Samples(const std::string& bytes) {
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

// ---- Sound-level control: start, silence count, stop -------------------------------------

struct VoxCase {
    const char* name;
    uint32_t startTickMs;
    int32_t sensitiveLevel;
    int32_t endOfFile;
    // One character per block of line 1: 'L' peak 5120, 'q' 5119, 'm' 1024, 'n' 1023, '.' silence.
    std::string blocks;
    // Recording state after each block: 'R' recording, '-' idle.
    std::string expected;
};

int16_t VoxPeak(char c) {
    switch (c) {
        case 'L':
            return 5120;
        case 'q':
            return 5119;
        case 'm':
            return 1024;
        case 'n':
            return 1023;
        default:
            return 0;
    }
}

class VoxDecisionTest : public ::testing::TestWithParam<VoxCase> {};

TEST_P(VoxDecisionTest, RecordingStartsAtTheThresholdAndStopsAfterTheSilenceTime) {
    const VoxCase& p = GetParam();
    CoreRig rig;
    rig.clock = ManualClock(rig.clock.Now(), p.startTickMs);
    rig.ch(0).sensitiveLevel = p.sensitiveLevel;
    rig.ch(0).endOfFile = p.endOfFile;
    rig.ch(1).exists = false;
    rig.Reload();
    std::string states;
    for (char c : p.blocks) {
        rig.Feed(VoxPeak(c), 0);
        states += rig.core->recording(Line(0)) ? 'R' : '-';
    }
    EXPECT_EQ(states, p.expected);
    // Every stop files one recording.
    size_t stops = 0;
    for (size_t i = 1; i < p.expected.size(); ++i) stops += p.expected[i - 1] == 'R' && p.expected[i] == '-';
    EXPECT_EQ(rig.filed.size(), stops);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VoxDecisionTest,
    ::testing::Values(
        // Silence starts at the first quiet block; stop when more than 3 whole seconds have passed.
        VoxCase{"StopsAfterMoreThanThreeSeconds", 5000, 5, 3, "L.........", "RRRRRRRRR-"},
        VoxCase{"BelowThresholdNeverStarts", 5000, 5, 3, "qqqq", "----"},
        VoxCase{"LoudBlockRestartsTheCount", 5000, 5, 3, "L.......L.........", "RRRRRRRRRRRRRRRRR-"},
        VoxCase{"QuietButNotSilentStillCountsAsSilence", 5000, 5, 3, "Lqqqqqqqqq", "RRRRRRRRR-"},
        // A level below 1 counts as 1, so the threshold is never 0 and silence still stops.
        VoxCase{"LevelZeroCountsAsOne", 5000, 0, 3, "mn........", "RRRRRRRRR-"},
        VoxCase{"LevelZeroDoesNotStartBelow1024", 5000, 0, 3, "nnn", "---"},
        VoxCase{"NegativeEndOfFileCountsAsZero", 5000, 5, -5, "L....", "RRR--"},
        VoxCase{"EndOfFileZero", 5000, 5, 0, "L....", "RRR--"},
        VoxCase{"StartsAgainAfterAStop", 5000, 5, 0, "L...L", "RRR-R"},
        // The tick counter wraps after 49.7 days; the silence count runs on across the wrap.
        VoxCase{"SilenceAcrossTheTickWrap", 0xFFFFF000u, 5, 3, "L.........", "RRRRRRRRR-"},
        VoxCase{"SilenceStartingAtTickZero", 0xFFFFFE0Cu, 5, 3, "L.........", "RRRRRRRRR-"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Line-state control -------------------------------------------------------------------

struct HidCase {
    const char* name;
    uint32_t startTickMs;
    int32_t endOfFile;
    int32_t stereo;
    int seizeAtBlock;
    int releaseAtBlock;
    int blocks;
    int expectedStartBlock;
    int expectedStopBlock;  // first block after which the channel is idle again
};

class HidDecisionTest : public ::testing::TestWithParam<HidCase> {};

TEST_P(HidDecisionTest, RecordingFollowsTheLineWithAMinimumTimeFromSeizure) {
    const HidCase& p = GetParam();
    CoreRig rig;
    rig.clock = ManualClock(rig.clock.Now(), p.startTickMs);
    rig.ch(0).sensitiveControl = LineControl::kLineState;
    rig.ch(0).endOfFile = p.endOfFile;
    rig.ch(0).stereo = p.stereo;
    rig.ch(1).exists = false;
    rig.Reload();
    int started = -1, stopped = -1;
    for (int b = 0; b < p.blocks; ++b) {
        if (b == p.seizeAtBlock) rig.Seize(0);
        if (b == p.releaseAtBlock) rig.Release(0);
        const bool before = rig.core->recording(Line(0));
        rig.Feed(1000, 0);
        if (!before && rig.core->recording(Line(0)) && started < 0) started = b;
        if (before && !rig.core->recording(Line(0)) && stopped < 0) stopped = b;
        EXPECT_EQ(rig.view.status[0], rig.lines.lineActive[0] ? "H1 On" : "H1 Off");
    }
    EXPECT_EQ(started, p.expectedStartBlock);
    EXPECT_EQ(stopped, p.expectedStopBlock);
}

INSTANTIATE_TEST_SUITE_P(Table, HidDecisionTest,
                         ::testing::Values(
                             // A 4 s seizure records until 10 s after the seizure.
                             HidCase{"ShortSeizureRecordsTheMinimumTime", 5000, 10, 0, 2, 10, 40, 2, 22},
                             // A 60 s seizure stops in the first block after the release.
                             HidCase{"LongSeizureStopsAtRelease", 5000, 10, 0, 0, 120, 130, 0, 120},
                             HidCase{"NegativeEndOfFileStopsAtRelease", 5000, -3, 0, 1, 3, 10, 1, 3},
                             // The stereo flag does not keep a line-state channel from recording.
                             HidCase{"StereoFlagUnderLineStateRecordsMono", 5000, 0, 1, 1, 4, 10, 1, 4},
                             HidCase{"MinimumTimeAcrossTheTickWrap", 0xFFFFE000u, 10, 0, 2, 10, 40, 2, 22}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Gain, meters and status --------------------------------------------------------------

struct GainCase {
    const char* name;
    int32_t gain;
    int16_t peak;
    int expectedMeter;
    std::string expectedStatus;
    int16_t expectedPositive;  // the stored sample at the positive peak
    int16_t expectedNegative;  // and at the negative one
};

class GainTest : public ::testing::TestWithParam<GainCase> {};

TEST_P(GainTest, MetersAndStatusUseTheScaledPeak) {
    const GainCase& p = GetParam();
    CoreRig rig;
    rig.ch(0).gain = p.gain;
    rig.ch(0).sensitiveLevel = 32;
    rig.ch(1).gain = p.gain;
    rig.ch(1).sensitiveLevel = 5;
    rig.Reload();
    rig.Feed(p.peak, p.peak);
    EXPECT_EQ(rig.view.meter[0], p.expectedMeter);
    EXPECT_EQ(rig.view.meter[1], p.expectedMeter);
    EXPECT_EQ(rig.view.status[1], p.expectedStatus + "-5");
    EXPECT_EQ(rig.view.status[0].substr(rig.view.status[0].find('-')), "-32");
}

TEST_P(GainTest, StoredSamplesSaturateInsteadOfWrapping) {
    const GainCase& p = GetParam();
    CoreRig rig;
    rig.ch(0).gain = p.gain;
    rig.ch(0).sensitiveControl = LineControl::kLineState;
    rig.ch(0).endOfFile = 0;
    rig.ch(1).exists = false;
    rig.Reload();
    rig.Seize(0);
    rig.Feed(p.peak, 0);
    rig.Release(0);
    rig.Feed(0, 0);
    const std::vector<int16_t> temp = Samples(rig.ReadFile(rig.dir.File("wave2.out")));
    ASSERT_EQ(temp.size(), 6u * 4000);
    // The block after the five pre-roll blocks; the tone peaks at sample 5 and 15 of each period.
    EXPECT_EQ(temp[5 * 4000 + 5], p.expectedPositive);
    EXPECT_EQ(temp[5 * 4000 + 15], p.expectedNegative);
}

INSTANTIATE_TEST_SUITE_P(Table, GainTest,
                         ::testing::Values(GainCase{"UnityGain", 1, 7500, 22, "7", 7500, -7500},
                                           GainCase{"DoubleGainSaturates", 2, 20000, 100, "39", 32767, -32768},
                                           GainCase{"DoubleGainBelowFullScale", 2, 10000, 61, "19", 20000, -20000},
                                           GainCase{"GainZeroSilences", 0, 30000, 0, "0", 0, 0},
                                           GainCase{"LargestGainSaturates", 16, 3000, 100, "46", 32767, -32768},
                                           GainCase{"NegativeGainInverts", -1, 7500, 22, "7", -7500, 7500},
                                           GainCase{"FullScale", 1, 32767, 100, "31", 32767, -32767}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Pre-roll, temp files, stereo ---------------------------------------------------------

struct PrerollCase {
    const char* name;
    int32_t sampleRate;
    bool lineState;
    int32_t reloadFromRate;  // 0: no earlier load at another rate
};

class TempFileTest : public ::testing::TestWithParam<PrerollCase> {};

TEST_P(TempFileTest, LineStateRecordingsCarryTheFiveBlocksBeforeTheSeizure) {
    const PrerollCase& p = GetParam();
    CoreRig rig;
    rig.settings.sampleRate = p.reloadFromRate != 0 ? p.reloadFromRate : p.sampleRate;
    rig.ch(0).sensitiveControl = p.lineState ? LineControl::kLineState : LineControl::kSoundLevel;
    rig.ch(0).endOfFile = 0;
    rig.ch(0).sensitiveLevel = 1;
    rig.ch(1).exists = false;
    rig.Reload();
    if (p.reloadFromRate != 0) {
        rig.Feed(100, 0);
        rig.settings.sampleRate = p.sampleRate;
        rig.core->OnSettingsLoaded();
    }
    const size_t perBlock = static_cast<size_t>(p.sampleRate) / 2;
    auto feed = [&](int16_t peak) {
        const std::vector<int16_t> block = ToneBlock(perBlock, peak, 0);
        rig.core->ProcessBlock(block.data(), block.size());
        rig.clock.AdvanceMs(500);
    };
    // Six quiet blocks of distinct levels, then four recorded ones.
    for (int16_t b = 1; b <= 6; ++b) feed(static_cast<int16_t>(100 * b));
    if (p.lineState) rig.Seize(0);
    for (int16_t b = 0; b < 4; ++b) feed(static_cast<int16_t>(2000 + b));
    if (p.lineState) rig.Release(0);
    // Line state stops at once, level control after more than 0 s of silence.
    for (int i = 0; i < 3; ++i) feed(0);
    ASSERT_EQ(rig.filed.size(), 1u);

    const std::vector<int16_t> temp = Samples(rig.ReadFile(rig.dir.File("wave2.out")));
    const size_t preroll = p.lineState ? 5 : 0;
    // Level control keeps recording through the silent blocks before its stop.
    const size_t trailing = p.lineState ? 0 : 2;
    ASSERT_EQ(temp.size(), (preroll + 4 + trailing) * perBlock);
    for (size_t b = 0; b < preroll; ++b)
        EXPECT_EQ(temp[b * perBlock + 5], 100 * static_cast<int>(b + 2)) << "block " << b;
    for (size_t b = 0; b < 4; ++b) EXPECT_EQ(temp[(preroll + b) * perBlock + 5], 2000 + static_cast<int>(b));
    EXPECT_FALSE(std::filesystem::exists(rig.dir.File("wave1.out")));
}

INSTANTIATE_TEST_SUITE_P(Table, TempFileTest,
                         ::testing::Values(PrerollCase{"LineState8000", 8000, true, 0},
                                           PrerollCase{"Level8000", 8000, false, 0},
                                           PrerollCase{"LineState32000", 32000, true, 0},
                                           PrerollCase{"LineState48000", 48000, true, 0},
                                           PrerollCase{"ReloadFrom8000To32000", 32000, true, 8000},
                                           PrerollCase{"ReloadFrom32000To8000", 8000, true, 32000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TempFileCrossingTest, LineOneGoesToWave2AndLineTwoToWave1) {
    CoreRig rig;
    for (int c = 0; c < 2; ++c) {
        rig.ch(c).sensitiveLevel = 1;
        rig.ch(c).endOfFile = 0;
    }
    rig.Reload();
    rig.Feed(1111, 2222);
    rig.Feed(0, 0);
    rig.Feed(0, 0);
    rig.Feed(0, 0);
    ASSERT_EQ(rig.filed.size(), 2u);
    EXPECT_EQ(Samples(rig.ReadFile(rig.dir.File("wave2.out")))[5], 1111);
    EXPECT_EQ(Samples(rig.ReadFile(rig.dir.File("wave1.out")))[5], 2222);
}

TEST(TempFileLimitTest, KeepsTheFirstTenMinutesOnly) {
    CoreRig rig;
    rig.ch(0).sensitiveControl = LineControl::kLineState;
    rig.ch(0).endOfFile = 0;
    rig.ch(0).bitrate = 8;
    rig.ch(1).exists = false;
    rig.Reload();
    rig.Seize(0);
    rig.FeedSeconds(11 * 60, 1000, 0);
    rig.Release(0);
    rig.Feed(0, 0);
    EXPECT_EQ(std::filesystem::file_size(rig.dir.File("wave2.out")), 600u * 8000 * 2);
    const DecodedMp3 mp3 = DecodeMp3File(rig.filed.at(0).path);
    EXPECT_NEAR(static_cast<double>(mp3.samplesDecoded), 11 * 60 * 8000.0, 8000);
}

struct StereoCase {
    const char* name;
    int channel;
    LineControl sensitiveControl;
    int expectedMp3Channels;
};

class StereoFlagTest : public ::testing::TestWithParam<StereoCase> {};

TEST_P(StereoFlagTest, OnlyLineOneUnderLevelControlRecordsBothLines) {
    const StereoCase& p = GetParam();
    CoreRig rig;
    const int other = 1 - p.channel;
    rig.ch(other).exists = false;
    ChannelConfig& cfg = rig.ch(p.channel);
    cfg.stereo = true;
    cfg.gain = 2;
    cfg.sensitiveControl = p.sensitiveControl;
    cfg.sensitiveLevel = 4;
    cfg.endOfFile = 0;
    rig.Reload();
    if (p.sensitiveControl == LineControl::kLineState) rig.Seize(p.channel);
    // Line 1 quiet, line 2 loud: the stereo path starts on the louder line, unscaled.
    for (int i = 0; i < 4; ++i) rig.Feed(1000, 6000);
    if (p.sensitiveControl == LineControl::kLineState) rig.Release(p.channel);
    for (int i = 0; i < 4; ++i) rig.Feed(0, 0);
    ASSERT_EQ(rig.filed.size(), 1u);
    const DecodedMp3 mp3 = DecodeMp3File(rig.filed[0].path);
    EXPECT_FALSE(mp3.decodeError);
    EXPECT_EQ(mp3.channels, p.expectedMp3Channels);
    // The temp file holds the channel's own line with gain, whatever the path.
    const std::vector<int16_t> temp = Samples(rig.ReadFile(rig.dir.File(p.channel == 0 ? "wave2.out" : "wave1.out")));
    ASSERT_GT(temp.size(), 5u);
    const size_t skip = p.sensitiveControl == LineControl::kLineState ? 5 * 4000 : 0;
    EXPECT_EQ(temp[skip + 5], p.channel == 0 ? 2000 : 12000);
}

INSTANTIATE_TEST_SUITE_P(Table, StereoFlagTest,
                         ::testing::Values(StereoCase{"LineOneLevelControl", 0, LineControl::kSoundLevel, 2},
                                           StereoCase{"LineOneLineState", 0, LineControl::kLineState, 1},
                                           StereoCase{"LineTwoLevelControl", 1, LineControl::kSoundLevel, 1},
                                           StereoCase{"LineTwoLineState", 1, LineControl::kLineState, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Window state -------------------------------------------------------------------------

TEST(WindowStateTest, CheckBoxesAndTrayFollowBothChannels) {
    CoreRig rig;
    rig.ch(0).endOfFile = 0;
    rig.ch(1).endOfFile = 5;
    rig.Reload();
    rig.Feed(6000, 6000);
    rig.Feed(6000, 6000);
    EXPECT_TRUE(rig.view.check[0]);
    EXPECT_TRUE(rig.view.check[1]);
    EXPECT_EQ(rig.view.trayTip, kRecordingTip);
    // Line 1 stops in the third silent block; line 2 goes on.
    rig.Feed(0, 6000);
    rig.Feed(0, 6000);
    rig.Feed(0, 6000);
    EXPECT_FALSE(rig.core->recording(Line(0)));
    EXPECT_TRUE(rig.core->recording(Line(1)));
    EXPECT_EQ(rig.view.trayIcon, TrayIcon::kRecording) << "line 2's block sets the recording icon again";
    rig.Feed(0, 6000);
    EXPECT_FALSE(rig.view.check[0]);
    EXPECT_TRUE(rig.view.check[1]);
    EXPECT_EQ(rig.core->lastBufferTick(), rig.clock.TickMs() - 500);
}

TEST(WindowStateTest, AbsentChannelNeverRecords) {
    CoreRig rig;
    rig.ch(1).exists = false;
    rig.Reload();
    rig.FeedSeconds(2, 6000, 6000);
    EXPECT_TRUE(rig.core->recording(Line(0)));
    EXPECT_FALSE(rig.core->recording(Line(1)));
    EXPECT_FALSE(std::filesystem::exists(rig.dir.File("wave1.out")));
}

// ---- Messages never nest --------------------------------------------------------------------

TEST(EncoderMessageTest, AFailedStartShowsOneBoxAfterTheBlockEvenWhenBlocksArriveMeanwhile) {
    CoreRig rig;
    rig.ch(0).bitrate = 0;  // the encoder refuses it
    rig.ch(1).exists = false;
    rig.Reload();
    int nested = 0;
    rig.notifier.whileShown = [&] {
        // The box's modal loop delivers more blocks.
        for (int i = 0; i < 3; ++i) {
            ++nested;
            rig.Feed(6000, 0);
        }
    };
    rig.Feed(6000, 0);
    EXPECT_EQ(rig.notifier.maxDepth, 1);
    ASSERT_EQ(rig.notifier.shown.size(), 1u);
    EXPECT_EQ(rig.notifier.shown[0], "Error opening encoding stream (1)");
    EXPECT_EQ(nested, 3);
    EXPECT_TRUE(rig.core->recording(Line(0))) << "the recording goes on for the temp file and caller ID";
    rig.notifier.whileShown = nullptr;
    rig.FeedSeconds(3, 6000, 0);
    EXPECT_EQ(rig.notifier.shown.size(), 1u) << "no retry of the failed start on every block";
    rig.core->FinishAllRecordings();
    EXPECT_EQ(std::filesystem::file_size(rig.dir.File("wave2.out")), 10u * 8000)
        << "every block, nested ones included, reaches the temp file";
    EXPECT_TRUE(rig.filed.empty()) << "no sound was encoded: nothing is reported filed";
    EXPECT_EQ(rig.core->fileCounter(Line(0)), 0u) << "and no number is used up";
    ASSERT_EQ(rig.notifier.shown.size(), 2u);
    EXPECT_EQ(rig.notifier.shown[1], "Line 1: the call was not recorded: no sound of it could be written.");
}

TEST(FinishAllTest, FilesEveryRunningRecordingAndLeavesIdleChannelsAlone) {
    CoreRig rig;
    rig.ch(1).sensitiveControl = LineControl::kLineState;
    rig.Reload();
    rig.FeedSeconds(2, 6000, 0);
    ASSERT_TRUE(rig.core->recording(Line(0)));
    ASSERT_FALSE(rig.core->recording(Line(1)));
    rig.core->FinishAllRecordings();
    EXPECT_FALSE(rig.core->recording(Line(0)));
    EXPECT_FALSE(rig.core->finishing(Line(0)));
    ASSERT_EQ(rig.filed.size(), 1u);
    EXPECT_EQ(rig.filed[0].channel, 0);
    EXPECT_EQ(rig.view.trayIcon, TrayIcon::kIdle);
    const DecodedMp3 mp3 = DecodeMp3File(rig.filed[0].path);
    EXPECT_FALSE(mp3.decodeError);
    EXPECT_NEAR(static_cast<double>(mp3.samplesDecoded), 2 * 8000.0, 1200);
    rig.core->FinishAllRecordings();
    EXPECT_EQ(rig.filed.size(), 1u);
}

}  // namespace
}  // namespace pell
