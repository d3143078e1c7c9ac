// Where a program's files live: the "PathToProg" value that the installer stores under the
// vendor's system-wide settings (QSettings native format, system scope), with a fallback when
// it is missing or empty.
#pragma once

#include <string>

namespace pell {

enum class ProgramFolderFallback {
    kExecutableFolder,  // recorder and configurator: never resolve "settings.ini" at the root
    kCurrentDirectory,  // player
};

inline constexpr const char* kVendorName = "Zorvek Software";
inline constexpr const char* kRecorderAppName = "TeluvaRecorder";
inline constexpr const char* kPlayerAppName = "TeluvaPlayer";

// Reads "PathToProg" (at most 260 characters, used unchanged) for the given application.
std::string LookupProgramFolder(const char* applicationName, ProgramFolderFallback fallback);

// The folder of the running executable.
std::string ExecutableFolder();

}  // namespace pell
