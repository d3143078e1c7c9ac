#include "custody/posix/custody.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

#include "common/core/clock.h"
#include "common/core/paths.h"
#include "custody/posix/posix_custody_files.h"

namespace pell {
namespace {

PosixCustodyFiles& Files() {
    static PosixCustodyFiles files;
    return files;
}

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

std::string CurrentUserName() {
    const uid_t uid = ::geteuid();
    std::string name;
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        name = found->pw_name;
    } else {
        name = "uid " + std::to_string(uid);
    }
    // Only root's SUDO_USER means anything: any other user can set the variable.
    const char* sudoUser = uid == 0 ? std::getenv("SUDO_USER") : nullptr;
    if (sudoUser != nullptr && *sudoUser != '\0') name += std::string(" (sudo: ") + sudoUser + ")";
    return name;
}

int AppendAudit(const std::string& root, const AuditRecord& record) {
    return AppendAudit(root, std::vector<AuditRecord>{record});
}

int AppendAudit(const std::string& root, const std::vector<AuditRecord>& records) {
    SystemClock clock;
    return AuditTrail(Files(), clock).Append(root, records);
}

AuditRead ReadAudit(const std::string& root) {
    SystemClock clock;
    return AuditTrail(Files(), clock).Read(root);
}

bool IsProtected(const std::string& path) { return IsProtected(Files(), path); }

HoldCheck CheckHold(const std::string& path) { return CheckHold(Files(), path); }

HoldResult ChangeHolds(const HoldRequest& request) { return ChangeHolds(request, CurrentUserName()); }

HoldResult ChangeHolds(const HoldRequest& request, const std::string& user) {
    HoldResult result;
    std::map<std::string, std::vector<std::string>> byFolder;
    for (const std::string& path : request.paths) byFolder[ParentOf(path)].push_back(NameOf(path));
    const AuditAction action = request.held ? AuditAction::kProtect : AuditAction::kUnprotect;
    for (const auto& [folder, names] : byFolder) {
        const HoldChange change = ChangeHolds(Files(), folder, names, request.held);
        if (change.error != 0) {
            for (const std::string& name : names) {
                std::string failure = JoinPath(folder, name);
                failure.append(": ").append(kHoldFileName).append(": ").append(Reason(change.error));
                result.failures.push_back(std::move(failure));
            }
            continue;
        }
        std::vector<AuditRecord> records;
        for (const std::string& name : names) {
            const bool changed = std::find(change.changed.begin(), change.changed.end(), name) != change.changed.end();
            const std::string path = JoinPath(folder, name);
            (changed ? result.changed : result.unchanged).push_back(path);
            if (changed) records.push_back({user, request.program, action, path, request.detail});
        }
        if (const int error = AppendAudit(ParentOf(folder), records); error != 0) {
            result.failures.push_back(ParentOf(folder) + "/" + kAuditFileName + ": " + Reason(error) +
                                      " (the hold was changed, but not recorded)");
        }
    }
    return result;
}

AudioHashResult HashAudio(const std::string& path) { return HashAudio(Files(), path); }

int RecordFiled(const std::string& dayFolder, const FiledFacts& facts, const AudioDigest& audioHash) {
    return RecordFiled(Files(), dayFolder, facts, audioHash);
}

RecordingVerdict VerifyRecording(const std::string& path) { return VerifyRecording(Files(), path); }

DayRemoval RemoveDayFolder(const std::string& dayFolder, RemovalReason reason, const std::string& program) {
    SystemClock clock;
    return RemoveDayFolder(Files(), clock, dayFolder, reason, AuditIdentity{CurrentUserName(), program});
}

ErasureReport EraseRecordings(const std::vector<ErasureTarget>& targets, const std::string& program) {
    SystemClock clock;
    return EraseRecordings(Files(), clock, targets, AuditIdentity{CurrentUserName(), program});
}

DayRemoval PosixRecordingCustody::RemoveDay(const std::string& dayFolder, RemovalReason reason) {
    return RemoveDayFolder(dayFolder, reason, program_);
}

int PosixRecordingCustody::NoteFiled(const std::string& path, const FiledFacts& facts) {
    const AudioHashResult hash = HashAudio(path);
    if (hash.error != 0) return hash.error;
    FiledFacts filed = facts;
    filed.name = NameOf(path);
    if (filed.size == 0) filed.size = Files().Status(path).size;
    return RecordFiled(ParentOf(path), filed, hash.digest);
}

}  // namespace pell
