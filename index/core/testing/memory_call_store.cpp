#include "index/core/testing/memory_call_store.h"

#include <algorithm>

namespace pell::test {

bool MemoryCallStore::Fails(StoreStatus& status) {
    const int call = calls_++;
    if (failAt_ >= 0 && (call == failAt_ || (failAlways_ && call > failAt_))) {
        status = StoreStatus::Failure(failCode_, "memory store: failure as told on call " + std::to_string(call));
        return true;
    }
    return false;
}

void MemoryCallStore::FailAfter(int afterCalls, StoreStatus::Code code, bool always) {
    failAt_ = calls_ + afterCalls;
    failAlways_ = always;
    failCode_ = code;
}

StoreResult<int64_t> MemoryCallStore::RootId(const std::string& root) {
    StoreResult<int64_t> result;
    if (Fails(result.status)) return result;
    for (const auto& [id, path] : roots_) {
        if (path == root) {
            result.value = id;
            return result;
        }
    }
    result.value = nextId_++;
    roots_[result.value] = root;
    return result;
}

StoreResult<std::vector<StoredFolder>> MemoryCallStore::Folders(int64_t rootId) {
    StoreResult<std::vector<StoredFolder>> result;
    if (Fails(result.status)) return result;
    for (const auto& [id, folder] : folders_) {
        if (folder.rootId != rootId) continue;
        StoredFolder state = folder.state;
        state.fileCount =
            std::count_if(rows_.begin(), rows_.end(), [id = id](const auto& call) { return call.second.first == id; });
        result.value.push_back(state);
    }
    return result;
}

StoreResult<int64_t> MemoryCallStore::FolderId(int64_t rootId, const std::string& name) {
    StoreResult<int64_t> result;
    if (Fails(result.status)) return result;
    for (const auto& [id, folder] : folders_) {
        if (folder.rootId == rootId && folder.state.name == name) {
            result.value = id;
            return result;
        }
    }
    result.value = nextId_++;
    FolderRow folder;
    folder.rootId = rootId;
    folder.state.id = result.value;
    folder.state.name = name;
    folders_[result.value] = folder;
    return result;
}

StoreResult<std::vector<StoredFile>> MemoryCallStore::Files(int64_t folderId) {
    StoreResult<std::vector<StoredFile>> result;
    if (Fails(result.status)) return result;
    for (const auto& [id, call] : rows_) {
        if (call.first == folderId)
            result.value.push_back({id, call.second.name, call.second.stamp, call.second.isProtected,
                                    call.second.startTime, call.second.audioSha256});
    }
    return result;
}

StoreStatus MemoryCallStore::ApplyFiles(int64_t folderId, const std::vector<CallFacts>& upserts,
                                        const std::vector<std::string>& removals,
                                        const std::optional<FolderMark>& mark) {
    StoreStatus status;
    if (Fails(status)) return status;
    ++applyCalls_;
    for (const CallFacts& facts : upserts) {
        auto found = std::find_if(rows_.begin(), rows_.end(), [&](const auto& call) {
            return call.second.first == folderId && call.second.second.name == facts.name;
        });
        if (found != rows_.end()) {
            found->second.second = facts;
        } else {
            rows_[nextId_++] = {folderId, facts};
        }
    }
    for (const std::string& name : removals) {
        std::erase_if(
            rows_, [&](const auto& call) { return call.second.first == folderId && call.second.second.name == name; });
    }
    if (mark) {
        StoredFolder& state = folders_[folderId].state;
        state.complete = true;
        state.mtimeNs = mark->mtimeNs;
        state.settled = mark->settled;
        state.verifiedAt = mark->verifiedAt;
    }
    return status;
}

StoreStatus MemoryCallStore::RemoveFolder(int64_t folderId) {
    StoreStatus status;
    if (Fails(status)) return status;
    std::erase_if(rows_, [&](const auto& call) { return call.second.first == folderId; });
    folders_.erase(folderId);
    return status;
}

std::vector<CallRecord> MemoryCallStore::All() const {
    std::vector<CallRecord> all;
    for (const auto& [id, call] : rows_) {
        const FolderRow& folder = folders_.at(call.first);
        all.push_back({id, roots_.at(folder.rootId), folder.state.name, call.second});
    }
    return all;
}

std::optional<StoredFolder> MemoryCallStore::Folder(const std::string& root, const std::string& name) const {
    for (const auto& [id, folder] : folders_) {
        if (roots_.at(folder.rootId) == root && folder.state.name == name) return folder.state;
    }
    return std::nullopt;
}

StoreResult<SearchPage> MemoryCallStore::Search(const StoreQuery& query) {
    StoreResult<SearchPage> result;
    if (Fails(result.status)) return result;
    for (CallRecord& call : All()) {
        if (std::find(query.roots.begin(), query.roots.end(), call.root) == query.roots.end()) continue;
        if (MatchesCall(call.facts, query.criteria)) result.value.calls.push_back(std::move(call));
    }
    std::sort(result.value.calls.begin(), result.value.calls.end(),
              [&query](const CallRecord& a, const CallRecord& b) { return CallBefore(a, b, query.order); });
    if (query.limit != 0 && result.value.calls.size() > query.limit) {
        result.value.calls.resize(query.limit);
        result.value.truncated = true;
    }
    return result;
}

StoreResult<std::optional<CallRecord>> MemoryCallStore::Find(int64_t id) {
    StoreResult<std::optional<CallRecord>> result;
    if (Fails(result.status)) return result;
    for (CallRecord& call : All()) {
        if (call.id == id) result.value = std::move(call);
    }
    return result;
}

StoreResult<std::vector<std::string>> MemoryCallStore::Lines(const std::vector<std::string>& roots) {
    StoreResult<std::vector<std::string>> result;
    if (Fails(result.status)) return result;
    for (const CallRecord& call : All()) {
        if (std::find(roots.begin(), roots.end(), call.root) != roots.end()) result.value.push_back(call.facts.line);
    }
    std::sort(result.value.begin(), result.value.end());
    result.value.erase(std::unique(result.value.begin(), result.value.end()), result.value.end());
    return result;
}

StoreResult<int64_t> MemoryCallStore::CountCalls(const std::vector<std::string>& roots) {
    StoreResult<int64_t> result;
    if (Fails(result.status)) return result;
    for (const CallRecord& call : All()) {
        if (std::find(roots.begin(), roots.end(), call.root) != roots.end()) ++result.value;
    }
    return result;
}

}  // namespace pell::test
