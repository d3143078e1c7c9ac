// The custody records as every program calls them: real files, the system clock and the OS
// user. The recorder files (HashAudio, RecordFiled) and cleans (RemoveDayFolder); the player,
// the web server and pell-catalogue audit what they do (AppendAudit), ask before deleting
// (IsProtected) and show a recording's proof (VerifyRecording). Each call is complete in
// itself and safe beside other threads and processes doing the same.
//
// Paths are as the programs hold them: ROOT (a record root), ROOT/dd.mm.yyyy (a day folder),
// ROOT/dd.mm.yyyy/name.mp3 (a recording).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "custody/core/audit_trail.h"
#include "custody/core/hold_list.h"
#include "custody/core/manifest.h"
#include "custody/core/recording_custody.h"
#include "custody/core/removal.h"
#include "custody/core/verify.h"

namespace pell {

// The user this process runs as ("alice"); as root started by sudo, "root (sudo: alice)".
std::string CurrentUserName();

// Appends one entry to ROOT/audit.log. An errno value, 0 when it is on the disk.
int AppendAudit(const std::string& root, const AuditRecord& record);
int AppendAudit(const std::string& root, const std::vector<AuditRecord>& records);

// The trail of a root with its chain checked.
AuditRead ReadAudit(const std::string& root);

// True when the recording is protected, and when its hold list cannot be read: a deleter
// refuses then. CheckHold tells the two apart, with the reason.
bool IsProtected(const std::string& path);
HoldCheck CheckHold(const std::string& path);

// Protects or releases recordings, each audited as `program` by the OS user; `detail` (a case
// reference, say) goes into every audit entry. The paths whose hold changed, or why not.
struct HoldRequest {
    std::vector<std::string> paths;
    bool held = true;
    std::string program;
    std::string detail;
};
struct HoldResult {
    std::vector<std::string> changed;    // protected or released now
    std::vector<std::string> unchanged;  // already so
    std::vector<std::string> failures;   // "path: why"; nothing changed for those
};
HoldResult ChangeHolds(const HoldRequest& request);
// The same, audited as `user` instead of the OS user: a server names the user it serves.
HoldResult ChangeHolds(const HoldRequest& request, const std::string& user);

// The SHA-256 of a recording's audio, read from the file as it lies on the disk.
AudioHashResult HashAudio(const std::string& path);

// The recorder, right after it filed a recording of `dayFolder`: its manifest entry.
int RecordFiled(const std::string& dayFolder, const FiledFacts& facts, const AudioDigest& audioHash);

// "verified", or what is wrong with the recording, for the player's Properties.
RecordingVerdict VerifyRecording(const std::string& path);

// Cleaning and retention: empties a day folder except its protected recordings, audited as
// `program` by the OS user (see removal.h).
DayRemoval RemoveDayFolder(const std::string& dayFolder, RemovalReason reason, const std::string& program);

// Erasure on a person's request: unlinks the recordings for good, refusing protected ones, and
// records it in each root's trail without the number (see removal.h).
ErasureReport EraseRecordings(const std::vector<ErasureTarget>& targets, const std::string& program);

// The recorder's custody on real files, audited as `program` ("PellRecorder") by the OS user.
class PosixRecordingCustody final : public RecordingCustody {
public:
    explicit PosixRecordingCustody(std::string program) : program_(std::move(program)) {}
    DayRemoval RemoveDay(const std::string& dayFolder, RemovalReason reason) override;
    int NoteFiled(const std::string& path, const FiledFacts& facts) override;

private:
    std::string program_;
};

}  // namespace pell
