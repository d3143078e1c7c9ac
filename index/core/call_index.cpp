#include "index/core/call_index.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "player/catalogue/record_list.h"

namespace pell {
namespace {

std::string Reason(int error) { return std::strerror(error); }

int64_t LaterOf(int64_t a, int64_t b) { return a > b ? a : b; }

// Files asked for ahead of their reading: enough to keep a disk's queue full.
constexpr std::size_t kPrefetchFiles = 64;

std::vector<std::string> NormaliseRoots(const std::vector<std::string>& roots) {
    std::vector<std::string> out;
    for (const std::string& root : roots) {
        std::string normal = NormaliseRoot(root);
        if (!normal.empty() && std::find(out.begin(), out.end(), normal) == out.end()) out.push_back(std::move(normal));
    }
    return out;
}

bool Cancelled(const RefreshOptions& options) { return options.cancelled && options.cancelled(); }

void Report(const RefreshOptions& options, const RefreshProgress& progress) {
    if (options.progress) options.progress(progress);
}

}  // namespace

struct CallIndex::PlannedScan {
    std::string root;
    int64_t rootId = 0;
    std::string name;
    int32_t day = 0;
    int64_t folderMtimeNs = 0;  // from the root's listing, taken before the folder is listed
    std::optional<StoredFolder> stored;
    int64_t verifiedAt = 0;
    int64_t fileCount = 0;
};

CallIndex::CallIndex(CallStore& store, CallFiles& files, Clock& clock, NumberPlan plan)
    : store_(store), files_(files), clock_(clock), plan_(std::move(plan)) {}

RefreshReport CallIndex::Refresh(const std::vector<std::string>& roots, const RefreshOptions& options) {
    RefreshReport report;
    const int64_t now = static_cast<int64_t>(ToTimeT(clock_.Now()));
    std::vector<PlannedScan> scans;
    std::vector<std::pair<StoredFolder, std::string>> gone;
    std::vector<PlannedScan> settled;

    for (const std::string& root : NormaliseRoots(roots)) {
        const StoreResult<int64_t> rootId = store_.RootId(root);
        if (!rootId.Ok()) {
            report.outcome = RefreshReport::Outcome::kStoreFailed;
            report.store = rootId.status;
            return report;
        }
        const FolderListing listing = files_.List(root, IsDayFolderName);
        if (listing.error != 0) {
            report.unreachable.push_back({root, Reason(listing.error)});
            continue;
        }
        StoreResult<std::vector<StoredFolder>> stored = store_.Folders(rootId.value);
        if (!stored.Ok()) {
            report.outcome = RefreshReport::Outcome::kStoreFailed;
            report.store = stored.status;
            return report;
        }
        std::unordered_map<std::string, const FolderEntry*> listed;
        for (const FolderEntry& entry : listing.entries) {
            if (entry.isFolder) listed.emplace(entry.name, &entry);
        }
        std::unordered_set<std::string> known;
        for (StoredFolder& folder : stored.value) {
            known.insert(folder.name);
            const auto found = listed.find(folder.name);
            if (found == listed.end()) {
                gone.emplace_back(std::move(folder), root);
                continue;
            }
            PlannedScan scan{
                root,   rootId.value,      folder.name,     DayFolderKey(folder.name), found->second->stamp.mtimeNs,
                folder, folder.verifiedAt, folder.fileCount};
            const bool unchanged = folder.complete && folder.settled && folder.mtimeNs == scan.folderMtimeNs;
            (unchanged && !options.verifyAll ? settled : scans).push_back(std::move(scan));
        }
        for (const auto& [name, entry] : listed) {
            if (known.count(name) != 0) continue;
            scans.push_back({root, rootId.value, name, DayFolderKey(name), entry->stamp.mtimeNs, std::nullopt, 0, 0});
        }
    }

    // Settled folders checked longest ago come first, within the budget of files.
    std::sort(settled.begin(), settled.end(), [](const PlannedScan& a, const PlannedScan& b) {
        return a.verifiedAt != b.verifiedAt ? a.verifiedAt < b.verifiedAt : a.day > b.day;
    });
    std::size_t budget = 0;
    for (PlannedScan& scan : settled) {
        if (budget >= options.verifyBudgetFiles) break;
        budget += static_cast<std::size_t>(std::max<int64_t>(scan.fileCount, 1));
        scans.push_back(std::move(scan));
    }
    // Newest days first: an interrupted first build already finds the latest calls.
    std::stable_sort(scans.begin(), scans.end(),
                     [](const PlannedScan& a, const PlannedScan& b) { return a.day > b.day; });

    for (const auto& [folder, root] : gone) {
        const StoreStatus status = store_.RemoveFolder(folder.id);
        if (!status.Ok()) {
            report.outcome = RefreshReport::Outcome::kStoreFailed;
            report.store = status;
            return report;
        }
        report.removed += static_cast<std::size_t>(folder.fileCount);
        ++report.foldersRemoved;
    }

    RefreshProgress progress;
    progress.foldersToScan = scans.size();
    Report(options, progress);
    for (const PlannedScan& scan : scans) {
        if (Cancelled(options)) {
            report.outcome = RefreshReport::Outcome::kInterrupted;
            return report;
        }
        if (!ScanFolder(scan, options, now, report, progress)) return report;
        ++progress.foldersDone;
        Report(options, progress);
    }
    return report;
}

bool CallIndex::ScanFolder(const PlannedScan& scan, const RefreshOptions& options, int64_t now, RefreshReport& report,
                           RefreshProgress& progress) {
    const auto storeFailed = [&report](const StoreStatus& status) {
        report.outcome = RefreshReport::Outcome::kStoreFailed;
        report.store = status;
        return false;
    };
    const std::string folderPath = JoinRecordFolder(scan.root, scan.name);
    const FolderListing listing = files_.List(folderPath, HasMp3Extension);
    if (listing.error != 0) {
        if (listing.error == ENOENT && scan.stored) {
            // Removed between the root's listing and now, as cleaning does.
            const StoreStatus status = store_.RemoveFolder(scan.stored->id);
            if (!status.Ok()) return storeFailed(status);
            report.removed += static_cast<std::size_t>(scan.stored->fileCount);
            ++report.foldersRemoved;
        } else if (listing.error != ENOENT) {
            report.unreachable.push_back({folderPath, Reason(listing.error)});
        }
        return true;
    }
    int64_t folderId = 0;
    if (scan.stored) {
        folderId = scan.stored->id;
    } else {
        const StoreResult<int64_t> id = store_.FolderId(scan.rootId, scan.name);
        if (!id.Ok()) return storeFailed(id.status);
        folderId = id.value;
    }
    StoreResult<std::vector<StoredFile>> storedFiles = store_.Files(folderId);
    if (!storedFiles.Ok()) return storeFailed(storedFiles.status);
    std::unordered_map<std::string, StoredFile> known;
    for (StoredFile& file : storedFiles.value) known.emplace(file.name, std::move(file));
    // A hold or a manifest changes the folder, not the recording: a row whose hold, start time
    // or audio hash the records contradict is read again.
    const FolderCustody custody = files_.ReadCustody(folderPath);
    const auto current = [&custody](const StoredFile& stored, const FileStamp& stamp) {
        if (!(stored.stamp == stamp) || stored.isProtected != (custody.held.count(stored.name) != 0)) return false;
        const auto start = custody.startTimes.find(stored.name);
        if (start != custody.startTimes.end() && start->second != stored.startTime) return false;
        const auto audio = custody.audioHashes.find(stored.name);
        return (audio != custody.audioHashes.end() ? audio->second : std::string()) == stored.audioSha256;
    };

    ++report.foldersScanned;
    std::vector<CallFacts> upserts;
    std::vector<std::string> removals;
    std::unordered_set<std::string> seen;
    int64_t latestNs = scan.folderMtimeNs;
    // The files to read, fetched ahead a window at a time while earlier ones are stored.
    std::vector<std::string> toRead;
    for (const FolderEntry& entry : listing.entries) {
        const auto found = known.find(entry.name);
        if (!entry.isFolder && (found == known.end() || !current(found->second, entry.stamp))) {
            toRead.push_back(entry.name);
        }
    }
    std::size_t readIndex = 0;
    const auto prefetch = [&](std::size_t from) {
        if (from >= toRead.size()) return;
        const std::size_t end = std::min(toRead.size(), from + kPrefetchFiles);
        files_.Prefetch(folderPath, std::vector<std::string>(toRead.begin() + static_cast<std::ptrdiff_t>(from),
                                                             toRead.begin() + static_cast<std::ptrdiff_t>(end)));
    };
    prefetch(0);
    for (const FolderEntry& entry : listing.entries) {
        if (entry.isFolder) continue;
        seen.insert(entry.name);
        latestNs = LaterOf(latestNs, LaterOf(entry.stamp.mtimeNs, entry.stamp.ctimeNs));
        ++progress.filesChecked;
        const auto found = known.find(entry.name);
        if (found != known.end() && current(found->second, entry.stamp)) continue;
        if (readIndex % kPrefetchFiles == 0) prefetch(readIndex + kPrefetchFiles);
        ++readIndex;
        if (Cancelled(options)) {
            // What was read stays; without the folder's mark the next refresh comes back here.
            if (!upserts.empty() || !removals.empty()) {
                const StoreStatus status = store_.ApplyFiles(folderId, upserts, removals, std::nullopt);
                if (!status.Ok()) return storeFailed(status);
            }
            report.outcome = RefreshReport::Outcome::kInterrupted;
            return false;
        }
        std::optional<CallFacts> facts = files_.Read(JoinRecordFolder(folderPath, entry.name), entry.name, entry.stamp);
        ++progress.filesRead;
        if (!facts) {
            if (found != known.end()) {
                removals.push_back(entry.name);
                ++report.removed;
            }
            continue;
        }
        ++(found != known.end() ? report.changed : report.added);
        ApplyCustody(custody, *facts);
        upserts.push_back(std::move(*facts));
        if (upserts.size() >= options.batchFiles) {
            const StoreStatus status = store_.ApplyFiles(folderId, upserts, removals, std::nullopt);
            if (!status.Ok()) return storeFailed(status);
            upserts.clear();
            removals.clear();
            Report(options, progress);
        }
    }
    for (const auto& [name, stored] : known) {
        if (seen.count(name) == 0) {
            removals.push_back(name);
            ++report.removed;
        }
    }
    FolderMark mark;
    mark.mtimeNs = scan.folderMtimeNs;
    mark.settled = now - latestNs / 1'000'000'000 > options.settleSeconds;
    mark.verifiedAt = now;
    const StoreStatus status = store_.ApplyFiles(folderId, upserts, removals, mark);
    if (!status.Ok()) return storeFailed(status);
    return true;
}

StoreResult<SearchPage> CallIndex::Search(const std::vector<std::string>& roots, const CallCriteria& criteria,
                                          const CallOrder& order, std::size_t limit) {
    PrepareResult prepared = PrepareCriteria(criteria, plan_);
    if (!prepared.error.empty()) return {StoreStatus::Failure(StoreStatus::Code::kInvalid, prepared.error), {}};
    StoreQuery query;
    query.roots = NormaliseRoots(roots);
    query.criteria = std::move(prepared.criteria);
    query.order = order;
    query.limit = limit;
    if (query.roots.empty()) return {};
    return store_.Search(query);
}

StoreResult<std::optional<CallRecord>> CallIndex::Find(int64_t id) { return store_.Find(id); }

StoreResult<std::vector<std::string>> CallIndex::Lines(const std::vector<std::string>& roots) {
    return store_.Lines(NormaliseRoots(roots));
}

std::optional<std::pair<std::string, std::string>> SplitCallPath(const std::string& root, const std::string& path) {
    const std::string base = NormaliseRoot(root);
    const std::string prefix = base == "/" ? base : base + "/";
    if (base.empty() || path.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    const std::string rest = path.substr(prefix.size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos) return std::nullopt;
    std::string folder = rest.substr(0, slash);
    std::string name = rest.substr(slash + 1);
    if (!IsDayFolderName(folder) || name.find('/') != std::string::npos || !HasMp3Extension(name)) return std::nullopt;
    return std::make_pair(std::move(folder), std::move(name));
}

StoreStatus CallIndex::SyncFile(const std::string& root, const std::string& path) {
    const auto parts = SplitCallPath(root, path);
    if (!parts) {
        return StoreStatus::Failure(StoreStatus::Code::kInvalid,
                                    path + " is not a recording in a day folder of " + root);
    }
    const StoreResult<int64_t> rootId = store_.RootId(NormaliseRoot(root));
    if (!rootId.Ok()) return rootId.status;
    const StoreResult<int64_t> folderId = store_.FolderId(rootId.value, parts->first);
    if (!folderId.Ok()) return folderId.status;
    std::optional<CallFacts> facts = files_.Read(path, parts->second, FileStamp{});
    if (!facts) return store_.ApplyFiles(folderId.value, {}, {parts->second}, std::nullopt);
    ApplyCustody(files_.ReadCustody(JoinRecordFolder(NormaliseRoot(root), parts->first)), *facts);
    return store_.ApplyFiles(folderId.value, {std::move(*facts)}, {}, std::nullopt);
}

StoreStatus CallIndex::AddFiled(const std::string& root, const std::string& path) { return SyncFile(root, path); }

StoreStatus CallIndex::NoteChanged(const std::string& root, const std::string& path) { return SyncFile(root, path); }

}  // namespace pell
