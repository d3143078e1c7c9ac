// What the call index takes from a day folder's custody records when it reads the folder's
// recordings: which are protected (the hold list) and when each call really began (the
// manifest: a copy that lost the files' modification times keeps its calls' times), with the
// SHA-256 of each one's audio as filed.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "custody/core/custody_files.h"

namespace pell {

struct FolderCustody {
    std::set<std::string> held;
    std::map<std::string, int64_t> startTimes;       // of recordings the manifest lists as filed
    std::map<std::string, std::string> audioHashes;  // the same recordings' audio SHA-256, 64 hex digits

    bool Empty() const { return held.empty() && startTimes.empty() && audioHashes.empty(); }
};

// Read without checking the manifest's chain (verify does that): two small reads per folder.
FolderCustody ReadFolderCustody(CustodyFiles& files, const std::string& dayFolder);

// The same from the two files' texts (empty when a file is missing).
FolderCustody ParseFolderCustody(std::string_view holdList, std::string_view manifest);

}  // namespace pell
