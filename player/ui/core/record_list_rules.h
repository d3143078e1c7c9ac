// The record list's rules beyond sorting: which row is current after a row leaves the list, and
// the line under the list that counts what it shows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "player/catalogue/record_list.h"

namespace pell {

// The current row once `removedRow` has left a list that now holds `rowsLeft` rows: a row below
// moves up with its record; when the current row itself went, the row that took its place (or
// the new last row) becomes current, so the highlight always shows what Play and Delete act on.
// -1 when there was none or the list is empty.
int CurrentRowAfterRemoval(int currentRow, int removedRow, int rowsLeft);

// Seconds of a Duration text "hh:mm:ss" (hours may run past 99); nullopt for anything else, such
// as the empty duration of an unreadable file.
std::optional<std::int64_t> DurationSeconds(std::string_view text);

// "No recordings", "1 recording, 00:00:12", "12 recordings, 01:02:03 in all": the rows listed and
// their total length.
std::string ListSummaryText(const std::vector<RecordRow>& rows);

// "Playing: Line 2, 09.12.2026 02:39:52, 0123456 (00:00:40)", or "Paused: ..." : the record the
// engine has open, which need not be the highlighted one. Empty texts are left out.
std::string PlayingRecordText(const RecordRow& row, bool paused);

}  // namespace pell
