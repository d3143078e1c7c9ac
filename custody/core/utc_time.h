// Moments in the custody records: "2026-03-05T13:07:55Z", UTC, so a record reads the same in
// every time zone and across daylight-saving changes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pell {

std::string FormatUtc(int64_t secondsSinceEpoch);
std::optional<int64_t> ParseUtc(std::string_view text);

// "%d.%m.%Y %H:%M:%S" in the local time zone, as the record list shows a moment.
std::string FormatLocalMoment(int64_t secondsSinceEpoch);

}  // namespace pell
