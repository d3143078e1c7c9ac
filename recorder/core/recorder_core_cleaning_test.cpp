#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "recorder/core/recording_names.h"
#include "recorder/core/testing/recorder_fakes.h"

namespace pell {
namespace {

namespace fs = std::filesystem;
using std::chrono::year_month_day;

year_month_day Date(int y, unsigned m, unsigned d) {
    return year_month_day{std::chrono::year{y}, std::chrono::month{m}, std::chrono::day{d}};
}

constexpr uint64_t kMiB = 1048576;

struct CleaningRig : CoreRig {
    CleaningRig() : CoreRig(MakeLocal(2026, 1, 10, 12, 0, 0)) {
        settings.cleaning = 1;
        settings.freeDiskSpace = 500;
        freeSpace.freeBytes = 10 * kMiB;
        Reload();
    }
    std::string Day(int channel, year_month_day date) { return DayFolderPath(ch(channel).dropFolder, date); }
    void MakeDay(int channel, year_month_day date) {
        fs::create_directories(Day(channel, date));
        std::ofstream(Day(channel, date) + "/a0000001.mp3") << "x";
    }
    std::string Log() { return dir.Read("history.log"); }
};

// ---- The walk over the days ---------------------------------------------------------------

struct WalkCase {
    const char* name;
    year_month_day cursor;
    std::vector<year_month_day> days;    // day folders of channel 1 (today is 10 January)
    std::vector<year_month_day> locked;  // whose contents cannot be removed
    std::vector<year_month_day> sticky;  // emptied but left behind
    int passes;
    std::vector<year_month_day> expectedGone;
    std::string expectedLog;  // with "@" for the drop folder
    std::string expectedStateFile;
    year_month_day expectedCursor;
};

class CleaningWalkTest : public ::testing::TestWithParam<WalkCase> {};

TEST_P(CleaningWalkTest, DeletesTheOldestDayPerPassAndLogsIt) {
    const WalkCase& p = GetParam();
    CleaningRig rig;
    rig.ch(0).folderDate = p.cursor;
    rig.Reload();
    rig.ch(1).dropFolder.clear();
    for (year_month_day d : p.days) rig.MakeDay(0, d);
    for (year_month_day d : p.locked) rig.fileSystem.locked.insert(rig.Day(0, d));
    for (year_month_day d : p.sticky) rig.fileSystem.sticky.insert(rig.Day(0, d));
    for (int i = 0; i < p.passes; ++i) EXPECT_EQ(rig.core->CleanDisk(), kCleaningPeriodMs);

    for (year_month_day d : p.days) {
        const bool gone = std::find(p.expectedGone.begin(), p.expectedGone.end(), d) != p.expectedGone.end();
        EXPECT_EQ(fs::exists(rig.Day(0, d)), !gone) << FormatFolderDate(d);
    }
    std::string log = p.expectedLog;
    for (size_t at = log.find('@'); at != std::string::npos; at = log.find('@'))
        log.replace(at, 1, rig.ch(0).dropFolder);
    EXPECT_EQ(rig.Log(), log);
    EXPECT_EQ(rig.dir.Read("folder1"), p.expectedStateFile);
    EXPECT_EQ(rig.core->folderDate(Line(0)), p.expectedCursor);
    EXPECT_TRUE(fs::exists(rig.Day(0, Date(2026, 1, 10))) ||
                std::find(p.days.begin(), p.days.end(), Date(2026, 1, 10)) == p.days.end())
        << "today is never deleted";
    EXPECT_FALSE(fs::exists(rig.dir.File("folder2")));
}

INSTANTIATE_TEST_SUITE_P(
    Table, CleaningWalkTest,
    ::testing::Values(
        WalkCase{"SkipsMissingDaysAndDeletesTheOldest",
                 Date(2026, 1, 1),
                 {Date(2026, 1, 3), Date(2026, 1, 4), Date(2026, 1, 5), Date(2026, 1, 10)},
                 {},
                 {},
                 1,
                 {Date(2026, 1, 3)},
                 "@/03.01.2026 was removed\r\n",
                 "20260103",
                 Date(2026, 1, 3)},
        WalkCase{"NextPassDeletesTheNextDay",
                 Date(2026, 1, 1),
                 {Date(2026, 1, 3), Date(2026, 1, 4), Date(2026, 1, 5), Date(2026, 1, 10)},
                 {},
                 {},
                 2,
                 {Date(2026, 1, 3), Date(2026, 1, 4)},
                 "@/03.01.2026 was removed\r\n@/04.01.2026 was removed\r\n",
                 "20260104",
                 Date(2026, 1, 4)},
        WalkCase{
            "OnlyTodayLeft", Date(2026, 1, 1), {Date(2026, 1, 10)}, {}, {}, 3, {}, "", "20260110", Date(2026, 1, 10)},
        // A clock once wrong left the cursor ahead: it comes back to today, and is kept there.
        WalkCase{"CursorInTheFutureComesBackToToday",
                 Date(2026, 2, 1),
                 {Date(2026, 1, 3), Date(2026, 1, 10)},
                 {},
                 {},
                 1,
                 {},
                 "",
                 "20260110",
                 Date(2026, 1, 10)},
        WalkCase{"LockedFolderIsLoggedAndTheNextDayDeleted",
                 Date(2026, 1, 3),
                 {Date(2026, 1, 3), Date(2026, 1, 4), Date(2026, 1, 10)},
                 {Date(2026, 1, 3)},
                 {},
                 1,
                 {Date(2026, 1, 4)},
                 "@/03.01.2026 couldn't remove\r\n@/04.01.2026 was removed\r\n",
                 "20260104",
                 Date(2026, 1, 4)},
        WalkCase{"EmptiedButNotRemovedIsNoRemoval",
                 Date(2026, 1, 3),
                 {Date(2026, 1, 3), Date(2026, 1, 5)},
                 {},
                 {Date(2026, 1, 3)},
                 1,
                 {Date(2026, 1, 5)},
                 "@/03.01.2026 couldn't remove\r\n@/05.01.2026 was removed\r\n",
                 "20260105",
                 Date(2026, 1, 5)},
        // Calendar days, not 86,400 s steps: the spring change is walked once per day.
        WalkCase{"OverTheClockChange",
                 Date(2025, 3, 29),
                 {Date(2025, 3, 30), Date(2025, 3, 31)},
                 {},
                 {},
                 2,
                 {Date(2025, 3, 30), Date(2025, 3, 31)},
                 "@/30.03.2025 was removed\r\n@/31.03.2025 was removed\r\n",
                 "20250331",
                 Date(2025, 3, 31)},
        WalkCase{"OverAYearEnd",
                 Date(2024, 12, 30),
                 {Date(2025, 1, 1)},
                 {},
                 {},
                 1,
                 {Date(2025, 1, 1)},
                 "@/01.01.2025 was removed\r\n",
                 "20250101",
                 Date(2025, 1, 1)}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- When the drive counts as low ---------------------------------------------------------

struct LowSpaceCase {
    const char* name;
    int32_t cleaning;
    int32_t freeDiskSpaceMb;
    std::optional<uint64_t> freeBytes;
    bool expectDeletion;
};

class LowSpaceTest : public ::testing::TestWithParam<LowSpaceCase> {};

TEST_P(LowSpaceTest, DeletesOnlyWhenFreeBytesAreBelowTheLimit) {
    const LowSpaceCase& p = GetParam();
    CleaningRig rig;
    rig.settings.cleaning = p.cleaning;
    rig.settings.freeDiskSpace = p.freeDiskSpaceMb;
    rig.freeSpace.freeBytes = p.freeBytes;
    rig.ch(0).folderDate = Date(2026, 1, 2);
    rig.Reload();
    rig.ch(1).dropFolder.clear();
    rig.MakeDay(0, Date(2026, 1, 2));
    const std::optional<uint32_t> period = rig.core->CleanDisk();
    EXPECT_EQ(period.has_value(), p.cleaning != 0) << "the timer is restarted at 10 s only while cleaning is on";
    EXPECT_EQ(!fs::exists(rig.Day(0, Date(2026, 1, 2))), p.expectDeletion);
    EXPECT_EQ(!rig.Log().empty(), p.expectDeletion);
}

INSTANTIATE_TEST_SUITE_P(Table, LowSpaceTest,
                         ::testing::Values(LowSpaceCase{"JustBelow", 1, 500, 500 * kMiB - 1, true},
                                           LowSpaceCase{"AtTheLimit", 1, 500, 500 * kMiB, false},
                                           LowSpaceCase{"CleaningOff", 0, 500, 0, false},
                                           LowSpaceCase{"LimitZeroNeverCleans", 1, 0, 0, false},
                                           LowSpaceCase{"NegativeLimitNeverCleans", 1, -1, 0, false},
                                           LowSpaceCase{"FailedQueryIsNotLow", 1, 500, std::nullopt, false},
                                           // Above 4 GiB the 32-bit figures of the free space would wrap.
                                           LowSpaceCase{"LargeLimitBelow", 1, 8000, 5000 * kMiB, true},
                                           LowSpaceCase{"LargeFreeSpaceAbove", 1, 500, 4096 * kMiB + 10, false},
                                           LowSpaceCase{"FreeSpaceWrapsTo32BitZero", 1, 500, 4096 * kMiB, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Channels -----------------------------------------------------------------------------

TEST(CleaningChannelsTest, EachChannelDeletesAtMostOneOfItsOwnDaysPerPass) {
    CleaningRig rig;
    for (int c = 0; c < 2; ++c) {
        rig.ch(c).folderDate = Date(2026, 1, 1);
        rig.MakeDay(c, Date(2026, 1, 2));
        rig.MakeDay(c, Date(2026, 1, 3));
    }
    rig.Reload();
    rig.core->CleanDisk();
    for (int c = 0; c < 2; ++c) {
        EXPECT_FALSE(fs::exists(rig.Day(c, Date(2026, 1, 2))));
        EXPECT_TRUE(fs::exists(rig.Day(c, Date(2026, 1, 3))));
    }
    EXPECT_EQ(rig.Log(),
              rig.Day(0, Date(2026, 1, 2)) + " was removed\r\n" + rig.Day(1, Date(2026, 1, 2)) + " was removed\r\n");
    EXPECT_EQ(rig.dir.Read("folder1"), "20260102");
    EXPECT_EQ(rig.dir.Read("folder2"), "20260102");
}

TEST(CleaningChannelsTest, MissingOrEmptyDropFoldersAreSkipped) {
    CleaningRig rig;
    rig.ch(0).dropFolder.clear();
    rig.ch(1).dropFolder = rig.dir.File("nowhere");
    EXPECT_EQ(rig.core->CleanDisk(), kCleaningPeriodMs);
    EXPECT_TRUE(rig.freeSpace.queried.empty());
    EXPECT_FALSE(fs::exists(rig.dir.File("history.log")));
    EXPECT_FALSE(fs::exists(rig.dir.File("folder1")));
    EXPECT_FALSE(fs::exists(rig.dir.File("folder2")));
}

TEST(CleaningChannelsTest, TheDayOfARecordingStillOpenIsNeverDeleted) {
    // A call that began before midnight is still being written into yesterday's folder.
    CoreRig rig(MakeLocal(2026, 1, 9, 23, 59, 0));
    rig.settings.cleaning = 1;
    rig.settings.freeDiskSpace = 500;
    rig.freeSpace.freeBytes = 0;
    rig.ch(0).endOfFile = 600;
    rig.ch(1).folderDate = Date(2026, 1, 8);
    rig.ch(0).folderDate = Date(2026, 1, 8);
    rig.Reload();
    fs::create_directories(DayFolderPath(rig.ch(1).dropFolder, Date(2026, 1, 8)));
    rig.FeedSeconds(120, 8000, 0);
    ASSERT_TRUE(rig.core->recording(Line(0)));
    ASSERT_EQ(rig.clock.Now().date, Date(2026, 1, 10));
    rig.core->CleanDisk();
    EXPECT_TRUE(fs::exists(DayFolderPath(rig.ch(0).dropFolder, Date(2026, 1, 9))));
    EXPECT_FALSE(fs::exists(DayFolderPath(rig.ch(1).dropFolder, Date(2026, 1, 8))));
    EXPECT_EQ(rig.core->folderDate(Line(0)), Date(2026, 1, 9));
    EXPECT_EQ(rig.core->folderDate(Line(1)), Date(2026, 1, 8));
    rig.core->FinishAllRecordings();
    rig.core->CleanDisk();
    EXPECT_FALSE(fs::exists(DayFolderPath(rig.ch(0).dropFolder, Date(2026, 1, 9))));
}

TEST(CleaningChannelsTest, SkippedDaysAreRememberedAcrossAReload) {
    CleaningRig rig;
    rig.ch(0).folderDate = Date(2025, 1, 1);
    rig.Reload();
    rig.ch(1).dropFolder.clear();
    rig.core->CleanDisk();
    EXPECT_EQ(rig.dir.Read("folder1"), "20260110");
    EXPECT_EQ(ReadFolderDateFile(rig.dir.File("folder1")), Date(2026, 1, 10));
}

}  // namespace
}  // namespace pell

namespace pell {
namespace {

TEST(RealServicesTest, FoldersAreMadeWholeAndRemovedWithTheirContents) {
    TempDir dir;
    RealFileSystem fileSystem;
    const std::string day = dir.File("a/b/06.12.2026");
    EXPECT_TRUE(fileSystem.MakeDirectories(day));
    EXPECT_TRUE(fileSystem.MakeDirectories(day)) << "an existing folder is no error";
    dir.Write("a/b/06.12.2026/sub/x.mp3", "x");
    EXPECT_TRUE(fileSystem.Exists(day + "/sub/x.mp3"));
    EXPECT_TRUE(fileSystem.RemoveTree(day));
    EXPECT_FALSE(fileSystem.Exists(day));
    EXPECT_TRUE(fileSystem.Exists(dir.File("a/b")));
    dir.Write("file", "x");
    EXPECT_FALSE(fileSystem.MakeDirectories(dir.File("file"))) << "a file in the way is not a folder";

    DiskFreeSpace freeSpace;
    EXPECT_TRUE(freeSpace.FreeBytes(dir.path()).has_value());
    EXPECT_FALSE(freeSpace.FreeBytes(dir.File("missing/folder")).has_value());
}

}  // namespace
}  // namespace pell
