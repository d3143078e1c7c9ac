#include "player/catalogue/record_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace pell {

RecordFile::RecordFile(const std::string& path, Mode mode) {
    // Non-blocking so that opening a FIFO that happens to be named *.mp3 cannot hang the list.
    const int flags = (mode == Mode::Read ? O_RDONLY : O_RDWR) | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(path.c_str(), flags);
    if (fd < 0) return;
    if (::fstat(fd, &status_) != 0 || !S_ISREG(status_.st_mode)) {
        ::close(fd);
        return;
    }
    fd_ = fd;
}

RecordFile::~RecordFile() {
    if (fd_ >= 0) ::close(fd_);
}

RecordFile::RecordFile(RecordFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), status_(other.status_) {}

RecordFile& RecordFile::operator=(RecordFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        status_ = other.status_;
    }
    return *this;
}

bool RecordFile::ReadExactly(int64_t offset, void* out, std::size_t count) const {
    auto* cursor = static_cast<char*>(out);
    while (count > 0) {
        const ssize_t n = ::pread(fd_, cursor, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        cursor += n;
        offset += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

bool RecordFile::WriteExactly(int64_t offset, const void* data, std::size_t count) const {
    const auto* cursor = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t n = ::pwrite(fd_, cursor, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        cursor += n;
        offset += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

std::size_t FileRecordBytes::ReadAt(int64_t offset, std::span<uint8_t> out) const {
    const int64_t length = Length();
    if (offset < 0 || offset >= length) return 0;
    std::size_t wanted = out.size();
    if (static_cast<int64_t>(wanted) > length - offset) wanted = static_cast<std::size_t>(length - offset);
    std::size_t done = 0;
    while (done < wanted) {
        const ssize_t n = ::pread(file_.Descriptor(), out.data() + done, wanted - done,
                                  static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace pell
