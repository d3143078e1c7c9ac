// The record list's lines as pell-catalogue prints them: tab-separated (escaped so a tag can
// neither split a row nor drive a terminal), CSV (RFC 4180, safe to open in a spreadsheet) or
// JSON Lines. One line per recording, the list's columns in its order; a search's CSV and JSON
// add the audio hash after them (the tab-separated form keeps the list's columns only).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "player/catalogue/record_list.h"

namespace pell {

enum class ListFormat { kTsv, kCsv, kJson };

// The column names: channel, date, duration, number, bookmark, placement, direction, played.
const std::vector<std::string>& ListColumnNames();

inline constexpr const char* kAudioHashColumn = "audio_sha256";

// The line before the first row: the column names for CSV (with "audio_sha256" last when
// `withAudioHash`), nothing for the others.
std::string ListHeader(ListFormat format, bool withAudioHash = false);

// One row with its line end; `id` (the index's id) is added to JSON when it is not 0, and
// `audioSha256` (empty when unknown) to CSV and JSON when given.
std::string FormatListLine(const RecordRow& row, ListFormat format, int64_t id = 0,
                           const std::optional<std::string>& audioSha256 = std::nullopt);

// One CSV field: quoted when it holds a comma, quote or line break; a text a spreadsheet would
// take for a formula (=, +, -, @ first) gets a leading apostrophe, except a plain phone number.
std::string CsvField(std::string_view text);

// A JSON string literal; bytes that are not UTF-8 are taken as Latin-1.
std::string JsonString(std::string_view text);

// A CSV line of fields, each through CsvField, with CR LF.
std::string CsvLine(const std::vector<std::string>& fields);

}  // namespace pell
