#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "common/core/settings_file.h"
#include "recorder/core/recorder_ports.h"

namespace pell {

namespace fs = std::filesystem;

namespace {

// A plain descriptor: no library buffer sits between a write and its result.
class DescriptorFile final : public FileHandle {
public:
    explicit DescriptorFile(int fd) : fd_(fd) {}
    ~DescriptorFile() override {
        if (fd_ >= 0) ::close(fd_);
    }
    DescriptorFile(const DescriptorFile&) = delete;
    DescriptorFile& operator=(const DescriptorFile&) = delete;

    bool Write(const void* data, size_t size) override {
        const auto* bytes = static_cast<const char*>(data);
        for (size_t done = 0; done < size;) {
            const ssize_t n = ::write(fd_, bytes + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return Fail(n == 0 ? ENOSPC : errno);
            done += static_cast<size_t>(n);
        }
        return true;
    }
    bool Seek(uint64_t offset) override {
        return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0 || Fail(errno);
    }
    std::optional<uint64_t> SeekEnd() override {
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        if (end < 0) {
            Fail(errno);
            return std::nullopt;
        }
        return static_cast<uint64_t>(end);
    }
    bool Truncate(uint64_t size) override {
        return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 || Fail(errno);
    }
    bool Close() override {
        if (fd_ < 0) return false;
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 || Fail(errno);
    }
    std::string LastError() const override { return error_; }

private:
    bool Fail(int code) {
        error_ = std::strerror(code);
        return false;
    }

    int fd_;
    std::string error_;
};

int OpenFlags(const char* mode) {
    const std::string m = mode;
    if (m.rfind("r+", 0) == 0) return O_RDWR;
    if (m.rfind("a", 0) == 0) return O_WRONLY | O_CREAT | O_APPEND;
    if (m.rfind("r", 0) == 0) return O_RDONLY;
    return O_WRONLY | O_CREAT | O_TRUNC;
}

}  // namespace

void Notifier::Log(const std::string& line) { std::fprintf(stderr, "PellRecorder: %s\n", line.c_str()); }

std::optional<uint64_t> DiskFreeSpace::FreeBytes(const std::string& folder) {
    std::error_code error;
    const fs::space_info info = fs::space(folder, error);
    if (error) return std::nullopt;
    return static_cast<uint64_t>(info.available);
}

File RealFileSystem::Open(const std::string& path, const char* mode, std::string* error) {
    const int fd = ::open(path.c_str(), OpenFlags(mode) | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (error) *error = std::strerror(errno);
        return File();
    }
    return File(std::make_unique<DescriptorFile>(fd));
}

bool RealFileSystem::Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

bool RealFileSystem::MakeDirectories(const std::string& path) {
    std::error_code error;
    fs::create_directories(path, error);
    return fs::is_directory(path, error);
}

bool RealFileSystem::RemoveTree(const std::string& path) {
    std::error_code error;
    fs::remove_all(path, error);
    return !error && !fs::exists(path, error);
}

bool RealFileSystem::Remove(const std::string& path) {
    std::error_code error;
    fs::remove(path, error);
    return !fs::exists(fs::symlink_status(path, error));
}

bool RealFileSystem::WriteWhole(const std::string& path, const std::string& text, std::string* error) {
    errno = 0;
    // Counters and state files are shared like the program folder they live in.
    const WriteResult result = WriteFileAtomically(path, text, 0666);
    if (result == WriteResult::Ok) return true;
    if (error) {
        const int code = errno;
        *error = code != 0 ? std::strerror(code)
                           : (result == WriteResult::CannotCreate ? "cannot be created" : "cannot be written");
    }
    return false;
}

}  // namespace pell
