#include "player/ui/core/record_list_rules.h"

#include <charconv>
#include <cstdio>

namespace pell {

int CurrentRowAfterRemoval(int currentRow, int removedRow, int rowsLeft) {
    if (currentRow < 0 || rowsLeft <= 0) return -1;
    if (removedRow < currentRow) return currentRow - 1;
    if (removedRow == currentRow) return currentRow < rowsLeft ? currentRow : rowsLeft - 1;
    return currentRow;
}

std::optional<std::int64_t> DurationSeconds(std::string_view text) {
    std::int64_t parts[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        const std::size_t colon = i < 2 ? text.find(':') : text.size();
        if (colon == std::string_view::npos || colon == 0) return std::nullopt;
        const std::string_view digits = text.substr(0, colon);
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parts[i]);
        if (error != std::errc() || end != digits.data() + digits.size() || parts[i] < 0) return std::nullopt;
        if (i > 0 && (digits.size() != 2 || parts[i] > 59)) return std::nullopt;
        text.remove_prefix(i < 2 ? colon + 1 : colon);
    }
    return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

std::string ListSummaryText(const std::vector<RecordRow>& rows) {
    if (rows.empty()) return "No recordings";
    std::int64_t total = 0;
    for (const RecordRow& row : rows) total += DurationSeconds(row.duration).value_or(0);
    char text[96];
    std::snprintf(text, sizeof text, "%zu recording%s, %02lld:%02lld:%02lld%s", rows.size(),
                  rows.size() == 1 ? "" : "s", static_cast<long long>(total / 3600),
                  static_cast<long long>(total % 3600 / 60), static_cast<long long>(total % 60),
                  rows.size() == 1 ? "" : " in all");
    return text;
}

std::string PlayingRecordText(const RecordRow& row, bool paused) {
    std::string text = paused ? "Paused:" : "Playing:";
    const char* separator = " ";
    for (const std::string* part : {&row.channel, &row.date, &row.number}) {
        if (part->empty()) continue;
        text += separator + *part;
        separator = ", ";
    }
    if (!row.duration.empty()) text += " (" + row.duration + ")";
    return text;
}

}  // namespace pell
