#include "player/catalogue/record_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

#include "common/core/paths.h"
#include "common/core/settings_file.h"
#include "common/core/unique_fd.h"

namespace pell {
namespace {

std::string_view FileNameOf(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos) return ".";
    return slash == 0 ? "/" : std::string(path.substr(0, slash));
}

std::string Canonical(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string SystemReason(int error) { return std::strerror(error); }

// Removes the unfinished temporary copy unless released; the descriptor closes first.
class PartialCopy {
public:
    PartialCopy(UniqueFd file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}
    ~PartialCopy() {
        file_ = UniqueFd();
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    PartialCopy(const PartialCopy&) = delete;
    PartialCopy& operator=(const PartialCopy&) = delete;

    UniqueFd& File() { return file_; }
    const std::string& Path() const { return path_; }
    void Release() { path_.clear(); }

private:
    UniqueFd file_;
    std::string path_;
};

}  // namespace

std::string ReadSendToFolder(const std::string& programFolder) {
    std::ifstream in(JoinPath(programFolder, kSendToFile), std::ios::binary);
    if (!in) return {};
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool WriteSendToFolder(const std::string& programFolder, const std::string& folder) {
    return WriteFileAtomically(JoinPath(programFolder, kSendToFile), folder) == WriteResult::kOk;
}

std::string CopyTargetPath(std::string_view folder, std::string_view sourcePath) {
    std::string target(folder);
    if (target.empty() || target.back() != '/') target += '/';
    target += FileNameOf(sourcePath);
    return target;
}

CopyCheck CheckCopyTarget(const std::string& sourcePath, const std::string& targetPath) {
    struct stat target {};
    if (::stat(targetPath.c_str(), &target) != 0) return CopyCheck::kCopy;
    struct stat source {};
    if (::stat(sourcePath.c_str(), &source) == 0 && source.st_dev == target.st_dev && source.st_ino == target.st_ino) {
        return CopyCheck::kSameFile;
    }
    if (Canonical(sourcePath) == Canonical(targetPath)) return CopyCheck::kSameFile;
    if (!S_ISREG(target.st_mode)) return CopyCheck::kTargetIsFolder;
    return CopyCheck::kAskReplace;
}

CopyResult CopyRecordFile(const std::string& sourcePath, const std::string& targetPath, const CopyProgress& progress) {
    UniqueFd source = UniqueFd::Open(sourcePath, O_RDONLY);
    struct stat status {};
    if (!source || ::fstat(source.Get(), &status) != 0) return {false, SystemReason(errno)};
    if (!S_ISREG(status.st_mode)) return {false, SystemReason(EINVAL)};

    std::string tempPath = FolderOf(targetPath) + "/." + std::string(FileNameOf(targetPath)) + ".copy-XXXXXX";
    UniqueFd tempFile(::mkostemp(tempPath.data(), O_CLOEXEC));
    if (!tempFile) return {false, SystemReason(errno)};
    PartialCopy temp(std::move(tempFile), tempPath);

    std::array<char, 64 * 1024> buffer;
    int64_t done = 0;
    for (;;) {
        const ssize_t n = source.ReadFull(buffer.data(), buffer.size());
        if (n < 0) return {false, SystemReason(errno)};
        if (n == 0) break;
        if (!temp.File().WriteAll(buffer.data(), static_cast<std::size_t>(n))) return {false, SystemReason(errno)};
        done += n;
        if (progress && !progress(done, status.st_size)) return {false, SystemReason(ECANCELED)};
    }
    // The last-write time goes on after the last write, which would otherwise move it.
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (::fchmod(temp.File().Get(), status.st_mode & 0777) != 0 || ::futimens(temp.File().Get(), times) != 0 ||
        ::fsync(temp.File().Get()) != 0) {
        return {false, SystemReason(errno)};
    }
    if (!temp.File().Close()) return {false, SystemReason(errno)};
    if (std::rename(temp.Path().c_str(), targetPath.c_str()) != 0) return {false, SystemReason(errno)};
    temp.Release();
    return {true, {}};
}

}  // namespace pell
