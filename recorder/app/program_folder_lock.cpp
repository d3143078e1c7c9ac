#include "recorder/app/program_folder_lock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/core/paths.h"

namespace pell::recorder {
namespace {

flock WholeFileWriteLock() {
    flock lock{};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return lock;
}

}  // namespace

ProgramFolderLock::ProgramFolderLock(const std::string& programFolder)
    : path_(JoinPath(programFolder, kLockFileName)) {}

ProgramFolderLock::Result ProgramFolderLock::Take() {
    if (held_) return Result::kTaken;
    if (!file_) {
        file_ = UniqueFd::Open(path_, O_RDWR | O_CREAT | O_NOFOLLOW, 0666);
        if (!file_) {
            error_ = std::strerror(errno);
            return Result::kFailed;
        }
        // Another user's recorder must be able to open it for writing too, whatever our umask.
        struct stat st {};
        if (::fstat(file_.Get(), &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 0666) != 0666) {
            ::fchmod(file_.Get(), 0666);
        }
    }
    flock lock = WholeFileWriteLock();
    if (::fcntl(file_.Get(), F_SETLK, &lock) == 0) {
        held_ = true;
        // For people looking: the lock itself is what counts.
        const std::string pid = std::to_string(::getpid()) + "\n";
        if (::ftruncate(file_.Get(), 0) == 0) {
            [[maybe_unused]] const ssize_t written = ::pwrite(file_.Get(), pid.data(), pid.size(), 0);
        }
        return Result::kTaken;
    }
    if (errno != EACCES && errno != EAGAIN) {
        error_ = std::strerror(errno);
        return Result::kFailed;
    }
    flock holder = WholeFileWriteLock();
    holderPid_ = ::fcntl(file_.Get(), F_GETLK, &holder) == 0 && holder.l_type != F_UNLCK ? holder.l_pid : 0;
    return Result::kHeldByOther;
}

}  // namespace pell::recorder
