// Taking recordings away for good, as the rules allow: a day folder emptied by cleaning or by a
// retention pass keeps its protected recordings (with its hold list and its manifest), and an
// erasure on request removes named recordings unless they are protected. Before anything is
// unlinked, the manifest erases the numbers of the recordings going and notes why they went,
// so a crash never leaves a number behind a file that is gone; afterwards the record root's
// audit trail gets one entry per recording removed.
#pragma once

#include <string>
#include <vector>

#include "common/core/clock.h"
#include "custody/core/audit_trail.h"
#include "custody/core/custody_files.h"

namespace pell {

// Who does the removing, for the audit trail.
struct AuditIdentity {
    std::string user;
    std::string program;
};

enum class RemovalReason { kCleaning, kRetention };

struct DayRemoval {
    bool existed = true;                // false: there was no such folder, nothing was done
    bool folderRemoved = false;         // the folder itself is gone
    std::vector<std::string> removed;   // names removed (recordings and any other files)
    std::vector<std::string> kept;      // protected recordings left in place
    std::vector<std::string> failures;  // "name: the system's words"; those stay
    std::string auditProblem;           // why the audit trail could not be appended to, if so

    // Nothing failed: the folder is gone, or only its protected recordings are left.
    bool Complete() const { return existed && failures.empty(); }
};

// Empties the day folder `dayFolder` (ROOT/dd.mm.yyyy) for cleaning or retention: every file and
// sub-folder goes except the protected recordings, their hold list and the manifest; the
// folder goes too when nothing is kept. A hold list that cannot be read keeps everything.
DayRemoval RemoveDayFolder(CustodyFiles& files, Clock& clock, const std::string& dayFolder, RemovalReason reason,
                           const AuditIdentity& identity);

struct ErasureTarget {
    std::string path;  // ROOT/dd.mm.yyyy/name.mp3
    std::string line;  // its line's description, for the record of the erasure
};

struct ErasureOutcome {
    enum class Result { kErased, kProtected, kFailed };
    std::string path;
    Result result = Result::kFailed;
    std::string reason;  // Protected, Failed: why it stays
};

struct ErasureReport {
    std::vector<ErasureOutcome> outcomes;  // one per target, in order
    std::vector<std::string> auditProblems;
};

// Erases the recordings for good on a person's request (unlinked, not moved to a trash),
// refusing protected ones. The audit trail of each root records every recording erased and a
// summary (how many, which lines), never the number.
ErasureReport EraseRecordings(CustodyFiles& files, Clock& clock, const std::vector<ErasureTarget>& targets,
                              const AuditIdentity& identity);

}  // namespace pell
