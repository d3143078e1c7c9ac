// What a search asks of the index, and the rules every store answers it by. A number matches
// by its digits anywhere (spaces and punctuation ignored, "+44 ..." also finding "0 ..." where
// the national prefix setting says so); text matches bookmark words, each query word being a
// word or the start of one; the rest are ranges and exact choices, all combined.
// `MatchesCall` is the reference the stores' queries are tested against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "index/core/call_record.h"

namespace pell {

// How numbers are written here: "+44 20 ..." (or "0044 20 ...") is "020 ..." at home.
struct NumberPlan {
    std::string countryCode;                 // digits, e.g. "44"; empty: numbers match only as written
    std::string nationalPrefix;              // digits, e.g. "0"; may be empty where there is none
    std::string internationalPrefix = "00";  // digits dialled before a country code
};

struct CallCriteria {
    std::string number;                         // digits anywhere in the calling number; empty: any number
    std::string text;                           // bookmark words, all of them, each also as a word's start; empty: any
    std::optional<int64_t> startFrom;           // call start, seconds since the epoch, inclusive
    std::optional<int64_t> startBefore;         // call start, exclusive
    std::optional<int64_t> minDurationSeconds;  // inclusive
    std::optional<int64_t> maxDurationSeconds;  // inclusive
    // Line descriptions (A to Z in any case): one of these. Nothing: every line; an empty list
    // matches no call, so a caller passing a user's permitted lines never widens them.
    std::optional<std::vector<std::string>> lines;
    std::optional<CallDirection> direction;
    std::optional<bool> played;
    std::optional<bool> isProtected;
};

enum class CallSortColumn { kStart, kDuration, kNumber, kLine, kBookmark, kPlacement, kSize, kDirection, kPlayed };

// Ties are broken by the index id in the same direction, so pages never overlap.
struct CallOrder {
    CallSortColumn column = CallSortColumn::kStart;
    bool descending = true;  // newest first
};

// The digits of a number as the index matches them: every character other than 0 to 9 dropped.
std::string NumberDigits(std::string_view text);

// The digit strings a number query stands for; a call matches when its digits contain any of
// them. Empty when the query has no digit.
std::vector<std::string> NumberPatterns(std::string_view query, const NumberPlan& plan);

// The words of a text: runs of letters and digits (every byte of a UTF-8 character counts as a
// letter), A to Z lower-cased.
std::vector<std::string> TextWords(std::string_view text);

// A text's words as the stores keep them for word search: TextWords joined by single blanks.
std::string StoredWords(std::string_view text);

// Criteria in the form the stores take.
struct PreparedCriteria {
    std::vector<std::string> numberPatterns;  // any of them; empty: no number criterion
    std::vector<std::string> words;           // all of them, each a word or a word's start
    std::optional<int64_t> startFrom;
    std::optional<int64_t> startBefore;
    std::optional<int64_t> minDurationSeconds;
    std::optional<int64_t> maxDurationSeconds;
    std::optional<std::vector<std::string>> lines;  // A to Z lower-cased
    std::optional<CallDirection> direction;
    std::optional<bool> played;
    std::optional<bool> isProtected;
};

struct PrepareResult {
    PreparedCriteria criteria;
    std::string error;  // why the criteria cannot be searched for; empty when they can
};

// Checks and prepares: a number without digits or a text without words is an error, not a
// criterion silently dropped.
PrepareResult PrepareCriteria(const CallCriteria& criteria, const NumberPlan& plan);

// The reference rule: does this call meet the criteria? (Its root is checked by the caller.)
bool MatchesCall(const CallFacts& facts, const PreparedCriteria& criteria);

// Strict-weak order of two calls for `order`, ties by id.
bool CallBefore(const CallRecord& a, const CallRecord& b, const CallOrder& order);

// What a search hands the stores.
struct StoreQuery {
    std::vector<std::string> roots;  // normalised; calls of other roots are never returned
    PreparedCriteria criteria;
    CallOrder order;
    std::size_t limit = 0;  // at most this many calls; 0: all
};

struct SearchPage {
    std::vector<CallRecord> calls;
    bool truncated = false;  // more calls matched than the limit let through
};

}  // namespace pell
