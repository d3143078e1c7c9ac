// Legal hold: "protected.list" in a day folder names the recordings of that day that no
// cleaning, retention pass, erasure or delete may remove. It lives beside the recordings, so a
// hold survives a rebuilt index, a copy of the record root and a reinstall. Text, one file
// name per line (escaped as the logs escape values), lines starting with "#" are remarks;
// rewritten whole under its lock, so two programs protecting at once lose nothing.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "custody/core/custody_files.h"

namespace pell {

inline constexpr const char* kHoldFileName = "protected.list";

std::set<std::string> ParseHoldList(std::string_view text);
std::string FormatHoldList(const std::set<std::string>& names);

enum class HoldState {
    kFree,     // no hold: may be removed
    kHeld,     // protected
    kUnknown,  // the list could not be read: every deleter treats this as held
};

struct HoldCheck {
    HoldState state = HoldState::kFree;
    std::string reason;  // for Unknown: the list and the system's words
};

// The hold of the recording at `path` (its day folder's list, its file name).
HoldCheck CheckHold(CustodyFiles& files, const std::string& path);

// What every deleter asks: true when held, and when that cannot be told.
bool IsProtected(CustodyFiles& files, const std::string& path);

struct HoldChange {
    int error = 0;                     // errno of the list; nothing changed then
    std::vector<std::string> changed;  // names whose hold changed (the others already were so)
};

// Recordings to protect or release, as a program asks it of the custody records: `detail` (a
// case reference, say) goes into every audit entry.
struct HoldRequest {
    std::vector<std::string> paths;
    bool held = true;
    std::string program;
    std::string detail;
};
struct HoldResult {
    std::vector<std::string> changed;    // protected or released now
    std::vector<std::string> unchanged;  // already so
    std::vector<std::string> failures;   // "path: why"; nothing changed for those
};

// Holds (`held`) or releases the named recordings of one day folder in one rewrite of its list.
// Releasing the last name removes the list.
HoldChange ChangeHolds(CustodyFiles& files, const std::string& dayFolder, const std::vector<std::string>& names,
                       bool held);

}  // namespace pell
