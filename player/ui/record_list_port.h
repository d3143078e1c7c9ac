// The record list as the player's commands see it: the row texts, the current row and the
// selection, and the three changes they make. The main window's list implements it; tests use a plain one.
// Called on the GUI thread only.
#pragma once

#include <string>
#include <vector>

namespace pell::player {

class RecordListPort {
public:
    virtual ~RecordListPort() = default;
    virtual int RowCount() const = 0;
    // -1 when no row is current.
    virtual int CurrentRow() const = 0;
    // The highlighted rows, for the commands on several recordings; none for a list that
    // highlights only the current row.
    virtual std::vector<int> SelectedRows() const { return {}; }
    // UTF-8 text of a column (RecordColumn) of a row.
    virtual std::string Text(int row, int column) const = 0;
    virtual void SetBookmark(int row, const std::string& text) = 0;
    // Selects and focuses the row, shows it at once, scrolls it into view and makes it current.
    virtual void SelectRow(int row) = 0;
    // Removes the row; when it was the current one, the row that takes its place (or the new
    // last row) is current and highlighted afterwards, none in an empty list.
    virtual void RemoveRow(int row) = 0;
};

}  // namespace pell::player
