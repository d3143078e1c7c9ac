// The player's custody records on the real files (custody/posix/custody.h), and the recordings'
// files as playing touches them with the audit trail's "play" entry. GUI thread.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "player/ui/core/record_custody.h"
#include "player/ui/core/transport_ports.h"

namespace pell::player {

class PosixCustodyPort final : public CustodyPort {
public:
    std::string UserName() override;
    HoldCheck CheckHold(const std::string& path) override;
    HoldResult ChangeHolds(const HoldRequest& request) override;
    int AppendAudit(const std::string& root, const std::vector<AuditRecord>& records) override;
    AuditRead ReadAudit(const std::string& root) override;
    RecordingVerdict VerifyRecording(const std::string& path) override;
};

// The catalogue's tag write, and a "play" entry each time a record starts; what could not be
// recorded goes to `showNotice` (empty when the entry is written) and the record plays on.
class AuditedRecordFiles final : public DiskRecordFiles {
public:
    AuditedRecordFiles(CustodyPort& custody, std::function<void(const std::string&)> showNotice)
        : custody_(custody), showNotice_(std::move(showNotice)) {}
    void RecordStarted(const std::string& path) override;

private:
    CustodyPort& custody_;
    std::function<void(const std::string&)> showNotice_;
};

}  // namespace pell::player
