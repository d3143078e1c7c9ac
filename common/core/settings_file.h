// The "settings.ini" text exactly as the configurator writes it: fixed key order, no blanks
// around "=", "stereo=0" always, an empty line before each channel section, CR LF line ends.
#pragma once

#include <array>
#include <string>

namespace pell {

// Each value is written as given: the configurator writes some keys as the text of a field
// ("samplerate", "bitrate", ...) and others as numbers it formats itself.
struct SettingsChannelEntries {
    std::string exists;
    std::string prefix;  // key "preffix"
    std::string gain;
    std::string description;
    std::string dropFolder;
    std::string bitrate;
    std::string sensitiveControl;
    std::string sensitiveLevel;
    std::string endOfFile;
    std::string minFileLength;
    std::string maxFileLength;
    std::string clip;
};

struct SettingsDocument {
    std::string device;
    std::string number;
    std::string samplerate;
    std::string cleaning;
    std::string freeDiskSpace;
    std::array<SettingsChannelEntries, 2> channels;
};

std::string FormatSettingsFile(const SettingsDocument& doc);

enum class WriteResult { kOk, kCannotCreate, kWriteFailed };

// Writes the text to a temporary file beside path and renames it over path only when every
// byte reached the disk, so a full disk never leaves a truncated "settings.ini" behind; the
// folder is synced after the rename so the new name survives a power cut. A symbolic link is
// written through to the file it names and stays a link. The file keeps its mode and owner; a
// new file gets newFileMode as
// the umask or the folder's default ACL filter it (owner-only by default: settings may hold
// private folder names; 0666 for files that must stay shared like the folder they are in).
// CannotCreate: the temporary file could not be made (nothing changed);
// WriteFailed: writing, flushing or renaming failed (nothing changed, the temporary is removed).
// On failure errno says why.
WriteResult WriteFileAtomically(const std::string& path, const std::string& text, unsigned newFileMode = 0600);

}  // namespace pell
