// The custody records in memory, for the player's tests: held recordings, hold lists that cannot
// be read, each root's audit entries, each recording's verdict, and a fault that fails the Nth
// call from now (any call of the port) with an errno value.
#pragma once

#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "player/ui/core/record_custody.h"

namespace pell::player::test {

class FakeCustodyPort final : public CustodyPort {
public:
    std::string UserName() override {
        Call();
        return user;
    }

    HoldCheck CheckHold(const std::string& path) override {
        if (const int error = Call(); error != 0) return {HoldState::kUnknown, "protected.list: " + Words(error)};
        if (const auto u = unknown.find(path); u != unknown.end()) return {HoldState::kUnknown, u->second};
        return {held.count(path) != 0 ? HoldState::kHeld : HoldState::kFree, {}};
    }

    HoldResult ChangeHolds(const HoldRequest& request) override {
        requests.push_back(request);
        HoldResult result;
        if (const int error = Call(); error != 0) {
            for (const std::string& path : request.paths) result.failures.push_back(path + ": " + Words(error));
            return result;
        }
        std::map<std::string, std::vector<AuditRecord>> byRoot;
        for (const std::string& path : request.paths) {
            const bool changed = request.held ? held.insert(path).second : held.erase(path) != 0;
            (changed ? result.changed : result.unchanged).push_back(path);
            if (changed) {
                byRoot[RecordRootOf(path)].push_back({user, request.program,
                                                      request.held ? AuditAction::kProtect : AuditAction::kUnprotect,
                                                      path, request.detail});
            }
        }
        for (const auto& [root, records] : byRoot) {
            if (const int error = AppendAudit(root, records); error != 0) {
                result.failures.push_back(root + "/audit.log: " + Words(error) +
                                          " (the hold was changed, but not recorded)");
            }
        }
        return result;
    }

    int AppendAudit(const std::string& root, const std::vector<AuditRecord>& records) override {
        if (const int error = Call(); error != 0) return error;
        for (const AuditRecord& record : records) audits[root].push_back(record);
        return 0;
    }

    AuditRead ReadAudit(const std::string& root) override {
        AuditRead read;
        if (const int error = Call(); error != 0) {
            read.error = error;
            return read;
        }
        const auto found = audits.find(root);
        if (found == audits.end()) {
            read.error = ENOENT;
            return read;
        }
        uint64_t seq = 0;
        for (const AuditRecord& record : found->second) {
            AuditEntry entry;
            entry.seq = ++seq;
            entry.time = firstTime + static_cast<int64_t>(seq) * 60;
            entry.user = record.user;
            entry.program = record.program;
            entry.action = std::string(AuditActionName(record.action));
            entry.recording = record.recording;
            entry.detail = record.detail;
            read.entries.push_back(std::move(entry));
        }
        return read;
    }

    RecordingVerdict VerifyRecording(const std::string& path) override {
        if (const int error = Call(); error != 0) return {false, "not verifiable: manifest.log: " + Words(error)};
        const auto found = verdicts.find(path);
        return found == verdicts.end() ? RecordingVerdict{false, "not verifiable: its day folder has no manifest"}
                                       : found->second;
    }

    // The `n`th call from now (1 = the next) fails with `error`; 0 clears the fault.
    void FailCall(int n, int error = EACCES) {
        failAt_ = n == 0 ? 0 : calls_ + n;
        failError_ = error;
    }
    int Calls() const { return calls_; }

    // The actions audited in `root`, as "action path" lines.
    std::vector<std::string> Audited(const std::string& root) const {
        std::vector<std::string> lines;
        const auto found = audits.find(root);
        if (found == audits.end()) return lines;
        for (const AuditRecord& r : found->second) {
            lines.push_back(std::string(AuditActionName(r.action)) + " " + r.recording + " " + r.user + " " +
                            r.program);
        }
        return lines;
    }

    std::string user = "alice";
    std::set<std::string> held;
    std::map<std::string, std::string> unknown;  // path: why its hold cannot be told
    std::map<std::string, std::vector<AuditRecord>> audits;
    std::map<std::string, RecordingVerdict> verdicts;
    std::vector<HoldRequest> requests;
    int64_t firstTime = 1765276800;  // 09.12.2025 10:40:00 UTC, entries a minute apart

private:
    static std::string Words(int error) { return std::strerror(error); }
    int Call() {
        ++calls_;
        return calls_ == failAt_ ? failError_ : 0;
    }
    int calls_ = 0;
    int failAt_ = 0;
    int failError_ = 0;
};

}  // namespace pell::player::test
