// The file system as the custody records use it: small files read whole, logs appended and
// rewritten under an exclusive lock, folders listed and emptied, recordings read in order for
// their hash, and random bytes for salts. The real one is PosixCustodyFiles (custody/posix);
// tests use FakeCustodyFiles, which can fail on a chosen call and cut an append short as a
// crash would. Every status is an errno value, 0 for success.
//
// One object may be used by several threads; the locks are the file system's (flock), so
// processes on one machine, and NFS clients, exclude each other too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pell {

struct FileText {
    int error = 0;  // ENOENT when the file does not exist
    std::string text;
};

struct CustodyEntry {
    std::string name;
    bool isFolder = false;
    bool isRegular = false;
    int64_t size = 0;
};

struct CustodyListing {
    int error = 0;
    std::vector<CustodyEntry> entries;  // without "." and ".."
};

// A file read from its start to its end in blocks.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to out.size() bytes into out: how many, 0 at the end, -1 on failure (Error() says why).
    virtual int64_t Read(std::span<uint8_t> out) = 0;
    virtual int Error() const = 0;
};

// A log held under an exclusive lock from its opening to its destruction, so that reading its
// last entry and appending the next one cannot interleave with another writer.
class LockedLog {
public:
    virtual ~LockedLog() = default;
    virtual FileText ReadAll() = 0;
    // The last `count` bytes (all of a shorter file).
    virtual FileText ReadTail(std::size_t count) = 0;
    // Every byte at the end, then synced to the disk.
    virtual int Append(std::string_view bytes) = 0;
    // Puts `text` in place of the whole file at once (a temporary beside it, renamed over it),
    // so a crash leaves the old or the new file. Nothing else may be done with the log after it.
    virtual int Replace(std::string_view text) = 0;
};

struct LockedLogResult {
    int error = 0;
    std::unique_ptr<LockedLog> log;
};

struct ByteSourceResult {
    int error = 0;
    std::unique_ptr<ByteSource> source;
};

struct FileStatus {
    int error = 0;  // ENOENT when nothing has that name
    bool isRegular = false;
    bool isFolder = false;
    int64_t size = 0;
};

class CustodyFiles {
public:
    virtual ~CustodyFiles() = default;
    // A small file read whole (a hold list).
    virtual FileText ReadWhole(const std::string& path) = 0;
    // A log read whole under a shared lock, so no append is seen half done.
    virtual FileText ReadLog(const std::string& path) = 0;
    // Locks `path` for appending or rewriting; with `create` a missing file is made empty
    // (group-writable as the record folders are), otherwise ENOENT.
    virtual LockedLogResult LockLog(const std::string& path, bool create) = 0;
    virtual CustodyListing List(const std::string& folder) = 0;
    virtual FileStatus Status(const std::string& path) = 0;
    // Unlinks a file for good (no trash).
    virtual int RemoveFile(const std::string& path) = 0;
    // Removes an empty folder.
    virtual int RemoveFolder(const std::string& path) = 0;
    virtual ByteSourceResult OpenRead(const std::string& path) = 0;
    // `count` random bytes as hex digits, from the system's generator.
    virtual std::string RandomHex(std::size_t count) = 0;
};

// The folder part of a path ("" for a bare name) and the name part.
std::string ParentOf(std::string_view path);
std::string NameOf(std::string_view path);

}  // namespace pell
