#include "web/core/testing/web_fakes.h"

#include <algorithm>
#include <cstring>

#include "player/catalogue/recording_tag.h"

namespace pell::web::test {
namespace {

class MemoryRecording final : public OpenRecording {
public:
    explicit MemoryRecording(std::string bytes) : bytes_(std::move(bytes)) {}
    int64_t Size() const override { return static_cast<int64_t>(bytes_.size()); }
    std::size_t ReadAt(int64_t offset, std::span<uint8_t> out) override {
        if (offset < 0 || offset >= Size()) return 0;
        const std::size_t count = std::min(out.size(), bytes_.size() - static_cast<std::size_t>(offset));
        std::memcpy(out.data(), bytes_.data() + offset, count);
        return count;
    }

private:
    std::string bytes_;
};

}  // namespace

void FaultPlan::FailOn(int nth, bool always) {
    std::lock_guard lock(mutex_);
    failAt_ = calls_ + nth;
    always_ = always;
}

void FaultPlan::Heal() {
    std::lock_guard lock(mutex_);
    failAt_ = -1;
    always_ = false;
}

bool FaultPlan::NextFails() {
    std::lock_guard lock(mutex_);
    const int call = ++calls_;
    return failAt_ > 0 && (call == failAt_ || (always_ && call > failAt_));
}

void CountingRandom::Fill(std::span<uint8_t> out) {
    std::lock_guard lock(mutex_);
    for (uint8_t& b : out) {
        next_ = next_ * 6364136223846793005ULL + 1442695040888963407ULL;
        b = static_cast<uint8_t>(next_ >> 56);
    }
}

std::string FakePasswords::Hash(std::string_view password) {
    if (hashFaults.NextFails()) return {};
    return "fake:" + std::string(password);
}

bool FakePasswords::Verify(const std::string& hash, std::string_view password) {
    ++verifications_;
    return hash == "fake:" + std::string(password);
}

std::shared_ptr<const UserList> FakeUsers::Users() {
    std::lock_guard lock(mutex_);
    return list_;
}

void FakeUsers::Set(UserList list) {
    std::lock_guard lock(mutex_);
    list_ = std::make_shared<const UserList>(std::move(list));
}

void FakeUsers::Break() {
    std::lock_guard lock(mutex_);
    list_.reset();
}

std::vector<std::string> FakeRoots::Roots() {
    std::lock_guard lock(mutex_);
    return roots_;
}

void FakeRoots::Set(std::vector<std::string> roots) {
    std::lock_guard lock(mutex_);
    roots_ = std::move(roots);
}

OpenResult FakeRecordings::Open(const CallRecord& call) {
    if (openFaults.NextFails()) return {nullptr, RecordingProblem::kUnreadable, "Input/output error"};
    std::lock_guard lock(mutex_);
    const auto found = files_.find(call.Path());
    if (found == files_.end()) return {nullptr, RecordingProblem::kMissing, "No such file or directory"};
    if (found->second.problem != RecordingProblem::kNone) return {nullptr, found->second.problem, "refused"};
    return {std::make_unique<MemoryRecording>(found->second.bytes), RecordingProblem::kNone, {}};
}

TagWrite FakeRecordings::MarkPlayed(const CallRecord& call) {
    if (writeFaults.NextFails()) return {RecordingProblem::kUnreadable, "No space left on device"};
    std::lock_guard lock(mutex_);
    const auto found = files_.find(call.Path());
    if (found == files_.end()) return {RecordingProblem::kMissing, "No such file or directory"};
    if (found->second.problem != RecordingProblem::kNone) return {found->second.problem, "refused"};
    found->second.played = true;
    return {};
}

TagWrite FakeRecordings::StoreBookmark(const CallRecord& call, std::string_view text) {
    if (writeFaults.NextFails()) return {RecordingProblem::kUnreadable, "No space left on device"};
    std::lock_guard lock(mutex_);
    const auto found = files_.find(call.Path());
    if (found == files_.end()) return {RecordingProblem::kMissing, "No such file or directory"};
    if (found->second.problem != RecordingProblem::kNone) return {found->second.problem, "refused"};
    found->second.bookmark = BookmarkAsStored(text);
    found->second.hasBookmark = true;
    return {};
}

void FakeRecordings::Put(const std::string& path, std::string bytes) {
    std::lock_guard lock(mutex_);
    files_[path].bytes = std::move(bytes);
}

void FakeRecordings::SetProblem(const std::string& path, RecordingProblem problem) {
    std::lock_guard lock(mutex_);
    files_[path].problem = problem;
}

bool FakeRecordings::Played(const std::string& path) {
    std::lock_guard lock(mutex_);
    const auto found = files_.find(path);
    return found != files_.end() && found->second.played;
}

std::string FakeRecordings::Bookmark(const std::string& path) {
    std::lock_guard lock(mutex_);
    const auto found = files_.find(path);
    return found == files_.end() ? std::string{} : found->second.bookmark;
}

StoreResult<SearchPage> FakeCalls::Search(const std::vector<std::string>& roots, const CallCriteria& criteria,
                                          const CallOrder& order, std::size_t limit) {
    StoreResult<SearchPage> result;
    if (faults.NextFails()) {
        result.status = StoreStatus::Failure(StoreStatus::Code::kUnavailable, "the server is down");
        return result;
    }
    const PrepareResult prepared = PrepareCriteria(criteria, NumberPlan{});
    if (!prepared.error.empty()) {
        result.status = StoreStatus::Failure(StoreStatus::Code::kInvalid, prepared.error);
        return result;
    }
    StoreQuery query;
    for (const std::string& root : roots) query.roots.push_back(NormaliseRoot(root));
    query.criteria = prepared.criteria;
    query.order = order;
    query.limit = limit;
    std::lock_guard lock(mutex_);
    return store_.Search(query);
}

StoreResult<std::optional<CallRecord>> FakeCalls::Find(int64_t id) {
    StoreResult<std::optional<CallRecord>> result;
    if (faults.NextFails()) {
        result.status = StoreStatus::Failure(StoreStatus::Code::kUnavailable, "the server is down");
        return result;
    }
    std::lock_guard lock(mutex_);
    return store_.Find(id);
}

StoreStatus FakeCalls::NoteChanged(const std::string& root, const std::string& path) {
    if (faults.NextFails()) return StoreStatus::Failure(StoreStatus::Code::kUnavailable, "the server is down");
    std::lock_guard lock(mutex_);
    noted_.push_back(path);
    if (recordings_ == nullptr) return StoreStatus::Success();
    for (CallRecord call : store_.All()) {
        if (call.Path() != path || NormaliseRoot(root) != call.root) continue;
        if (recordings_->Played(path)) call.facts.played = true;
        const std::string bookmark = recordings_->Bookmark(path);
        if (!bookmark.empty()) call.facts.bookmark = bookmark;
        const int64_t folder = store_.FolderId(store_.RootId(call.root).value, call.folder).value;
        return store_.ApplyFiles(folder, {call.facts}, {}, std::nullopt);
    }
    return StoreStatus::Success();
}

StoreResult<std::vector<std::string>> FakeCalls::Lines(const std::vector<std::string>& roots) {
    StoreResult<std::vector<std::string>> result;
    if (faults.NextFails()) {
        result.status = StoreStatus::Failure(StoreStatus::Code::kUnavailable, "the server is down");
        return result;
    }
    std::vector<std::string> normalised;
    for (const std::string& root : roots) normalised.push_back(NormaliseRoot(root));
    std::lock_guard lock(mutex_);
    return store_.Lines(normalised);
}

int64_t FakeCalls::Add(const std::string& root, const std::string& folder, CallFacts facts) {
    std::lock_guard lock(mutex_);
    const std::string name = facts.name;
    const int64_t folderId = store_.FolderId(store_.RootId(NormaliseRoot(root)).value, folder).value;
    store_.ApplyFiles(folderId, {std::move(facts)}, {}, std::nullopt);
    for (const CallRecord& call : store_.All()) {
        if (call.root == NormaliseRoot(root) && call.folder == folder && call.facts.name == name) return call.id;
    }
    return 0;
}

std::vector<std::string> FakeCalls::Noted() {
    std::lock_guard lock(mutex_);
    return noted_;
}

CustodyStatus FakeCustody::AppendAudit(const std::string& root, const AuditRecord& record) {
    if (auditFaults.NextFails()) return {false, "Read-only file system"};
    std::lock_guard lock(mutex_);
    entries_.push_back(Logged{root, record});
    return {};
}

HoldCheck FakeCustody::Hold(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (broken_.count(path) != 0) return {HoldState::kUnknown, ParentOf(path) + "/protected.list: Permission denied"};
    return {held_.count(path) != 0 ? HoldState::kHeld : HoldState::kFree, {}};
}

HoldOutcome FakeCustody::SetProtected(const std::string& path, bool isProtected, const std::string& user) {
    if (holdFaults.NextFails()) return {HoldOutcome::Kind::kFailed, "Permission denied"};
    {
        std::lock_guard lock(mutex_);
        const bool changed = isProtected ? held_.insert(path).second : held_.erase(path) != 0;
        if (!changed) return {HoldOutcome::Kind::kUnchanged, {}};
    }
    // The root is the day folder's parent, as the library finds it.
    const CustodyStatus audited = AppendAudit(
        ParentOf(ParentOf(path)),
        AuditRecord{user, "pell-web", isProtected ? AuditAction::kProtect : AuditAction::kUnprotect, path, ""});
    return audited.ok ? HoldOutcome{} : HoldOutcome{HoldOutcome::Kind::kUnrecorded, audited.reason};
}

void FakeCustody::BreakHoldList(const std::string& path) {
    std::lock_guard lock(mutex_);
    broken_.insert(path);
}

std::vector<FakeCustody::Logged> FakeCustody::Entries() {
    std::lock_guard lock(mutex_);
    return entries_;
}

StatusFile FakeRecorders::ReadStatus(const std::string& programFolder) {
    std::lock_guard lock(mutex_);
    const auto found = status_.find(programFolder);
    return found == status_.end() ? StatusFile{} : found->second;
}

std::vector<std::string> FakeRecorders::LineNames(const std::string& programFolder) {
    std::lock_guard lock(mutex_);
    const auto found = names_.find(programFolder);
    return found == names_.end() ? std::vector<std::string>{} : found->second;
}

void FakeRecorders::SetStatus(const std::string& folder, StatusFile file) {
    std::lock_guard lock(mutex_);
    status_[folder] = std::move(file);
}

void FakeRecorders::SetNames(const std::string& folder, std::vector<std::string> names) {
    std::lock_guard lock(mutex_);
    names_[folder] = std::move(names);
}

std::optional<StaticAsset> FakeAssets::Find(std::string_view name) {
    static const struct {
        std::string_view name;
        StaticAsset asset;
    } kAssets[] = {
        {"login.html", {"<!doctype html><title>Log in</title>", "text/html; charset=utf-8", "\"login1\""}},
        {"app.html", {"<!doctype html><title>Calls</title>", "text/html; charset=utf-8", "\"app1\""}},
        {"app.css", {"body{}", "text/css; charset=utf-8", "\"css1\""}},
        {"app.js", {"'use strict';", "text/javascript; charset=utf-8", "\"js1\""}},
    };
    for (const auto& entry : kAssets) {
        if (entry.name == name) return entry.asset;
    }
    return std::nullopt;
}

void FakeLog::Write(const std::string& line) {
    std::lock_guard lock(mutex_);
    lines_.push_back(line);
}

std::vector<std::string> FakeLog::Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool FakeLog::Contains(const std::string& part) {
    std::lock_guard lock(mutex_);
    return std::any_of(lines_.begin(), lines_.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

}  // namespace pell::web::test
