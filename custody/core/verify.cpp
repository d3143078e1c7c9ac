#include "custody/core/verify.h"

#include <cerrno>
#include <cstring>
#include <set>
#include <vector>

#include "custody/core/utc_time.h"
#include "player/catalogue/record_list.h"

namespace pell {
namespace {

constexpr std::size_t kReadBlock = 1 << 20;

std::string Reason(int error) { return std::strerror(error); }

std::string ManifestOf(const std::string& dayFolder) { return dayFolder + "/" + kManifestFileName; }

std::string FiledWhen(const ManifestRecord& record) { return "filed " + FormatLocalMoment(record.facts.startTime); }

// The finding for one present file against its manifest record; nothing when it verifies.
std::optional<VerifyFinding> CheckFile(CustodyFiles& files, const std::string& path, const ManifestRecord* record,
                                       int64_t& bytesRead) {
    using Kind = VerifyFinding::Kind;
    if (record == nullptr) return VerifyFinding{Kind::kUnlisted, path, "not in the day folder's manifest"};
    if (record->state != ManifestState::kFiled) {
        return VerifyFinding{Kind::kUnlisted, path,
                             std::string(record->state == ManifestState::kErased ? "erased" : "removed") + " on " +
                                 FormatLocalMoment(record->goneAt) + ", yet a file of that name is there"};
    }
    if (record->audioSha256.empty()) return VerifyFinding{Kind::kUnlisted, path, "its manifest entry has no hash"};
    const AudioHashResult hashed = HashAudio(files, path);
    if (hashed.error != 0) return VerifyFinding{Kind::kUnreadable, path, Reason(hashed.error)};
    bytesRead += hashed.digest.audioBytes;
    if (hashed.digest.sha256 == record->audioSha256) return std::nullopt;
    std::string detail = "the audio differs from the recording " + FiledWhen(*record);
    if (record->audioBytes >= 0 && record->audioBytes != hashed.digest.audioBytes) {
        detail += " (" + std::to_string(hashed.digest.audioBytes) + " audio bytes instead of " +
                  std::to_string(record->audioBytes) + ")";
    }
    return VerifyFinding{Kind::kAltered, path, detail};
}

}  // namespace

std::string_view VerifyFinding::KindName() const {
    switch (kind) {
        case Kind::kAltered:
            return "altered";
        case Kind::kMissing:
            return "missing";
        case Kind::kUnlisted:
            return "unlisted";
        case Kind::kUnreadable:
            return "unreadable";
        case Kind::kManifestBroken:
            return "manifest-broken";
    }
    return "altered";
}

AudioHashResult HashAudio(CustodyFiles& files, const std::string& path) {
    AudioHashResult out;
    ByteSourceResult opened = files.OpenRead(path);
    if (opened.error != 0) {
        out.error = opened.error;
        return out;
    }
    AudioHasher hasher;
    std::vector<uint8_t> block(kReadBlock);
    for (;;) {
        const int64_t count = opened.source->Read(block);
        if (count < 0) {
            out.error = opened.source->Error() != 0 ? opened.source->Error() : EIO;
            return out;
        }
        if (count == 0) break;
        hasher.Update(std::span<const uint8_t>(block.data(), static_cast<std::size_t>(count)));
    }
    out.digest = hasher.Finish();
    return out;
}

FolderVerification VerifyDayFolder(CustodyFiles& files, const std::string& dayFolder,
                                   const std::function<bool()>& cancelled) {
    using Kind = VerifyFinding::Kind;
    FolderVerification out;
    const CustodyListing listing = files.List(dayFolder);
    if (listing.error != 0) {
        out.findings.push_back({Kind::kUnreadable, dayFolder, Reason(listing.error)});
        return out;
    }
    const ManifestRead manifest = ReadManifest(files, dayFolder);
    out.hasManifest = manifest.error == 0;
    if (manifest.error != 0 && manifest.error != ENOENT) {
        out.findings.push_back({Kind::kUnreadable, ManifestOf(dayFolder), Reason(manifest.error)});
    }
    out.tornManifest = manifest.check.tornTail;
    for (const LogProblem& problem : manifest.check.problems) {
        out.findings.push_back({Kind::kManifestBroken, ManifestOf(dayFolder), problem.Describe()});
    }
    std::set<std::string> present;
    for (const CustodyEntry& entry : listing.entries) {
        if (entry.isFolder || !HasMp3Extension(entry.name)) continue;
        if (cancelled && cancelled()) return out;
        present.insert(entry.name);
        const auto found = manifest.records.find(entry.name);
        const ManifestRecord* record = found == manifest.records.end() ? nullptr : &found->second;
        if (auto finding = CheckFile(files, dayFolder + "/" + entry.name, record, out.bytesRead)) {
            out.findings.push_back(std::move(*finding));
        } else {
            ++out.verified;
        }
    }
    for (const auto& [name, record] : manifest.records) {
        if (record.state == ManifestState::kFiled && present.count(name) == 0) {
            std::string path = dayFolder;
            path.append("/").append(name);
            std::string detail = "listed in the manifest, ";
            detail.append(FiledWhen(record)).append(", and gone");
            out.findings.push_back({Kind::kMissing, std::move(path), std::move(detail)});
        }
    }
    return out;
}

RecordingVerdict VerifyRecording(CustodyFiles& files, const std::string& path) {
    const std::string dayFolder = ParentOf(path);
    const ManifestRead manifest = ReadManifest(files, dayFolder);
    if (manifest.error == ENOENT) return {false, "not verifiable: its day folder has no manifest"};
    if (manifest.error != 0) return {false, "not verifiable: " + ManifestOf(dayFolder) + ": " + Reason(manifest.error)};
    const auto found = manifest.records.find(NameOf(path));
    const FileStatus status = files.Status(path);
    if (status.error == ENOENT) {
        using Kind = VerifyFinding::Kind;
        if (found != manifest.records.end() && found->second.state == ManifestState::kFiled) {
            std::string detail = "listed in the manifest, " + FiledWhen(found->second) + ", and gone";
            return {false, "missing: " + detail, VerifyFinding{Kind::kMissing, path, detail}};
        }
        return {false, "missing", VerifyFinding{Kind::kMissing, path, "not there"}};
    }
    int64_t bytes = 0;
    auto finding = CheckFile(files, path, found == manifest.records.end() ? nullptr : &found->second, bytes);
    if (finding) return {false, std::string(finding->KindName()) + ": " + finding->detail, std::move(finding)};
    if (!manifest.check.Intact()) {
        const std::string problem = manifest.check.problems.front().Describe();
        return {false, "the audio is as listed, but the manifest's chain is broken (" + problem + ")",
                VerifyFinding{VerifyFinding::Kind::kManifestBroken, ManifestOf(dayFolder), problem}};
    }
    return {true, "verified"};
}

}  // namespace pell
