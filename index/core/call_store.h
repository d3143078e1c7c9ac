// Where the index keeps its rows: SQLite in the reader's program folder by default, or one
// PostgreSQL database shared by a site's recorders and players. A store only keeps and finds
// rows; deciding what changed on disk is the refresh's (CallIndex). The rows are a cache of the
// files, so a store may be deleted and rebuilt at any time.
//
// A store object is used by one thread at a time; several objects (threads, processes or
// machines) may use one database at once, and each write below is one transaction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "index/core/call_criteria.h"
#include "index/core/call_record.h"

namespace pell {

struct StoreStatus {
    enum class Code {
        kOk,
        kUnavailable,  // the server cannot be reached or the database is locked: worth a retry
        kFailed,       // refused or broken: the message says why
        kInvalid,      // the request itself cannot be answered (a number without digits, a path outside its root)
    };
    Code code = Code::kOk;
    std::string message;  // the store's own words, with what it was doing

    bool Ok() const { return code == Code::kOk; }
    static StoreStatus Success() { return {}; }
    static StoreStatus Failure(Code code, std::string message) { return {code, std::move(message)}; }
};

template <typename T>
struct StoreResult {
    StoreStatus status;
    T value{};

    bool Ok() const { return status.Ok(); }
};

// A day folder as the index last saw it.
struct StoredFolder {
    int64_t id = 0;
    std::string name;
    bool complete = false;   // every file was read at `mtimeNs`; false until the first scan ends
    int64_t mtimeNs = 0;     // the folder's last write when it was last scanned completely
    bool settled = false;    // nothing in it had changed for a while at that scan
    int64_t verifiedAt = 0;  // seconds since the epoch of the last complete scan
    int64_t fileCount = 0;
};

struct StoredFile {
    int64_t id = 0;
    std::string name;
    FileStamp stamp;
    bool isProtected = false;  // as stored, to tell a changed hold from the folder's custody records
    int64_t startTime = 0;
    std::string audioSha256;  // as stored, to tell a manifest entry written after the file was read
};

// Written with the last batch of a complete scan of a folder.
struct FolderMark {
    int64_t mtimeNs = 0;
    bool settled = false;
    int64_t verifiedAt = 0;
};

class CallStore {
public:
    virtual ~CallStore() = default;

    // A short description for messages: "SQLite /path/index.sqlite", "PostgreSQL dbname=pell".
    virtual std::string Describe() const = 0;

    // The id of a root, added when it is new.
    virtual StoreResult<int64_t> RootId(const std::string& root) = 0;
    virtual StoreResult<std::vector<StoredFolder>> Folders(int64_t rootId) = 0;
    // The id of a day folder of a root, added (incomplete) when it is new.
    virtual StoreResult<int64_t> FolderId(int64_t rootId, const std::string& name) = 0;
    virtual StoreResult<std::vector<StoredFile>> Files(int64_t folderId) = 0;
    // In one transaction: adds or replaces `upserts` (by file name, keeping a replaced row's
    // id), removes `removals` (by name), and with `mark` records that the folder is complete.
    virtual StoreStatus ApplyFiles(int64_t folderId, const std::vector<CallFacts>& upserts,
                                   const std::vector<std::string>& removals, const std::optional<FolderMark>& mark) = 0;
    // Forgets a day folder and its calls (cleaning removed it).
    virtual StoreStatus RemoveFolder(int64_t folderId) = 0;

    virtual StoreResult<SearchPage> Search(const StoreQuery& query) = 0;
    virtual StoreResult<std::optional<CallRecord>> Find(int64_t id) = 0;
    // Every line description among the calls of these roots, in byte order.
    virtual StoreResult<std::vector<std::string>> Lines(const std::vector<std::string>& roots) = 0;
    virtual StoreResult<int64_t> CountCalls(const std::vector<std::string>& roots) = 0;
};

}  // namespace pell
