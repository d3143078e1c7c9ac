#include "recorder/app/program_folder_lock.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testsupport/temp_dir.h"

namespace pell::recorder {
namespace {

// A second process that holds the folder's lock until it is killed.
pid_t HoldInAnotherProcess(const std::string& folder) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        ProgramFolderLock lock(folder);
        const char result = lock.Take() == ProgramFolderLock::Result::kTaken ? 'y' : 'n';
        [[maybe_unused]] const ssize_t told = ::write(ready[1], &result, 1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char result = 0;
    const bool taken = ::read(ready[0], &result, 1) == 1 && result == 'y';
    ::close(ready[0]);
    return taken ? child : -1;
}

void Stop(pid_t child) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

TEST(ProgramFolderLockTest, ASecondRecorderLearnsWhichProcessHoldsTheFolderUntilItEnds) {
    TempDir dir;
    const pid_t holder = HoldInAnotherProcess(dir.path());
    ASSERT_GT(holder, 0);
    ProgramFolderLock second(dir.path());
    EXPECT_EQ(second.Take(), ProgramFolderLock::Result::kHeldByOther);
    EXPECT_EQ(second.holderPid(), holder);
    EXPECT_FALSE(second.held());
    EXPECT_EQ(dir.Read(kLockFileName), std::to_string(holder) + "\n");

    Stop(holder);  // a crash frees the folder
    EXPECT_EQ(second.Take(), ProgramFolderLock::Result::kTaken);
    EXPECT_TRUE(second.held());
    EXPECT_EQ(dir.Read(kLockFileName), std::to_string(::getpid()) + "\n");
}

TEST(ProgramFolderLockTest, TheLockFileIsOpenToEveryUserOfTheSharedFolder) {
    TempDir dir;
    const mode_t saved = ::umask(077);
    ProgramFolderLock lock(dir.path());
    EXPECT_EQ(lock.Take(), ProgramFolderLock::Result::kTaken);
    ::umask(saved);
    struct stat st {};
    ASSERT_EQ(::stat(lock.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
}

TEST(ProgramFolderLockTest, AFolderThatCannotHoldTheFileIsAFailureWithItsReason) {
    TempDir dir;
    ProgramFolderLock lock(dir.File("no such folder"));
    EXPECT_EQ(lock.Take(), ProgramFolderLock::Result::kFailed);
    EXPECT_EQ(lock.error(), "No such file or directory");
}

}  // namespace
}  // namespace pell::recorder
