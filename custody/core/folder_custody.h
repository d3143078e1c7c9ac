// What the call index takes from a day folder's custody records when it reads the folder's
// recordings: which are protected (the hold list) and when each call really began (the
// manifest: a copy that lost the files' modification times keeps its calls' times).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "custody/core/custody_files.h"

namespace pell {

struct FolderCustody {
    std::set<std::string> held;
    std::map<std::string, int64_t> startTimes;  // of recordings the manifest lists as filed

    bool Empty() const { return held.empty() && startTimes.empty(); }
};

// Read without checking the manifest's chain (verify does that): two small reads per folder.
FolderCustody ReadFolderCustody(CustodyFiles& files, const std::string& dayFolder);

// The same from the two files' texts (empty when a file is missing).
FolderCustody ParseFolderCustody(std::string_view holdList, std::string_view manifest);

}  // namespace pell
