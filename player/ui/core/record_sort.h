// Sorting the record list by a column header: a second click on the same column reverses the
// order, another column starts ascending. Texts compare byte-wise; a Date text is compared as
// year, month, day, time, so that the order follows the calendar.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "player/catalogue/record_list.h"

namespace pell {

struct SortState {
    int column = -1;  // column of the last sort, -1 before the first
    bool descending = false;
};

// The state after a click on the header of `column`.
SortState NextSortState(SortState state, int column);

// "dd.mm.yyyy hh:mm:ss" rearranged to "yyyymmddhh:mm:ss"; a shorter text (an unreadable file's
// empty date, say) is returned as it is.
std::string DateSortKey(std::string_view date);

// <0, 0 or >0 as row a sorts before, with or after row b in `state`'s column and direction.
int CompareForSort(const RecordRow& a, const RecordRow& b, SortState state);

// Sorts the rows as the header click asked; equal texts keep their relative order.
void SortRecordRows(std::vector<RecordRow>& rows, SortState state);

// Index of the row carrying `itemData`, -1 when none does.
int RowOfItemData(const std::vector<RecordRow>& rows, std::int32_t itemData);

// Sorts and returns where the record of `currentRow` now stands (-1 stays -1), so commands on
// the current row keep acting on the record the user chose.
int SortKeepingCurrent(std::vector<RecordRow>& rows, SortState state, int currentRow);

}  // namespace pell
