#include "tools/pell-replay/replay.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <sys/stat.h>
#include <sstream>

#include "common/core/settings_file.h"
#include "common/core/wav_file.h"
#include "recorder/core/testing/mp3_decode.h"
#include "testsupport/manual_clock.h"
#include "testsupport/temp_dir.h"
#include "testsupport/wav_bytes.h"
#include "tools/pell-replay/demo_scenario.h"

namespace pell {
namespace {

namespace fs = std::filesystem;

struct WavCase {
    const char* name;
    std::string bytes;
    bool ok;
    std::string errorPart;
    size_t expectedValues;
};

class ReadStereoWavTest : public ::testing::TestWithParam<WavCase> {};

TEST_P(ReadStereoWavTest, AcceptsOnly16BitStereoPcm) {
    const WavCase& p = GetParam();
    TempDir dir;
    dir.Write("x.wav", p.bytes);
    std::string error;
    const auto wav = ReadStereoWav(dir.File("x.wav"), &error);
    ASSERT_EQ(wav.has_value(), p.ok) << error;
    if (p.ok) {
        EXPECT_EQ(wav->sampleRateHz, 8000);
        EXPECT_EQ(wav->samples.size(), p.expectedValues);
    } else {
        EXPECT_NE(error.find(p.errorPart), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadStereoWavTest,
    ::testing::Values(WavCase{"StereoPcm", EncodeWav(8000, 2, std::vector<int16_t>(200)), true, "", 200},
                      WavCase{"OddTrailingBytesIgnored", EncodeWav(8000, 2, std::vector<int16_t>(201)), true, "", 200},
                      WavCase{"Mono", EncodeWav(8000, 1, std::vector<int16_t>(200)), false, "1 channel(s)", 0},
                      WavCase{"EightBit", testing::WavWithFormat(8000, 2, {}, 1, 8), false, "8-bit", 0},
                      WavCase{"Float", testing::WavWithFormat(8000, 2, {}, 3, 32), false, "not PCM", 0},
                      WavCase{"NotRiff", std::string("hello world, not a wave file"), false, "not a RIFF", 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct TimelineCase {
    const char* name;
    std::string text;
    bool ok;
    size_t events;
    std::string errorPart;
};

class ParseTimelineTest : public ::testing::TestWithParam<TimelineCase> {};

TEST_P(ParseTimelineTest, ReadsSecondsLineAndState) {
    const TimelineCase& p = GetParam();
    std::istringstream in(p.text);
    std::string error;
    const auto events = ParseTimeline(in, &error);
    ASSERT_EQ(events.has_value(), p.ok) << error;
    if (p.ok) {
        EXPECT_EQ(events->size(), p.events);
        EXPECT_TRUE(std::is_sorted(events->begin(), events->end(),
                                   [](const LineEvent& a, const LineEvent& b) { return a.seconds < b.seconds; }));
    } else {
        EXPECT_NE(error.find(p.errorPart), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ParseTimelineTest,
                         ::testing::Values(TimelineCase{"Plain", "3 1 active\n9.5 1 idle\n", true, 2, ""},
                                           TimelineCase{"CommentsBlankAndCrLf", "# call\r\n\r\n2 2 active\r\n", true, 1,
                                                        ""},
                                           TimelineCase{"OutOfOrderIsSorted", "9 1 idle\n3 1 active\n", true, 2, ""},
                                           TimelineCase{"Empty", "", true, 0, ""},
                                           TimelineCase{"LineThree", "1 1 active\n2 3 active\n", false, 0, "line 2"},
                                           TimelineCase{"UnknownState", "1 1 busy\n", false, 0, "line 1"},
                                           TimelineCase{"NegativeTime", "-1 1 active\n", false, 0, "line 1"},
                                           TimelineCase{"TrailingWord", "1 1 active now\n", false, 0, "line 1"},
                                           TimelineCase{"MissingField", "1 active\n", false, 0, "line 1"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ParseStartTimeTest, TakesOnlyRealDateAndTime) {
    EXPECT_EQ(ParseStartTime("2026-12-06 23:59:58"), MakeLocal(2026, 12, 6, 23, 59, 58));
    for (const char* bad : {"2026-02-30 10:00:00", "2026-12-06", "2026-12-06 24:00:00", "2026-12-06 10:00:00x", ""}) {
        EXPECT_FALSE(ParseStartTime(bad).has_value()) << bad;
    }
}

// ---- Whole replays --------------------------------------------------------------------------

struct Folder {
    TempDir dir;
    void Settings(const std::string& extraChannel1, const std::string& extraChannel2 = "exists=0\r\n") {
        dir.Write("settings.ini",
                  "[common]\r\nsamplerate=8000\r\ncleaning=0\r\n[channel1]\r\ndrop_folder=" + dir.File("rec") +
                      "\r\npreffix=a\r\ngain=1\r\nstereo=0\r\n" + extraChannel1 + "[channel2]\r\n" + extraChannel2);
    }
    int Run(const std::vector<int16_t>& samples, const std::string& timeline, std::string* out, std::string* err,
            const std::string& start = "2026-12-06 10:00:00") {
        WriteWavFile(dir.File("call.wav"), 8000, 2, samples);
        dir.Write("timeline.txt", timeline);
        std::ostringstream o, e;
        const int code =
            RunReplay({dir.path(), dir.File("call.wav"), dir.File("timeline.txt"), *ParseStartTime(start)}, o, e);
        *out = o.str();
        *err = e.str();
        return code;
    }
};

std::vector<int16_t> Loud(double seconds) {
    std::vector<int16_t> s(static_cast<size_t>(seconds * 8000) * 2);
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(i % 40 < 20 ? 9000 : -9000);
    return s;
}

struct TimingCase {
    const char* name;
    std::string timeline;
    size_t expectedTempBlocks;  // pre-roll included
};

class ReplayTimingTest : public ::testing::TestWithParam<TimingCase> {};

TEST_P(ReplayTimingTest, ALineChangeAppliesFromTheFirstBlockStartingAtOrAfterIt) {
    const TimingCase& p = GetParam();
    Folder f;
    f.Settings("sensitive_control=0\r\nend_of_file=0\r\n");
    std::string out, err;
    ASSERT_EQ(f.Run(Loud(6), p.timeline, &out, &err), 0) << err;
    if (p.expectedTempBlocks == 0) {
        EXPECT_FALSE(fs::exists(f.dir.File("wave2.out")));
        EXPECT_EQ(out, "");
        return;
    }
    EXPECT_EQ(fs::file_size(f.dir.File("wave2.out")), p.expectedTempBlocks * 8000);
    EXPECT_EQ(out, "1\t" + f.dir.File("rec/06.12.2026/a0000000.mp3") + "\t\tU\n");
}

INSTANTIATE_TEST_SUITE_P(Table, ReplayTimingTest,
                         ::testing::Values(TimingCase{"OnBlockStarts", "1.5 1 active\n3 1 idle\n", 5 + 3},
                                           TimingCase{"BetweenBlockStarts", "1.2 1 active\n2.6 1 idle\n", 5 + 3},
                                           TimingCase{"RunningAtTheEndIsFinished", "1 1 active\n", 5 + 10},
                                           TimingCase{"OtherLineOnly", "1 2 active\n", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReplayTest, AWavAtAnotherRateIsAClearError) {
    Folder f;
    f.Settings("");
    WriteWavFile(f.dir.File("call.wav"), 16000, 2, Loud(1));
    f.dir.Write("timeline.txt", "");
    std::ostringstream out, err;
    EXPECT_EQ(RunReplay({f.dir.path(), f.dir.File("call.wav"), f.dir.File("timeline.txt"), {}}, out, err), 2);
    EXPECT_NE(err.str().find("16000"), std::string::npos) << err.str();
    EXPECT_TRUE(out.str().empty());
}

TEST(ReplayTest, AFolderWithoutSettingsIsAClearError) {
    Folder f;
    WriteWavFile(f.dir.File("call.wav"), 8000, 2, Loud(1));
    f.dir.Write("timeline.txt", "0 1 active\n");
    std::ostringstream out, err;
    EXPECT_EQ(RunReplay({f.dir.path(), f.dir.File("call.wav"), f.dir.File("timeline.txt"), {}}, out, err), 2);
    EXPECT_NE(err.str().find("settings.ini"), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(f.dir.File("wave2.out")));
}

TEST(ReplayTest, CleaningRunsOnReplayedTime) {
    Folder f;
    f.dir.Write("settings.ini", "[common]\r\ncleaning=1\r\nfree_disk_space=2000000000\r\n[channel1]\r\ndrop_folder=" +
                                    f.dir.File("rec") + "\r\n[channel2]\r\nexists=0\r\n");
    f.dir.Write("folder1", "20261201");
    f.dir.Write("rec/02.12.2026/a0000001.mp3", "x");
    f.dir.Write("rec/03.12.2026/a0000002.mp3", "x");
    std::string out, err;
    // 12 s: the timer fires at 2 s and at 12 s, so two days go.
    ASSERT_EQ(f.Run(std::vector<int16_t>(12 * 8000 * 2, 0), "", &out, &err), 0) << err;
    EXPECT_FALSE(fs::exists(f.dir.File("rec/02.12.2026")));
    EXPECT_FALSE(fs::exists(f.dir.File("rec/03.12.2026")));
    EXPECT_EQ(f.dir.Read("history.log"),
              f.dir.File("rec/02.12.2026") + " was removed\r\n" + f.dir.File("rec/03.12.2026") + " was removed\r\n");
}

// Line 1 loud and line 2 quiet, at rates whose blocks hold an odd or even number of values.
class ReplayRateTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(ReplayRateTest, BlocksAreHalfASecondOfWholeFramesSoTheLinesNeverSwap) {
    const int32_t rate = GetParam();
    Folder f;
    f.dir.Write("settings.ini", "[common]\r\nsamplerate=" + std::to_string(rate) +
                                    "\r\ncleaning=0\r\n[channel1]\r\n"
                                    "drop_folder=" +
                                    f.dir.File("rec1") +
                                    "\r\ngain=1\r\nstereo=0\r\nend_of_file=0\r\n"
                                    "[channel2]\r\ndrop_folder=" +
                                    f.dir.File("rec2") + "\r\ngain=1\r\nend_of_file=0\r\n");
    std::vector<int16_t> samples(static_cast<size_t>(rate) * 4 * 2, 0);
    for (size_t i = 0; i < samples.size(); i += 2) samples[i] = static_cast<int16_t>(i % 40 < 20 ? 9000 : -9000);
    WriteWavFile(f.dir.File("call.wav"), rate, 2, samples);
    f.dir.Write("timeline.txt", "");
    std::ostringstream out, err;
    ASSERT_EQ(RunReplay({f.dir.path(), f.dir.File("call.wav"), f.dir.File("timeline.txt"),
                         *ParseStartTime("2026-12-06 10:00:00")},
                        out, err),
              0)
        << err.str();
    EXPECT_EQ(out.str(), "1\t" + f.dir.File("rec1/06.12.2026/0000000.mp3") + "\t\tU\n") << "line 2 never records";
    EXPECT_FALSE(fs::exists(f.dir.File("wave1.out")));
    // The temp file holds every block of line 1 whole, rate / 2 samples each, the last one padded.
    const uint64_t perBlock = static_cast<uint64_t>(rate / 2);
    const uint64_t blocks = (static_cast<uint64_t>(rate) * 4 + perBlock - 1) / perBlock;
    EXPECT_EQ(fs::file_size(f.dir.File("wave2.out")), blocks * perBlock * 2);
}

INSTANTIATE_TEST_SUITE_P(Rates, ReplayRateTest, ::testing::Values(8000, 11025, 22050));

TEST(ReplayTest, FilesTakeTheReplayClocksTimeAsTheirModificationTime) {
    Folder f;
    f.Settings("end_of_file=0\r\n");
    std::string out, err;
    ASSERT_EQ(f.Run(Loud(3), "", &out, &err, "2024-03-05 14:30:00"), 0) << err;
    const std::string path = f.dir.File("rec/05.03.2024/a0000000.mp3");
    ASSERT_TRUE(fs::exists(path)) << out;
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    std::tm start{};
    start.tm_year = 124;
    start.tm_mon = 2;
    start.tm_mday = 5;
    start.tm_hour = 14;
    start.tm_min = 30;
    start.tm_isdst = -1;
    const std::time_t replayStart = std::mktime(&start);
    // Closed when the recording stopped, a few replayed seconds after the start.
    EXPECT_GE(info.st_mtime, replayStart + 3);
    EXPECT_LE(info.st_mtime, replayStart + 6);
}

TEST(DemoScenarioTest, TheDemoCallIsRecordedOnBothLinesWithItsNumbers) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteDemoScenario(dir.path(), &error)) << error;
    std::ostringstream out, err;
    ASSERT_EQ(
        RunReplay({dir.path(), dir.File("call.wav"), dir.File("timeline.txt"), *ParseStartTime("2026-12-06 10:00:00")},
                  out, err),
        0)
        << err.str();
    std::istringstream lines(out.str());
    std::string line;
    std::vector<std::string> got;
    while (std::getline(lines, line)) got.push_back(line);
    ASSERT_EQ(got.size(), 2u) << out.str();
    EXPECT_NE(out.str().find("2\t" + dir.File("line2/06.12.2026/out-0000000.mp3") + "\t0123456\tO\n"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("1\t" + dir.File("line1/06.12.2026/in-0000000.mp3") + "\t5551234\tI\n"), std::string::npos)
        << out.str();
    for (const char* file : {"line1/06.12.2026/in-0000000.mp3", "line2/06.12.2026/out-0000000.mp3"}) {
        const DecodedMp3 mp3 = DecodeMp3File(dir.File(file));
        EXPECT_FALSE(mp3.decodeError) << file;
        EXPECT_GT(mp3.samplesDecoded, 3 * 8000) << file;
    }
}

}  // namespace
}  // namespace pell
