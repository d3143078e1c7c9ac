#include "common/core/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

// Every system call goes through this, so a test can compile the file against scripted answers.
#ifndef PELL_SYSTEM_CALL
#define PELL_SYSTEM_CALL(call) ::call
#endif

namespace pell {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) PELL_SYSTEM_CALL(close)(fd_);
        fd_ = other.Release();
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) PELL_SYSTEM_CALL(close)(fd_);
}

UniqueFd UniqueFd::Open(const std::string& path, int flags, mode_t mode) {
    return UniqueFd(PELL_SYSTEM_CALL(open)(path.c_str(), flags | O_CLOEXEC, mode));
}

int UniqueFd::Release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

bool UniqueFd::Close() {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    // Linux releases the descriptor even when close fails, so it is never closed twice.
    return PELL_SYSTEM_CALL(close)(Release()) == 0;
}

bool UniqueFd::WriteAll(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = PELL_SYSTEM_CALL(write)(fd_, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

ssize_t UniqueFd::ReadFull(void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = PELL_SYSTEM_CALL(read)(fd_, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace pell
