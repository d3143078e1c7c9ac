// A call store in memory, answering searches by the reference rules (MatchesCall, CallBefore),
// with a failure rule: the Nth call from now, or every call, fails with a chosen code.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "index/core/call_store.h"

namespace pell::test {

class MemoryCallStore final : public CallStore {
public:
    std::string Describe() const override { return "memory"; }
    StoreResult<int64_t> RootId(const std::string& root) override;
    StoreResult<std::vector<StoredFolder>> Folders(int64_t rootId) override;
    StoreResult<int64_t> FolderId(int64_t rootId, const std::string& name) override;
    StoreResult<std::vector<StoredFile>> Files(int64_t folderId) override;
    StoreStatus ApplyFiles(int64_t folderId, const std::vector<CallFacts>& upserts,
                           const std::vector<std::string>& removals, const std::optional<FolderMark>& mark) override;
    StoreStatus RemoveFolder(int64_t folderId) override;
    StoreResult<SearchPage> Search(const StoreQuery& query) override;
    StoreResult<std::optional<CallRecord>> Find(int64_t id) override;
    StoreResult<std::vector<std::string>> Lines(const std::vector<std::string>& roots) override;
    StoreResult<int64_t> CountCalls(const std::vector<std::string>& roots) override;

    // The call `afterCalls` calls from now fails (0: the next one); with `always`, every later one.
    void FailAfter(int afterCalls, StoreStatus::Code code = StoreStatus::Code::kUnavailable, bool always = false);
    void Heal() {
        failAt_ = -1;
        failAlways_ = false;
    }
    int Calls() const { return calls_; }
    int ApplyCalls() const { return applyCalls_; }

    // Every call of every root, by id.
    std::vector<CallRecord> All() const;
    std::optional<StoredFolder> Folder(const std::string& root, const std::string& name) const;

private:
    struct FolderRow {
        int64_t rootId = 0;
        StoredFolder state;
    };
    bool Fails(StoreStatus& status);

    std::map<int64_t, std::string> roots_;
    std::map<int64_t, FolderRow> folders_;
    std::map<int64_t, std::pair<int64_t, CallFacts>> rows_;  // id -> folder, facts
    int64_t nextId_ = 1;
    int calls_ = 0;
    int applyCalls_ = 0;
    int failAt_ = -1;
    bool failAlways_ = false;
    StoreStatus::Code failCode_ = StoreStatus::Code::kUnavailable;
};

}  // namespace pell::test
