// Fakes of every web port, for the core's tests and the HTTP tests: in memory, thread-safe,
// and each able to fail on the Nth call from now (or from then on) through a FaultPlan.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "index/core/testing/memory_call_store.h"
#include "web/core/ports.h"

namespace pell::web::test {

class FaultPlan {
public:
    // The nth call from now (1: the next) fails; with `always` every later one too.
    void FailOn(int nth, bool always = false);
    void Heal();
    // Counts one call; true when it is to fail.
    bool NextFails();
    int Calls() const { return calls_; }

private:
    std::mutex mutex_;
    std::atomic<int> calls_{0};
    int failAt_ = -1;
    bool always_ = false;
};

class CountingRandom final : public RandomSource {
public:
    void Fill(std::span<uint8_t> out) override;

private:
    std::mutex mutex_;
    uint64_t next_ = 0x9E3779B97F4A7C15ULL;
};

// "fake:" + password as the hash; Verify counts its calls.
class FakePasswords final : public PasswordHasher {
public:
    std::string Hash(std::string_view password) override;
    bool Verify(const std::string& hash, std::string_view password) override;
    int Verifications() const { return verifications_; }
    FaultPlan hashFaults;

private:
    std::atomic<int> verifications_{0};
};

class FakeUsers final : public UsersSource {
public:
    std::shared_ptr<const UserList> Users() override;
    void Set(UserList list);
    void Break();  // the file cannot be read

private:
    std::mutex mutex_;
    std::shared_ptr<const UserList> list_ = std::make_shared<UserList>();
};

class FakeRoots final : public RootsSource {
public:
    std::vector<std::string> Roots() override;
    void Set(std::vector<std::string> roots);

private:
    std::mutex mutex_;
    std::vector<std::string> roots_;
};

// Recordings in memory by path: bytes, and what each tag write did.
class FakeRecordings final : public RecordingFiles {
public:
    OpenResult Open(const CallRecord& call) override;
    TagWrite MarkPlayed(const CallRecord& call) override;
    TagWrite StoreBookmark(const CallRecord& call, std::string_view text) override;

    void Put(const std::string& path, std::string bytes);
    void SetProblem(const std::string& path, RecordingProblem problem);
    bool Played(const std::string& path);
    std::string Bookmark(const std::string& path);
    FaultPlan openFaults;
    FaultPlan writeFaults;

private:
    struct File {
        std::string bytes;
        RecordingProblem problem = RecordingProblem::kNone;
        bool played = false;
        std::string bookmark;
        bool hasBookmark = false;
    };
    std::mutex mutex_;
    std::map<std::string, File> files_;
};

// The index: a memory store answering by the reference rules; NoteChanged reads the played
// mark and bookmark back from the fake recordings, as a refresh reads the tag.
class FakeCalls final : public CallsPort {
public:
    explicit FakeCalls(FakeRecordings* recordings = nullptr) : recordings_(recordings) {}

    StoreResult<SearchPage> Search(const std::vector<std::string>& roots, const CallCriteria& criteria,
                                   const CallOrder& order, std::size_t limit) override;
    StoreResult<std::optional<CallRecord>> Find(int64_t id) override;
    StoreStatus NoteChanged(const std::string& root, const std::string& path) override;
    StoreResult<std::vector<std::string>> Lines(const std::vector<std::string>& roots) override;

    // Adds a call under root/folder; returns its id.
    int64_t Add(const std::string& root, const std::string& folder, CallFacts facts);
    std::vector<std::string> Noted();
    FaultPlan faults;

private:
    std::mutex mutex_;
    pell::test::MemoryCallStore store_;
    FakeRecordings* recordings_;
    std::vector<std::string> noted_;
};

// Audit entries and holds in memory; a hold change records its entry as the library does.
class FakeCustody final : public CustodyPort {
public:
    CustodyStatus AppendAudit(const std::string& root, const AuditRecord& record) override;
    HoldCheck Hold(const std::string& path) override;
    HoldOutcome SetProtected(const std::string& path, bool isProtected, const std::string& user) override;

    struct Logged {
        std::string root;
        AuditRecord entry;
    };
    std::vector<Logged> Entries();
    // The hold list of the path's day folder cannot be read (a permission, an I/O error).
    void BreakHoldList(const std::string& path);
    FaultPlan auditFaults;
    FaultPlan holdFaults;

private:
    std::mutex mutex_;
    std::vector<Logged> entries_;
    std::set<std::string> held_;
    std::set<std::string> broken_;
};

class FakeRecorders final : public RecorderFiles {
public:
    StatusFile ReadStatus(const std::string& programFolder) override;
    std::vector<std::string> LineNames(const std::string& programFolder) override;
    void SetStatus(const std::string& folder, StatusFile file);
    void SetNames(const std::string& folder, std::vector<std::string> names);

private:
    std::mutex mutex_;
    std::map<std::string, StatusFile> status_;
    std::map<std::string, std::vector<std::string>> names_;
};

// login.html, app.html, app.css and app.js with short bodies.
class FakeAssets final : public AssetSource {
public:
    std::optional<StaticAsset> Find(std::string_view name) override;
};

class FakeLog final : public EventLog {
public:
    void Write(const std::string& line) override;
    std::vector<std::string> Lines();
    bool Contains(const std::string& part);

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace pell::web::test
