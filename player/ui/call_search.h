// The player's way into the call index: opened as the program folder's index.ini says (SQLite in
// the program folder by default, or the site's shared PostgreSQL database), refreshed from the
// record folders before every search so a call filed a moment ago is found, then searched. The
// work runs on a thread of its own while the window waits with a progress dialog that shows a
// long first build and lets the user cancel it; what was indexed stays for the next search.
#pragma once

#include <QObject>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "index/core/call_criteria.h"
#include "index/core/call_index.h"

class QWidget;

namespace pell {
class OpenedCallIndex;
}

namespace pell::player {

struct CallSearchOutcome {
    enum class Result { kFound, kCancelled, kFailed };
    Result result = Result::kFound;
    SearchPage page;
    std::vector<RefreshProblem> unreachable;  // record folders that could not be read
    std::string error;                        // with kFailed: why, in the index's words
};

class CallSearch {
public:
    explicit CallSearch(std::string programFolder);
    ~CallSearch();
    CallSearch(const CallSearch&) = delete;
    CallSearch& operator=(const CallSearch&) = delete;

    // Refreshes the index for `roots` and returns the newest `limit` calls meeting `criteria`;
    // the progress dialog is owned by `window` and shows when the work takes a moment.
    CallSearchOutcome Run(QWidget* window, const std::vector<std::string>& roots, const CallCriteria& criteria,
                          std::size_t limit);
    // The line descriptions of the calls found so far, sorted, for the dialog's choice.
    const std::vector<std::string>& KnownLines() const { return knownLines_; }

private:
    // On the worker thread: opens the index once, refreshes, searches.
    CallSearchOutcome Work(const std::vector<std::string>& roots, const CallCriteria& criteria, std::size_t limit,
                           const std::function<bool()>& cancelled,
                           const std::function<void(const RefreshProgress&)>& progress);

    std::string programFolder_;
    std::unique_ptr<OpenedCallIndex> index_;
    std::vector<std::string> knownLines_;
    bool running_ = false;
};

}  // namespace pell::player
