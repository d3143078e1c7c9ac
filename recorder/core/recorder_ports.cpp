#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <utility>
#include <unistd.h>

#include "common/core/settings_file.h"
#include "common/core/unique_fd.h"
#include "recorder/core/recorder_ports.h"

namespace pell {

namespace fs = std::filesystem;

namespace {

// A plain descriptor: no library buffer sits between a write and its result.
class DescriptorFile final : public FileHandle {
public:
    explicit DescriptorFile(UniqueFd file) : file_(std::move(file)) {}

    bool Write(const void* data, size_t size) override { return file_.WriteAll(data, size) || Fail(errno); }
    bool Seek(uint64_t offset) override {
        return ::lseek(file_.Get(), static_cast<off_t>(offset), SEEK_SET) >= 0 || Fail(errno);
    }
    std::optional<uint64_t> SeekEnd() override {
        const off_t end = ::lseek(file_.Get(), 0, SEEK_END);
        if (end < 0) {
            Fail(errno);
            return std::nullopt;
        }
        return static_cast<uint64_t>(end);
    }
    bool Truncate(uint64_t size) override {
        return ::ftruncate(file_.Get(), static_cast<off_t>(size)) == 0 || Fail(errno);
    }
    bool Sync() override { return ::fsync(file_.Get()) == 0 || Fail(errno); }
    FilePlace Locate(const std::string& openedAt) const override {
        struct stat open {};
        if (::fstat(file_.Get(), &open) != 0) return {FilePlace::Kind::kUnknown, {}};
        if (open.st_nlink == 0) return {FilePlace::Kind::kDeleted, {}};
        struct stat named {};
        if (::stat(openedAt.c_str(), &named) == 0 && named.st_dev == open.st_dev && named.st_ino == open.st_ino) {
            return {FilePlace::Kind::kAtPath, openedAt};
        }
        // The kernel knows the name the open file has now.
        std::error_code error;
        const fs::path now = fs::read_symlink("/proc/self/fd/" + std::to_string(file_.Get()), error);
        if (error || now.empty()) return {FilePlace::Kind::kUnknown, {}};
        return {FilePlace::Kind::kMoved, now.string()};
    }
    bool Close() override {
        if (!file_) return false;
        return file_.Close() || Fail(errno);
    }
    std::string LastError() const override { return error_; }

private:
    bool Fail(int code) {
        error_ = std::strerror(code);
        return false;
    }

    UniqueFd file_;
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
    UniqueFd file = UniqueFd::Open(path, OpenFlags(mode), 0666);
    if (!file) {
        if (error) *error = std::strerror(errno);
        return File();
    }
    return File(std::make_unique<DescriptorFile>(std::move(file)));
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
    if (result == WriteResult::kOk) return true;
    if (error) {
        const int code = errno;
        *error = code != 0 ? std::strerror(code)
                           : (result == WriteResult::kCannotCreate ? "cannot be created" : "cannot be written");
    }
    return false;
}

bool RealFileSystem::SetModified(const std::string& path, std::time_t when) {
    const timespec times[2] = {{when, 0}, {when, 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

std::vector<std::string> RealFileSystem::List(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        names.push_back(it->path().filename().string());
    }
    return names;
}

}  // namespace pell
