// The call index: one row per recording of the record roots a reader lists, kept current by a
// refresh that reads only what changed. A refresh lists each root's day folders; a folder whose
// last write is as recorded and that had settled (nothing in it changed for a day) is skipped,
// every other one has its "*.mp3" files compared by size, last write, change time and inode,
// and only new or changed files are read. A budget of settled folders is checked on every
// refresh as well, oldest check first, so a tag changed by a player that does not share the
// index is found too. Folders are done newest first and committed in batches, so a first build
// can be interrupted and the next refresh goes on where it stopped.
//
// Used by the player (Refresh before a search, NoteChanged after its own tag writes), by a web
// server (Search, Find by id), by pell-catalogue and by the recorder (AddFiled after filing).
// One thread at a time per object; processes may share the store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/core/clock.h"
#include "index/core/call_criteria.h"
#include "index/core/call_files.h"
#include "index/core/call_store.h"

namespace pell {

struct RefreshProgress {
    std::size_t foldersDone = 0;
    std::size_t foldersToScan = 0;
    std::size_t filesRead = 0;     // new or changed recordings read so far
    std::size_t filesChecked = 0;  // recordings compared with their rows so far
};

struct RefreshOptions {
    bool verifyAll = false;                                // compare every file of every folder
    std::size_t verifyBudgetFiles = 20'000;                // files of settled folders checked per refresh
    std::size_t batchFiles = 1'000;                        // rows per transaction
    int64_t settleSeconds = 24 * 3600;                     // quiet time after which a folder is settled
    std::function<bool()> cancelled;                       // polled between files; true stops, keeping what is done
    std::function<void(const RefreshProgress&)> progress;  // after each batch and folder
};

struct RefreshProblem {
    std::string place;   // the root or day folder
    std::string reason;  // the system's words
};

struct RefreshReport {
    enum class Outcome { kDone, kInterrupted, kStoreFailed };
    Outcome outcome = Outcome::kDone;
    std::size_t added = 0;
    std::size_t changed = 0;
    std::size_t removed = 0;
    std::size_t foldersScanned = 0;
    std::size_t foldersRemoved = 0;
    // Roots and folders that could not be listed: their calls stay as they were (a share that is
    // down is no reason to forget its calls), and the next refresh looks again.
    std::vector<RefreshProblem> unreachable;
    StoreStatus store;  // why the refresh stopped, with StoreFailed
};

class CallIndex {
public:
    CallIndex(CallStore& store, CallFiles& files, Clock& clock, NumberPlan plan = {});

    RefreshReport Refresh(const std::vector<std::string>& roots, const RefreshOptions& options = {});

    // The calls of `roots` that meet the criteria, in `order`; limit 0 means all.
    StoreResult<SearchPage> Search(const std::vector<std::string>& roots, const CallCriteria& criteria,
                                   const CallOrder& order = {}, std::size_t limit = 0);

    // One call by its index id, whatever its root: a caller that serves files checks the root
    // and line against the user's rights itself.
    StoreResult<std::optional<CallRecord>> Find(int64_t id);

    // The recorder, right after filing `path` (root/dd.mm.yyyy/name.mp3) under its drop folder
    // `root`: reads the file and adds its row, or replaces it. Unavailable when the server is
    // down; the next refresh of that root adds what was missed.
    StoreStatus AddFiled(const std::string& root, const std::string& path);

    // After the player's own change to a recording (played mark, bookmark, copy into a root,
    // delete): reads it again, or forgets it when it is gone.
    StoreStatus NoteChanged(const std::string& root, const std::string& path);

    // Line descriptions among the calls of `roots`, for a choice of lines.
    StoreResult<std::vector<std::string>> Lines(const std::vector<std::string>& roots);

    const NumberPlan& Plan() const { return plan_; }
    CallStore& Store() { return store_; }

private:
    struct PlannedScan;
    bool ScanFolder(const PlannedScan& scan, const RefreshOptions& options, int64_t now, RefreshReport& report,
                    RefreshProgress& progress);
    StoreStatus SyncFile(const std::string& root, const std::string& path);

    CallStore& store_;
    CallFiles& files_;
    Clock& clock_;
    NumberPlan plan_;
};

// Splits root/dd.mm.yyyy/name.mp3 into the day folder and the name; nothing when `path` is not
// a recording directly in a day folder of `root`.
std::optional<std::pair<std::string, std::string>> SplitCallPath(const std::string& root, const std::string& path);

}  // namespace pell
