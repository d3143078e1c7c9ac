#include "custody/core/manifest.h"

#include <gtest/gtest.h>

#include "custody/core/testing/custody_test_support.h"
#include "testsupport/manual_clock.h"

namespace pell {
namespace {

using test::FakeCustodyFiles;

constexpr const char* kDay = "/rec/05.03.2026";
const std::string kManifest = std::string(kDay) + "/" + kManifestFileName;

TEST(ManifestTest, FiledRecordingsReadBackWithTheirFactsAndHash) {
    FakeCustodyFiles files;
    test::FileRecording(files, kDay, "a0000001.mp3", "0171 555 1234", "Line 1", 1'772'712'000);
    test::FileRecording(files, kDay, "a0000002.mp3", "", "Line\t2", 1'772'712'100);
    const ManifestRead read = ReadManifest(files, kDay);
    ASSERT_EQ(read.error, 0);
    EXPECT_TRUE(read.check.Intact());
    ASSERT_EQ(read.records.size(), 2u);
    const ManifestRecord& first = read.records.at("a0000001.mp3");
    EXPECT_EQ(first.state, ManifestState::kFiled);
    EXPECT_EQ(first.facts.number, "0171 555 1234");
    EXPECT_EQ(first.facts.line, "Line 1");
    EXPECT_EQ(first.facts.startTime, 1'772'712'000);
    EXPECT_EQ(first.facts.endTime, 1'772'712'003);
    EXPECT_EQ(first.facts.direction, 'I');
    EXPECT_EQ(first.audioSha256.size(), 64u);
    EXPECT_EQ(first.audioBytes, 6007);
    EXPECT_EQ(read.records.at("a0000002.mp3").facts.line, "Line\t2");
    const std::string text = *files.Read(kManifest);
    EXPECT_NE(text.find("\tstart=2026-03-05T12:00:00Z\t"), std::string::npos) << text;
    EXPECT_NE(text.find("\tline=Line\\t2\t"), std::string::npos) << text;
}

TEST(ManifestTest, AGoneRecordingKeepsItsEntryWithoutItsNumber) {
    FakeCustodyFiles files;
    ManualClock clock(MakeLocal(2026, 3, 20, 9, 30, 0));
    test::FileRecording(files, kDay, "a0000001.mp3", "0171 555 1234");
    test::FileRecording(files, kDay, "a0000002.mp3", "0207 946 0000");
    test::FileRecording(files, kDay, "a0000003.mp3", "0171 555 1234");
    ASSERT_EQ(NoteGone(files, clock, kDay, {"a0000001.mp3", "a0000003.mp3"}, GoneReason::kRequest), 0);

    const std::string text = *files.Read(kManifest);
    EXPECT_EQ(text.find("555"), std::string::npos) << text;
    EXPECT_NE(text.find("0207 946 0000"), std::string::npos);
    const ManifestRead read = ParseManifest(text);
    EXPECT_TRUE(read.check.Intact());
    const ManifestRecord& erased = read.records.at("a0000001.mp3");
    EXPECT_EQ(erased.state, ManifestState::kErased);
    EXPECT_EQ(erased.reason, "request");
    EXPECT_TRUE(erased.numberErased);
    EXPECT_EQ(erased.facts.line, "Line 1");
    EXPECT_EQ(erased.goneAt, ToTimeT(clock.Now()));
    EXPECT_EQ(read.records.at("a0000002.mp3").state, ManifestState::kFiled);

    ASSERT_EQ(NoteGone(files, clock, kDay, {"a0000002.mp3"}, GoneReason::kRetention), 0);
    const ManifestRead later = ReadManifest(files, kDay);
    EXPECT_TRUE(later.check.Intact());
    EXPECT_EQ(later.records.at("a0000002.mp3").state, ManifestState::kRemoved);
    EXPECT_EQ(later.records.at("a0000002.mp3").reason, "retention");
}

TEST(ManifestTest, TheNewestEntryOfANameTellsItsState) {
    FakeCustodyFiles files;
    ManualClock clock;
    test::FileRecording(files, kDay, "a0000001.mp3", "111", "Line 1", 1'772'712'000);
    ASSERT_EQ(NoteGone(files, clock, kDay, {"a0000001.mp3"}, GoneReason::kClean), 0);
    // The counter wrapped and the name was filed again.
    test::FileRecording(files, kDay, "a0000001.mp3", "222", "Line 2", 1'772'799'000);
    const ManifestRead read = ReadManifest(files, kDay);
    const ManifestRecord& record = read.records.at("a0000001.mp3");
    EXPECT_EQ(record.state, ManifestState::kFiled);
    EXPECT_EQ(record.facts.number, "222");
    EXPECT_EQ(record.facts.startTime, 1'772'799'000);
    EXPECT_FALSE(record.numberErased);
}

TEST(ManifestTest, AFolderWithoutManifestGetsOneForItsGoneRecordings) {
    FakeCustodyFiles files;
    ManualClock clock;
    files.Write(std::string(kDay) + "/old.mp3", "x");
    EXPECT_EQ(ReadManifest(files, kDay).error, ENOENT);
    ASSERT_EQ(NoteGone(files, clock, kDay, {"old.mp3"}, GoneReason::kClean), 0);
    EXPECT_EQ(ReadManifest(files, kDay).records.at("old.mp3").state, ManifestState::kRemoved);
}

}  // namespace
}  // namespace pell
