#include "tools/pell-catalogue/custody_commands.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "common/core/escape_text.h"
#include "common/core/paths.h"
#include "custody/core/utc_time.h"
#include "custody/posix/custody.h"
#include "custody/posix/posix_custody_files.h"
#include "index/core/call_output.h"
#include "player/catalogue/record_list.h"

namespace pell {
namespace {

constexpr int kInterruptedExit = 130;

std::string Field(const std::string& text) { return EscapeUnprintable(text); }

int Usage(std::ostream& err, const std::string& problem) {
    err << "pell-catalogue: " << problem << "\n(pell-catalogue --help lists the commands and options)\n";
    return 2;
}

std::string Trimmed(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

bool AuditRecordings(const std::vector<std::string>& paths, AuditAction action, const std::string& detail,
                     std::ostream& err) {
    std::map<std::string, std::vector<AuditRecord>> byRoot;
    const std::string user = CurrentUserName();
    for (const std::string& path : paths) {
        const std::string root = RecordRootOf(path);
        if (!root.empty()) byRoot[root].push_back({user, kToolProgramName, action, path, detail});
    }
    bool ok = true;
    for (const auto& [root, records] : byRoot) {
        if (const int error = AppendAudit(root, records); error != 0) {
            err << "pell-catalogue: done, but not recorded in " << Field(JoinPath(root, kAuditFileName)) << ": "
                << Reason(error) << " (let this user write there, or record it by hand)\n";
            ok = false;
        }
    }
    return ok;
}

bool AuditRecording(const std::string& path, AuditAction action, const std::string& detail, std::ostream& err) {
    return AuditRecordings({path}, action, detail, err);
}

int RunAuditCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> roots;
    std::string recording;
    bool csv = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--recording") {
            if (i + 1 >= args.size()) return Usage(err, "--recording needs a FILE");
            recording = args[++i];
        } else if (args[i] == "--csv") {
            csv = true;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return Usage(err, "unknown option " + Field(args[i]));
        } else {
            roots.push_back(Trimmed(args[i]));
        }
    }
    if (roots.empty() && !recording.empty()) roots.push_back(RecordRootOf(recording));
    if (roots.empty() || roots.front().empty())
        return Usage(err, "audit needs a ROOT (or a recording in a day folder)");
    int code = 0;
    const std::vector<std::string> header = {"seq", "time", "user", "program", "action", "recording", "detail"};
    out << (csv ? CsvLine(header) : "time\tuser\tprogram\taction\trecording\tdetail\n");
    for (const std::string& root : roots) {
        const AuditRead read = ReadAudit(root);
        const std::string log = JoinPath(root, kAuditFileName);
        if (read.error != 0) {
            if (read.error == ENOENT) {
                err << "pell-catalogue: " << Field(root) << " has no audit trail yet (nothing was done there)\n";
                continue;
            }
            err << "pell-catalogue: cannot read " << Field(log) << ": " << Reason(read.error) << "\n";
            code = 1;
            continue;
        }
        for (const AuditEntry& entry : read.entries) {
            if (!recording.empty() && entry.recording != recording) continue;
            const std::string time = FormatUtc(entry.time);
            if (csv) {
                out << CsvLine({std::to_string(entry.seq), time, entry.user, entry.program, entry.action,
                                entry.recording, entry.detail});
            } else {
                out << (entry.intact ? "" : "! ") << time << '\t' << Field(entry.user) << '\t' << Field(entry.program)
                    << '\t' << Field(entry.action) << '\t' << Field(entry.recording) << '\t' << Field(entry.detail)
                    << '\n';
            }
        }
        for (const LogProblem& problem : read.check.problems) {
            err << "pell-catalogue: " << Field(log) << " is broken at " << problem.Describe() << "\n";
        }
        if (!read.check.Intact()) {
            err << "pell-catalogue: " << Field(log)
                << " has been tampered with; entries marked \"!\" cannot be trusted (keep a copy as evidence)\n";
            code = 1;
        }
        if (read.check.tornTail) {
            err << "pell-catalogue: " << Field(log) << " ends in an entry cut short (a crash while writing); the "
                << "next entry goes on from the last whole one\n";
        }
    }
    return code;
}

int RunVerifyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const ToolEnvironment& environment) {
    std::vector<std::string> places;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i].size() > 1 && args[i][0] == '-') return Usage(err, "unknown option " + Field(args[i]));
        places.push_back(Trimmed(args[i]));
    }
    if (places.empty()) return Usage(err, "verify needs a ROOT or FILE");
    PosixCustodyFiles files;
    std::size_t verified = 0;
    std::size_t findings = 0;
    std::size_t unproven = 0;  // folders without a manifest
    const auto cancelled = [&environment] { return environment.interrupted && environment.interrupted(); };
    const auto report = [&](const FolderVerification& result) {
        verified += result.verified;
        for (const VerifyFinding& finding : result.findings) {
            out << finding.KindName() << '\t' << Field(finding.path) << '\t' << Field(finding.detail) << '\n';
            ++findings;
        }
        if (result.tornManifest) {
            err << "pell-catalogue: a manifest ends in an entry cut short by a crash (its recording is listed above "
                   "if it matters)\n";
        }
    };
    for (const std::string& place : places) {
        if (cancelled()) break;
        const FileStatus status = files.Status(place);
        if (status.error != 0) {
            err << "pell-catalogue: cannot read " << Field(place) << ": " << Reason(status.error) << "\n";
            ++findings;
            continue;
        }
        if (status.isRegular) {
            const RecordingVerdict verdict = VerifyRecording(place);
            out << (verdict.verified ? "verified" : "not-verified") << '\t' << Field(place) << '\t'
                << Field(verdict.text) << '\n';
            if (verdict.verified) {
                ++verified;
            } else {
                ++findings;
            }
            continue;
        }
        std::vector<std::string> dayFolders;
        if (IsDayFolderName(NameOf(place))) {
            dayFolders.push_back(place);
        } else {
            const CustodyListing listing = files.List(place);
            if (listing.error != 0) {
                err << "pell-catalogue: cannot list " << Field(place) << ": " << Reason(listing.error) << "\n";
                ++findings;
                continue;
            }
            for (const CustodyEntry& entry : listing.entries) {
                if (entry.isFolder && IsDayFolderName(entry.name)) dayFolders.push_back(JoinPath(place, entry.name));
            }
            std::sort(dayFolders.begin(), dayFolders.end());
        }
        for (std::size_t i = 0; i < dayFolders.size() && !cancelled(); ++i) {
            if (environment.progressTerminal) {
                err << "\rpell-catalogue: verifying day folder " << i + 1 << " of " << dayFolders.size() << "\033[K"
                    << std::flush;
            }
            const FolderVerification result = VerifyDayFolder(files, dayFolders[i], cancelled);
            if (environment.progressTerminal) err << "\r\033[K" << std::flush;
            if (!result.hasManifest && !result.findings.empty()) ++unproven;
            report(result);
        }
    }
    if (cancelled()) {
        err << "pell-catalogue: interrupted after " << verified << " recordings verified\n";
        return kInterruptedExit;
    }
    out << verified << " recordings verified, " << findings << " problem" << (findings == 1 ? "" : "s") << "\n";
    if (unproven > 0) {
        err << "pell-catalogue: " << unproven << " day folder" << (unproven == 1 ? " has" : "s have")
            << " no manifest: recordings filed before custody records were kept cannot be proven\n";
    }
    return findings == 0 ? 0 : 1;
}

}  // namespace pell
