// Finding the next record whose calling number or bookmark contains a text. The search starts
// after the current row, wraps around to the top, and never examines the current row itself,
// so repeated searches walk from match to match around the list.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pell {

// The Number and Bookmark texts of one row of the list.
struct SearchableRow {
    std::string number;
    std::string bookmark;
};

using SearchableRowAt = std::function<SearchableRow(int row)>;

// The row to select for `text` among `rowCount` rows, given the current row (-1 for none), or
// nothing when no other row matches. Only A to Z are folded to lower case; an empty text
// matches every row.
std::optional<int> FindNextRecord(int rowCount, int currentRow, std::string_view text, const SearchableRowAt& rowAt);

}  // namespace pell
