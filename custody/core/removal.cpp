#include "custody/core/removal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "custody/core/hold_list.h"
#include "custody/core/manifest.h"
#include "player/catalogue/record_list.h"

namespace pell {
namespace {

std::string Reason(int error) { return std::strerror(error); }

// Removes a sub-folder and everything in it; the first failure, or 0.
int RemoveTree(CustodyFiles& files, const std::string& folder) {
    const CustodyListing listing = files.List(folder);
    if (listing.error != 0) return listing.error;
    int failure = 0;
    for (const CustodyEntry& entry : listing.entries) {
        const std::string path = folder + "/" + entry.name;
        const int error = entry.isFolder ? RemoveTree(files, path) : files.RemoveFile(path);
        if (error != 0 && failure == 0) failure = error;
    }
    if (failure != 0) return failure;
    return files.RemoveFolder(folder);
}

void Audit(CustodyFiles& files, Clock& clock, const std::string& root, const std::vector<AuditRecord>& records,
           std::vector<std::string>& problems) {
    if (records.empty()) return;
    AuditTrail trail(files, clock);
    if (const int error = trail.Append(root, records); error != 0) {
        problems.push_back(root + "/" + kAuditFileName + ": " + Reason(error));
    }
}

}  // namespace

DayRemoval RemoveDayFolder(CustodyFiles& files, Clock& clock, const std::string& dayFolder, RemovalReason reason,
                           const AuditIdentity& identity) {
    DayRemoval out;
    const CustodyListing listing = files.List(dayFolder);
    if (listing.error == ENOENT) {
        out.existed = false;
        return out;
    }
    if (listing.error != 0) {
        out.failures.push_back(dayFolder + ": " + Reason(listing.error));
        return out;
    }
    const FileText holdText = files.ReadWhole(dayFolder + "/" + kHoldFileName);
    if (holdText.error != 0 && holdText.error != ENOENT) {
        out.failures.push_back(std::string(kHoldFileName) + ": " + Reason(holdText.error) +
                               "; nothing was removed, as any recording might be protected");
        return out;
    }
    const std::set<std::string> held = ParseHoldList(holdText.text);
    std::vector<const CustodyEntry*> going;
    std::vector<std::string> goingRecordings;
    for (const CustodyEntry& entry : listing.entries) {
        if (held.count(entry.name) != 0) {
            out.kept.push_back(entry.name);
        } else if (entry.name != kHoldFileName && entry.name != kManifestFileName) {
            going.push_back(&entry);
            if (!entry.isFolder && HasMp3Extension(entry.name)) goingRecordings.push_back(entry.name);
        }
    }
    const bool keepsSome = !out.kept.empty();
    const bool hasManifest = std::any_of(listing.entries.begin(), listing.entries.end(),
                                         [](const CustodyEntry& entry) { return entry.name == kManifestFileName; });
    if ((keepsSome || hasManifest) && !goingRecordings.empty()) {
        const int error = NoteGone(files, clock, dayFolder, goingRecordings,
                                   reason == RemovalReason::kCleaning ? GoneReason::kClean : GoneReason::kRetention);
        if (error != 0 && error != ENOENT) {
            out.failures.push_back(std::string(kManifestFileName) + ": " + Reason(error) +
                                   "; nothing was removed, so no number is left behind a removed recording");
            return out;
        }
    }
    std::vector<AuditRecord> records;
    const AuditAction action = reason == RemovalReason::kCleaning ? AuditAction::kClean : AuditAction::kRetention;
    for (const CustodyEntry* entry : going) {
        const std::string path = dayFolder + "/" + entry->name;
        const int error = entry->isFolder ? RemoveTree(files, path) : files.RemoveFile(path);
        if (error != 0 && error != ENOENT) {
            out.failures.push_back(entry->name + ": " + Reason(error));
            continue;
        }
        out.removed.push_back(entry->name);
        if (!entry->isFolder && HasMp3Extension(entry->name)) {
            records.push_back({identity.user, identity.program, action, path, {}});
        }
    }
    if (!keepsSome && out.failures.empty()) {
        // The day's own records go last, once nothing they describe is left.
        for (const char* name : {kManifestFileName, kHoldFileName}) {
            const int error = files.RemoveFile(dayFolder + "/" + name);
            if (error != 0 && error != ENOENT) out.failures.push_back(std::string(name) + ": " + Reason(error));
        }
        if (out.failures.empty()) {
            const int error = files.RemoveFolder(dayFolder);
            if (error == 0) {
                out.folderRemoved = true;
                records.push_back({identity.user, identity.program, action, dayFolder, "day folder removed"});
            } else {
                out.failures.push_back(dayFolder + ": " + Reason(error));
            }
        }
    } else if (keepsSome && !out.removed.empty()) {
        // Said once, when the day is emptied: a later pass over its protected calls adds nothing.
        records.push_back(
            {identity.user, identity.program, action, dayFolder,
             std::to_string(out.kept.size()) + " protected recording" + (out.kept.size() == 1 ? "" : "s") + " kept"});
    }
    std::vector<std::string> problems;
    Audit(files, clock, ParentOf(dayFolder), records, problems);
    if (!problems.empty()) out.auditProblem = problems.front();
    return out;
}

ErasureReport EraseRecordings(CustodyFiles& files, Clock& clock, const std::vector<ErasureTarget>& targets,
                              const AuditIdentity& identity) {
    ErasureReport report;
    // Per root, the lines of the recordings erased there, for the summary.
    std::map<std::string, std::vector<AuditRecord>> records;
    std::map<std::string, std::map<std::string, int>> lines;
    std::map<std::string, int> refused;
    for (const ErasureTarget& target : targets) {
        ErasureOutcome outcome;
        outcome.path = target.path;
        const std::string dayFolder = ParentOf(target.path);
        const std::string root = ParentOf(dayFolder);
        if (!IsDayFolderName(NameOf(dayFolder)) || !HasMp3Extension(NameOf(target.path))) {
            outcome.reason = "not a recording in a day folder";
            report.outcomes.push_back(std::move(outcome));
            continue;
        }
        const HoldCheck hold = CheckHold(files, target.path);
        if (hold.state != HoldState::kFree) {
            outcome.result =
                hold.state == HoldState::kHeld ? ErasureOutcome::Result::kProtected : ErasureOutcome::Result::kFailed;
            outcome.reason = hold.state == HoldState::kHeld ? "protected (legal hold)"
                                                            : "cannot tell whether it is protected: " + hold.reason;
            ++refused[root];
            report.outcomes.push_back(std::move(outcome));
            continue;
        }
        const FileStatus status = files.Status(target.path);
        if (status.error != 0 || !status.isRegular) {
            outcome.reason = status.error != 0 ? Reason(status.error) : "not a file";
            report.outcomes.push_back(std::move(outcome));
            continue;
        }
        if (const int error = NoteGone(files, clock, dayFolder, {NameOf(target.path)}, GoneReason::kRequest);
            error != 0) {
            outcome.reason = std::string(kManifestFileName) + ": " + Reason(error) + "; the recording was left";
            report.outcomes.push_back(std::move(outcome));
            continue;
        }
        if (const int error = files.RemoveFile(target.path); error != 0 && error != ENOENT) {
            outcome.reason = Reason(error) + " (its manifest already says erased: run the erasure again)";
            report.outcomes.push_back(std::move(outcome));
            continue;
        }
        outcome.result = ErasureOutcome::Result::kErased;
        records[root].push_back(
            {identity.user, identity.program, AuditAction::kErase, target.path, "on request; line " + target.line});
        ++lines[root][target.line];
        report.outcomes.push_back(std::move(outcome));
    }
    for (auto& [root, entries] : records) {
        std::string summary =
            std::to_string(entries.size()) + " recording" + (entries.size() == 1 ? "" : "s") + " erased on request (";
        bool first = true;
        for (const auto& [line, count] : lines[root]) {
            summary +=
                (first ? "" : ", ") + (line.empty() ? std::string("no line") : line) + ": " + std::to_string(count);
            first = false;
        }
        summary += ")";
        if (refused[root] > 0) summary += "; " + std::to_string(refused[root]) + " protected or undecided left";
        entries.push_back({identity.user, identity.program, AuditAction::kErase, {}, summary});
        Audit(files, clock, root, entries, report.auditProblems);
    }
    return report;
}

}  // namespace pell
