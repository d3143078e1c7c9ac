// "Find calls": what the dialog's fields ask of the call index, the messages that say which
// field is wrong and how to put it right, the line above the list that says it shows search
// results, and whether the list shows a date range or a search's results.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "index/core/call_criteria.h"
#include "index/core/call_index.h"

namespace pell {

// The most rows a search puts into the list: the newest of them, the list saying more match.
inline constexpr std::size_t kFindCallsRowLimit = 10'000;

// The dialog's fields as typed and chosen.
struct FindCallsForm {
    std::string number;  // digits anywhere; spaces and punctuation ignored
    std::string text;    // bookmark words or their beginnings
    // "YYYY-MM-DD HH:MM", local time; the To minute is taken whole.
    std::optional<std::string> from;
    std::optional<std::string> to;
    std::string minDuration;  // seconds, M:SS or H:MM:SS; empty: no bound
    std::string maxDuration;
    std::string line;  // a line's description; empty: every line
    std::optional<CallDirection> direction;
    std::optional<bool> played;
    std::optional<bool> isProtected;

    friend bool operator==(const FindCallsForm&, const FindCallsForm&) = default;
};

enum class FindCallsField { kNone, kNumber, kText, kFrom, kTo, kMinDuration, kMaxDuration };

struct FindCallsCheck {
    std::optional<CallCriteria> criteria;  // nothing when a field is wrong
    FindCallsField field = FindCallsField::kNone;
    std::string message;  // names the field and the remedy
};

FindCallsCheck CriteriaFromForm(const FindCallsForm& form);

// What was asked, for the line above the list: "number 555, bookmark "refund", Line 1"; "all
// calls" when nothing narrows the search.
std::string DescribeSearch(const FindCallsForm& form);

// "Search results: 12 calls — number 555"; with `more`, the list says it holds only the newest
// and more match.
std::string SearchCaption(const FindCallsForm& form, std::size_t rows, bool more);

// After the caption when record folders could not be read: "; 2 record folders could not be
// read, their calls are as last indexed"; empty for none.
std::string UnreachableNote(std::size_t folders);

// Said when there is nothing to search: no record folder is listed.
inline constexpr const char* kNoRecordFolders =
    "There are no record folders to search: add them under File, Properties.";

// "Indexing day folder 12 of 340: 5,000 recordings read", for a long first build.
std::string RefreshProgressText(const RefreshProgress& progress);

// 12345 as "12,345".
std::string GroupedCount(std::size_t count);

// Whether the record list shows the date range or a search's results, and what the list's
// refresh then does.
class RecordListMode {
public:
    enum class Refresh { kFillDateRange, kSearchAgain };

    bool ShowingResults() const { return showingResults_; }
    void ShowResults(FindCallsForm form, bool more);
    void ShowDateRange() { showingResults_ = false; }
    // The refresh button, F5 and new record folders bring the shown list up to date.
    Refresh RefreshAction() const { return showingResults_ ? Refresh::kSearchAgain : Refresh::kFillDateRange; }
    // The search shown, or the last one once back at the dates: the dialog starts from it.
    const FindCallsForm& LastSearch() const { return lastSearch_; }
    // The line above the list while it shows results, for the rows it holds now; empty otherwise.
    std::string Caption(std::size_t rows) const;

private:
    bool showingResults_ = false;
    bool more_ = false;
    FindCallsForm lastSearch_;
};

}  // namespace pell
