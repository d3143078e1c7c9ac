#include "recorder/app/desktop_rules.h"

#include <filesystem>
#include <system_error>

#include "common/core/paths.h"
#include "common/core/settings_file.h"
#include "recorder/app/recorder_controls.h"
#include "recorder/core/recorder_status.h"

namespace pell::recorder {

std::string AutostartEntryPath(const char* xdgConfigHome, const char* home) {
    std::string configHome;
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        configHome = xdgConfigHome;
    } else if (home != nullptr && home[0] != '\0') {
        configHome = JoinPath(home, ".config");
    } else {
        return {};
    }
    return JoinPath(JoinPath(configHome, "autostart"), std::string(kRecorderProgram) + ".desktop");
}

std::string QuoteExecArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        switch (c) {
            case '"':
            case '`':
            case '$':
                quoted += '\\';
                quoted += c;
                break;
            case '\\':
                quoted += "\\\\\\\\";  // escaped inside the quotes, then again as a string value
                break;
            case '%':
                quoted += "%%";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\t':
                quoted += "\\t";
                break;
            case '\r':
                quoted += "\\r";
                break;
            default:
                quoted += c;
        }
    }
    return quoted + '"';
}

std::string FormatAutostartEntry(const std::string& executablePath) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Pell Recorder\n"
           "Comment=Records the calls of both telephone lines\n"
           "Exec=" +
           QuoteExecArgument(executablePath) +
           "\n"
           "Icon=pell-recorder\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool AutostartRegistered(const std::string& entryPath) {
    std::error_code error;
    return !entryPath.empty() && std::filesystem::exists(entryPath, error);
}

std::optional<bool> ToggleAutostart(const std::string& entryPath, const std::string& executablePath) {
    if (entryPath.empty()) return std::nullopt;
    std::error_code error;
    if (AutostartRegistered(entryPath)) {
        if (!std::filesystem::remove(entryPath, error) || error) return std::nullopt;
        return false;
    }
    std::filesystem::create_directories(std::filesystem::path(entryPath).parent_path(), error);
    if (error) return std::nullopt;
    if (WriteFileAtomically(entryPath, FormatAutostartEntry(executablePath), 0666) != WriteResult::kOk)
        return std::nullopt;
    return true;
}

std::string CutTip(const std::string& tip, size_t maxCharacters) { return CutUtf8(tip, maxCharacters); }

std::string FindCompanion(const std::string& name, const std::vector<std::string>& folders,
                          const IsExecutableFn& isExecutable, const FindOnPathFn& findOnPath) {
    for (const std::string& folder : folders) {
        if (folder.empty()) continue;
        const std::string candidate = JoinPath(folder, name);
        if (isExecutable(candidate)) return candidate;
    }
    return findOnPath ? findOnPath(name) : std::string();
}

std::string FolderOf(const std::string& programPath) {
    const std::string folder = std::filesystem::path(programPath).parent_path().string();
    return folder.empty() ? "." : folder;
}

std::string BuildTreeFolder(const std::string& programPath, const std::string& relativeFolder) {
    if (relativeFolder.empty()) return {};
    return (std::filesystem::path(FolderOf(programPath)) / relativeFolder).lexically_normal().string();
}

std::string FormatLogLine(const std::string& line, bool journal) {
    std::string oneLine = line;
    for (char& c : oneLine) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    // Under systemd the unit's name stands before every line already.
    if (!journal) return std::string(text::kAppName) + ": " + oneLine + "\n";
    const bool warning = line.rfind("message: ", 0) == 0 || line.rfind("alarm", 0) == 0;
    return (warning ? "<4>" : "<6>") + oneLine + "\n";
}

}  // namespace pell::recorder
