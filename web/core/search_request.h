// A search page's parameters as the browser sends them (?number=0171+555&from=2026-03-01&...)
// turned into the index's criteria, order and page size. Empty values mean "any"; a value that
// cannot be read is an error naming the field, never a criterion silently dropped.
//
//   number     digits anywhere in the calling number
//   text       bookmark words
//   from, to   dates YYYY-MM-DD (local time), inclusive; a time may follow ("YYYY-MM-DDTHH:MM")
//   min, max   duration: seconds, M:SS or H:MM:SS
//   line       a line's description; repeated for several
//   direction  in, out, unknown;  played, protected: yes, no
//   sort       start, duration, number, line, bookmark, direction, played;  order: asc, desc
//   limit      rows per page, 1 to 1000 (default 200)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "index/core/call_criteria.h"

namespace pell::web {

using Parameters = std::vector<std::pair<std::string, std::string>>;

inline constexpr std::size_t kDefaultPageRows = 200;
inline constexpr std::size_t kMaxPageRows = 1000;
// Every field fits a tag's 30 bytes with room to spare; more is no search, only load.
inline constexpr std::size_t kMaxValueBytes = 64;
inline constexpr std::size_t kMaxParameters = 64;

struct SearchRequest {
    CallCriteria criteria;
    CallOrder order;
    std::size_t limit = kDefaultPageRows;
};

struct SearchParse {
    SearchRequest request;
    std::string error;  // "from: not a date (YYYY-MM-DD)"; empty when fine
};

SearchParse ParseSearchParameters(const Parameters& parameters);

// "YYYY-MM-DD" or "YYYY-MM-DD[T ]HH:MM[:SS]" in local time, seconds since the epoch; `end`
// gives the first second after it (a whole day for a bare date).
std::optional<int64_t> ParseLocalMoment(std::string_view text, bool end);

// "95", "1:35" or "0:01:35".
std::optional<int64_t> ParseDurationText(std::string_view text);

// The sort names above; nothing for any other.
std::optional<CallSortColumn> ParseSortColumn(std::string_view text);

}  // namespace pell::web
