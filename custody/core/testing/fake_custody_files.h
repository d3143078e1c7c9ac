// The custody file system in memory, for tests: files and folders by path, a fault that fails
// the Nth call from now (any call of the seam or of a log or source it handed out), and an
// append cut short after some bytes, as a crash in the middle of a write leaves it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "custody/core/custody_files.h"

namespace pell::test {

class FakeCustodyFiles final : public CustodyFiles {
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

    // Adds or replaces a file; its folders are made as needed.
    void Write(const std::string& path, const std::string& bytes);
    void AddFolder(const std::string& path);
    std::optional<std::string> Read(const std::string& path) const;
    bool Exists(const std::string& path) const { return nodes_.count(path) != 0; }
    // Removes a file or a folder with everything in it, as someone outside the program would.
    void Erase(const std::string& path);

    // The `n`th call from now (1 = the next) fails with `error`; 0 clears the fault.
    void FailCall(int n, int error = EIO);
    // The next append writes only its first `bytes` bytes and fails with EIO.
    void CutNextAppend(std::size_t bytes) { cutAppend_ = bytes; }
    // Calls made so far, for fault tables that fail each one in turn.
    int Calls() const { return calls_; }
    // A file that every call on it fails with `error` (EACCES, EIO, ...), until 0.
    void SetError(const std::string& path, int error) { errors_[path] = error; }

private:
    friend class FakeLockedLog;
    friend class FakeByteSource;
    struct Node {
        bool folder = false;
        std::string bytes;
    };
    // Counts a call; the errno it fails with, or 0.
    int Call(const std::string& path = {});

    std::map<std::string, Node> nodes_;
    std::map<std::string, int> errors_;
    int calls_ = 0;
    int failAt_ = 0;
    int failError_ = 0;
    std::optional<std::size_t> cutAppend_;
    uint64_t random_ = 0x9E3779B97F4A7C15ULL;
};

}  // namespace pell::test
