// The record list's column widths, kept in "columns.ini" in the player's program folder: ten
// lines, line i the pixel width of column i; only six columns exist, the last four lines are 0.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pell {

inline constexpr int kColumnWidthCount = 10;
using ColumnWidths = std::array<std::int32_t, kColumnWidthCount>;

inline constexpr ColumnWidths kDefaultColumnWidths = {110, 140, 80, 120, 120, 20, 0, 0, 0, 0};
inline constexpr std::array<const char*, 6> kRecordColumnNames = {"Channel", "Date",     "Duration",
                                                                  "Number",  "Bookmark", "Placement"};
inline constexpr const char* kColumnWidthsFileName = "columns.ini";

// A non-empty line i sets width i to its leading decimal number (no digits gives 0); an empty or
// missing line keeps what `current` holds. Either line end is read.
ColumnWidths ParseColumnWidths(std::string_view text, const ColumnWidths& current);
// Ten lines "%d" each ending in CR LF.
std::string FormatColumnWidths(const ColumnWidths& widths);

// Whole-file helpers: a missing file keeps `current`; a file that cannot be created gives false
// and nothing is written.
ColumnWidths ReadColumnWidths(const std::string& programFolder, const ColumnWidths& current);
bool WriteColumnWidths(const std::string& programFolder, const ColumnWidths& widths);

}  // namespace pell
