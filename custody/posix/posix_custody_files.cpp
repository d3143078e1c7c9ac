#include "custody/posix/posix_custody_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "common/core/settings_file.h"
#include "common/core/unique_fd.h"

namespace pell {
namespace {

// A log rewritten by another writer while this one waited for the lock is opened again.
constexpr int kLockTries = 100;

int Flock(int fd, int operation) {
    while (::flock(fd, operation) != 0) {
        if (errno != EINTR) return errno;
    }
    return 0;
}

FileText ReadFrom(UniqueFd& fd, off_t offset) {
    FileText out;
    std::string block(std::size_t{64} * 1024, '\0');
    for (;;) {
        const ssize_t count = ::pread(fd.Get(), block.data(), block.size(), offset);
        if (count < 0) {
            if (errno == EINTR) continue;
            out.error = errno;
            return out;
        }
        if (count == 0) return out;
        out.text.append(block.data(), static_cast<std::size_t>(count));
        offset += count;
    }
}

// Opens a regular file for reading; a folder or a device is refused rather than read.
UniqueFd OpenRegular(const std::string& path, int& error) {
    UniqueFd fd = UniqueFd::Open(path, O_RDONLY | O_NONBLOCK);
    if (!fd) {
        error = errno;
        return fd;
    }
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0) {
        error = errno;
        return UniqueFd();
    }
    if (!S_ISREG(status.st_mode)) {
        error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        return UniqueFd();
    }
    error = 0;
    return fd;
}

class PosixLockedLog final : public LockedLog {
public:
    PosixLockedLog(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

    FileText ReadAll() override { return ReadFrom(fd_, 0); }

    FileText ReadTail(std::size_t count) override {
        struct stat status {};
        if (::fstat(fd_.Get(), &status) != 0) return {errno, {}};
        const off_t start = status.st_size > static_cast<off_t>(count) ? status.st_size - static_cast<off_t>(count) : 0;
        return ReadFrom(fd_, start);
    }

    int Append(std::string_view bytes) override {
        if (!fd_.WriteAll(bytes.data(), bytes.size())) return errno;
        return ::fdatasync(fd_.Get()) == 0 ? 0 : errno;
    }

    int Replace(std::string_view text) override {
        errno = 0;
        if (WriteFileAtomically(path_, std::string(text), 0666) == WriteResult::kOk) return 0;
        return errno != 0 ? errno : EIO;
    }

private:
    UniqueFd fd_;  // the lock goes with the descriptor
    std::string path_;
};

class PosixByteSource final : public ByteSource {
public:
    explicit PosixByteSource(UniqueFd fd) : fd_(std::move(fd)) {
        ::posix_fadvise(fd_.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    }

    int64_t Read(std::span<uint8_t> out) override {
        for (;;) {
            const ssize_t count = ::read(fd_.Get(), out.data(), out.size());
            if (count >= 0) return count;
            if (errno != EINTR) {
                error_ = errno;
                return -1;
            }
        }
    }
    int Error() const override { return error_; }

private:
    UniqueFd fd_;
    int error_ = 0;
};

}  // namespace

FileText PosixCustodyFiles::ReadWhole(const std::string& path) {
    FileText out;
    UniqueFd fd = OpenRegular(path, out.error);
    if (!fd) return out;
    return ReadFrom(fd, 0);
}

FileText PosixCustodyFiles::ReadLog(const std::string& path) {
    FileText out;
    UniqueFd fd = OpenRegular(path, out.error);
    if (!fd) return out;
    if (const int error = Flock(fd.Get(), LOCK_SH); error != 0) return {error, {}};
    return ReadFrom(fd, 0);
}

LockedLogResult PosixCustodyFiles::LockLog(const std::string& path, bool create) {
    LockedLogResult out;
    for (int attempt = 0; attempt < kLockTries; ++attempt) {
        UniqueFd fd = UniqueFd::Open(path, O_RDWR | O_APPEND | O_NOCTTY | (create ? O_CREAT : 0), 0666);
        if (!fd) {
            out.error = errno;
            return out;
        }
        if (const int error = Flock(fd.Get(), LOCK_EX); error != 0) {
            out.error = error;
            return out;
        }
        struct stat locked {};
        struct stat named {};
        if (::fstat(fd.Get(), &locked) != 0) {
            out.error = errno;
            return out;
        }
        if (!S_ISREG(locked.st_mode)) {
            out.error = S_ISDIR(locked.st_mode) ? EISDIR : EINVAL;
            return out;
        }
        // The file we waited for may have been replaced or removed meanwhile: lock the one the name has now.
        const bool nameStillOurs = ::stat(path.c_str(), &named) == 0;
        if (nameStillOurs && named.st_ino == locked.st_ino && named.st_dev == locked.st_dev) {
            out.log = std::make_unique<PosixLockedLog>(std::move(fd), path);
            return out;
        }
        if (!nameStillOurs && errno != ENOENT) {
            out.error = errno;
            return out;
        }
    }
    out.error = EAGAIN;
    return out;
}

CustodyListing PosixCustodyFiles::List(const std::string& folder) {
    CustodyListing listing;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        listing.error = errno;
        return listing;
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        listing.error = errno;
        ::close(fd);
        return listing;
    }
    for (;;) {
        errno = 0;
        const struct dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            listing.error = errno;
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat status {};
        if (::fstatat(::dirfd(dir), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        listing.entries.push_back(
            {name, S_ISDIR(status.st_mode), S_ISREG(status.st_mode), static_cast<int64_t>(status.st_size)});
    }
    ::closedir(dir);
    return listing;
}

FileStatus PosixCustodyFiles::Status(const std::string& path) {
    FileStatus out;
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        out.error = errno;
        return out;
    }
    out.isRegular = S_ISREG(status.st_mode);
    out.isFolder = S_ISDIR(status.st_mode);
    out.size = static_cast<int64_t>(status.st_size);
    return out;
}

int PosixCustodyFiles::RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

int PosixCustodyFiles::RemoveFolder(const std::string& path) { return ::rmdir(path.c_str()) == 0 ? 0 : errno; }

ByteSourceResult PosixCustodyFiles::OpenRead(const std::string& path) {
    ByteSourceResult out;
    UniqueFd fd = OpenRegular(path, out.error);
    if (fd) out.source = std::make_unique<PosixByteSource>(std::move(fd));
    return out;
}

std::string PosixCustodyFiles::RandomHex(std::size_t count) {
    std::string bytes(count, '\0');
    std::size_t filled = 0;
    while (filled < count) {
        const ssize_t got = ::getrandom(bytes.data() + filled, count - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (errno != EINTR) {
            // A kernel without getrandom: the library's generator reads the same source.
            std::random_device device;
            for (; filled < count; ++filled) bytes[filled] = static_cast<char>(device() & 0xFF);
        }
    }
    std::string hex;
    hex.reserve(count * 2);
    for (const char byte : bytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned>(static_cast<unsigned char>(byte)));
        hex += digits;
    }
    return hex;
}

}  // namespace pell
