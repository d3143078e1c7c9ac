#include "custody/core/folder_custody.h"

#include "custody/core/hold_list.h"
#include "custody/core/manifest.h"
#include "custody/core/sha256.h"

namespace pell {

FolderCustody ParseFolderCustody(std::string_view holdList, std::string_view manifest) {
    FolderCustody custody;
    custody.held = ParseHoldList(holdList);
    for (const auto& [name, record] : ParseManifest(manifest, false).records) {
        if (record.state != ManifestState::kFiled) continue;
        if (record.facts.startTime != 0) custody.startTimes.emplace(name, record.facts.startTime);
        // A manifest is outside input: only a well-formed digest reaches the index.
        if (IsHexDigest(record.audioSha256)) custody.audioHashes.emplace(name, record.audioSha256);
    }
    return custody;
}

FolderCustody ReadFolderCustody(CustodyFiles& files, const std::string& dayFolder) {
    const FileText hold = files.ReadWhole(dayFolder + "/" + kHoldFileName);
    const FileText manifest = files.ReadLog(dayFolder + "/" + kManifestFileName);
    return ParseFolderCustody(hold.error == 0 ? hold.text : std::string(),
                              manifest.error == 0 ? manifest.text : std::string());
}

}  // namespace pell
