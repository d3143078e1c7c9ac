// "Find calls" in the main window: the dialog's criteria searched in the call index across every
// day of the record folders, the results in the record list with a line above it that says so,
// and the way back to the date range.
#include <QDateEdit>
#include <QLabel>

#include "player/ui/call_search.h"
#include "player/ui/find_calls_dialog.h"
#include "player/ui/player_dialog.h"
#include "player/ui/record_list.h"

namespace pell::player {

void PlayerDialog::OnFindCalls() {
    FindCallsDialog dialog(listMode_.LastSearch(), callSearch_->KnownLines(), fromDate_->date(), toDate_->date(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    FindCalls(dialog.Form());
}

bool PlayerDialog::FindCalls(const FindCallsForm& form) {
    const FindCallsCheck check = CriteriaFromForm(form);
    if (!check.criteria) {
        services_.notifier->Stop(this, QString::fromStdString(check.message));
        return false;
    }
    if (recordRoots_.empty()) {
        services_.notifier->Stop(this, kNoRecordFolders);
        return false;
    }
    const CallSearchOutcome outcome = callSearch_->Run(this, recordRoots_, *check.criteria, kFindCallsRowLimit);
    switch (outcome.result) {
        case CallSearchOutcome::Result::kCancelled:
            return false;
        case CallSearchOutcome::Result::kFailed:
            services_.notifier->Stop(this, "The calls cannot be searched: " + QString::fromStdString(outcome.error));
            return false;
        case CallSearchOutcome::Result::kFound:
            break;
    }
    std::vector<RecordRow> rows;
    rows.reserve(outcome.page.calls.size());
    for (const CallRecord& call : outcome.page.calls) rows.push_back(ToRecordRow(call, rows.size()));
    QStringList unreachable;
    for (const RefreshProblem& problem : outcome.unreachable) {
        unreachable << QString::fromStdString(problem.place + " (" + problem.reason + ")");
    }
    unreachableNote_ = QString::fromStdString(UnreachableNote(outcome.unreachable.size()));
    listMode_.ShowResults(form, outcome.page.truncated);
    ShowSearchBar();
    searchCaption_->setToolTip(unreachable.join("\n"));
    ShowRows(std::move(rows));
    return true;
}

void PlayerDialog::BackToDates() {
    if (!listMode_.ShowingResults()) return;
    FillRecordList();
}

void PlayerDialog::RefreshList() {
    switch (listMode_.RefreshAction()) {
        case RecordListMode::Refresh::kFillDateRange:
            FillRecordList();
            return;
        case RecordListMode::Refresh::kSearchAgain:
            // The form was good when it was first searched; a search that now fails keeps the rows.
            FindCalls(listMode_.LastSearch());
            return;
    }
}

QString PlayerDialog::SearchCaption() const { return listMode_.ShowingResults() ? searchCaption_->text() : QString(); }

void PlayerDialog::ShowSearchBar() {
    const bool results = listMode_.ShowingResults();
    if (!results) {
        unreachableNote_.clear();
        searchCaption_->setToolTip({});
    }
    if (backToDates_ != nullptr) backToDates_->setEnabled(results);
    if (searchBar_->isHidden() == !results) return;
    searchBar_->setVisible(results);
    Relayout();
}

}  // namespace pell::player
