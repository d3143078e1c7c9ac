#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "recorder/core/caller_identification.h"
#include "recorder/core/recording_names.h"
#include "recorder/core/testing/mp3_decode.h"
#include "recorder/core/testing/recorder_fakes.h"
#include "testsupport/signals/signals.h"

namespace pell {
namespace {

namespace fs = std::filesystem;

std::string Tail(const std::string& bytes, size_t n) { return bytes.size() >= n ? bytes.substr(bytes.size() - n) : ""; }

// ---- Names and counters -------------------------------------------------------------------

struct NamingCase {
    const char* name;
    std::string prefix;
    uint32_t counter;
    std::vector<std::string> existing;  // recordings already in today's folder
    std::string expectedFile;
    std::string expectedCounterAfter;
    std::string expectedNextFile;
};

class NamingTest : public ::testing::TestWithParam<NamingCase> {};

TEST_P(NamingTest, RecordingsAreNamedFromPrefixAndCounterAndNeverOverwriteOne) {
    const NamingCase& p = GetParam();
    CoreRig rig;
    rig.ch(0).prefix = p.prefix;
    rig.ch(0).fileCounter = p.counter;
    LineOneOnly(rig);
    const std::string day = rig.dir.File("rec1/06.12.2026");
    fs::create_directories(day);
    for (const std::string& name : p.existing) rig.dir.Write("rec1/06.12.2026/" + name, "old");

    RecordOnce(rig, 1);
    RecordOnce(rig, 1);
    ASSERT_EQ(rig.filed.size(), 2u);
    EXPECT_EQ(rig.filed[0].path, day + "/" + p.expectedFile);
    EXPECT_EQ(rig.filed[1].path, day + "/" + p.expectedNextFile);
    for (const std::string& name : p.existing) EXPECT_EQ(rig.dir.Read("rec1/06.12.2026/" + name), "old") << name;
    EXPECT_EQ(rig.dir.Read("channel1"), p.expectedCounterAfter);
    EXPECT_EQ(std::to_string(rig.core->fileCounter(Line(0))), p.expectedCounterAfter);
    EXPECT_FALSE(fs::exists(rig.dir.File("channel2")));
}

INSTANTIATE_TEST_SUITE_P(
    Table, NamingTest,
    ::testing::Values(
        NamingCase{"FirstRecording", "a", 0, {}, "a0000000.mp3", "2", "a0000001.mp3"},
        NamingCase{"EmptyPrefix", "", 42, {}, "0000042.mp3", "44", "0000043.mp3"},
        NamingCase{"LongPrefix", "office-", 7, {}, "office-0000007.mp3", "9", "office-0000008.mp3"},
        NamingCase{"CounterWraps", "a", 9999999, {}, "a9999999.mp3", "1", "a0000000.mp3"},
        NamingCase{"WrappedCounterSkipsAnOldFile", "a", 9999999, {"a0000000.mp3"}, "a9999999.mp3", "2", "a0000001.mp3"},
        NamingCase{"LostCounterSkipsTakenNames",
                   "a",
                   0,
                   {"a0000000.mp3", "a0000001.mp3"},
                   "a0000002.mp3",
                   "4",
                   "a0000003.mp3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NamingTest, ASkippedNameIsPersistedAtOnce) {
    CoreRig rig;
    LineOneOnly(rig);
    rig.dir.Write("rec1/06.12.2026/a0000000.mp3", "old");
    rig.Feed(8000, 0);
    ASSERT_TRUE(rig.core->recording(Line(0)));
    EXPECT_EQ(rig.dir.Read("channel1"), "1");
}

// ---- The tag ------------------------------------------------------------------------------

struct TagCase {
    const char* name;
    IdentifiedCaller caller;
    std::string description;
    std::string expectedTitle;
    std::string expectedArtist;
};

class TagTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(TagTest, TheFinishedFileEndsWithTheTag) {
    const TagCase& p = GetParam();
    CoreRig rig;
    rig.caller = p.caller;
    rig.ch(0).description = p.description;
    LineOneOnly(rig);
    RecordOnce(rig, 2);
    ASSERT_EQ(rig.filed.size(), 1u);
    const std::string tag = Tail(rig.ReadFile(rig.filed[0].path), 128);
    ASSERT_EQ(tag.size(), 128u);
    EXPECT_EQ(tag.substr(0, 3), "TAG");
    EXPECT_EQ(tag.substr(3, 30), p.expectedTitle + std::string(30 - p.expectedTitle.size(), '\0'));
    EXPECT_EQ(tag.substr(33, 30), p.expectedArtist + std::string(30 - p.expectedArtist.size(), '\0'));
    EXPECT_EQ(tag.substr(63, 32), std::string(32, '\0'));
    EXPECT_EQ(tag[95], p.caller.directionMark);
    EXPECT_EQ(tag[96], 1);
    EXPECT_EQ(tag.substr(97, 30), std::string(30, '\0'));
    EXPECT_EQ(static_cast<uint8_t>(tag[127]), 101);
    EXPECT_EQ(rig.filed[0].number, p.caller.number);
    const DecodedMp3 mp3 = DecodeMp3File(rig.filed[0].path);
    EXPECT_FALSE(mp3.decodeError);
    EXPECT_NEAR(static_cast<double>(mp3.samplesDecoded), 3.0 * 8000, 1200);
}

INSTANTIATE_TEST_SUITE_P(Table, TagTest,
                         ::testing::Values(TagCase{"Incoming", {"5551234", 'I'}, "Sales", "5551234", "Sales"},
                                           TagCase{"NoCallerId", {"", 'U'}, "Front desk", "", "Front desk"},
                                           TagCase{"Dialled", {"A123C", 'O'}, "", "A123C", ""},
                                           TagCase{"ThirtyFit",
                                                   {std::string(30, '7'), 'I'},
                                                   std::string(30, 'd'),
                                                   std::string(30, '7'),
                                                   std::string(30, 'd')},
                                           TagCase{"LongerIsCut",
                                                   {std::string(31, '1') + "99", 'I'},
                                                   std::string(40, 'x'),
                                                   std::string(30, '1'),
                                                   std::string(30, 'x')}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Splits at the size limit -------------------------------------------------------------

struct SplitCase {
    const char* name;
    int32_t maxFileLength;
    double seconds;
    size_t expectedParts;
};

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, EveryPartPlaysFromStartToEndAndReportsItsOwnLength) {
    const SplitCase& p = GetParam();
    // 320 kbit/s at 32000 Hz: 40,000 bytes a second, so 1 MiB takes about 26 s.
    CoreRig rig;
    rig.settings.sampleRate = 32000;
    rig.ch(0).bitrate = 320;
    rig.ch(0).maxFileLength = p.maxFileLength;
    LineOneOnly(rig);
    std::vector<std::string> counterAfterBlock;
    for (int b = 0; b < static_cast<int>(p.seconds * 2); ++b) {
        rig.Feed(8000, 0);
        counterAfterBlock.push_back(rig.dir.Read("channel1"));
    }
    while (rig.core->recording(Line(0))) rig.Feed(0, 0);
    ASSERT_EQ(rig.filed.size(), p.expectedParts);

    int64_t total = 0;
    for (size_t i = 0; i < rig.filed.size(); ++i) {
        const std::string& path = rig.filed[i].path;
        EXPECT_EQ(path, rig.dir.File("rec1/06.12.2026/a000000" + std::to_string(i) + ".mp3"));
        const DecodedMp3 mp3 = DecodeMp3File(path);
        SCOPED_TRACE(path);
        EXPECT_TRUE(mp3.startsWithFrame);
        EXPECT_FALSE(mp3.decodeError);
        EXPECT_EQ(mp3.hasInfoFrame, i == 0) << "only the first part starts with the Info frame";
        EXPECT_NEAR(static_cast<double>(mp3.lengthFromHeader), static_cast<double>(mp3.samplesDecoded), 1152);
        const std::string bytes = rig.ReadFile(path);
        EXPECT_EQ(Tail(bytes, 128).substr(0, 3), "TAG") << "every part is tagged";
        EXPECT_EQ(rig.filed[i].number, rig.caller.number);
        if (i + 1 < rig.filed.size()) {
            // Cut at the first block that took the part past the limit: at most one block more.
            const size_t limit = static_cast<size_t>(p.maxFileLength) * 1048576;
            EXPECT_GT(bytes.size(), limit);
            EXPECT_LE(bytes.size(), limit + 20000 + 1440);
        }
        total += mp3.samplesDecoded;
    }
    EXPECT_NEAR(static_cast<double>(total), (p.seconds + 1.0) * 32000, 1152.0 * 2 * rig.filed.size());
    // The counter file follows each split at once.
    if (p.expectedParts > 1) {
        const auto firstSplit = std::find(counterAfterBlock.begin(), counterAfterBlock.end(), "1");
        ASSERT_NE(firstSplit, counterAfterBlock.end());
        EXPECT_EQ(firstSplit - counterAfterBlock.begin() + 1, 53) << "26.5 s of blocks make 1,060,000 bytes";
    }
    EXPECT_EQ(rig.dir.Read("channel1"), std::to_string(p.expectedParts));
}

INSTANTIATE_TEST_SUITE_P(Table, SplitTest,
                         ::testing::Values(SplitCase{"NoLimit", 0, 60, 1}, SplitCase{"NegativeIsNoLimit", -1, 30, 1},
                                           SplitCase{"OneMiB", 1, 60, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Midnight -----------------------------------------------------------------------------

struct MidnightCase {
    const char* name;
    int32_t maxFileLength;
    std::vector<std::string> expectedFolders;
};

class MidnightTest : public ::testing::TestWithParam<MidnightCase> {};

TEST_P(MidnightTest, ARecordingStaysInItsDayUntilASplitOpensTheNextDay) {
    const MidnightCase& p = GetParam();
    CoreRig rig(MakeLocal(2026, 12, 31, 23, 59, 50));
    rig.settings.sampleRate = 32000;
    rig.ch(0).bitrate = 320;
    rig.ch(0).maxFileLength = p.maxFileLength;
    LineOneOnly(rig);
    RecordOnce(rig, 40);
    ASSERT_EQ(rig.filed.size(), p.expectedFolders.size());
    for (size_t i = 0; i < rig.filed.size(); ++i) {
        EXPECT_EQ(fs::path(rig.filed[i].path).parent_path(), rig.dir.File("rec1/" + p.expectedFolders[i]));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, MidnightTest,
                         ::testing::Values(MidnightCase{"Unsplit", 0, {"31.12.2026"}},
                                           MidnightCase{"SplitAfterMidnight", 1, {"31.12.2026", "01.01.2027"}}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Failures -----------------------------------------------------------------------------

struct FileFailureCase {
    const char* name;
    int failedOpens;  // opens of the recording file that fail
    bool expectFile;
    double expectedSeconds;  // of sound in the file, when there is one
};

class FileFailureTest : public ::testing::TestWithParam<FileFailureCase> {};

TEST_P(FileFailureTest, ARecordingFileThatCannotBeCreatedIsTriedAgainEachBlock) {
    const FileFailureCase& p = GetParam();
    CoreRig rig;
    LineOneOnly(rig);
    rig.fileSystem.failOpenMatching = ".mp3";
    rig.fileSystem.failOpenCount = p.failedOpens;
    RecordOnce(rig, 4);
    EXPECT_EQ(rig.dir.Read("channel1"), p.expectFile ? "1" : "") << "a call with no file uses up no number";
    EXPECT_EQ(rig.notifier.shown.size(), p.failedOpens > 0 ? 1u : 0u) << "a failing file is told once";
    EXPECT_EQ(rig.notifier.logged, rig.notifier.shown);
    EXPECT_EQ(fs::file_size(rig.dir.File("wave2.out")), 10u * 8000) << "the temp file goes on as normal";
    ASSERT_EQ(rig.filed.size(), p.expectFile ? 1u : 0u);
    if (!p.expectFile) return;
    const DecodedMp3 mp3 = DecodeMp3File(rig.filed[0].path);
    EXPECT_TRUE(mp3.startsWithFrame);
    EXPECT_FALSE(mp3.decodeError);
    EXPECT_EQ(mp3.hasInfoFrame, p.failedOpens == 0) << "no Info frame over the audio of a late file";
    // The start creation and two block retries fail: the first two blocks' output is lost
    // (less than 1 s of sound, as the encoder's output lags its input).
    EXPECT_NEAR(static_cast<double>(mp3.samplesDecoded), p.expectedSeconds * 8000, 2400);
    EXPECT_NEAR(static_cast<double>(mp3.lengthFromHeader), static_cast<double>(mp3.samplesDecoded), 600);
    EXPECT_EQ(rig.filed[0].number, rig.caller.number);
}

INSTANTIATE_TEST_SUITE_P(Table, FileFailureTest,
                         ::testing::Values(FileFailureCase{"NoFailure", 0, true, 5.0},
                                           FileFailureCase{"PassingFailure", 3, true, 4.0},
                                           FileFailureCase{"NeverCreated", 1000, false, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FileFailureTest, AGoneDropFolderIsMadeAgainWithEveryLevel) {
    CoreRig rig;
    rig.ch(0).dropFolder = rig.dir.File("gone/deeper/rec");
    LineOneOnly(rig);
    RecordOnce(rig, 1);
    ASSERT_EQ(rig.filed.size(), 1u);
    EXPECT_TRUE(fs::exists(rig.dir.File("gone/deeper/rec/06.12.2026/a0000000.mp3")));
}

struct StateFileFailureCase {
    const char* name;
    std::string failing;  // path text whose opens fail
    bool expectTag;
    bool expectCounterFile;
};

class StateFileFailureTest : public ::testing::TestWithParam<StateFileFailureCase> {};

TEST_P(StateFileFailureTest, TheCounterAdvancesWhateverCannotBeWritten) {
    const StateFileFailureCase& p = GetParam();
    CoreRig rig;
    LineOneOnly(rig);
    rig.FeedSeconds(2, 8000, 0);
    rig.fileSystem.failOpenMatching = p.failing;
    rig.fileSystem.failOpenCount = 1000;
    rig.fileSystem.failWholeMatching = p.failing;
    rig.fileSystem.failWholeCount = 1000;
    while (rig.core->recording(Line(0))) rig.Feed(0, 0);
    ASSERT_EQ(rig.filed.size(), 1u);
    ASSERT_EQ(rig.notifier.shown.size(), 1u) << "the failure is told once";
    EXPECT_NE(rig.notifier.shown[0].find(p.failing), std::string::npos) << rig.notifier.shown[0];
    EXPECT_EQ(rig.notifier.logged, rig.notifier.shown);
    EXPECT_EQ(Tail(rig.ReadFile(rig.filed[0].path), 128).substr(0, 3) == "TAG", p.expectTag);
    EXPECT_EQ(rig.core->fileCounter(Line(0)), 1u);
    EXPECT_EQ(fs::exists(rig.dir.File("channel1")), p.expectCounterFile);
    EXPECT_FALSE(DecodeMp3File(rig.filed[0].path).decodeError);
}

INSTANTIATE_TEST_SUITE_P(Table, StateFileFailureTest,
                         ::testing::Values(StateFileFailureCase{"TagCannotBeAppended", ".mp3", false, true},
                                           StateFileFailureCase{"CounterCannotBeWritten", "channel1", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TempFailureCase {
    const char* name;
    int failedTempOpens;  // at the start of the second call
    std::string expectedNumber;
    char expectedMark;
};

class TempFailureTest : public ::testing::TestWithParam<TempFailureCase> {};

TEST_P(TempFailureTest, ACallIsIdentifiedOnlyFromItsOwnTempFile) {
    const TempFailureCase& p = GetParam();
    CoreRig rig;
    rig.ch(0).sensitiveLevel = 1;
    LineOneOnly(rig);
    // This identifier reports the temp file's sample at index 5 (a tone peak) as the number.
    RecorderServices services{rig.clock,
                              rig.lines,
                              rig.view,
                              rig.notifier,
                              rig.fileSystem,
                              rig.freeSpace,
                              [](const std::string& path, ClipMode, int32_t, const ToneTable&) {
                                  std::ifstream in(path, std::ios::binary);
                                  int16_t samples[6] = {};
                                  if (!in.read(reinterpret_cast<char*>(samples), sizeof samples)) {
                                      return IdentifiedCaller{"", 'I'};
                                  }
                                  return IdentifiedCaller{std::to_string(samples[5]), 'I'};
                              },
                              [&](const FiledRecording& f) { rig.filed.push_back(f); }};
    rig.core = std::make_unique<RecorderCore>(rig.settings, rig.toneTables, services);
    rig.Feed(1111, 0);
    while (rig.core->recording(Line(0))) rig.Feed(0, 0);
    rig.fileSystem.failOpenMatching = "wave2.out";
    rig.fileSystem.failOpenCount = p.failedTempOpens;
    rig.Feed(2222, 0);
    while (rig.core->recording(Line(0))) rig.Feed(0, 0);
    ASSERT_EQ(rig.filed.size(), 2u);
    EXPECT_EQ(rig.filed[0].number, "1111");
    EXPECT_EQ(rig.filed[1].number, p.expectedNumber) << "never the caller of the call before";
    EXPECT_EQ(rig.filed[1].directionMark, p.expectedMark);
    const std::string tag = Tail(rig.ReadFile(rig.filed[1].path), 128);
    EXPECT_EQ(tag.substr(3, 30), p.expectedNumber + std::string(30 - p.expectedNumber.size(), '\0'));
    EXPECT_EQ(tag[95], p.expectedMark);
}

INSTANTIATE_TEST_SUITE_P(Table, TempFailureTest,
                         ::testing::Values(TempFailureCase{"OwnTempFile", 0, "2222", 'I'},
                                           TempFailureCase{"TempFileNotCreated", 1, "", 'U'}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- One call from the line to the file, with the real caller identification -------------

TEST(WholeCallTest, LineStateCallWithCallerIdAndLevelCallWithDialledDigitsAreFiledAndNamed) {
    using namespace signals;
    CoreRig rig;
    rig.ch(0).sensitiveControl = LineControl::kLineState;
    rig.ch(0).endOfFile = 2;
    rig.ch(0).clip = ClipMode::kFskEurope;
    rig.ch(1).clip = ClipMode::kTone;
    rig.ch(1).endOfFile = 2;
    for (int c = 0; c < 2; ++c) rig.toneTables[static_cast<size_t>(c)] = BuildToneTable(rig.ch(c).clip);
    rig.Reload();
    RecorderServices services{rig.clock,
                              rig.lines,
                              rig.view,
                              rig.notifier,
                              rig.fileSystem,
                              rig.freeSpace,
                              DefaultCallerIdentifier(),
                              [&](const FiledRecording& f) { rig.filed.push_back(f); }};
    rig.core = std::make_unique<RecorderCore>(rig.settings, rig.toneTables, services);

    // Line 1: the caller-ID burst rings in before the line is seized at 2.5 s.
    Samples line1 = Silence(8000, 0.5);
    Append(line1, FskBurst(CallSetupMessage({{0x01, "12071530"}, {0x02, "5551234"}})));
    line1.resize(8000 * 5 / 2, 0);
    Append(line1, SpeechLike(8000, 4.0, -12.0, 7));
    line1.resize(8000 * 10, 0);
    // Line 2: digits dialled at 1 s, loud enough to start the level control.
    Samples line2 = Silence(8000, 1.0);
    Append(line2, DtmfDigits("0123456", {8000, 70, 70, -6.0}));
    Append(line2, SpeechLike(8000, 2.0, -6.0, 3));
    line2.resize(line1.size(), 0);

    for (size_t b = 0; b < line1.size() / 4000; ++b) {
        if (b == 5) rig.Seize(0);
        if (b == 13) rig.Release(0);
        std::vector<int16_t> block(8000);
        for (size_t i = 0; i < 4000; ++i) {
            block[2 * i] = line1[b * 4000 + i];
            block[2 * i + 1] = line2[b * 4000 + i];
        }
        rig.core->ProcessBlock(block.data(), block.size());
        rig.clock.AdvanceMs(500);
    }
    rig.core->FinishAllRecordings();
    ASSERT_EQ(rig.filed.size(), 2u);
    std::map<int, FiledRecording> byChannel;
    for (const FiledRecording& f : rig.filed) byChannel[f.channel] = f;
    EXPECT_EQ(byChannel[0].number, "5551234");
    EXPECT_EQ(byChannel[0].directionMark, 'I');
    EXPECT_EQ(byChannel[1].number, "0123456");
    EXPECT_EQ(byChannel[1].directionMark, 'O');
    for (const auto& [channel, f] : byChannel) {
        const std::string tag = Tail(rig.ReadFile(f.path), 128);
        EXPECT_EQ(tag.substr(3, f.number.size()), f.number);
        EXPECT_EQ(tag[95], f.directionMark);
        EXPECT_FALSE(DecodeMp3File(f.path).decodeError);
    }
}

}  // namespace
}  // namespace pell
