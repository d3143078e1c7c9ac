#include "player/catalogue/record_search.h"

#include "player/catalogue/ascii_case.h"

namespace pell {

std::optional<int> FindNextRecord(int rowCount, int currentRow, std::string_view text, const SearchableRowAt& rowAt) {
    const std::string wanted = LowerAscii(text);
    const auto matches = [&](int row) {
        const SearchableRow texts = rowAt(row);
        return LowerAscii(texts.number).find(wanted) != std::string::npos ||
               LowerAscii(texts.bookmark).find(wanted) != std::string::npos;
    };
    // A current row past the end (the list shrank) searches the whole list from the top.
    const int current = currentRow < rowCount ? currentRow : -1;
    for (int row = current + 1; row < rowCount; ++row) {
        if (matches(row)) return row;
    }
    for (int row = 0; row < current; ++row) {
        if (matches(row)) return row;
    }
    return std::nullopt;
}

}  // namespace pell
