// One recorder per program folder: the counters, journals, temp files and day folders there
// belong to one process at a time. The lock is a POSIX record lock on "recorder.lock" in the
// program folder, held for the life of the process and taken before anything in the folder is
// touched. Every user's recorder takes the same file (it is made readable and writable by all,
// like the shared folder), and a second recorder learns which process holds it.
//
// The lock goes with the process: a crash or SIGKILL frees it, and a program the recorder starts
// does not inherit it. Only one object per process may open the file (closing any descriptor of
// it would drop a POSIX lock).
#pragma once

#include <string>
#include <sys/types.h>

#include "common/core/unique_fd.h"

namespace pell::recorder {

inline constexpr char kLockFileName[] = "recorder.lock";

class ProgramFolderLock {
public:
    enum class Result { kTaken, kHeldByOther, kFailed };

    explicit ProgramFolderLock(const std::string& programFolder);
    ProgramFolderLock(const ProgramFolderLock&) = delete;
    ProgramFolderLock& operator=(const ProgramFolderLock&) = delete;

    // Never waits. kHeldByOther: holderPid() names the process (0 when it cannot be seen, e.g.
    // from another PID namespace); kFailed: error() says why the file cannot be used.
    Result Take();
    bool held() const { return held_; }
    pid_t holderPid() const { return holderPid_; }
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    UniqueFd file_;
    bool held_ = false;
    pid_t holderPid_ = 0;
    std::string error_;
};

}  // namespace pell::recorder
