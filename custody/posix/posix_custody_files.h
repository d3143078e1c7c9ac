// The custody seam on the real file system: POSIX calls, flock(2) for the logs' locks (which
// Linux also carries to NFS servers), getrandom(2) for salts. New logs are made 0666 less the
// umask, so in a record folder with the group's default ACL they stay writable by every
// member, as the recordings are. Safe to use from several threads.
#pragma once

#include "custody/core/custody_files.h"

namespace pell {

class PosixCustodyFiles final : public CustodyFiles {
public:
    FileText ReadWhole(const std::string& path) override;
    FileText ReadLog(const std::string& path) override;
    LockedLogResult LockLog(const std::string& path, bool create) override;
    CustodyListing List(const std::string& folder) override;
    FileStatus Status(const std::string& path) override;
    int RemoveFile(const std::string& path) override;
    int RemoveFolder(const std::string& path) override;
    ByteSourceResult OpenRead(const std::string& path) override;
    std::string RandomHex(std::size_t count) override;
};

}  // namespace pell
