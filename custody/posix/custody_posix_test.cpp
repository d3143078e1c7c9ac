#include "custody/posix/custody.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "common/core/paths.h"
#include "custody/core/sha256.h"
#include "custody/core/testing/custody_test_support.h"
#include "custody/posix/posix_custody_files.h"
#include "testsupport/manual_clock.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

TEST(CustodyPosixTest, WritersAtOnceLoseNoEntryAndKeepTheChain) {
    TempDir root;
    const std::string day = root.File("05.03.2026");
    ASSERT_EQ(::mkdir(day.c_str(), 0755), 0);
    constexpr int kThreads = 4;
    constexpr int kEach = 50;
    std::vector<std::thread> writers;
    writers.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                const std::string name = "t" + std::to_string(t).append("-").append(std::to_string(i)).append(".mp3");
                EXPECT_EQ(AppendAudit(root.path(), {"alice", "test", AuditAction::kPlay, JoinPath(day, name), ""}), 0);
                EXPECT_EQ(RecordFiled(day, FiledFacts{name, 1, 2, "Line 1", "0171", 'I', 10}, AudioDigest{}), 0);
            }
        });
    }
    // Meanwhile the manifest is rewritten (erasures), which replaces the file the others lock.
    PosixCustodyFiles files;
    ManualClock clock;
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(NoteGone(files, clock, day, {"gone" + std::to_string(i) + ".mp3"}, GoneReason::kRequest), 0);
    }
    for (std::thread& writer : writers) writer.join();

    const AuditRead audit = ReadAudit(root.path());
    EXPECT_TRUE(audit.check.Intact());
    EXPECT_EQ(audit.entries.size(), static_cast<std::size_t>(kThreads * kEach));
    const ManifestRead manifest = ReadManifest(files, day);
    EXPECT_TRUE(manifest.check.Intact());
    EXPECT_EQ(manifest.check.entries.size(), static_cast<std::size_t>(kThreads * kEach + 20));
    EXPECT_EQ(manifest.records.size(), static_cast<std::size_t>(kThreads * kEach + 20));
}

TEST(CustodyPosixTest, ACrashInTheMiddleOfAnAppendIsReportedAndTheNextAppendGoesOn) {
    TempDir root;
    ASSERT_EQ(AppendAudit(root.path(), {"alice", "test", AuditAction::kPlay, root.File("05.03.2026/a.mp3"), ""}), 0);
    const std::string whole = root.Read("audit.log");
    root.Write("audit.log", whole + whole.substr(0, 50));
    AuditRead read = ReadAudit(root.path());
    EXPECT_TRUE(read.check.Intact());
    EXPECT_TRUE(read.check.tornTail);

    ASSERT_EQ(AppendAudit(root.path(), {"bob", "test", AuditAction::kCopy, root.File("05.03.2026/a.mp3"), ""}), 0);
    read = ReadAudit(root.path());
    EXPECT_TRUE(read.check.Intact());
    EXPECT_FALSE(read.check.tornTail);
    EXPECT_EQ(read.check.interrupted, (std::vector<std::size_t>{2}));
    ASSERT_EQ(read.entries.size(), 2u);
    EXPECT_EQ(read.entries[1].seq, 2u);
    EXPECT_EQ(read.entries[1].user, "bob");
}

TEST(CustodyPosixTest, NewRecordsAreSharedAsTheUmaskAllowsAndKeepTheirModeWhenRewritten) {
    TempDir root;
    const std::string day = root.File("05.03.2026");
    ASSERT_EQ(::mkdir(day.c_str(), 0775), 0);
    root.Write("05.03.2026/a.mp3", test::RecordingBytes("1", "Line 1"));
    const mode_t previous = ::umask(002);
    const HoldResult held = ChangeHolds(HoldRequest{{day + "/a.mp3"}, true, "test", "case 17"});
    ::umask(previous);
    EXPECT_EQ(held.changed, (std::vector<std::string>{day + "/a.mp3"}));
    EXPECT_TRUE(held.failures.empty());
    EXPECT_EQ(ModeOf(day + "/protected.list"), 0664u);
    EXPECT_EQ(ModeOf(root.File("audit.log")), 0664u);
    ASSERT_EQ(::chmod((day + "/protected.list").c_str(), 0660), 0);
    root.Write("05.03.2026/b.mp3", "x");
    // A server names its own user; without one the entry names the OS user.
    EXPECT_EQ(ChangeHolds(HoldRequest{{day + "/b.mp3"}, true, "pell-web", ""}, "anna").changed.size(), 1u);
    EXPECT_EQ(ModeOf(day + "/protected.list"), 0660u);
    EXPECT_TRUE(IsProtected(day + "/a.mp3"));
    EXPECT_TRUE(IsProtected(day + "/b.mp3"));
    const AuditRead audit = ReadAudit(root.path());
    EXPECT_EQ(audit.entries.at(0).detail, "case 17");
    EXPECT_EQ(audit.entries.at(0).user, CurrentUserName());
    EXPECT_EQ(audit.entries.at(1).user, "anna");
    EXPECT_EQ(audit.entries.at(1).program, "pell-web");

    const HoldResult released = ChangeHolds(HoldRequest{{day + "/a.mp3", day + "/b.mp3"}, false, "test", ""});
    EXPECT_EQ(released.changed.size(), 2u);
    EXPECT_FALSE(IsProtected(day + "/a.mp3"));
    struct stat gone {};
    EXPECT_NE(::stat((day + "/protected.list").c_str(), &gone), 0);
}

TEST(CustodyPosixTest, AudioHashIsTheFilesSha256WithoutItsTag) {
    TempDir root;
    const std::string bytes = test::RecordingBytes("0171", "Line 1", 20);
    root.Write("a.mp3", bytes);
    const AudioHashResult hash = HashAudio(root.File("a.mp3"));
    ASSERT_EQ(hash.error, 0);
    EXPECT_EQ(hash.digest.sha256, Sha256Hex(bytes.substr(0, bytes.size() - 128)));
    EXPECT_EQ(HashAudio(root.File("none.mp3")).error, ENOENT);
    EXPECT_EQ(HashAudio(root.path()).error, EISDIR);
}

TEST(CustodyPosixTest, ProtectedRecordingsOutliveCleaningAndTheRestIsVerifiable) {
    TempDir root;
    const std::string day = root.File("05.03.2026");
    ASSERT_EQ(::mkdir(day.c_str(), 0755), 0);
    for (const char* name : {"a.mp3", "b.mp3"}) {
        root.Write(std::string("05.03.2026/") + name, test::RecordingBytes(name, "Line 1"));
        const AudioHashResult hash = HashAudio(day + "/" + name);
        ASSERT_EQ(RecordFiled(day, FiledFacts{name, 1, 2, "Line 1", name, 'I', 10}, hash.digest), 0);
    }
    EXPECT_EQ(VerifyRecording(day + "/a.mp3").text, "verified");
    ASSERT_TRUE(ChangeHolds(HoldRequest{{day + "/b.mp3"}, true, "test", ""}).failures.empty());
    const DayRemoval removal = RemoveDayFolder(day, RemovalReason::kRetention, "PellRecorder");
    EXPECT_TRUE(removal.Complete());
    EXPECT_EQ(removal.kept, (std::vector<std::string>{"b.mp3"}));
    EXPECT_EQ(VerifyRecording(day + "/b.mp3").text, "verified");
    EXPECT_FALSE(CurrentUserName().empty());
    EXPECT_EQ(ReadAudit(root.path()).entries.at(1).program, "PellRecorder");
}

}  // namespace
}  // namespace pell
