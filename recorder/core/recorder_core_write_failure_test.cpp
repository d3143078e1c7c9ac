// A call on the line is a call on the disk, or somebody is told: writes that fail through the
// seam and on real disks (a full tmpfs, a file size limit, a read-only folder, a file where the
// drop folder should be), and recordings cut by a crash, finished at the next start.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// What is on disk afterwards: every reported file exists, plays without error, carries the
// caller's tag, and the counter has moved once per file.
void ExpectFiledFilesPlayAndAreTagged(CoreRig& rig, size_t expectedFiles) {
    ASSERT_EQ(rig.filed.size(), expectedFiles);
    for (const FiledRecording& f : rig.filed) {
        SCOPED_TRACE(f.path);
        ASSERT_TRUE(fs::exists(f.path));
        const DecodedMp3 mp3 = DecodeMp3File(f.path);
        EXPECT_FALSE(mp3.decodeError);
        EXPECT_GT(mp3.samplesDecoded, 0);
        if (mp3.hasInfoFrame) {
            EXPECT_NEAR(static_cast<double>(mp3.lengthFromHeader), static_cast<double>(mp3.samplesDecoded), 1152);
        }
        const std::string tag = TagOf(f.path);
        ASSERT_EQ(tag.substr(0, 3), "TAG");
        EXPECT_EQ(tag.substr(3, rig.caller.number.size()), rig.caller.number);
    }
    EXPECT_EQ(rig.core->fileCounter(Line(0)), expectedFiles);
    EXPECT_EQ(rig.dir.Read("channel1"), expectedFiles > 0 ? std::to_string(expectedFiles) : "");
    EXPECT_FALSE(fs::exists(rig.core->JournalPath(Line(0)))) << "a finished recording leaves no journal";
}

size_t Mp3FilesIn(const std::string& folder) {
    size_t count = 0;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error))
        count += entry.path().extension() == ".mp3";
    return count;
}

// ---- Faults through the seam ----------------------------------------------------------------

struct SeamFaultCase {
    const char* name;
    std::string failing;    // path text of the files whose writes fail
    int firstFailingWrite;  // from 1; the recording writes one block per half second
    int failingWrites;
    int failingCloses;
    size_t expectedFiles;
    std::vector<std::string> expectedMessageStarts;
};

void PrintTo(const SeamFaultCase& c, std::ostream* os) { *os << c.name; }

class SeamFaultTest : public ::testing::TestWithParam<SeamFaultCase> {};

TEST_P(SeamFaultTest, AFailedWriteKeepsWhatPlaysTellsOnceAndFilesOnlyWhatIsOnDisk) {
    const SeamFaultCase& p = GetParam();
    CoreRig rig;
    LineOneOnly(rig);
    rig.fileSystem.failWriteMatching = p.failing;
    rig.fileSystem.failFirstWrite = p.firstFailingWrite;
    rig.fileSystem.failWriteCount = p.failingWrites;
    rig.fileSystem.failCloseMatching = p.failing;
    rig.fileSystem.failCloseCount = p.failingCloses;
    RecordOnce(rig, 8);

    ExpectFiledFilesPlayAndAreTagged(rig, p.expectedFiles);
    EXPECT_EQ(Mp3FilesIn(rig.ch(0).dropFolder), p.expectedFiles) << "no empty or unreported file is left behind";
    ASSERT_EQ(rig.notifier.shown.size(), p.expectedMessageStarts.size());
    for (size_t i = 0; i < p.expectedMessageStarts.size(); ++i) {
        EXPECT_EQ(rig.notifier.shown[i].rfind(p.expectedMessageStarts[i], 0), 0u) << rig.notifier.shown[i];
    }
    EXPECT_EQ(rig.notifier.logged, rig.notifier.shown) << "every message is also a log line";

    // The next call on a healthy disk is filed as usual and told nothing new.
    rig.fileSystem.failFirstWrite = 0;
    rig.filed.clear();
    const size_t told = rig.notifier.shown.size();
    RecordOnce(rig, 1);
    ASSERT_EQ(rig.filed.size(), 1u);
    EXPECT_FALSE(DecodeMp3File(rig.filed[0].path).decodeError);
    EXPECT_EQ(rig.notifier.shown.size(), told);
}

const char kLost[] = "Line 1: the recording ";
// Said at the load already, before a call is lost to it.
const char kNotAFolder[] = "The drop folder \"";
const char kNotRecorded[] = "Line 1: the call was not recorded";
const char kTagLost[] = "Line 1: the caller could not be added";
const char kCallerIdLost[] = "Line 1: the caller ID file ";

INSTANTIATE_TEST_SUITE_P(Table, SeamFaultTest,
                         ::testing::Values(SeamFaultCase{"DiskFullFromTheFirstByte", ".mp3", 1, 1 << 30, 0, 0, {kLost}},
                                           SeamFaultCase{"SpaceReturnsMidCall", ".mp3", 5, 4, 0, 2, {kLost}},
                                           SeamFaultCase{"CloseLosesData", ".mp3", 0, 0, 1, 1, {kLost}},
                                           SeamFaultCase{
                                               "TempFileFull", "wave2.out", 3, 1 << 30, 0, 1, {kCallerIdLost}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SeamFaultTest, ATagThatCannotBeAppendedIsCutBackAndTold) {
    CoreRig rig;
    LineOneOnly(rig);
    rig.FeedSeconds(2, 8000, 0);
    // Every write from now on fails: the last blocks and the tag.
    rig.fileSystem.failWriteMatching = ".mp3";
    rig.fileSystem.failFirstWrite = 1;
    while (rig.core->recording(Line(0))) rig.Feed(0, 0);
    ASSERT_EQ(rig.filed.size(), 1u);
    EXPECT_NE(TagOf(rig.filed[0].path).substr(0, 3), "TAG");
    EXPECT_FALSE(DecodeMp3File(rig.filed[0].path).decodeError) << "no half tag is left to be read as sound";
    ASSERT_EQ(rig.notifier.shown.size(), 2u);
    EXPECT_EQ(rig.notifier.shown[0].rfind(kLost, 0), 0u);
    EXPECT_EQ(rig.notifier.shown[1].rfind(kTagLost, 0), 0u);
}

TEST(SeamFaultTest, AFailingCounterOrJournalIsToldOnceUntilItWorksAgain) {
    CoreRig rig;
    LineOneOnly(rig);
    rig.fileSystem.failWholeMatching = rig.dir.path();  // the program folder is read-only
    rig.fileSystem.failWholeCount = 1 << 30;
    for (int call = 0; call < 3; ++call) RecordOnce(rig, 1);
    EXPECT_EQ(rig.filed.size(), 3u) << "the calls themselves are filed";
    ASSERT_EQ(rig.notifier.shown.size(), 2u) << "journal and counter, each told once";
    EXPECT_EQ(rig.notifier.shown[0].rfind("The recording journal ", 0), 0u);
    EXPECT_EQ(rig.notifier.shown[1].rfind("The counter file ", 0), 0u);
    rig.fileSystem.failWholeCount = 0;
    RecordOnce(rig, 1);
    EXPECT_EQ(rig.dir.Read("channel1"), "4");
    rig.fileSystem.failWholeCount = 1 << 30;
    RecordOnce(rig, 1);
    EXPECT_EQ(rig.notifier.shown.size(), 4u) << "a file that worked again and fails again is told again";
}

// ---- Real disks -------------------------------------------------------------------------------

enum class Disk { kFullTmpfs, kFileSizeLimit, kReadOnlyFolder, kFileInPlaceOfFolder };

struct RealDiskCase {
    const char* name;
    Disk disk;
    bool needsRoot;
    size_t expectedFiles;  // -1: at least one
    std::vector<std::string> expectedMessageStarts;
};

void PrintTo(const RealDiskCase& c, std::ostream* os) { *os << c.name; }

class RealDiskTest : public ::testing::TestWithParam<RealDiskCase> {};

// Restores the file size limit and the signal it raises.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
    }
    rlimit saved{};
    void (*previous)(int) = nullptr;
};

TEST_P(RealDiskTest, WhatIsOnDiskPlaysAndIsReportedAndTheUserIsTold) {
    const RealDiskCase& p = GetParam();
    if (p.needsRoot && geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    CoreRig rig;
    rig.ch(0).bitrate = 64;  // 8 KB of MP3 a second
    const std::string drop = rig.ch(0).dropFolder;
    bool mounted = false;
    // Unmounted before the test folder goes, whatever the test's outcome.
    struct Unmount {
        const std::string& path;
        const bool& mounted;
        ~Unmount() {
            if (mounted) ::umount2(path.c_str(), MNT_DETACH);
        }
    } unmount{drop, mounted};
    if (p.disk == Disk::kFullTmpfs || (p.disk == Disk::kReadOnlyFolder && geteuid() == 0)) {
        const char* options = p.disk == Disk::kFullTmpfs ? "size=192k" : "size=64k";
        if (::mount("tmpfs", drop.c_str(), "tmpfs", 0, options) != 0) GTEST_SKIP() << "tmpfs cannot be mounted here";
        mounted = true;
        if (p.disk == Disk::kReadOnlyFolder) ::mount(nullptr, drop.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr);
    } else if (p.disk == Disk::kReadOnlyFolder) {
        fs::permissions(drop, fs::perms::owner_read | fs::perms::owner_exec);
    } else if (p.disk == Disk::kFileInPlaceOfFolder) {
        fs::remove_all(drop);
        std::ofstream(drop) << "not a folder";
    }
    LineOneOnly(rig);

    if (p.disk == Disk::kFullTmpfs) {
        // 100 KB left: the call fills it after about 12 s; at 20 s space returns.
        std::ofstream(drop + "/filler").write(std::string(92 * 1024, 'x').data(), 92 * 1024);
        rig.FeedSeconds(20, 8000, 0);
        fs::remove(drop + "/filler");
        RecordOnce(rig, 10);
    } else if (p.disk == Disk::kFileSizeLimit) {
        FileSizeLimit limit(40 * 1024);
        RecordOnce(rig, 12);
    } else {
        RecordOnce(rig, 4);
    }

    if (p.expectedFiles == static_cast<size_t>(-1)) {
        EXPECT_GE(rig.filed.size(), 2u) << "every limit reached starts a new part";
        ExpectFiledFilesPlayAndAreTagged(rig, rig.filed.size());
    } else {
        ExpectFiledFilesPlayAndAreTagged(rig, p.expectedFiles);
    }
    ASSERT_EQ(rig.notifier.shown.size(), p.expectedMessageStarts.size());
    for (size_t i = 0; i < p.expectedMessageStarts.size(); ++i) {
        EXPECT_EQ(rig.notifier.shown[i].rfind(p.expectedMessageStarts[i], 0), 0u) << rig.notifier.shown[i];
    }
    EXPECT_EQ(rig.notifier.logged, rig.notifier.shown);
    if (p.disk == Disk::kReadOnlyFolder && !mounted) fs::permissions(drop, fs::perms::owner_all);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RealDiskTest,
    ::testing::Values(
        RealDiskCase{"FullTmpfsThenSpaceReturns", Disk::kFullTmpfs, true, 2, {kLost}},
        // The temp file (raw sound) reaches the limit first, and is told too.
        RealDiskCase{"FileSizeLimit", Disk::kFileSizeLimit, false, static_cast<size_t>(-1), {kCallerIdLost, kLost}},
        RealDiskCase{"ReadOnlyDropFolder", Disk::kReadOnlyFolder, false, 0, {kLost}},
        RealDiskCase{"FileInPlaceOfTheDropFolder", Disk::kFileInPlaceOfFolder, false, 0, {kNotAFolder, kLost}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- A crash in the middle of a call --------------------------------------------------------

struct CrashCase {
    const char* name;
    int32_t sampleRate;
    int32_t bitrate;
    int32_t maxFileLength;
    double secondsBeforeCrash;  // 0: cut after the file was made, before its first byte
    size_t expectedParts;
    bool tornLastWrite = false;  // a power cut left part of a frame at the end
    size_t zeroHoleBytes = 0;    // a power cut left zeros a third of the way into the part
};

void PrintTo(const CrashCase& c, std::ostream* os) { *os << c.name; }

class CrashRecoveryTest : public ::testing::TestWithParam<CrashCase> {};

TEST_P(CrashRecoveryTest, TheNextStartFinishesTagsAndCountsTheCutRecording) {
    const CrashCase& p = GetParam();
    CoreRig rig;
    rig.settings.sampleRate = p.sampleRate;
    rig.ch(0).bitrate = p.bitrate;
    rig.ch(0).maxFileLength = p.maxFileLength;
    LineOneOnly(rig);

    // The child records and dies without a single destructor or finish, as under SIGKILL.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (p.secondsBeforeCrash == 0) {
            rig.core->StartEncoding(Line(0));
            rig.core->OpenRecordingFile(Line(0));
        } else {
            const std::vector<int16_t> block = ToneBlock(static_cast<size_t>(p.sampleRate / 2), 8000, 0);
            for (int i = 0; i < static_cast<int>(p.secondsBeforeCrash * 2); ++i) {
                rig.core->ProcessBlock(block.data(), block.size());
                rig.clock.AdvanceMs(500);
            }
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(fs::exists(rig.core->JournalPath(Line(0)))) << "the journal outlives the crash";
    const std::string cut = rig.dir.File("rec1/06.12.2026/a0000000.mp3");
    uint64_t wholeBytes = 0;
    if (p.tornLastWrite) {
        wholeBytes = fs::file_size(cut);
        const std::string bytes = rig.ReadFile(cut);
        std::ofstream(cut, std::ios::app | std::ios::binary) << bytes.substr(bytes.size() - 100, 40);
    }
    if (p.zeroHoleBytes > 0) {
        wholeBytes = fs::file_size(cut);
        std::fstream file(cut, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(wholeBytes / 3));
        file.write(std::string(p.zeroHoleBytes, '\0').data(), static_cast<std::streamsize>(p.zeroHoleBytes));
    }

    rig.caller = {"5551234", 'I'};
    rig.ch(0).fileCounter = ReadCounterFile(rig.dir.File("channel1"));  // as the next start loads it
    rig.Reload();
    EXPECT_EQ(rig.core->RecoverUnfinishedRecordings(), 1);
    ExpectFiledFilesPlayAndAreTagged(rig, p.expectedParts);
    EXPECT_EQ(Mp3FilesIn(rig.ch(0).dropFolder), p.expectedParts);
    ASSERT_EQ(rig.notifier.logged.size(), 1u);
    EXPECT_NE(rig.notifier.logged[0].find("has been finished"), std::string::npos) << rig.notifier.logged[0];
    EXPECT_TRUE(rig.notifier.shown.empty()) << "a recovery is logged, not a box";
    EXPECT_EQ(rig.core->RecoverUnfinishedRecordings(), 0) << "finished once";
    if (p.tornLastWrite) {
        EXPECT_EQ(fs::file_size(cut), wholeBytes + 128) << "the torn frame is cut before the tag";
    }
    if (p.zeroHoleBytes > 0) {
        // The hole and the frames it broke go; every frame after it stays.
        EXPECT_LT(fs::file_size(cut), wholeBytes + 128 - p.zeroHoleBytes + 1);
        EXPECT_GT(fs::file_size(cut), wholeBytes + 128 - p.zeroHoleBytes - size_t{2048});
        EXPECT_GT(DecodeMp3File(cut).samplesDecoded, static_cast<int64_t>(p.secondsBeforeCrash * p.sampleRate * 0.8));
    }
    // Listed when the call ended, not at this start: the journal's start plus the sound's length.
    if (p.expectedParts > 0) {
        const std::time_t start = ToTimeT(MakeLocal(2026, 12, 6, 10, 0, 0));
        struct stat st {};
        ASSERT_EQ(::stat(rig.filed.back().path.c_str(), &st), 0);
        const std::time_t modified = st.st_mtime;
        EXPECT_NEAR(static_cast<double>(modified - start), p.secondsBeforeCrash, 2.0) << rig.filed.back().path;
    }

    // The next call takes the next number.
    rig.filed.clear();
    RecordOnce(rig, 1);
    ASSERT_EQ(rig.filed.size(), 1u);
    EXPECT_NE(rig.filed[0].path.find(p.expectedParts == 0 ? "a0000000.mp3"
                                                          : "a000000" + std::to_string(p.expectedParts) + ".mp3"),
              std::string::npos)
        << rig.filed[0].path;
}

INSTANTIATE_TEST_SUITE_P(Table, CrashRecoveryTest,
                         ::testing::Values(CrashCase{"MidCall", 8000, 24, 0, 6, 1},
                                           CrashCase{"MidSplitCall", 32000, 320, 1, 30, 2},
                                           CrashCase{"BeforeTheFirstByte", 8000, 24, 0, 0, 0},
                                           CrashCase{"TornLastWrite", 16000, 32, 0, 5, 1, true},
                                           CrashCase{"ZeroHoleInTheMiddle", 8000, 24, 0, 12, 1, false, 4096}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pell
