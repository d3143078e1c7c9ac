// Failures that tests bring about on real files: a full disk (a file-size limit) and a user
// without write permission (root steps down to "nobody" for the scope, as root ignores modes).
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

namespace pell::test {

// Writes past `bytes` fail with EFBIG, as on a full disk, for the life of the object.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) : savedHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        struct rlimit small = saved_;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~ScopedFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, savedHandler_);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    struct rlimit saved_ {};
    void (*savedHandler_)(int);
};

// When running as root, acts as uid/gid 65534 for the life of the object, so file modes apply.
class ScopedUnprivilegedUser {
public:
    ScopedUnprivilegedUser() {
        if (::geteuid() != 0) return;
        stepped_ = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    }
    ~ScopedUnprivilegedUser() {
        if (!stepped_) return;
        [[maybe_unused]] const int user = ::seteuid(0);
        [[maybe_unused]] const int group = ::setegid(0);
    }
    ScopedUnprivilegedUser(const ScopedUnprivilegedUser&) = delete;
    ScopedUnprivilegedUser& operator=(const ScopedUnprivilegedUser&) = delete;

private:
    bool stepped_ = false;
};

}  // namespace pell::test
