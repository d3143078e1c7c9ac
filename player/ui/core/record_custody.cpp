#include "player/ui/core/record_custody.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "common/core/paths.h"
#include "custody/core/utc_time.h"

namespace pell::player {
namespace {

// Names listed in one message before the rest are only counted.
constexpr std::size_t kNamesShown = 5;

const char* const kReleaseHint =
    "To delete a protected recording, release its hold first: Unprotect in the list's menu, or "
    "pell-catalogue unprotect FILE.";

std::string Quoted(const std::string& path) { return "\"" + NameOf(path) + "\""; }

std::string Recordings(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " recording" : " recordings");
}

// "a.mp3", "b.mp3" and 3 more
std::string NameList(const std::vector<std::string>& paths) {
    std::string out;
    const std::size_t shown = std::min(paths.size(), kNamesShown);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) out += i + 1 == shown && shown == paths.size() ? " and " : ", ";
        out += Quoted(paths[i]);
    }
    if (shown < paths.size()) out += " and " + std::to_string(paths.size() - shown) + " more";
    return out;
}

std::string HeldOnes(const std::vector<KeptRecording>& kept) {
    std::vector<std::string> held;
    for (const KeptRecording& k : kept) {
        if (k.unknownReason.empty()) held.push_back(k.path);
    }
    return held.empty() ? std::string() : NameList(held);
}

// One paragraph per kind of recording kept.
std::string KeptParagraphs(const std::vector<KeptRecording>& kept) {
    std::string out;
    const std::string held = HeldOnes(kept);
    if (!held.empty()) out += "Kept, under legal hold: " + held + ".";
    for (const KeptRecording& k : kept) {
        if (k.unknownReason.empty()) continue;
        if (!out.empty()) out += "\n";
        out += "Kept, because its legal hold cannot be told: " + Quoted(k.path) + " (" + k.unknownReason +
               "). Let this user read the day folder's " + kHoldFileName + ", then try again.";
    }
    if (!held.empty()) out += std::string("\n\n") + kReleaseHint;
    return out;
}

std::string Reason(int error) { return std::strerror(error); }

// "Protected 2 recordings; "b.mp3" was already protected"
std::string HoldStatus(const HoldResult& result, bool held) {
    const char* done = held ? "Protected" : "Released";
    std::string status;
    if (result.changed.size() == 1) status = std::string(done) + ": " + Quoted(result.changed.front());
    if (result.changed.size() > 1) status = std::string(done) + " " + Recordings(result.changed.size());
    if (result.unchanged.empty()) return status;
    if (!status.empty()) status += "; ";
    if (result.unchanged.size() == 1) {
        return status + Quoted(result.unchanged.front()) + (held ? " was already protected" : " was not protected");
    }
    return status + Recordings(result.unchanged.size()) + (held ? " were already protected" : " were not protected");
}

// A failure of ChangeHolds that names one of the recordings ("path: why"), not the audit trail.
bool NamesOneOf(const std::string& failure, const std::vector<std::string>& paths) {
    return std::any_of(paths.begin(), paths.end(), [&failure](const std::string& path) {
        return failure.compare(0, path.size() + 2, path + ": ") == 0;
    });
}

}  // namespace

std::vector<int> CommandRows(int currentRow, std::vector<int> selectedRows) {
    std::sort(selectedRows.begin(), selectedRows.end());
    selectedRows.erase(std::unique(selectedRows.begin(), selectedRows.end()), selectedRows.end());
    selectedRows.erase(std::remove_if(selectedRows.begin(), selectedRows.end(), [](int row) { return row < 0; }),
                       selectedRows.end());
    if (!selectedRows.empty()) return selectedRows;
    if (currentRow >= 0) return {currentRow};
    return {};
}

std::string AuditRecordings(CustodyPort& port, AuditAction action, const std::vector<std::string>& paths,
                            const std::string& detail) {
    std::map<std::string, std::vector<AuditRecord>> byRoot;
    std::string user;
    for (const std::string& path : paths) {
        const std::string root = RecordRootOf(path);
        if (root.empty()) continue;
        if (user.empty()) user = port.UserName();
        byRoot[root].push_back({user, kPlayerProgramName, action, path, detail});
    }
    std::string notice;
    for (const auto& [root, records] : byRoot) {
        const int error = port.AppendAudit(root, records);
        if (error == 0) continue;
        const std::string what = records.size() == 1 ? Quoted(records.front().recording) : Recordings(records.size());
        if (!notice.empty()) notice += "; ";
        notice += "Not recorded in the audit trail: " + std::string(AuditActionName(action)) + " of " + what + " (" +
                  JoinPath(root, kAuditFileName) + ": " + Reason(error) + ")";
    }
    return notice;
}

DeletePlan PlanDelete(CustodyPort& port, const std::vector<std::string>& paths) {
    DeletePlan plan;
    for (const std::string& path : paths) {
        const HoldCheck hold = port.CheckHold(path);
        switch (hold.state) {
            case HoldState::kFree:
                plan.deletable.push_back(path);
                break;
            case HoldState::kHeld:
                plan.kept.push_back({path, {}});
                break;
            case HoldState::kUnknown:
                plan.kept.push_back({path, hold.reason.empty() ? std::string("no reason given") : hold.reason});
                break;
        }
    }
    return plan;
}

std::string DeleteRefusal(const DeletePlan& plan) {
    if (plan.kept.size() == 1 && plan.kept.front().unknownReason.empty()) {
        const std::string& path = plan.kept.front().path;
        return Quoted(path) +
               " is under legal hold and was not deleted.\n\nTo delete it, release its hold first: Unprotect in the "
               "list's menu, or pell-catalogue unprotect \"" +
               path + "\".";
    }
    const std::string head = plan.kept.size() == 1 ? std::string("The recording was not deleted.")
                                                   : "None of the " + Recordings(plan.kept.size()) + " was deleted.";
    return head + "\n\n" + KeptParagraphs(plan.kept);
}

std::string DeleteQuestion(const DeletePlan& plan) {
    std::string question =
        plan.deletable.size() == 1
            ? "Do you really want to move " + Quoted(plan.deletable.front()) + " to the trash?"
            : "Do you really want to move these " + Recordings(plan.deletable.size()) + " to the trash?";
    if (!plan.kept.empty()) question += "\n\n" + KeptParagraphs(plan.kept);
    return question;
}

DeleteOutcome DeleteRecordings(CustodyPort& port, const DeletePlan& plan,
                               const std::function<bool(const std::string&)>& moveToTrash) {
    DeleteOutcome outcome;
    for (const std::string& path : plan.deletable) {
        // Someone may have protected it while the question was open.
        const HoldCheck hold = port.CheckHold(path);
        if (hold.state != HoldState::kFree) {
            outcome.keptNow.push_back({path, hold.state == HoldState::kHeld ? std::string() : hold.reason});
            continue;
        }
        (moveToTrash(path) ? outcome.trashed : outcome.failed).push_back(path);
    }
    outcome.auditNotice = AuditRecordings(port, AuditAction::kDelete, outcome.trashed, "moved to the trash");
    return outcome;
}

std::string DeleteReport(const DeleteOutcome& outcome) {
    std::string report;
    if (!outcome.failed.empty()) {
        const std::size_t asked = outcome.trashed.size() + outcome.failed.size() + outcome.keptNow.size();
        report = asked == 1 ? std::string("Could not move the file to the trash.")
                            : "Could not move " + NameList(outcome.failed) + " to the trash.";
    }
    // Protected (or made unreadable) while the question was open.
    if (!outcome.keptNow.empty()) {
        if (!report.empty()) report += "\n\n";
        report += KeptParagraphs(outcome.keptNow);
    }
    return report;
}

HoldOutcome ChangeHolds(CustodyPort& port, const std::vector<std::string>& paths, bool held) {
    HoldOutcome outcome;
    std::vector<std::string> inDayFolders;
    std::vector<std::string> holdFailures;
    for (const std::string& path : paths) {
        if (RecordRootOf(path).empty()) {
            holdFailures.push_back(path + ": not in a day folder of a record root, so it has no hold list");
        } else {
            inDayFolders.push_back(path);
        }
    }
    const HoldResult result =
        inDayFolders.empty() ? HoldResult{} : port.ChangeHolds(HoldRequest{inDayFolders, held, kPlayerProgramName, {}});
    outcome.changed = result.changed;
    outcome.status = HoldStatus(result, held);
    // A hold changed but not audited is no failure of the hold: it goes to the status line.
    for (const std::string& failure : result.failures) {
        if (NamesOneOf(failure, inDayFolders)) {
            holdFailures.push_back(failure);
        } else {
            outcome.auditNotice +=
                (outcome.auditNotice.empty() ? "" : "; ") + ("Not recorded in the audit trail: " + failure);
        }
    }
    if (!holdFailures.empty()) {
        outcome.failure =
            std::string("Could not ") + (held ? "protect " : "release ") + Recordings(holdFailures.size()) + ":";
        for (const std::string& failure : holdFailures) outcome.failure += "\n" + failure;
    }
    return outcome;
}

ProofLine ProofLineOf(const RecordingVerdict& verdict) {
    if (verdict.verified) return {true, "verified", {}};
    if (!verdict.finding) {
        const std::string prefix = "not verifiable: ";
        const bool prefixed = verdict.text.compare(0, prefix.size(), prefix) == 0;
        return {false, "not verifiable", prefixed ? verdict.text.substr(prefix.size()) : verdict.text};
    }
    using Kind = VerifyFinding::Kind;
    const VerifyFinding& finding = *verdict.finding;
    switch (finding.kind) {
        case Kind::kAltered:
            return {false, "altered since it was filed", finding.detail};
        case Kind::kMissing:
            return {false, "missing from its day folder", finding.detail};
        case Kind::kUnlisted: {
            const std::string headline = "not in the day folder's manifest";
            return {false, headline, finding.detail == headline ? std::string() : finding.detail};
        }
        case Kind::kUnreadable:
            return {false, "could not be read", finding.detail};
        case Kind::kManifestBroken:
            return {false, "its day folder's manifest has been tampered with",
                    "the audio is as listed, but the manifest's chain breaks at " + finding.detail};
    }
    return {false, verdict.text, {}};
}

RecordingAudit AuditRowsFor(const AuditRead& read, const std::string& path) {
    RecordingAudit audit;
    const std::string root = RecordRootOf(path);
    if (root.empty()) {
        audit.note = "Not in a day folder of a record root, so it has no audit trail.";
        return audit;
    }
    if (read.error == ENOENT) {
        audit.note = "No audit entries yet.";
        return audit;
    }
    if (read.error != 0) {
        audit.note = "The audit trail cannot be read: " + JoinPath(root, kAuditFileName) + ": " + Reason(read.error);
        return audit;
    }
    const std::string inRoot = PathInRoot(root, path);
    for (auto entry = read.entries.rbegin(); entry != read.entries.rend(); ++entry) {
        if (PathInRoot(root, entry->recording) != inRoot) continue;
        audit.rows.push_back(
            {(entry->intact ? "" : "! ") + FormatLocalMoment(entry->time), entry->user, entry->program, entry->action});
    }
    if (!read.check.Intact()) {
        audit.note = "The audit trail has been tampered with: entries marked \"!\" cannot be trusted.";
    } else if (audit.rows.empty()) {
        audit.note = "No audit entries for this recording.";
    }
    return audit;
}

RecordingProperties DescribeRecording(CustodyPort& port, const std::string& path) {
    RecordingProperties properties;
    properties.path = path;
    properties.proof = ProofLineOf(port.VerifyRecording(path));
    const HoldCheck hold = port.CheckHold(path);
    switch (hold.state) {
        case HoldState::kFree:
            properties.hold = "not protected";
            break;
        case HoldState::kHeld:
            properties.hold = "protected (legal hold)";
            break;
        case HoldState::kUnknown:
            properties.hold = "cannot be told: " + hold.reason;
            break;
    }
    const std::string root = RecordRootOf(path);
    properties.audit = AuditRowsFor(root.empty() ? AuditRead{} : port.ReadAudit(root), path);
    return properties;
}

}  // namespace pell::player
