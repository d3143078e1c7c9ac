#include "player/catalogue/record_copy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "player/catalogue/catalogue_test_support.h"
#include "testsupport/scoped_limits.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

int FilesIn(const std::string& folder) {
    int files = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(folder)) ++files;
    return files;
}

TEST(SendToFolderTest, RemembersTheFolderAloneWithoutALineEnd) {
    TempDir dir;
    EXPECT_EQ(ReadSendToFolder(dir.path()), "") << "no sendto.ini means no remembered folder";
    const std::string folders[] = {"/mnt/usb stick", "/", "/home/op/calls/"};
    for (const std::string& folder : folders) {
        ASSERT_TRUE(WriteSendToFolder(dir.path(), folder));
        EXPECT_EQ(dir.Read("sendto.ini"), folder);
        EXPECT_EQ(ReadSendToFolder(dir.path()), folder);
    }
    dir.Write("sendto.ini", "/first\r\n/second\r\n");
    EXPECT_EQ(ReadSendToFolder(dir.path()), "/first");
    EXPECT_FALSE(WriteSendToFolder(dir.File("gone"), "/x"));
}

TEST(CopyTargetPathTest, OneSeparatorBetweenFolderAndFileName) {
    const struct {
        std::string folder;
        std::string target;
    } cases[] = {
        {"/mnt/usb", "/mnt/usb/a0000007.mp3"},
        {"/mnt/usb/", "/mnt/usb/a0000007.mp3"},
        {"/", "/a0000007.mp3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CopyTargetPath(c.folder, "/srv/rec/05.12.2026/a0000007.mp3"), c.target) << c.folder;
    }
}

TEST(CheckCopyTargetTest, TellsWhatIsInTheTargetsWay) {
    TempDir dir;
    dir.Write("day/call.mp3", "audio");
    dir.Write("other/call.mp3", "older");
    std::filesystem::create_directories(dir.File("folder/call.mp3"));
    std::filesystem::create_directories(dir.File("linked"));
    std::filesystem::create_hard_link(dir.File("day/call.mp3"), dir.File("linked/call.mp3"));
    std::filesystem::create_directories(dir.File("symlinked"));
    std::filesystem::create_symlink(dir.File("day/call.mp3"), dir.File("symlinked/call.mp3"));
    const std::string source = dir.File("day/call.mp3");
    const struct {
        std::string target;
        CopyCheck check;
    } cases[] = {
        {dir.File("empty/call.mp3"), CopyCheck::kCopy},
        {dir.File("other/call.mp3"), CopyCheck::kAskReplace},
        {source, CopyCheck::kSameFile},
        {dir.File("other/../day/call.mp3"), CopyCheck::kSameFile},
        {dir.File("linked/call.mp3"), CopyCheck::kSameFile},
        {dir.File("symlinked/call.mp3"), CopyCheck::kSameFile},
        {dir.File("folder/call.mp3"), CopyCheck::kTargetIsFolder},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckCopyTarget(source, c.target), c.check) << c.target;
}

class CopyRecordFileTest : public testing::Test {
protected:
    void SetUp() override {
        dir_.Write("day/call.mp3", std::string(200000, 'a') + "end");
        ::chmod(Source().c_str(), 0640);
        test::SetLastWrite(Source(), 1733400000, 123456789);
        std::filesystem::create_directories(dir_.File("usb"));
    }
    std::string Source() const { return dir_.File("day/call.mp3"); }
    std::string Target() const { return dir_.File("usb/call.mp3"); }
    TempDir dir_;
};

TEST_F(CopyRecordFileTest, CopyHasTheSourcesBytesModeAndLastWriteTime) {
    for (const bool replacing : {false, true}) {
        if (replacing) dir_.Write("usb/call.mp3", "an older file of that name");
        const CopyResult result = CopyRecordFile(Source(), Target());
        ASSERT_TRUE(result.copied) << result.reason;
        EXPECT_EQ(dir_.Read("usb/call.mp3"), dir_.Read("day/call.mp3"));
        const struct timespec written = test::LastWrite(Target());
        EXPECT_EQ(written.tv_sec, 1733400000);
        EXPECT_EQ(written.tv_nsec, 123456789);
        struct stat status {};
        ASSERT_EQ(::stat(Target().c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0640u);
        EXPECT_EQ(FilesIn(dir_.File("usb")), 1) << "no temporary file stays behind";
    }
}

TEST_F(CopyRecordFileTest, FailedCopyRemovesThePartAndKeepsTheOldTarget) {
    const struct {
        const char* name;
        std::function<CopyResult()> copy;
    } cases[] = {
        {"disk full",
         [&] {
             const test::ScopedFileSizeLimit full(65536);
             return CopyRecordFile(Source(), Target());
         }},
        {"cancelled",
         [&] { return CopyRecordFile(Source(), Target(), [](int64_t done, int64_t) { return done < 100000; }); }},
        {"source gone", [&] { return CopyRecordFile(dir_.File("day/gone.mp3"), Target()); }},
        {"no permission",
         [&] {
             ::chmod(dir_.File("usb").c_str(), 0555);
             ::chmod(dir_.path().c_str(), 0755);
             ::chmod(dir_.File("day").c_str(), 0755);
             ::chmod(Source().c_str(), 0644);
             const test::ScopedUnprivilegedUser nobody;
             CopyResult result = CopyRecordFile(Source(), Target());
             ::chmod(dir_.File("usb").c_str(), 0755);
             return result;
         }},
    };
    for (const auto& c : cases) {
        dir_.Write("usb/call.mp3", "an older file of that name");
        const CopyResult failed = c.copy();
        EXPECT_FALSE(failed.copied) << c.name;
        EXPECT_FALSE(failed.reason.empty()) << c.name;
        EXPECT_EQ(dir_.Read("usb/call.mp3"), "an older file of that name") << c.name;
        EXPECT_EQ(FilesIn(dir_.File("usb")), 1) << c.name << ": the partial copy is removed";
    }
}

}  // namespace
}  // namespace pell
