// The player's record roots: the folders whose day folders hold recordings, one full path per
// line of "paths.ini" in the player's program folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pell {

inline constexpr const char* kRecordRootsFile = "paths.ini";

// One root per line, without its line end (LF or CR LF); empty lines skipped; order and
// duplicates kept.
std::vector<std::string> ParseRecordRoots(std::string_view text);

// The roots listed in `file`; a missing or unreadable file means no roots.
std::vector<std::string> ReadRecordRoots(const std::string& file);

// The roots of "paths.ini" in the player's program folder.
std::vector<std::string> LoadRecordRoots(const std::string& programFolder);

}  // namespace pell
