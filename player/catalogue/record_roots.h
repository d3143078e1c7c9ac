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

// The order in which the player shows and saves roots: ascending, A to Z folded to lower case,
// roots equal in that view ordered by their bytes so the order never depends on insertion.
bool RecordRootLess(std::string_view a, std::string_view b);

// Puts `root` into the ordered `roots` after any equal one (duplicates are kept); returns its index.
std::size_t InsertRecordRoot(std::vector<std::string>& roots, std::string root);

// paths.ini as written: every non-empty root in the given order, each followed by CR LF.
std::string FormatRecordRoots(const std::vector<std::string>& roots);

// Replaces paths.ini in the program folder (through a temporary file, so a failed write leaves
// the old list); false when it could not be written.
bool SaveRecordRoots(const std::string& programFolder, const std::vector<std::string>& roots);

}  // namespace pell
