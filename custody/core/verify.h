// Proving recordings unaltered: each "*.mp3" of a day folder is hashed (audio_hash.h) and
// compared with the newest entry of its name in the folder's manifest. Findings name the file:
// altered (the audio differs; a changed tag alone passes), missing (filed, never erased or
// removed, and gone), unlisted (no filed entry: made elsewhere, copied in, or filed before the
// manifest existed), unreadable, and a manifest whose chain is broken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "custody/core/audio_hash.h"
#include "custody/core/custody_files.h"
#include "custody/core/manifest.h"

namespace pell {

struct AudioHashResult {
    int error = 0;
    AudioDigest digest;
};

// Reads the file at `path` from start to end through the hasher.
AudioHashResult HashAudio(CustodyFiles& files, const std::string& path);

struct VerifyFinding {
    enum class Kind { kAltered, kMissing, kUnlisted, kUnreadable, kManifestBroken };
    Kind kind = Kind::kAltered;
    std::string path;    // the recording, or the manifest
    std::string detail;  // what is wrong, in words

    // "altered", "missing", "unlisted", "unreadable", "manifest-broken".
    std::string_view KindName() const;
};

struct FolderVerification {
    std::size_t verified = 0;  // recordings whose audio is as filed
    int64_t bytesRead = 0;
    bool hasManifest = false;
    bool tornManifest = false;  // the manifest ends in an append cut short (reported, not a finding)
    std::vector<VerifyFinding> findings;
};

// Verifies one day folder. `cancelled`, polled between files, stops early.
FolderVerification VerifyDayFolder(CustodyFiles& files, const std::string& dayFolder,
                                   const std::function<bool()>& cancelled = {});

struct RecordingVerdict {
    bool verified = false;
    std::string text;  // "verified", or what is wrong
    // What is wrong as a finding; none when verified and when it cannot be told (no manifest).
    std::optional<VerifyFinding> finding = {};
};

// One recording, for the player's Properties.
RecordingVerdict VerifyRecording(CustodyFiles& files, const std::string& path);

}  // namespace pell
