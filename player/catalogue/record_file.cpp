#include "player/catalogue/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace pell {

RecordFile::RecordFile(const std::string& path, Mode mode) {
    // Non-blocking so that opening a FIFO that happens to be named *.mp3 cannot hang the list.
    UniqueFd file = UniqueFd::Open(path, (mode == Mode::kRead ? O_RDONLY : O_RDWR) | O_NONBLOCK);
    struct stat status {};
    if (!file || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) return;
    file_ = std::move(file);
    length_ = static_cast<int64_t>(status.st_size);
    lastWrite_ = FileTime{static_cast<int64_t>(status.st_mtim.tv_sec), status.st_mtim.tv_nsec};
    lastChange_ = FileTime{static_cast<int64_t>(status.st_ctim.tv_sec), status.st_ctim.tv_nsec};
    inode_ = static_cast<uint64_t>(status.st_ino);
}

std::size_t RecordFile::ReadSome(int64_t offset, void* out, std::size_t count) const {
    auto* cursor = static_cast<char*>(out);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(file_.Get(), cursor + done, count - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool RecordFile::ReadExactly(int64_t offset, void* out, std::size_t count) const {
    return ReadSome(offset, out, count) == count;
}

bool RecordFile::WriteExactly(int64_t offset, const void* data, std::size_t count) const {
    const auto* cursor = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t n = ::pwrite(file_.Get(), cursor, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        cursor += n;
        offset += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

bool RecordFile::Truncate(int64_t length) const { return ::ftruncate(file_.Get(), static_cast<off_t>(length)) == 0; }

bool RecordFile::Close() { return file_.Close(); }

bool RecordFile::SetLastWrite(FileTime when) const {
    const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(when.seconds), when.nanoseconds}};
    return ::futimens(file_.Get(), times) == 0;
}

std::size_t FileRecordBytes::ReadAt(int64_t offset, std::span<uint8_t> out) const {
    const int64_t length = Length();
    if (offset < 0 || offset >= length) return 0;
    std::size_t wanted = out.size();
    if (static_cast<int64_t>(wanted) > length - offset) wanted = static_cast<std::size_t>(length - offset);
    return file_.ReadSome(offset, out.data(), wanted);
}

}  // namespace pell
