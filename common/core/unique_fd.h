// One open file descriptor with a single owner. Close reports what close(2) says, because on
// network and full file systems that is where a lost write shows up; the destructor closes too
// but cannot report, so code that wrote through the descriptor calls Close itself.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace pell {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    // open(2) with O_CLOEXEC added; an empty UniqueFd with errno set on failure.
    static UniqueFd Open(const std::string& path, int flags, mode_t mode = 0);

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Gives the descriptor up without closing it.
    int Release() noexcept;
    // Closes once; false with errno set when nothing was open or the system reported a failure.
    bool Close();

    // Every byte, retrying short writes and EINTR; false with errno set (ENOSPC when the system
    // accepted nothing without saying why). Some bytes may have been written on failure.
    bool WriteAll(const void* data, std::size_t size);
    // Up to size bytes, retrying short reads and EINTR until the end of the file; -1 with errno set.
    ssize_t ReadFull(void* data, std::size_t size);

private:
    int fd_ = -1;
};

}  // namespace pell
