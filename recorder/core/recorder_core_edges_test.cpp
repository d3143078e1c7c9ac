// Calls at the edges of the recorder's life: settings reloaded in the middle of a call or just
// before it, a call split across midnight while cleaning runs, a drop folder moved away under a
// running call, the encoder's last bytes on a disk that just filled up, and the steps that make a
// filed call survive a power cut or a crash at the worst moment.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "recorder/core/recording_names.h"
#include "recorder/core/testing/mp3_decode.h"
#include "recorder/core/testing/recorder_fakes.h"

namespace pell {
namespace {

namespace fs = std::filesystem;

std::string TagOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string tag(128, '\0');
    if (!in.seekg(-128, std::ios::end) || !in.read(tag.data(), 128)) return {};
    return tag;
}

std::string TagText(const std::string& tag, size_t at) { return std::string(tag.c_str() + at); }

std::vector<std::string> Mp3FilesIn(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        if (entry.path().extension() == ".mp3") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool Contains(const std::vector<std::string>& texts, const std::string& part) {
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& t) { return t.find(part) != std::string::npos; });
}

// Runs `work` in a child that dies at its end without a destructor or finish, as under SIGKILL.
void InAChildThatDies(const std::function<void()>& work) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        work();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
}

// ---- A reload while a call runs or is about to ------------------------------------------------

struct ReloadCase {
    const char* name;
    double secondsBeforeSeizure;  // of sound kept while the line is idle (the caller-ID burst)
    double reloadAfterSeconds;    // from the seizure; negative: before it
};

void PrintTo(const ReloadCase& c, std::ostream* os) { *os << c.name; }

class ReloadTest : public ::testing::TestWithParam<ReloadCase> {};

TEST_P(ReloadTest, ARunningCallKeepsItsSettingsItsPreRollAndItsOneFile) {
    const ReloadCase& p = GetParam();
    CoreRig rig;
    rig.ch(0).sensitiveControl = LineControl::kLineState;
    rig.ch(0).endOfFile = 1;
    rig.ch(1).exists = false;
    rig.Reload();
    rig.FeedSeconds(p.secondsBeforeSeizure, 9000, 0);
    auto reload = [&] {
        // What the configurator's save brings: every per-call setting changed.
        rig.ch(0).prefix = "z";
        rig.ch(0).description = "New line";
        rig.ch(0).bitrate = 32;
        rig.ch(0).dropFolder = rig.dir.File("elsewhere");
        rig.core->OnSettingsLoaded();
    };
    if (p.reloadAfterSeconds < 0) reload();
    rig.Seize(0);
    for (int block = 0; block < 12; ++block) {
        if (block == static_cast<int>(p.reloadAfterSeconds * 2) && p.reloadAfterSeconds >= 0) reload();
        rig.Feed(8000, 0);
    }
    rig.Release(0);
    rig.FeedSeconds(1, 0, 0);
    ASSERT_FALSE(rig.core->recording(Line(0)));

    ASSERT_EQ(rig.filed.size(), 1u) << "one call, one file";
    const bool before = p.reloadAfterSeconds < 0;
    const std::string expected =
        before ? rig.dir.File("elsewhere/06.12.2026/z0000000.mp3") : rig.dir.File("rec1/06.12.2026/a0000000.mp3");
    EXPECT_EQ(rig.filed[0].path, expected);
    EXPECT_EQ(TagText(TagOf(expected), 33), before ? "New line" : "Sales");
    EXPECT_EQ(DecodeMp3File(expected).rateHz, 8000);
    EXPECT_NEAR(rig.filed[0].seconds, 6, 1);
    // The caller-ID burst before the seizure is still at the start of the temp file.
    const std::string temp = rig.ReadFile(rig.core->TempFilePath(Line(0)));
    ASSERT_GE(temp.size(), 40000u);
    const size_t kept = static_cast<size_t>(std::min(p.secondsBeforeSeizure, 2.5) * 16000);
    EXPECT_NE(temp.substr(40000 - kept, kept), std::string(kept, '\0')) << "the pre-roll was zeroed";
}

INSTANTIATE_TEST_SUITE_P(Table, ReloadTest,
                         ::testing::Values(ReloadCase{"BetweenTheCallerIdAndTheAnswer", 2.5, -1},
                                           ReloadCase{"TwelveSecondsIntoTheCall", 2.5, 3},
                                           ReloadCase{"HalfASecondIntoTheCall", 1, 0.5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReloadTest, TheNextCallTakesTheNewSettings) {
    CoreRig rig;
    LineOneOnly(rig);
    rig.FeedSeconds(2, 8000, 0);
    rig.ch(0).prefix = "z";
    rig.ch(0).description = "New line";
    rig.core->OnSettingsLoaded();
    while (rig.core->recording(Line(0))) rig.Feed(0, 0);
    RecordOnce(rig, 2);
    ASSERT_EQ(rig.filed.size(), 2u);
    EXPECT_EQ(fs::path(rig.filed[1].path).filename(), "z0000001.mp3");
    EXPECT_EQ(TagText(TagOf(rig.filed[1].path), 33), "New line");
}

// ---- Cleaning and a call split across midnight ------------------------------------------------

TEST(CleaningEdgeTest, TheFirstPartOfACallSplitAfterMidnightIsNeverCleanedAway) {
    CoreRig rig(MakeLocal(2026, 1, 9, 23, 59, 40));
    rig.settings.sampleRate = 32000;
    rig.settings.cleaning = 1;
    rig.settings.freeDiskSpace = 500;
    rig.freeSpace.freeBytes = 0;
    rig.ch(0).bitrate = 320;  // 40 KB a second: 1 MiB after about 26 s
    rig.ch(0).maxFileLength = 1;
    rig.ch(0).folderDate =
        std::chrono::year_month_day{std::chrono::year{2026}, std::chrono::month{1}, std::chrono::day{9}};
    LineOneOnly(rig);
    rig.ch(0).endOfFile = 600;
    rig.Reload();
    const std::string yesterday = DayFolderPath(rig.ch(0).dropFolder, MakeLocal(2026, 1, 9).date);
    const std::string today = DayFolderPath(rig.ch(0).dropFolder, MakeLocal(2026, 1, 10).date);
    while (!fs::exists(today)) rig.Feed(8000, 0);
    ASSERT_TRUE(rig.core->recording(Line(0)));
    rig.core->CleanDisk();
    EXPECT_TRUE(fs::exists(yesterday + "/a0000000.mp3")) << "part 1 of the running call was deleted";
    rig.core->FinishAllRecordings();
    EXPECT_TRUE(rig.notifier.shown.empty()) << ::testing::PrintToString(rig.notifier.shown);
    ASSERT_EQ(rig.filed.size(), 2u);
    for (const FiledRecording& f : rig.filed) EXPECT_EQ(TagOf(f.path).substr(0, 3), "TAG") << f.path;
}

// ---- The drop folder moved, replaced or deleted under a running call -------------------------

enum class FolderFate { kMoved, kReplaced, kDeleted };

struct FolderCase {
    const char* name;
    FolderFate fate;
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }

class MovedFolderTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(MovedFolderTest, TheUserIsToldWhereTheSoundWentAndTheNextCallCountsOnlyItself) {
    const FolderCase& p = GetParam();
    CoreRig rig;
    LineOneOnly(rig);
    const std::string drop = rig.ch(0).dropFolder;
    rig.FeedSeconds(4, 8000, 0);
    if (p.fate == FolderFate::kDeleted) {
        fs::remove_all(drop);
    } else {
        fs::rename(drop, rig.dir.File("moved"));
        if (p.fate == FolderFate::kReplaced) fs::create_directories(drop + "/06.12.2026");
    }
    rig.FeedSeconds(4, 8000, 0);
    while (rig.core->recording(Line(0))) rig.Feed(0, 0);

    ASSERT_EQ(rig.notifier.shown.size(), 1u);
    const std::string& told = rig.notifier.shown[0];
    EXPECT_EQ(told.find("was not recorded"), std::string::npos) << told;
    const std::string moved = rig.dir.File("moved/06.12.2026/a0000000.mp3");
    if (p.fate == FolderFate::kDeleted) {
        EXPECT_NE(told.find("was deleted while it was written; 9 seconds of the call are lost"), std::string::npos)
            << told;
        EXPECT_TRUE(rig.filed.empty());
    } else {
        EXPECT_NE(told.find("9 seconds of the call are in " + moved), std::string::npos) << told;
        ASSERT_EQ(rig.filed.size(), 1u);
        EXPECT_EQ(rig.filed[0].path, moved);
        EXPECT_EQ(rig.filed[0].seconds, 9u);
        EXPECT_EQ(TagText(TagOf(moved), 3), rig.caller.number);
        EXPECT_FALSE(fs::exists(drop + "/06.12.2026/a0000000.mp3")) << "nothing is made where the call was";
    }
    // The next call is numbered on and counts its own seconds only.
    rig.filed.clear();
    RecordOnce(rig, 2);
    ASSERT_EQ(rig.filed.size(), 1u);
    EXPECT_EQ(rig.filed[0].path, drop + "/06.12.2026/a0000001.mp3");
    EXPECT_EQ(rig.filed[0].seconds, 3u);
}

INSTANTIATE_TEST_SUITE_P(Table, MovedFolderTest,
                         ::testing::Values(FolderCase{"Moved", FolderFate::kMoved},
                                           FolderCase{"ReplacedByAnEmptyFolder", FolderFate::kReplaced},
                                           FolderCase{"Deleted", FolderFate::kDeleted}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- A full disk at the end of a call -----------------------------------------------------------

TEST(FullDiskEdgeTest, TheEncodersLastBytesNeverMakeARecordingOfTheirOwn) {
    CoreRig rig;
    LineOneOnly(rig);
    rig.fileSystem.failWriteMatching = ".mp3";
    rig.fileSystem.failFirstWrite = 5;  // the disk is full from the fifth block on
    rig.FeedSeconds(6, 8000, 0);
    rig.fileSystem.failFirstWrite = 0;  // cutting the part back freed a page
    rig.core->FinishAllRecordings();
    const std::vector<std::string> files = Mp3FilesIn(rig.ch(0).dropFolder);
    ASSERT_EQ(files.size(), 1u) << ::testing::PrintToString(files);
    ASSERT_EQ(rig.filed.size(), 1u);
    EXPECT_EQ(rig.filed[0].seconds, 2u) << "what is on disk, not the blocks of the call";
}

// ---- What makes a filed call durable --------------------------------------------------------

TEST(DurabilityTest, EveryPartAndItsTagReachTheDiskBeforeTheJournalGoes) {
    CoreRig rig;
    rig.settings.sampleRate = 32000;
    rig.ch(0).bitrate = 320;
    rig.ch(0).maxFileLength = 1;
    LineOneOnly(rig);
    RecordOnce(rig, 40);
    ASSERT_EQ(rig.filed.size(), 2u);
    const std::vector<std::string>& events = rig.fileSystem.events;
    const auto journalRemoved = std::find(events.begin(), events.end(), "remove " + rig.core->JournalPath(Line(0)));
    ASSERT_NE(journalRemoved, events.end());
    for (const FiledRecording& f : rig.filed) {
        EXPECT_EQ(std::count(events.begin(), journalRemoved, "sync " + f.path), 1) << f.path;
    }
}

TEST(DurabilityTest, ACrashBetweenMakingAPartAndJournallingItLeavesNoEmptyFile) {
    CoreRig rig;
    LineOneOnly(rig);
    InAChildThatDies([&] {
        rig.fileSystem.afterOpening = [](const std::string& path) {
            if (path.size() > 4 && path.compare(path.size() - 4, 4, ".mp3") == 0) _exit(0);
        };
        rig.FeedSeconds(1, 8000, 0);
    });
    // A crash inside a state file's replacement leaves its temporary; the configurator's own stay.
    rig.dir.Write("channel1.tmp-a1b2c3", "7");
    rig.dir.Write("settings.ini.tmp-a1b2c3", "[common]");
    rig.Reload();
    rig.core->RecoverUnfinishedRecordings();
    EXPECT_TRUE(Mp3FilesIn(rig.ch(0).dropFolder).empty());
    EXPECT_FALSE(fs::exists(rig.core->JournalPath(Line(0))));
    EXPECT_FALSE(fs::exists(rig.dir.File("channel1.tmp-a1b2c3")));
    EXPECT_TRUE(fs::exists(rig.dir.File("settings.ini.tmp-a1b2c3")));
    EXPECT_TRUE(rig.filed.empty());
}

TEST(DurabilityTest, AJournalThatCannotBeRemovedDoesNotFileTheCallTwice) {
    CoreRig rig;
    LineOneOnly(rig);
    rig.fileSystem.failRemoveMatching = ".journal";
    rig.fileSystem.failRemoveCount = 1;
    RecordOnce(rig, 3);
    ASSERT_EQ(rig.filed.size(), 1u);
    EXPECT_TRUE(Contains(rig.notifier.shown, "could not be removed; it is marked as filed"));
    ASSERT_TRUE(fs::exists(rig.core->JournalPath(Line(0))));

    rig.notifier.logged.clear();
    rig.ch(0).fileCounter = ReadCounterFile(rig.dir.File("channel1"));
    rig.Reload();
    EXPECT_EQ(rig.core->RecoverUnfinishedRecordings(), 0);
    EXPECT_EQ(rig.filed.size(), 1u);
    EXPECT_FALSE(Contains(rig.notifier.logged, "has been finished"));
    EXPECT_FALSE(fs::exists(rig.core->JournalPath(Line(0))));
    RecordOnce(rig, 1);
    EXPECT_EQ(fs::path(rig.filed.back().path).filename(), "a0000001.mp3");
}

TEST(DurabilityTest, ARecoveredCallGetsNoCallerWhenItsOwnTempFileCouldNotBeMade) {
    for (const bool tempMade : {true, false}) {
        SCOPED_TRACE(tempMade ? "temp file made" : "temp file not made");
        CoreRig rig;
        LineOneOnly(rig);
        RecordOnce(rig, 2);  // the previous call: its caller stays in the temp file
        InAChildThatDies([&] {
            if (!tempMade) {
                rig.fileSystem.failOpenMatching = "wave2.out";
                rig.fileSystem.failOpenCount = 1;
            }
            rig.FeedSeconds(3, 8000, 0);
        });
        rig.caller = {"5551234", 'I'};
        rig.ch(0).fileCounter = ReadCounterFile(rig.dir.File("channel1"));
        rig.Reload();
        ASSERT_EQ(rig.core->RecoverUnfinishedRecordings(), 1);
        const std::string tag = TagOf(rig.filed.back().path);
        EXPECT_EQ(TagText(tag, 3), tempMade ? "5551234" : "");
        EXPECT_EQ(tag[95], tempMade ? 'I' : 'U');
    }
}

}  // namespace
}  // namespace pell
