// The web core's ports on the real system: the kernel's random bytes, libsodium's Argon2id,
// the users file, paths.ini, the call index, the recordings below their roots, the recorders'
// program folders and standard error (the journal under systemd).
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "index/open/open_call_index.h"
#include "web/core/ports.h"

namespace pell::web {

class KernelRandom final : public RandomSource {
public:
    void Fill(std::span<uint8_t> out) override;
};

// Argon2id through libsodium. The cost of new hashes: 64 MiB and 2 passes by default, which
// keeps a check near a tenth of a second on an office PC.
class SodiumPasswords final : public PasswordHasher {
public:
    struct Cost {
        unsigned long long opsLimit = 2;
        std::size_t memLimitBytes = std::size_t{64} << 20;
    };
    SodiumPasswords();
    explicit SodiumPasswords(Cost cost);
    std::string Hash(std::string_view password) override;
    bool Verify(const std::string& hash, std::string_view password) override;

private:
    Cost cost_;
};

// The users file, read again when its size, last write or inode change.
class UsersFile final : public UsersSource {
public:
    UsersFile(std::string path, EventLog& log) : path_(std::move(path)), log_(log) {}
    std::shared_ptr<const UserList> Users() override;

private:
    std::string path_;
    EventLog& log_;
    std::mutex mutex_;
    std::shared_ptr<const UserList> list_;
    ino_t inode_ = 0;
    off_t size_ = -1;
    int64_t mtimeNs_ = -1;
    std::string lastError_;
};

// web.ini's roots when it lists any, else the player folder's paths.ini, read at every call.
class ConfiguredRoots final : public RootsSource {
public:
    ConfiguredRoots(std::vector<std::string> roots, std::string playerFolder)
        : roots_(std::move(roots)), playerFolder_(std::move(playerFolder)) {}
    std::vector<std::string> Roots() override;

private:
    std::vector<std::string> roots_;
    std::string playerFolder_;
};

// The call index: a few opened indexes shared by the request threads (each used by one request
// at a time; SQLite's readers and PostgreSQL's connections work side by side) and, when
// refreshing, one more on a thread of its own that brings it up to date.
class IndexCalls final : public CallsPort {
public:
    IndexCalls(std::vector<std::unique_ptr<OpenedCallIndex>> indexes, EventLog& log);
    ~IndexCalls() override;

    StoreResult<SearchPage> Search(const std::vector<std::string>& roots, const CallCriteria& criteria,
                                   const CallOrder& order, std::size_t limit) override;
    StoreResult<std::optional<CallRecord>> Find(int64_t id) override;
    StoreStatus NoteChanged(const std::string& root, const std::string& path) override;
    StoreResult<std::vector<std::string>> Lines(const std::vector<std::string>& roots) override;

    // Refreshes `refresher` over the roots every `seconds` (the first one at once) until destroyed.
    void StartRefresh(std::unique_ptr<OpenedCallIndex> refresher, RootsSource& roots, int seconds);
    std::string Describe() const { return indexes_.front()->Describe(); }

private:
    template <typename Work>
    auto WithIndex(Work&& work);

    std::vector<std::unique_ptr<OpenedCallIndex>> indexes_;
    std::mutex mutex_;
    std::condition_variable returned_;
    std::vector<OpenedCallIndex*> idle_;
    EventLog& log_;
    std::unique_ptr<OpenedCallIndex> refresher_;
    std::mutex stopMutex_;
    std::condition_variable stopSignal_;
    bool stopping_ = false;
    std::atomic<bool> cancel_{false};
    std::thread refreshThread_;
};

// The recordings, opened from the root down with no link followed below it: a day folder or a
// recording that is a link, a folder or a device is refused.
class PosixRecordings final : public RecordingFiles {
public:
    OpenResult Open(const CallRecord& call) override;
    TagWrite MarkPlayed(const CallRecord& call) override;
    TagWrite StoreBookmark(const CallRecord& call, std::string_view text) override;
};

// The custody library's records: audit.log of each record root, protected.list of each day
// folder, with the web user named in every entry.
class LibraryCustody final : public CustodyPort {
public:
    CustodyStatus AppendAudit(const std::string& root, const AuditRecord& record) override;
    HoldCheck Hold(const std::string& path) override;
    HoldOutcome SetProtected(const std::string& path, bool isProtected, const std::string& user) override;
};

class PosixRecorderFiles final : public RecorderFiles {
public:
    StatusFile ReadStatus(const std::string& programFolder) override;
    std::vector<std::string> LineNames(const std::string& programFolder) override;
};

class StderrLog final : public EventLog {
public:
    void Write(const std::string& line) override;

private:
    std::mutex mutex_;
};

// The pages, styles and scripts of web/static, built into the program.
class BuiltInAssets final : public AssetSource {
public:
    std::optional<StaticAsset> Find(std::string_view name) override;
};

}  // namespace pell::web
