#include "web/server/posix_ports.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

#include "common/core/escape_text.h"
#include "common/core/paths.h"
#include "common/core/recorder_settings.h"
#include "common/core/unique_fd.h"
#include "custody/posix/custody.h"
#include "player/catalogue/record_roots.h"
#include "player/catalogue/tag_writer.h"
#include "web/core/recorder_status.h"
#include "web/core/web_app.h"

namespace pell::web {
namespace {

constexpr std::size_t kStatusReadLimit = 524'288;

std::string SystemWords(int error) { return std::strerror(error); }

// A name from the index that must be one component: a changed or shared index never walks us
// out of a root.
bool OneComponent(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

struct Opened {
    UniqueFd fd;
    struct stat info {};
    RecordingProblem problem = RecordingProblem::kNone;
    std::string reason;
};

Opened OpenBelowRoot(const CallRecord& call, int flags) {
    Opened out;
    if (!OneComponent(call.folder) || !OneComponent(call.facts.name)) {
        out.problem = RecordingProblem::kNotPlain;
        out.reason = "the index names a path outside its day folder";
        return out;
    }
    const auto fail = [&](int error, const std::string& what) {
        out.problem = error == ENOENT || error == ENOTDIR ? RecordingProblem::kMissing
                      : error == ELOOP                    ? RecordingProblem::kNotPlain
                                                          : RecordingProblem::kUnreadable;
        out.reason = what + ": " + (error == ELOOP ? "a symbolic link, not followed" : SystemWords(error));
        return std::move(out);
    };
    // The root itself is the administrator's choice and may be a link; nothing below it may.
    const UniqueFd root(::open(call.root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root) return fail(errno, call.root);
    const UniqueFd day(::openat(root.Get(), call.folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!day) {
        // A link opened with O_DIRECTORY | O_NOFOLLOW fails as "not a folder": name it.
        const int error = errno;
        struct stat link {};
        const bool isLink =
            ::fstatat(root.Get(), call.folder.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode);
        return fail(isLink ? ELOOP : error, call.folder);
    }
    // Non-blocking, so a FIFO put in a recording's place cannot hold a request thread.
    out.fd = UniqueFd(::openat(day.Get(), call.facts.name.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!out.fd) return fail(errno, call.facts.name);
    if (::fstat(out.fd.Get(), &out.info) != 0) return fail(errno, call.facts.name);
    if (!S_ISREG(out.info.st_mode)) {
        out.fd = UniqueFd();
        out.problem = RecordingProblem::kNotPlain;
        out.reason = call.facts.name + ": not a regular file";
        return out;
    }
    const int fileFlags = ::fcntl(out.fd.Get(), F_GETFL);
    if (fileFlags >= 0) ::fcntl(out.fd.Get(), F_SETFL, fileFlags & ~O_NONBLOCK);
    return out;
}

class PosixOpenRecording final : public OpenRecording {
public:
    PosixOpenRecording(UniqueFd fd, int64_t size) : fd_(std::move(fd)), size_(size) {}
    int64_t Size() const override { return size_; }
    std::size_t ReadAt(int64_t offset, std::span<uint8_t> out) override {
        std::size_t done = 0;
        while (done < out.size() && offset + static_cast<int64_t>(done) < size_) {
            const auto wanted =
                std::min<int64_t>(static_cast<int64_t>(out.size() - done), size_ - offset - static_cast<int64_t>(done));
            const ssize_t got = ::pread(fd_.Get(), out.data() + done, static_cast<std::size_t>(wanted),
                                        static_cast<off_t>(offset + static_cast<int64_t>(done)));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return 0;
            if (got == 0) break;
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

private:
    UniqueFd fd_;
    int64_t size_;
};

class FdTagFile final : public TagFile {
public:
    FdTagFile(int fd, int64_t length) : fd_(fd), length_(length) {}
    int64_t Length() const override { return length_; }
    bool ReadExactly(int64_t offset, void* out, std::size_t count) override {
        auto* bytes = static_cast<uint8_t*>(out);
        while (count > 0) {
            const ssize_t got = ::pread(fd_, bytes, count, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            bytes += got;
            offset += got;
            count -= static_cast<std::size_t>(got);
        }
        return true;
    }
    bool WriteExactly(int64_t offset, const void* data, std::size_t count) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        while (count > 0) {
            const ssize_t put = ::pwrite(fd_, bytes, count, static_cast<off_t>(offset));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            bytes += put;
            offset += put;
            count -= static_cast<std::size_t>(put);
        }
        if (offset > length_) length_ = offset;
        return true;
    }
    bool Truncate(int64_t length) override {
        if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) return false;
        length_ = length;
        return true;
    }

private:
    int fd_;
    int64_t length_;
};

TagWrite ChangeTag(const CallRecord& call, const TagChange& change) {
    Opened opened = OpenBelowRoot(call, O_RDWR);
    if (!opened.fd) return {opened.problem, opened.reason};
    FdTagFile file(opened.fd.Get(), opened.info.st_size);
    const TagWriteResult result = ChangeRecordingTag(file, change);
    // The list takes a call's start from the file's last write: it stays as it was.
    const struct timespec times[2] = {{0, UTIME_OMIT}, opened.info.st_mtim};
    ::futimens(opened.fd.Get(), times);
    switch (result) {
        case TagWriteResult::kWritten:
            break;
        case TagWriteResult::kNoTag:
            return {RecordingProblem::kNoTag, "the recording has no tag"};
        case TagWriteResult::kCannotOpen:
        case TagWriteResult::kIoFailed:
            return {RecordingProblem::kUnreadable, "the tag could not be written: " + SystemWords(errno)};
    }
    if (::fsync(opened.fd.Get()) != 0) return {RecordingProblem::kUnreadable, SystemWords(errno)};
    return {};
}

}  // namespace

void KernelRandom::Fill(std::span<uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t got = ::getrandom(out.data() + done, out.size() - done, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            // Without the kernel's generator no token would be safe: better no server at all.
            std::perror("pell-web: getrandom");
            std::abort();
        }
        done += static_cast<std::size_t>(got);
    }
}

SodiumPasswords::SodiumPasswords() : SodiumPasswords(Cost{}) {}

SodiumPasswords::SodiumPasswords(Cost cost) : cost_(cost) {
    if (sodium_init() < 0) {
        std::fputs("pell-web: libsodium cannot start\n", stderr);
        std::abort();
    }
}

std::string SodiumPasswords::Hash(std::string_view password) {
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), cost_.opsLimit, cost_.memLimitBytes,
                              crypto_pwhash_ALG_ARGON2ID13) != 0) {
        return {};
    }
    return out;
}

bool SodiumPasswords::Verify(const std::string& hash, std::string_view password) {
    if (hash.rfind("$argon2id$", 0) != 0) return false;
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

std::shared_ptr<const UserList> UsersFile::Users() {
    std::lock_guard lock(mutex_);
    struct stat info {};
    const auto broken = [&](const std::string& why) {
        if (why != lastError_) log_.Write("users file " + path_ + ": " + why + "; nobody can log in");
        lastError_ = why;
        list_.reset();
        size_ = -1;
        return nullptr;
    };
    if (::stat(path_.c_str(), &info) != 0) {
        // No file yet: no accounts (pell-web user add makes the first).
        if (errno == ENOENT) {
            lastError_.clear();
            if (!list_ || size_ != 0) list_ = std::make_shared<UserList>();
            size_ = 0;
            inode_ = 0;
            return list_;
        }
        return broken(SystemWords(errno));
    }
    const int64_t mtimeNs = static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    if (list_ && info.st_ino == inode_ && info.st_size == size_ && mtimeNs == mtimeNs_) return list_;
    std::ifstream in(path_, std::ios::binary);
    if (!in) return broken(SystemWords(errno));
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    UsersParse parse = ParseUsers(text);
    if (!parse.error.empty()) return broken(parse.error);
    lastError_.clear();
    list_ = std::make_shared<const UserList>(std::move(parse.list));
    inode_ = info.st_ino;
    size_ = info.st_size;
    mtimeNs_ = mtimeNs;
    return list_;
}

std::vector<std::string> ConfiguredRoots::Roots() {
    std::vector<std::string> roots = roots_.empty() && !playerFolder_.empty() ? LoadRecordRoots(playerFolder_) : roots_;
    for (std::string& root : roots) root = NormaliseRoot(root);
    return roots;
}

IndexCalls::IndexCalls(std::vector<std::unique_ptr<OpenedCallIndex>> indexes, EventLog& log)
    : indexes_(std::move(indexes)), log_(log) {
    for (const auto& index : indexes_) idle_.push_back(index.get());
}

IndexCalls::~IndexCalls() {
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    cancel_ = true;
    stopSignal_.notify_all();
    if (refreshThread_.joinable()) refreshThread_.join();
}

template <typename Work>
auto IndexCalls::WithIndex(Work&& work) {
    OpenedCallIndex* index = nullptr;
    {
        std::unique_lock lock(mutex_);
        returned_.wait(lock, [this] { return !idle_.empty(); });
        index = idle_.back();
        idle_.pop_back();
    }
    struct GiveBack {
        IndexCalls& owner;
        OpenedCallIndex* index;
        ~GiveBack() {
            {
                std::lock_guard lock(owner.mutex_);
                owner.idle_.push_back(index);
            }
            owner.returned_.notify_one();
        }
    } giveBack{*this, index};
    return work(index->Index());
}

StoreResult<SearchPage> IndexCalls::Search(const std::vector<std::string>& roots, const CallCriteria& criteria,
                                           const CallOrder& order, std::size_t limit) {
    return WithIndex([&](CallIndex& index) { return index.Search(roots, criteria, order, limit); });
}

StoreResult<std::optional<CallRecord>> IndexCalls::Find(int64_t id) {
    return WithIndex([&](CallIndex& index) { return index.Find(id); });
}

StoreStatus IndexCalls::NoteChanged(const std::string& root, const std::string& path) {
    return WithIndex([&](CallIndex& index) { return index.NoteChanged(root, path); });
}

StoreResult<std::vector<std::string>> IndexCalls::Lines(const std::vector<std::string>& roots) {
    return WithIndex([&](CallIndex& index) { return index.Lines(roots); });
}

void IndexCalls::StartRefresh(std::unique_ptr<OpenedCallIndex> refresher, RootsSource& roots, int seconds) {
    refresher_ = std::move(refresher);
    refreshThread_ = std::thread([this, &roots, seconds] {
        RefreshOptions options;
        options.cancelled = [this] { return cancel_.load(); };
        for (;;) {
            const std::vector<std::string> list = roots.Roots();
            const RefreshReport report = refresher_->Index().Refresh(list, options);
            if (report.outcome == RefreshReport::Outcome::kStoreFailed) {
                log_.Write("index refresh failed: " + report.store.message);
            } else if (report.added + report.changed + report.removed > 0) {
                log_.Write("index refreshed: " + std::to_string(report.added) + " added, " +
                           std::to_string(report.changed) + " changed, " + std::to_string(report.removed) + " removed");
            }
            for (const RefreshProblem& problem : report.unreachable) {
                log_.Write("index refresh cannot read " + EscapeUnprintable(problem.place) + ": " + problem.reason);
            }
            std::unique_lock lock(stopMutex_);
            if (stopSignal_.wait_for(lock, std::chrono::seconds(seconds), [this] { return stopping_; })) return;
        }
    });
}

OpenResult PosixRecordings::Open(const CallRecord& call) {
    Opened opened = OpenBelowRoot(call, O_RDONLY);
    OpenResult result;
    result.problem = opened.problem;
    result.reason = opened.reason;
    if (opened.fd) {
        const int64_t size = opened.info.st_size;
        ::posix_fadvise(opened.fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
        result.recording = std::make_unique<PosixOpenRecording>(std::move(opened.fd), size);
    }
    return result;
}

TagWrite PosixRecordings::MarkPlayed(const CallRecord& call) {
    return ChangeTag(call, [](TagBytes& tag) { SetPlayedMark(tag); });
}

TagWrite PosixRecordings::StoreBookmark(const CallRecord& call, std::string_view text) {
    const std::string kept(text);
    return ChangeTag(call, [kept](TagBytes& tag) { SetBookmarkText(tag, kept); });
}

CustodyStatus LibraryCustody::AppendAudit(const std::string& root, const AuditRecord& record) {
    const int error = pell::AppendAudit(root, record);
    if (error == 0) return {};
    return {false, JoinPath(root, kAuditFileName) + ": " + SystemWords(error)};
}

HoldCheck LibraryCustody::Hold(const std::string& path) { return CheckHold(path); }

HoldOutcome LibraryCustody::SetProtected(const std::string& path, bool isProtected, const std::string& user) {
    const HoldResult result = ChangeHolds(HoldRequest{{path}, isProtected, kProgramName, ""}, user);
    const bool changed = !result.changed.empty();
    if (!result.failures.empty()) {
        return {changed ? HoldOutcome::Kind::kUnrecorded : HoldOutcome::Kind::kFailed, result.failures.front()};
    }
    return {changed ? HoldOutcome::Kind::kChanged : HoldOutcome::Kind::kUnchanged, {}};
}

StatusFile PosixRecorderFiles::ReadStatus(const std::string& programFolder) {
    StatusFile out;
    const std::string path = JoinPath(programFolder, "status.json");
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        if (errno != ENOENT) out.error = path + ": " + SystemWords(errno);
        return out;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        out.error = path + ": not a readable file";
        return out;
    }
    out.exists = true;
    out.modifiedSeconds = info.st_mtim.tv_sec;
    out.text.resize(kStatusReadLimit);
    std::size_t done = 0;
    while (done < out.text.size()) {
        const ssize_t got = ::read(fd.Get(), out.text.data() + done, out.text.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            out.error = path + ": " + SystemWords(errno);
            return out;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    out.text.resize(done);
    return out;
}

std::vector<std::string> PosixRecorderFiles::LineNames(const std::string& programFolder) {
    RecorderSettings settings;
    settings.programFolder = programFolder;
    ToneTables tables;
    LoadSettings(settings, tables);
    return {settings.channels[0].description, settings.channels[1].description};
}

void StderrLog::Write(const std::string& line) {
    std::lock_guard lock(mutex_);
    std::cerr << "pell-web: " << line << '\n' << std::flush;
}

}  // namespace pell::web
