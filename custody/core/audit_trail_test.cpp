#include "custody/core/audit_trail.h"

#include <gtest/gtest.h>

#include "custody/core/testing/fake_custody_files.h"
#include "testsupport/manual_clock.h"
#include "player/catalogue/catalogue_test_support.h"

namespace pell {
namespace {

using test::FakeCustodyFiles;

class AuditTrailTest : public testing::Test {
protected:
    AuditTrailTest() : clock_(MakeLocal(2026, 3, 5, 14, 7, 55)), trail_(files_, clock_) { files_.AddFolder("/rec"); }

    test::ScopedTimeZone utc_{test::kUtc};
    FakeCustodyFiles files_;
    ManualClock clock_;
    AuditTrail trail_;
};

TEST_F(AuditTrailTest, EntriesReadBackWithTheRecordingInsideTheRoot) {
    ASSERT_EQ(trail_.Append("/rec", {{"alice", "PellPlayer", AuditAction::kPlay, "/rec/05.03.2026/a.mp3", ""}}), 0);
    clock_.AdvanceMs(61'000);
    ASSERT_EQ(trail_.Append("/rec/", {{"bob", "pell-catalogue", AuditAction::kMarkPlayed, "/rec/05.03.2026/a.mp3",
                                       "line one\nline two"},
                                      {"bob", "pell-catalogue", AuditAction::kErase, "", "2 recordings"}}),
              0);
    const std::string text = *files_.Read("/rec/audit.log");
    EXPECT_EQ(text.rfind("1\ttime=2026-03-05T14:07:55Z\tuser=alice\tprogram=PellPlayer\taction=play\t"
                         "recording=05.03.2026/a.mp3\tdetail=\tchain=",
                         0),
              0u)
        << text;
    const AuditRead read = trail_.Read("/rec");
    ASSERT_EQ(read.error, 0);
    EXPECT_TRUE(read.check.Intact());
    ASSERT_EQ(read.entries.size(), 3u);
    EXPECT_EQ(read.entries[1].user, "bob");
    EXPECT_EQ(read.entries[1].action, "mark-played");
    EXPECT_EQ(read.entries[1].recording, "/rec/05.03.2026/a.mp3");
    EXPECT_EQ(read.entries[1].detail, "line one\nline two");
    EXPECT_EQ(read.entries[1].time - read.entries[0].time, 61);
    EXPECT_EQ(read.entries[2].recording, "");
}

TEST_F(AuditTrailTest, ACopiedRootKeepsItsTrailTrue) {
    ASSERT_EQ(trail_.Append("/rec", {{"alice", "PellPlayer", AuditAction::kProtect, "/rec/05.03.2026/a.mp3", ""}}), 0);
    files_.Write("/mnt/copy/audit.log", *files_.Read("/rec/audit.log"));
    const AuditRead read = trail_.Read("/mnt/copy");
    EXPECT_TRUE(read.check.Intact());
    EXPECT_EQ(read.entries.at(0).recording, "/mnt/copy/05.03.2026/a.mp3");
}

TEST_F(AuditTrailTest, ARootWithoutTrailSaysSo) { EXPECT_EQ(trail_.Read("/rec").error, ENOENT); }

TEST_F(AuditTrailTest, LongTextsAreCutBetweenCharacters) {
    const std::string detail = std::string(kAuditDetailBytes - 1, 'x') + "\xc3\xa9";
    ASSERT_EQ(trail_.Append("/rec", {{"alice", "PellPlayer", AuditAction::kCopy, "/elsewhere/a.mp3", detail}}), 0);
    const AuditEntry entry = trail_.Read("/rec").entries.at(0);
    EXPECT_EQ(entry.detail, std::string(kAuditDetailBytes - 1, 'x'));
    EXPECT_EQ(entry.recording, "/elsewhere/a.mp3");
}

TEST(AuditActionTest, EveryActionHasOneName) {
    const AuditAction all[] = {AuditAction::kPlay,       AuditAction::kCopy,     AuditAction::kExport,
                               AuditAction::kDelete,     AuditAction::kErase,    AuditAction::kBookmark,
                               AuditAction::kMarkPlayed, AuditAction::kProtect,  AuditAction::kUnprotect,
                               AuditAction::kClean,      AuditAction::kRetention};
    std::set<std::string_view> names;
    for (const AuditAction action : all) {
        names.insert(AuditActionName(action));
        EXPECT_EQ(ParseAuditAction(AuditActionName(action)), action);
    }
    EXPECT_EQ(names.size(), std::size(all));
    EXPECT_EQ(AuditActionName(AuditAction::kMarkPlayed), "mark-played");
    EXPECT_EQ(ParseAuditAction("listen"), std::nullopt);
}

TEST(PathInRootTest, KeepsOnlyWhatLiesBelowTheRoot) {
    EXPECT_EQ(PathInRoot("/rec", "/rec/05.03.2026/a.mp3"), "05.03.2026/a.mp3");
    EXPECT_EQ(PathInRoot("/rec//", "/rec/05.03.2026/a.mp3"), "05.03.2026/a.mp3");
    EXPECT_EQ(PathInRoot("/rec", "/record/05.03.2026/a.mp3"), "/record/05.03.2026/a.mp3");
    EXPECT_EQ(PathInRoot("/", "/05.03.2026/a.mp3"), "05.03.2026/a.mp3");
    EXPECT_EQ(PathInRoot("/rec", "/rec"), "/rec");
}

TEST(RecordRootOfTest, IsTheFolderAboveADayFolderAndNoneElsewhere) {
    const struct {
        const char* path;
        const char* root;
    } cases[] = {
        {"/srv/rec/05.03.2026/a.mp3", "/srv/rec"},
        {"05.03.2026/a.mp3", "."},
        {"/05.03.2026/a.mp3", "/"},
        {"/srv/rec/a.mp3", ""},
        {"/srv/rec/2026-03-05/a.mp3", ""},
        {"a.mp3", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(RecordRootOf(c.path), c.root) << c.path;
}

}  // namespace
}  // namespace pell
