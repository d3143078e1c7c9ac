#include "recorder/devices/scenario.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "common/core/wav_file.h"
#include "testsupport/temp_dir.h"
#include "testsupport/wav_bytes.h"

namespace pell {
namespace {

struct TimelineCase {
    const char* name;
    std::string text;
    std::string errorPart;  // empty: parses
    std::vector<TimelineEvent> events;
};

void PrintTo(const TimelineCase& c, std::ostream* os) { *os << c.name; }

class ParseTimelineTest : public ::testing::TestWithParam<TimelineCase> {};

TEST_P(ParseTimelineTest, ReadsEventsOrNamesTheBadLine) {
    const TimelineCase& c = GetParam();
    std::vector<TimelineEvent> events;
    const std::string error = ParseTimeline(c.text, events);
    if (c.errorPart.empty()) {
        ASSERT_EQ(error, "");
        ASSERT_EQ(events.size(), c.events.size());
        for (size_t i = 0; i < events.size(); ++i) {
            EXPECT_EQ(events[i].atMs, c.events[i].atMs) << i;
            EXPECT_EQ(events[i].line, c.events[i].line) << i;
            EXPECT_EQ(events[i].active, c.events[i].active) << i;
        }
    } else {
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseTimelineTest,
    ::testing::Values(
        TimelineCase{
            "Plain", "1 1 active\n2.5 2 active\n4 1 idle\n", "", {{1000, 1, true}, {2500, 2, true}, {4000, 1, false}}},
        TimelineCase{"WordLine", "0.25 line 2 active\r\n", "", {{250, 2, true}}},
        TimelineCase{"CommentsAndBlanks", "# a call\n\n  3 1 active  # ring answered\n", "", {{3000, 1, true}}},
        TimelineCase{"SortedByTime", "5 1 idle\n1 1 active\n", "", {{1000, 1, true}, {5000, 1, false}}},
        TimelineCase{"Empty", "", "", {}}, TimelineCase{"BadTime", "soon 1 active\n", "line 1: bad time", {}},
        TimelineCase{"NegativeTime", "-1 1 active\n", "bad time", {}},
        TimelineCase{"BadLine", "1 1 active\n2 3 active\n", "line 2: line must be 1 or 2", {}},
        TimelineCase{"BadState", "1 1 busy\n", "state must be active or idle", {}},
        TimelineCase{"MissingField", "1 1\n", "expected", {}}),
    [](const ::testing::TestParamInfo<TimelineCase>& info) { return std::string(info.param.name); });

struct WavCase {
    const char* name;
    std::string bytes;
    std::string errorPart;
    uint32_t rate;
    std::vector<int16_t> frames;
};

void PrintTo(const WavCase& c, std::ostream* os) { *os << c.name; }

class ParseWavTest : public ::testing::TestWithParam<WavCase> {};

TEST_P(ParseWavTest, ReadsSixteenBitPcmOrSaysWhyNot) {
    const WavCase& c = GetParam();
    Scenario scenario;
    const std::string error = ParseWav(c.bytes, scenario);
    if (c.errorPart.empty()) {
        ASSERT_EQ(error, "");
        EXPECT_EQ(scenario.sampleRate, c.rate);
        EXPECT_EQ(scenario.frames, c.frames);
    } else {
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ParseWavTest,
    ::testing::Values(WavCase{"Stereo", EncodeWav(8000, 2, {1, -1, 2, -2}), "", 8000, {1, -1, 2, -2}},
                      WavCase{"MonoOnBothLines", EncodeWav(16000, 1, {7, -300}), "", 16000, {7, 7, -300, -300}},
                      WavCase{"EightBit", testing::WavWithFormat(8000, 2, {1, 2}, 1, 8), "16-bit", 0, {}},
                      WavCase{"Compressed", testing::WavWithFormat(8000, 2, {1, 2}, 6, 16), "16-bit", 0, {}},
                      WavCase{"FourChannels", EncodeWav(8000, 4, {1, 2, 3, 4}), "mono or stereo", 0, {}},
                      WavCase{"TruncatedData", EncodeWav(8000, 2, {1, 2, 3, 4}).substr(0, 50), "past the end", 0, {}}),
    [](const ::testing::TestParamInfo<WavCase>& info) { return std::string(info.param.name); });

TEST(ScenarioTest, StateByteFollowsTheTimelineFromBothIdle) {
    Scenario scenario;
    ASSERT_EQ(ParseTimeline("1 1 active\n2 2 active\n3 1 idle\n4 2 idle\n", scenario.timeline), "");
    const std::pair<uint32_t, uint8_t> expected[] = {{0, 0x06},    {999, 0x06},  {1000, 0x04}, {1999, 0x04},
                                                     {2000, 0x00}, {3000, 0x02}, {4000, 0x06}, {99000, 0x06}};
    for (auto [atMs, state] : expected) EXPECT_EQ(scenario.StateByteAt(atMs), state) << atMs;
}

TEST(ScenarioTest, ARepeatPlaysTheFirstPeriodThatManyTimesThenSilenceAndIdleLines) {
    Scenario scenario;
    ASSERT_EQ(ParseTimeline("repeat 1 3\n0.25 1 active\n0.75 1 idle\n", scenario.timeline, &scenario.repeat), "");
    EXPECT_EQ(scenario.repeat.periodMs, 1000u);
    EXPECT_EQ(scenario.repeat.times, 3u);
    const std::pair<uint32_t, uint8_t> states[] = {{0, 0x06},    {250, 0x04},  {800, 0x06}, {2250, 0x04},
                                                   {2800, 0x06}, {3250, 0x06}, {9999, 0x06}};
    for (auto [atMs, state] : states) EXPECT_EQ(scenario.StateByteAt(atMs), state) << atMs;
    scenario.sampleRate = 4;  // four frames a second, the period's sound is the first four
    scenario.frames = {1, -1, 2, -2, 3, -3, 4, -4, 5, -5};
    std::vector<int16_t> out(size_t{28}, 99);
    scenario.FramesAt(0, 14, 4, out.data());
    EXPECT_EQ(out, (std::vector<int16_t>{1, -1, 2, -2, 3, -3, 4, -4, 1, -1, 2, -2, 3, -3,
                                         4, -4, 1, -1, 2, -2, 3, -3, 4, -4, 0, 0,  0, 0}));
    for (const char* bad : {"repeat 0 3", "repeat 1", "repeat 1 0", "repeat x 2"}) {
        EXPECT_NE(ParseTimeline(bad, scenario.timeline, &scenario.repeat), "") << bad;
    }
}

TEST(ScenarioTest, FramesAtResamplesByNearestFrameAndEndsInSilence) {
    Scenario scenario;
    scenario.sampleRate = 8000;
    scenario.frames = {10, -10, 20, -20, 30, -30, 40, -40};
    struct Case {
        uint64_t first;
        size_t count;
        uint32_t rate;
        std::vector<int16_t> out;
    };
    const Case cases[] = {
        {0, 4, 8000, {10, -10, 20, -20, 30, -30, 40, -40}},
        {2, 3, 8000, {30, -30, 40, -40, 0, 0}},
        {0, 4, 16000, {10, -10, 10, -10, 20, -20, 20, -20}},
        {0, 2, 4000, {10, -10, 30, -30}},
        {100, 1, 8000, {0, 0}},
        {1, 2, 0, {0, 0, 0, 0}},  // a device at 0 Hz hears nothing (found by fuzzing)
    };
    for (const Case& c : cases) {
        std::vector<int16_t> out(c.count * 2, 99);
        scenario.FramesAt(c.first, c.count, c.rate, out.data());
        EXPECT_EQ(out, c.out) << c.first << " at " << c.rate;
    }
}

TEST(ScenarioTest, LoadsAFolderOrNamesTheMissingFile) {
    TempDir dir;
    Scenario scenario;
    EXPECT_NE(LoadScenario(dir.path(), scenario).find("call.wav"), std::string::npos);
    dir.Write("call.wav", EncodeWav(8000, 2, {5, 6}));
    EXPECT_NE(LoadScenario(dir.path(), scenario).find("timeline.txt"), std::string::npos);
    dir.Write("timeline.txt", "0.5 1 active\n");
    ASSERT_EQ(LoadScenario(dir.path(), scenario), "");
    EXPECT_EQ(scenario.frames, (std::vector<int16_t>{5, 6}));
    EXPECT_EQ(scenario.StateByteAt(500), 0x04);
}

// The recorder's window sets the user's locale, where the decimal separator may be a comma.
TEST(ScenarioTest, TimelineTimesReadTheSameInACommaDecimalLocale) {
    TempDir locales;
    const std::string build = "localedef -i de_DE -f UTF-8 " + locales.File("de_DE.UTF-8") + " >/dev/null 2>&1";
    if (std::system(build.c_str()) != 0) GTEST_SKIP() << "cannot build a German locale here";
    setenv("LOCPATH", locales.path().c_str(), 1);
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    std::vector<TimelineEvent> events;
    const std::string error = german ? ParseTimeline("2.5 1 active\n", events) : "";
    std::setlocale(LC_NUMERIC, previous.c_str());
    unsetenv("LOCPATH");
    if (!german) GTEST_SKIP() << "the German locale does not load";
    ASSERT_EQ(error, "");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].atMs, 2500u);
}

}  // namespace
}  // namespace pell
