// A file system in memory for refresh tests: folders and recordings with the stamps a real one
// would give (adding or removing an entry writes its folder; a tag change moves only the change
// time), folders that cannot be listed, and counts of what the refresh listed and read.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "index/core/call_files.h"

namespace pell::test {

class FakeCallFiles final : public CallFiles {
public:
    FolderListing List(const std::string& folder, const EntryFilter& wanted) override;
    std::optional<CallFacts> Read(const std::string& path, const std::string& name, const FileStamp& listed) override;
    // From the folder's "protected.list" and "manifest.log" written as files.
    FolderCustody ReadCustody(const std::string& folder) override;

    void AddFolder(const std::string& path);
    // Adds or replaces a file (its folders are made as needed) with last write `mtimeSeconds`.
    void Write(const std::string& path, const std::string& bytes, int64_t mtimeSeconds);
    // New bytes, last write kept: what the player's tag writes do.
    void Rewrite(const std::string& path, const std::string& bytes);
    void Remove(const std::string& path);  // a file, or a folder with everything in it
    // Listing `path` fails with `error` (EIO, EACCES, ...) until healed with 0.
    void SetError(const std::string& path, int error);
    // A file that is listed but cannot be opened.
    void SetUnreadable(const std::string& path, bool unreadable);

    int Lists() const { return lists_; }
    int Reads() const { return reads_; }
    void ResetCounts() { lists_ = reads_ = 0; }

private:
    struct Node {
        bool folder = false;
        std::string bytes;
        FileStamp stamp;
        int error = 0;
        bool unreadable = false;
    };
    int64_t Tick();
    void Touch(const std::string& path);
    static std::string Parent(const std::string& path);

    std::map<std::string, Node> nodes_;
    int64_t clockNs_ = 1'000'000'000;
    uint64_t nextInode_ = 100;
    int lists_ = 0;
    int reads_ = 0;
};

}  // namespace pell::test
