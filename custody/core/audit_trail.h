// The audit trail of a record root: "audit.log" beside its day folders, one hash-chained entry
// per thing a program did to a recording (chained_log.h): when (UTC), who (the OS user), which
// program, what, which recording (its path inside the root, so the trail stays true when the
// root is copied or mounted elsewhere) and a detail. Appended under the file's lock by every
// program that plays, copies, exports, deletes, erases, marks or protects a recording, and by
// cleaning. No entry ever holds a calling number or a bookmark's text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/core/clock.h"
#include "custody/core/chained_log.h"
#include "custody/core/custody_files.h"

namespace pell {

inline constexpr const char* kAuditFileName = "audit.log";

enum class AuditAction {
    kPlay,
    kCopy,
    kExport,
    kDelete,
    kErase,
    kBookmark,
    kMarkPlayed,
    kProtect,
    kUnprotect,
    kClean,      // removed by cleaning for disk space
    kRetention,  // removed because it passed its line's keeping time
};

// "play", "copy", "export", "delete", "erase", "bookmark", "mark-played", "protect",
// "unprotect", "clean", "retention".
std::string_view AuditActionName(AuditAction action);
std::optional<AuditAction> ParseAuditAction(std::string_view name);

// What a program appends.
struct AuditRecord {
    std::string user;     // the OS user name (CurrentUserName in custody/posix/custody.h)
    std::string program;  // "PellPlayer", "pell-catalogue", "PellRecorder", ...
    AuditAction action = AuditAction::kPlay;
    std::string recording;  // the recording's full path (a day folder's, or empty for a summary)
    std::string detail;     // free text, at most kAuditDetailBytes; never a number or bookmark
};

inline constexpr std::size_t kAuditDetailBytes = 1000;
inline constexpr std::size_t kAuditPathBytes = 4096;

// One entry as read back.
struct AuditEntry {
    uint64_t seq = 0;
    std::size_t line = 0;
    bool intact = true;  // false where the chain broke
    int64_t time = 0;    // seconds since the epoch
    std::string user;
    std::string program;
    std::string action;     // as written, so entries of later versions are still shown
    std::string recording;  // full path: the root joined with what the trail keeps ("05.03.2026/a.mp3")
    std::string detail;
};

struct AuditRead {
    int error = 0;  // ENOENT: the root has no trail yet
    std::vector<AuditEntry> entries;
    LogCheck check;  // problems, interrupted appends, head; its entries are the raw ones
};

// The record root of a recording ROOT/dd.mm.yyyy/name.mp3, whose trail records it; empty when
// it lies in no day folder (it has no trail then).
std::string RecordRootOf(const std::string& path);

// `path` inside `root` ("05.03.2026/a.mp3"), or `path` unchanged when it lies elsewhere.
std::string PathInRoot(std::string_view root, std::string_view path);

class AuditTrail {
public:
    AuditTrail(CustodyFiles& files, Clock& clock) : files_(files), clock_(clock) {}

    // Appends the records to the root's trail in one locked write; an errno value, 0 when done.
    int Append(const std::string& root, const std::vector<AuditRecord>& records);
    // The root's trail with its chain checked.
    AuditRead Read(const std::string& root);

private:
    CustodyFiles& files_;
    Clock& clock_;
};

}  // namespace pell
