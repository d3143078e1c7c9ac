// pell-catalogue's commands over the custody records of a record root: `audit` prints the
// trail and says where its chain broke, `verify` checks the recordings against their day
// folders' manifests. AuditRecording appends the entry of something the tool did to one
// recording (a bookmark, a played mark, a copy for an export).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "custody/core/audit_trail.h"
#include "tools/pell-catalogue/index_commands.h"

namespace pell {

inline constexpr const char* kToolProgramName = "pell-catalogue";

// Appends `action` on the recording at `path` to its root's trail as the OS user and this tool.
// A recording in no day folder has no trail: true. False, with the reason on `err`, when the
// entry could not be written.
bool AuditRecording(const std::string& path, AuditAction action, const std::string& detail, std::ostream& err);

// Entries of the same root in one append; false (reason on `err`) when it failed.
bool AuditRecordings(const std::vector<std::string>& paths, AuditAction action, const std::string& detail,
                     std::ostream& err);

// audit [--recording FILE] [--csv] ROOT...: 0 when every trail is intact, 1 when one is broken
// or unreadable, 2 bad usage.
int RunAuditCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// verify ROOT...|FILE...: 0 when every recording is as filed, 1 when something is altered,
// missing, unlisted or unreadable (or a manifest is broken), 2 bad usage, 130 interrupted.
int RunVerifyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const ToolEnvironment& environment);

}  // namespace pell
