// The file system as a refresh sees it: list a folder with each wanted entry's stamp, and read
// one recording. The real one is PosixCallFiles; tests use FakeCallFiles, which can fail on a
// chosen call. Called from one thread at a time.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "custody/core/folder_custody.h"
#include "index/core/call_record.h"
#include "player/catalogue/record_info.h"

namespace pell {

struct FolderEntry {
    std::string name;
    FileStamp stamp;
    bool isFolder = false;
    bool isRegular = false;
};

struct FolderListing {
    int error = 0;  // errno of a folder that could not be listed; 0 when listed
    std::vector<FolderEntry> entries;
};

using EntryFilter = std::function<bool(std::string_view name)>;

class CallFiles {
public:
    virtual ~CallFiles() = default;
    // The entries whose names pass `wanted`, each with its stamp; entries that vanish while
    // listed are left out.
    virtual FolderListing List(const std::string& folder, const EntryFilter& wanted) = 0;
    // The recording at `path` (named `name` in its folder) as the record list reads it, with the
    // stamp of the file that was read. A file that cannot be opened gives the list's defaults
    // with `listed` as its stamp; nothing when the file is gone.
    virtual std::optional<CallFacts> Read(const std::string& path, const std::string& name,
                                          const FileStamp& listed) = 0;
    // The files of `folder` about to be read, so a disk can fetch them while others are stored;
    // a hint that may do nothing.
    virtual void Prefetch(const std::string& folder, const std::vector<std::string>& names) {
        (void)folder;
        (void)names;
    }
    // The day folder's hold list and manifest as the index uses them; empty where missing.
    virtual FolderCustody ReadCustody(const std::string& folder) = 0;
};

// What the custody records add to a recording's facts: its hold, and the start time and audio
// hash the recorder noted when it filed it (truer than one told from a copied file's last write).
void ApplyCustody(const FolderCustody& custody, CallFacts& facts);

// The facts of one recording from its bytes, by the record list's rules (tag, first frame
// header, length, last write), plus the content key.
CallFacts DescribeCall(const RecordBytes& bytes, const std::string& name, const FileStamp& stamp);

// The content key of a recording: FNV-1a 64 over the audio's length (the file without its last
// 128 bytes when they are a tag) and its first 4096 bytes, as 16 hex digits.
std::string ContentKey(const RecordBytes& bytes);

// A recording's bytes read with two reads, the first 4096 bytes and the last 128, as listing
// it costs; other offsets are read on demand.
class HeadTailBytes final : public RecordBytes {
public:
    static constexpr std::size_t kHeadSize = 4096;
    explicit HeadTailBytes(const RecordBytes& source);
    int64_t Length() const override { return length_; }
    std::size_t ReadAt(int64_t offset, std::span<uint8_t> out) const override;

private:
    const RecordBytes& source_;
    int64_t length_ = 0;
    std::vector<uint8_t> head_;
    int64_t tailStart_ = 0;
    std::vector<uint8_t> tail_;
};

// The real file system through POSIX calls (openat/fstatat on the listed folder).
class PosixCallFiles final : public CallFiles {
public:
    FolderListing List(const std::string& folder, const EntryFilter& wanted) override;
    std::optional<CallFacts> Read(const std::string& path, const std::string& name, const FileStamp& listed) override;
    // Asks the kernel to read each file's head and tag ahead (posix_fadvise WILLNEED).
    void Prefetch(const std::string& folder, const std::vector<std::string>& names) override;
    FolderCustody ReadCustody(const std::string& folder) override;
};

}  // namespace pell
