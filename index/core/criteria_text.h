// Criteria as people type them, for every program that takes a search from a person: a date
// with an optional time of day in local time, and a duration in seconds, minutes or hours.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pell {

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS" ('T' between allowed) as local time;
// `end` gives the first second after it (the day's end for a date), for the end of a range.
std::optional<int64_t> ParseLocalTime(std::string_view text, bool end);

// "95", "1:35" or "0:01:35" in seconds.
std::optional<int64_t> ParseDuration(std::string_view text);

}  // namespace pell
