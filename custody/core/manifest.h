// The manifest of a day folder: "manifest.log", a hash-chained log (chained_log.h) with one
// entry per recording filed there, written by the recorder right after filing:
//
//   kind=filed name= start= end= line= number~= direction= size= audio= audio-bytes=
//
// (times in UTC, the number sealed so it can be erased, `audio` the SHA-256 of the audio
// without its tags, audio_hash.h). A recording that goes for good gets a later entry
// "kind=erased" (on request) or "kind=removed" (cleaning, retention) with its name, time and
// reason, and its number is erased from the earlier entries; the chain stays verifiable.
// The newest entry of a name tells its state.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/core/clock.h"
#include "custody/core/audio_hash.h"
#include "custody/core/chained_log.h"
#include "custody/core/custody_files.h"

namespace pell {

inline constexpr const char* kManifestFileName = "manifest.log";

// What the recorder knows of a recording when it files it.
struct FiledFacts {
    std::string name;       // file name in the day folder, "a0000042.mp3"
    int64_t startTime = 0;  // seconds since the epoch: when the call began
    int64_t endTime = 0;    // and ended
    std::string line;       // the line's description, as in the tag
    std::string number;     // the calling number, as in the tag ("" when unknown)
    char direction = 'U';   // 'I', 'O' or 'U', as in the tag
    int64_t size = 0;       // the file's length with its tag, in bytes
};

// Appends the entry of a filed recording to the day folder's manifest; an errno value.
int RecordFiled(CustodyFiles& files, const std::string& dayFolder, const FiledFacts& facts,
                const AudioDigest& audioHash);

enum class ManifestState { kFiled, kErased, kRemoved };

// The newest entry of a name.
struct ManifestRecord {
    ManifestState state = ManifestState::kFiled;
    FiledFacts facts;  // of the last "filed" entry; its number empty once erased
    bool numberErased = false;
    std::string audioSha256;  // empty when unknown
    int64_t audioBytes = -1;
    int64_t goneAt = 0;  // Erased, Removed: when
    std::string reason;  // Erased, Removed: why ("request", "clean", "retention")
    uint64_t seq = 0;
};

struct ManifestRead {
    int error = 0;  // ENOENT: the folder has no manifest
    LogCheck check;
    std::map<std::string, ManifestRecord> records;  // by file name
};

// Reads the manifest; `checkChain` false skips the hashing (for start times only).
ManifestRead ReadManifest(CustodyFiles& files, const std::string& dayFolder, bool checkChain = true);
ManifestRead ParseManifest(std::string_view text, bool checkChain = true);

enum class GoneReason { kRequest, kClean, kRetention };

// Before recordings of a day folder go for good: erases their numbers from the manifest and
// appends an "erased" or "removed" entry per name, in one rewrite. A folder without a manifest
// gets one holding just those entries. An errno value.
int NoteGone(CustodyFiles& files, Clock& clock, const std::string& dayFolder, const std::vector<std::string>& names,
             GoneReason reason);

}  // namespace pell
