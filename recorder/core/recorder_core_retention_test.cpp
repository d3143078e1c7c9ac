// Retention per line over real day folders and real custody records: what cleaning for space
// and the daily age pass remove, what they keep (protected calls, days to keep, today), and
// what a recording's filing writes into its day folder's manifest.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "custody/posix/custody.h"
#include "custody/posix/posix_custody_files.h"
#include "recorder/core/recording_names.h"
#include "recorder/core/testing/recorder_fakes.h"

namespace pell {
namespace {

namespace fs = std::filesystem;
using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

constexpr uint64_t kMiB = 1048576;

struct RetentionRig : CoreRig {
    explicit RetentionRig(LocalDateTime now = MakeLocal(2026, 6, 30, 12, 0, 0)) : CoreRig(now) {
        settings.cleaning = 1;
        settings.freeDiskSpace = 500;
        freeSpace.freeBytes = 10'000 * kMiB;
        ch(0).folderDate = year_month_day{std::chrono::year{2025}, std::chrono::month{1}, std::chrono::day{1}};
        ch(1).dropFolder.clear();
        custody = &records;
        Reload();
    }
    year_month_day Today() { return clock.Now().date; }
    std::string Day(int offset) { return DayFolderPath(ch(0).dropFolder, sys_days{Today()} + days{offset}); }
    // A day `offset` days from today (negative: before) with two recordings.
    void MakeDay(int offset) {
        fs::create_directories(Day(offset));
        for (const char* name : {"/a0000001.mp3", "/a0000002.mp3"}) std::ofstream(Day(offset) + name) << "x";
    }
    void Protect(int offset) {
        ASSERT_TRUE(ChangeHolds(HoldRequest{{Day(offset) + "/a0000001.mp3"}, true, "test", ""}).failures.empty());
    }
    void Retain(int keepDays, int deleteAfterDays) {
        core->SetRetention({LineOptions{0, keepDays, deleteAfterDays}, LineOptions{}});
    }
    PosixRecordingCustody records{"PellRecorder"};
};

struct RetentionCase {
    const char* name;
    int keepDays;
    int deleteAfterDays;
    bool lowOnSpace;
    int clockShiftDays;              // the clock set wrong by this much after the days were made
    std::vector<int> days;           // day folders, in days from today
    std::vector<int> protectedDays;  // whose a0000001.mp3 is protected
    int passes;
    std::vector<int> expectedGone;  // folders gone entirely
    bool expectBlocked;             // the disk problem stands
};

class RetentionTest : public ::testing::TestWithParam<RetentionCase> {};

TEST_P(RetentionTest, RemovesOnlyWhatTheRulesAllowAndNeverAProtectedCall) {
    const RetentionCase& p = GetParam();
    RetentionRig rig;
    if (p.keepDays != 0 || p.deleteAfterDays != 0) rig.Retain(p.keepDays, p.deleteAfterDays);
    for (int d : p.days) rig.MakeDay(d);
    for (int d : p.protectedDays) rig.Protect(d);
    std::vector<std::string> paths;
    for (int d : p.days) paths.push_back(rig.Day(d));
    if (p.lowOnSpace) rig.freeSpace.freeBytes = 10 * kMiB;
    rig.clock.Set(MakeLocal(2026, 6, 30, 12, 0, 0));
    if (p.clockShiftDays != 0) {
        rig.core->CleanDisk();
        const year_month_day shifted = sys_days{rig.Today()} + days{p.clockShiftDays};
        rig.clock.Set(LocalDateTime{shifted, 12, 0, 0});
    }
    for (int i = 0; i < p.passes; ++i) rig.core->CleanDisk();

    for (std::size_t i = 0; i < p.days.size(); ++i) {
        const int d = p.days[i];
        const bool held = std::find(p.protectedDays.begin(), p.protectedDays.end(), d) != p.protectedDays.end();
        const bool gone = std::find(p.expectedGone.begin(), p.expectedGone.end(), d) != p.expectedGone.end();
        if (held) {
            EXPECT_TRUE(fs::exists(paths[i] + "/a0000001.mp3")) << "protected call of day " << d;
            EXPECT_EQ(fs::exists(paths[i] + "/a0000002.mp3"), !gone) << "its unprotected neighbour, day " << d;
        } else {
            EXPECT_EQ(fs::exists(paths[i]), !gone) << "day " << d;
        }
    }
    EXPECT_EQ(rig.core->keepBlocksCleaning(Line(0)), p.expectBlocked);
    EXPECT_EQ(rig.notifier.shown.size(), p.expectBlocked ? 1u : 0u) << "the disk problem is told once";
    // Every removal is in history.log and, with the program that did it, in the audit trail.
    const std::string history = fs::exists(rig.dir.File("history.log")) ? rig.dir.Read("history.log") : "";
    const AuditRead audit = ReadAudit(rig.ch(0).dropFolder);
    for (int d : p.expectedGone) {
        const std::size_t i = static_cast<std::size_t>(std::find(p.days.begin(), p.days.end(), d) - p.days.begin());
        EXPECT_NE(history.find(paths[i] + " was removed"), std::string::npos) << history;
        const bool audited = std::any_of(audit.entries.begin(), audit.entries.end(), [&](const AuditEntry& e) {
            return e.recording == paths[i] + "/a0000002.mp3" && e.program == "PellRecorder";
        });
        EXPECT_TRUE(audited) << "day " << d;
    }
    if (p.expectedGone.empty()) {
        EXPECT_EQ(history, "");
    }
    EXPECT_TRUE(audit.check.Intact());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RetentionTest,
    testing::Values(
        RetentionCase{"BothOffCleanTheOldestDayForSpace", 0, 0, true, 0, {-9, -5, 0}, {}, 1, {-9}, false},
        RetentionCase{"BothOffAndSpaceEnoughRemoveNothing", 0, 0, false, 0, {-400, -5, 0}, {}, 3, {}, false},
        RetentionCase{"SpaceNeverTakesADayToKeepAndRaisesTheDiskProblem",
                      7,
                      0,
                      true,
                      0,
                      {-9, -7, -6, -1, 0},
                      {},
                      6,
                      {-9, -7},
                      true},
        RetentionCase{"AgePassRemovesOldDaysWithSpaceToSpare",
                      0,
                      30,
                      false,
                      0,
                      {-45, -31, -30, -29, 0},
                      {},
                      1,
                      {-45, -31, -30},
                      false},
        RetentionCase{"AgePassRunsOncePerDay", 0, 30, false, 0, {-45, -29}, {}, 5, {-45}, false},
        RetentionCase{"AgePassKeepsTheProtectedCall", 0, 30, false, 0, {-45, -40}, {-45}, 1, {-45, -40}, false},
        RetentionCase{
            "SpaceCleaningKeepsTheProtectedCallAndMovesOn", 0, 0, true, 0, {-9, -8, -2}, {-9}, 3, {-9, -8, -2}, false},
        RetentionCase{"TodayIsNeverRemoved", 0, 1, true, 0, {-1, 0}, {}, 3, {-1}, false},
        RetentionCase{"DeleteAfterShorterThanKeepWaitsForKeep", 40, 30, false, 0, {-45, -35}, {}, 1, {-45}, false},
        RetentionCase{
            "ClockLeapingYearsAheadRemovesNothingThatDay", 0, 30, false, 1000, {-20, -10, -1}, {}, 3, {}, false},
        RetentionCase{"ClockSetBackRemovesNothing", 0, 30, false, -100, {-20, -10, -1}, {}, 3, {}, false}),
    [](const testing::TestParamInfo<RetentionCase>& info) { return info.param.name; });

TEST(RetentionTest, LinesSharingADropFolderKeepItsDaysAsLongAsTheLongerRule) {
    RetentionRig rig;
    rig.ch(1).dropFolder = rig.ch(0).dropFolder;
    rig.Reload();
    rig.core->SetRetention({LineOptions{0, 0, 30}, LineOptions{0, 0, 60}});
    for (int d : {-70, -45, -10}) rig.MakeDay(d);
    const std::string day45 = rig.Day(-45);
    rig.core->CleanDisk();
    EXPECT_FALSE(fs::exists(rig.Day(-70)));
    EXPECT_TRUE(fs::exists(day45));
    rig.core->SetRetention({LineOptions{0, 0, 30}, LineOptions{}});
    rig.clock.AdvanceMs(86'400'000);
    rig.clock.Set(MakeLocal(2026, 7, 1, 12, 0, 0));
    rig.core->CleanDisk();
    EXPECT_TRUE(fs::exists(day45)) << "line 2 never deletes by age: its calls in the shared folder stay";
}

// Sixty days of calls with "delete after 30 days" and one protected call: the last thirty
// days and the protected call are left, every one of them verifiable, every removal audited.
TEST(RetentionTest, SixtyDaysWithDeleteAfterThirtyKeepTheLastThirtyAndTheProtectedCall) {
    RetentionRig rig(MakeLocal(2026, 1, 1, 12, 0, 0));
    rig.core->SetRetention({LineOptions{0, 0, 30}, LineOptions{}});
    const std::string drop = rig.ch(0).dropFolder;
    std::string heldPath;
    for (int day = 0; day < 60; ++day) {
        const year_month_day date =
            sys_days{year_month_day{std::chrono::year{2026}, std::chrono::month{1}, std::chrono::day{1}}} + days{day};
        rig.clock.Set(LocalDateTime{date, 12, 0, 0});
        RecordOnce(rig, 1);
        ASSERT_FALSE(rig.filed.empty());
        if (day == 3) {
            heldPath = rig.filed.back().path;
            ASSERT_TRUE(ChangeHolds(HoldRequest{{heldPath}, true, "pell-catalogue", "case 17"}).failures.empty());
        }
        rig.core->CleanDisk();
    }
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(drop)) {
        if (entry.is_directory()) left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left.size(), 31u) << "thirty days and the protected call's";
    for (const FiledRecording& f : rig.filed) {
        const bool kept = fs::exists(f.path);
        const std::size_t index = static_cast<std::size_t>(&f - rig.filed.data());
        EXPECT_EQ(kept, index >= 30 || f.path == heldPath) << f.path;
        if (kept) {
            EXPECT_EQ(VerifyRecording(f.path).text, "verified") << f.path;
        }
    }
    const AuditRead audit = ReadAudit(drop);
    EXPECT_TRUE(audit.check.Intact());
    std::size_t removals = 0;
    for (const AuditEntry& e : audit.entries) {
        if (e.action == "retention" && e.recording.ends_with(".mp3")) ++removals;
    }
    EXPECT_EQ(removals, 29u) << "every removed recording, one entry each";
}

TEST(RetentionTest, FilingWritesTheManifestEntryWithTheCallsFacts) {
    RetentionRig rig;
    LineOneOnly(rig);
    rig.ch(1).dropFolder.clear();
    rig.Reload();
    RecordOnce(rig, 2);
    ASSERT_EQ(rig.filed.size(), 1u);
    const std::string path = rig.filed[0].path;
    EXPECT_EQ(VerifyRecording(path).text, "verified");
    PosixCustodyFiles files;
    const ManifestRead manifest = ReadManifest(files, ParentOf(path));
    ASSERT_EQ(manifest.records.count(NameOf(path)), 1u);
    const ManifestRecord& record = manifest.records.at(NameOf(path));
    EXPECT_EQ(record.facts.line, "Sales");
    EXPECT_EQ(record.facts.number, "0123456789");
    EXPECT_EQ(record.facts.direction, 'I');
    EXPECT_EQ(record.facts.size, static_cast<int64_t>(fs::file_size(path)));
    EXPECT_EQ(record.facts.startTime, static_cast<int64_t>(ToTimeT(MakeLocal(2026, 6, 30, 12, 0, 0))));
    EXPECT_GE(record.facts.endTime, record.facts.startTime + 2);
}

}  // namespace
}  // namespace pell
