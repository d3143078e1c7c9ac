// The recorder's desktop rules that need no window: where the start-at-login entry lives and
// what it holds, and where the companion programs are found.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pell::recorder {

// "$XDG_CONFIG_HOME/autostart/PellRecorder.desktop", with "$HOME/.config" when XDG_CONFIG_HOME
// is unset or not absolute (a relative one is invalid and ignored); empty when neither helps.
std::string AutostartEntryPath(const char* xdgConfigHome, const char* home);

// One Exec argument: double-quoted, with '"', '`', '$' and '\' escaped inside the quotes, the
// backslashes doubled again for the string value, and '%' written "%%".
std::string QuoteExecArgument(const std::string& argument);

// The autostart entry that starts `executablePath`.
std::string FormatAutostartEntry(const std::string& executablePath);

// The registration exists exactly when the entry file exists.
bool AutostartRegistered(const std::string& entryPath);

// Writes the entry when absent (creating the autostart folder, the file atomically), removes it
// when present. The registration afterwards, or nullopt when it could not be changed.
std::optional<bool> ToggleAutostart(const std::string& entryPath, const std::string& executablePath);

// A notification tip holds at most `maxCharacters` characters; a UTF-8 character is never cut
// in half.
std::string CutTip(const std::string& tip, size_t maxCharacters);

using IsExecutableFn = std::function<bool(const std::string& path)>;
using FindOnPathFn = std::function<std::string(const std::string& name)>;

// The first of folder + "/" + name that is an executable file, then what PATH finds; empty
// when none. Empty folders are skipped.
std::string FindCompanion(const std::string& name, const std::vector<std::string>& folders,
                          const IsExecutableFn& isExecutable, const FindOnPathFn& findOnPath);

// One event as one line of standard error: "PellRecorder: text"; under systemd (journal) the
// journal's priority prefix instead, "<4>" for messages and alarms, "<6>" for the rest. Line
// breaks inside become blanks.
std::string FormatLogLine(const std::string& line, bool journal);

// The folder that holds `programPath` ("." for a bare name).
std::string FolderOf(const std::string& programPath);

// Where the build puts a companion: `relativeFolder` (as the build tree lays it out) from the
// folder of `programPath`; empty for an empty relative folder.
std::string BuildTreeFolder(const std::string& programPath, const std::string& relativeFolder);

}  // namespace pell::recorder
