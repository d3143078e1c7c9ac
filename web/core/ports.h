// What the web core needs from outside, each behind an interface with a real adapter in
// web/server and a fake in web/core/testing that can fail on the Nth call. Every port may be
// called from several request threads at once unless it says otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "custody/core/audit_trail.h"
#include "custody/core/hold_list.h"
#include "index/core/call_criteria.h"
#include "index/core/call_store.h"
#include "web/core/users.h"

namespace pell::web {

// Random bytes for session and form tokens: the system's cryptographic generator.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void Fill(std::span<uint8_t> out) = 0;
};

// Passwords as Argon2id hash strings. Verify is slow on purpose (tens of milliseconds and tens
// of MiB); the caller limits how many run at once.
class PasswordHasher {
public:
    virtual ~PasswordHasher() = default;
    // Empty when the hash could not be made (out of memory).
    virtual std::string Hash(std::string_view password) = 0;
    virtual bool Verify(const std::string& hash, std::string_view password) = 0;
};

// The accounts as the users file holds them now; a change to the file shows at the next call.
class UsersSource {
public:
    virtual ~UsersSource() = default;
    // Null when the file cannot be read or is broken: nobody may log in (the log says why).
    virtual std::shared_ptr<const UserList> Users() = 0;
};

// The record roots served: paths.ini of the player's program folder, or web.ini's roots.
class RootsSource {
public:
    virtual ~RootsSource() = default;
    virtual std::vector<std::string> Roots() = 0;
};

// The call index.
class CallsPort {
public:
    virtual ~CallsPort() = default;
    virtual StoreResult<SearchPage> Search(const std::vector<std::string>& roots, const CallCriteria& criteria,
                                           const CallOrder& order, std::size_t limit) = 0;
    virtual StoreResult<std::optional<CallRecord>> Find(int64_t id) = 0;
    virtual StoreStatus NoteChanged(const std::string& root, const std::string& path) = 0;
    virtual StoreResult<std::vector<std::string>> Lines(const std::vector<std::string>& roots) = 0;
};

// One recording opened for reading: its bytes as they were when opened.
class OpenRecording {
public:
    virtual ~OpenRecording() = default;
    virtual int64_t Size() const = 0;
    // Up to out.size() bytes from offset; fewer only at the end or on a read error (then 0).
    virtual std::size_t ReadAt(int64_t offset, std::span<uint8_t> out) = 0;
};

enum class RecordingProblem {
    kNone,
    kMissing,     // gone from its day folder (cleaned, deleted)
    kNotPlain,    // a link, folder or device where a recording should be: never followed
    kUnreadable,  // permission or input/output error
    kNoTag,       // a tag write on a file without a tag
};

struct OpenResult {
    std::unique_ptr<OpenRecording> recording;
    RecordingProblem problem = RecordingProblem::kNone;
    std::string reason;  // the system's words
};

struct TagWrite {
    RecordingProblem problem = RecordingProblem::kNone;
    std::string reason;
};

// The recordings on disk, reached only through a call the index returned: its root, its day
// folder and its name, never a path from a request. Links are not followed below the root.
class RecordingFiles {
public:
    virtual ~RecordingFiles() = default;
    virtual OpenResult Open(const CallRecord& call) = 0;
    virtual TagWrite MarkPlayed(const CallRecord& call) = 0;
    virtual TagWrite StoreBookmark(const CallRecord& call, std::string_view text) = 0;
};

struct CustodyStatus {
    bool ok = true;
    std::string reason;
};

struct HoldOutcome {
    enum class Kind {
        kChanged,     // protected or released now, and recorded in the audit trail
        kUnchanged,   // it already was so: nothing to record
        kUnrecorded,  // changed, but the audit trail could not be written
        kFailed,      // the hold list could not be changed: nothing changed
    };
    Kind kind = Kind::kChanged;
    std::string reason;
};

// The audit trail and the legal hold of the record roots (custody/posix/custody.h).
class CustodyPort {
public:
    virtual ~CustodyPort() = default;
    // One entry in `root`'s audit.log: what a web user did to a recording.
    virtual CustodyStatus AppendAudit(const std::string& root, const AuditRecord& record) = 0;
    // The recording's hold as its day folder's protected.list says now.
    virtual HoldCheck Hold(const std::string& path) = 0;
    // Protects or releases one recording, recorded in its root's audit trail as `user` of pell-web.
    virtual HoldOutcome SetProtected(const std::string& path, bool isProtected, const std::string& user) = 0;
};

// A recorder's health file and its line descriptions.
struct StatusFile {
    bool exists = false;
    std::string text;  // at most a few hundred KiB are read
    int64_t modifiedSeconds = 0;
    std::string error;  // a file that is there and cannot be read
};

class RecorderFiles {
public:
    virtual ~RecorderFiles() = default;
    virtual StatusFile ReadStatus(const std::string& programFolder) = 0;
    // The descriptions of line 1 and 2 in the recorder's settings.ini (empty when not set).
    virtual std::vector<std::string> LineNames(const std::string& programFolder) = 0;
};

// The pages, styles and scripts, built into the program.
struct StaticAsset {
    std::string_view bytes;
    std::string_view contentType;
    std::string_view etag;
};

class AssetSource {
public:
    virtual ~AssetSource() = default;
    virtual std::optional<StaticAsset> Find(std::string_view name) = 0;
};

// One line per event for the journal or standard error.
class EventLog {
public:
    virtual ~EventLog() = default;
    virtual void Write(const std::string& line) = 0;
};

}  // namespace pell::web
