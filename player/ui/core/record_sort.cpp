#include "player/ui/core/record_sort.h"

#include <algorithm>
#include <numeric>

namespace pell {
namespace {

constexpr std::size_t kFullDateLength = 19;  // "dd.mm.yyyy hh:mm:ss"

std::string SortKey(const RecordRow& row, int column) {
    const std::string& text = row.Text(column);
    return column == kColumnDate ? DateSortKey(text) : text;
}

int Sign(int comparison) { return (comparison > 0) - (comparison < 0); }

}  // namespace

SortState NextSortState(SortState state, int column) {
    state.descending = column == state.column ? !state.descending : false;
    state.column = column;
    return state;
}

std::string DateSortKey(std::string_view date) {
    if (date.size() < kFullDateLength) return std::string(date);
    std::string key;
    key.reserve(date.size());
    key.append(date.substr(6, 4)).append(date.substr(3, 2)).append(date.substr(0, 2)).append(date.substr(11));
    return key;
}

int CompareForSort(const RecordRow& a, const RecordRow& b, SortState state) {
    if (state.column < 0 || state.column >= kRecordColumnCount) return 0;
    const int ascending = Sign(SortKey(a, state.column).compare(SortKey(b, state.column)));
    return state.descending ? -ascending : ascending;
}

void SortRecordRows(std::vector<RecordRow>& rows, SortState state) {
    if (state.column < 0 || state.column >= kRecordColumnCount || rows.size() < 2) return;
    // Keys are built once per row: the Date rearrangement would otherwise run n log n times.
    std::vector<std::string> keys;
    keys.reserve(rows.size());
    for (const RecordRow& row : rows) keys.push_back(SortKey(row, state.column));
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return state.descending ? keys[b] < keys[a] : keys[a] < keys[b];
    });
    std::vector<RecordRow> sorted;
    sorted.reserve(rows.size());
    for (std::size_t i : order) sorted.push_back(std::move(rows[i]));
    rows = std::move(sorted);
}

int RowOfItemData(const std::vector<RecordRow>& rows, std::int32_t itemData) {
    const auto found =
        std::find_if(rows.begin(), rows.end(), [itemData](const RecordRow& row) { return row.itemData == itemData; });
    return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
}

int SortKeepingCurrent(std::vector<RecordRow>& rows, SortState state, int currentRow) {
    const bool hasCurrent = currentRow >= 0 && currentRow < static_cast<int>(rows.size());
    const std::int32_t itemData = hasCurrent ? rows[static_cast<std::size_t>(currentRow)].itemData : 0;
    SortRecordRows(rows, state);
    return hasCurrent ? RowOfItemData(rows, itemData) : -1;
}

}  // namespace pell
