#include "common/core/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "testsupport/temp_dir.h"

namespace pell {
namespace {

TEST(UniqueFdTest, OwnsOneDescriptorThroughMovesAndReportsClose) {
    TempDir dir;
    const std::string path = dir.path() + "/file";
    UniqueFd first = UniqueFd::Open(path, O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_TRUE(first);
    const int fd = first.Get();
    EXPECT_TRUE((::fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0);

    UniqueFd second = std::move(first);
    EXPECT_FALSE(first);  // NOLINT(bugprone-use-after-move): a moved-from owner holds nothing
    EXPECT_EQ(second.Get(), fd);
    ASSERT_TRUE(second.WriteAll("abc", 3));
    EXPECT_TRUE(second.Close());
    EXPECT_FALSE(second);
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "the descriptor is closed";
    errno = 0;
    EXPECT_FALSE(second.Close()) << "a second close reports that nothing was open";
    EXPECT_EQ(errno, EBADF);

    UniqueFd reader = UniqueFd::Open(path, O_RDONLY);
    char bytes[8] = {};
    EXPECT_EQ(reader.ReadFull(bytes, sizeof bytes), 3) << "a short file reads to its end";
    EXPECT_EQ(std::string(bytes, 3), "abc");
}

TEST(UniqueFdTest, FailuresKeepTheSystemsReason) {
    UniqueFd missing = UniqueFd::Open("/nonexistent-folder/file", O_RDONLY);
    EXPECT_FALSE(missing);
    EXPECT_EQ(errno, ENOENT);

    UniqueFd full = UniqueFd::Open("/dev/full", O_WRONLY);
    if (!full) GTEST_SKIP() << "no /dev/full";
    EXPECT_FALSE(full.WriteAll("x", 1));
    EXPECT_EQ(errno, ENOSPC);
}

}  // namespace
}  // namespace pell
