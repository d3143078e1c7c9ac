#include "player/ui/custody_services.h"

#include "custody/posix/custody.h"

namespace pell::player {

std::string PosixCustodyPort::UserName() { return CurrentUserName(); }
HoldCheck PosixCustodyPort::CheckHold(const std::string& path) { return pell::CheckHold(path); }
HoldResult PosixCustodyPort::ChangeHolds(const HoldRequest& request) { return pell::ChangeHolds(request); }

int PosixCustodyPort::AppendAudit(const std::string& root, const std::vector<AuditRecord>& records) {
    return pell::AppendAudit(root, records);
}

AuditRead PosixCustodyPort::ReadAudit(const std::string& root) { return pell::ReadAudit(root); }

RecordingVerdict PosixCustodyPort::VerifyRecording(const std::string& path) { return pell::VerifyRecording(path); }

void AuditedRecordFiles::RecordStarted(const std::string& path) {
    showNotice_(AuditRecordings(custody_, AuditAction::kPlay, {path}));
}

}  // namespace pell::player
