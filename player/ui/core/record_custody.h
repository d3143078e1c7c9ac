// The player's side of the custody records: which recordings of a selection may be deleted and
// what the user is told about the others, protecting and releasing them, the audit entries of
// what the player does (play, copy, delete, bookmark, protect, unprotect), and what Properties
// shows of one recording (its proof against the day folder's manifest, its hold, its audit
// entries). All of it goes through CustodyPort; the windows only show the texts made here.
//
// An audit entry that cannot be written never stops what the user asked for: the action goes
// on, and the status text returned here says what was not recorded, and why.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "custody/core/audit_trail.h"
#include "custody/core/hold_list.h"
#include "custody/core/verify.h"

namespace pell::player {

inline constexpr const char* kPlayerProgramName = "PellPlayer";

// The custody records of the record roots as the player reaches them: PosixCustodyPort
// (player/ui/posix_custody_port.h) on the real files, FakeCustodyPort (testing/) in tests. Called
// on the GUI thread; every call is complete in itself and reports its failure in its result.
class CustodyPort {
public:
    virtual ~CustodyPort() = default;
    // The login name the audit entries carry.
    virtual std::string UserName() = 0;
    virtual HoldCheck CheckHold(const std::string& path) = 0;
    // Protects or releases, auditing each change as request.program.
    virtual HoldResult ChangeHolds(const HoldRequest& request) = 0;
    // An errno value, 0 when the entries are on the disk.
    virtual int AppendAudit(const std::string& root, const std::vector<AuditRecord>& records) = 0;
    virtual AuditRead ReadAudit(const std::string& root) = 0;
    virtual RecordingVerdict VerifyRecording(const std::string& path) = 0;
};

// The rows a command on "the selected recordings" acts on: the selected rows in list order, or
// the current row when none is selected; none when neither is.
std::vector<int> CommandRows(int currentRow, std::vector<int> selectedRows);

// Appends one entry per recording as the user and "PellPlayer", one append per record root;
// recordings in no day folder have no trail. Empty when all is recorded, else the status text:
// what was not recorded and why ("Not recorded in the audit trail: play of "a.mp3" (...)").
std::string AuditRecordings(CustodyPort& port, AuditAction action, const std::vector<std::string>& paths,
                            const std::string& detail = {});

struct KeptRecording {
    std::string path;
    std::string unknownReason;  // empty: under legal hold; else why its hold cannot be told
};

struct DeletePlan {
    std::vector<std::string> deletable;
    std::vector<KeptRecording> kept;  // held, or with a hold list that cannot be read
};

DeletePlan PlanDelete(CustodyPort& port, const std::vector<std::string>& paths);

// When nothing of the selection may go: names each recording kept, why, and how to release it.
std::string DeleteRefusal(const DeletePlan& plan);
// When something may go: the question, naming the recordings that stay and why.
std::string DeleteQuestion(const DeletePlan& plan);

struct DeleteOutcome {
    std::vector<std::string> trashed;
    std::vector<KeptRecording> keptNow;  // protected between the question and the move
    std::vector<std::string> failed;     // the trash refused them
    std::string auditNotice;             // empty when every deletion is in the audit trail
};

// Moves every deletable recording to the trash through `moveToTrash` (true when moved), asking
// for its hold again just before, and audits what went.
DeleteOutcome DeleteRecordings(CustodyPort& port, const DeletePlan& plan,
                               const std::function<bool(const std::string&)>& moveToTrash);

// What the user must still be told once the deletion ran (failures, holds set meanwhile); empty
// when everything asked for went.
std::string DeleteReport(const DeleteOutcome& outcome);

struct HoldOutcome {
    std::vector<std::string> changed;
    std::string status;       // what happened, for the status line
    std::string auditNotice;  // holds changed but not recorded in the audit trail; or empty
    std::string failure;      // recordings whose hold could not be changed, for a message; or empty
};

// Protects (`held`) or releases the recordings, audited as the player.
HoldOutcome ChangeHolds(CustodyPort& port, const std::vector<std::string>& paths, bool held);

// The recording's proof against its day folder's manifest.
struct ProofLine {
    bool verified = false;
    std::string headline;  // "verified", "altered since it was filed", ...
    std::string detail;    // what the custody records say beyond it; may be empty
};
ProofLine ProofLineOf(const RecordingVerdict& verdict);

// One audit entry of a recording, as Properties lists it.
struct AuditRow {
    std::string time;  // local "%d.%m.%Y %H:%M:%S"; "! " before it when the chain broke there
    std::string user;
    std::string program;
    std::string action;
};

struct RecordingAudit {
    std::vector<AuditRow> rows;  // newest first
    std::string note;            // no entries, a trail that cannot be read or was tampered with
};

// The entries of `path` in its root's trail `read`.
RecordingAudit AuditRowsFor(const AuditRead& read, const std::string& path);

// What Properties shows of one recording.
struct RecordingProperties {
    std::string path;
    ProofLine proof;
    std::string hold;  // "protected (legal hold)", "not protected", or why it cannot be told
    RecordingAudit audit;
};

RecordingProperties DescribeRecording(CustodyPort& port, const std::string& path);

}  // namespace pell::player
