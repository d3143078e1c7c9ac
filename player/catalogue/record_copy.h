// Copying a recording into a folder the user picked, and remembering that folder in
// "sendto.ini" in the player's program folder for the next copy. The copy never harms an
// existing file: it is written under a temporary name beside the target and renamed over it
// only when complete, and it keeps the source's last-write time, from which the list derives
// the call's start time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace pell {

inline constexpr const char* kSendToFile = "sendto.ini";

// The folder last chosen for a copy: the first line of sendto.ini, or empty without one.
std::string ReadSendToFolder(const std::string& programFolder);

// Remembers `folder` in sendto.ini, the path alone without a line end; false when it could not
// be written.
bool WriteSendToFolder(const std::string& programFolder, const std::string& folder);

// The folder, one "/" (none added when the folder already ends with one, as a drive root does)
// and the file name of `sourcePath`.
std::string CopyTargetPath(std::string_view folder, std::string_view sourcePath);

enum class CopyCheck {
    kCopy,            // nothing is in the way
    kAskReplace,      // a file of that name is there: the user decides
    kSameFile,        // the target is the source itself (same path, or same device and inode)
    kTargetIsFolder,  // something that is not a file has the target's name
};

CopyCheck CheckCopyTarget(const std::string& sourcePath, const std::string& targetPath);

struct CopyResult {
    bool copied = false;
    std::string reason;  // why not, in the system's words; empty when copied
};

// Called while copying with the bytes done and the total; returning false cancels the copy.
using CopyProgress = std::function<bool(int64_t doneBytes, int64_t totalBytes)>;

// Copies `sourcePath` to `targetPath` (replacing a file there) with the source's permissions and
// last-write time. On failure or cancel the partial copy is removed and any old target stays.
CopyResult CopyRecordFile(const std::string& sourcePath, const std::string& targetPath,
                          const CopyProgress& progress = {});

}  // namespace pell
