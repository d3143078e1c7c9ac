#include "player/ui/record_commands.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QWidget>

#include "player/catalogue/record_copy.h"
#include "player/catalogue/record_list.h"
#include "player/catalogue/record_search.h"
#include "player/catalogue/recording_tag.h"
#include "player/ui/bookmark_dialog.h"
#include "player/ui/custody_services.h"
#include "player/ui/dialog_controls.h"
#include "player/ui/properties_dialog.h"

namespace pell::player {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return Q(slash == std::string::npos ? path : path.substr(slash + 1));
}

// Qt 6.4 moves a file into "files" of the working folder, and reports success, when it cannot
// make the user's trash (data folder missing or not writable): the trash is made here first,
// and a file that still lands in the working folder is put back.
bool MoveToTrash(const QString& path) {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data + "/Trash/files") || !QDir().mkpath(data + "/Trash/info")) {
        return false;
    }
    QString inTrash;
    if (!QFile::moveToTrash(path, &inTrash)) return false;
    if (QFileInfo(inTrash).isAbsolute()) return true;
    QFile::rename(QDir::current().absoluteFilePath(inTrash), path);
    return false;
}

QString WithReason(const char* message, const std::string& reason) {
    return QString("%1\n\n%2").arg(message, Q(reason));
}

}  // namespace

RecordCommands::RecordCommands(QWidget* window, RecordListPort& list, std::string programFolder,
                               RecordCommandServices services)
    : QObject(window),
      window_(window),
      list_(list),
      programFolder_(std::move(programFolder)),
      services_(std::move(services)),
      custody_(services_.custody) {
    if (custody_ == nullptr) {
        ownCustody_ = std::make_unique<PosixCustodyPort>();
        custody_ = ownCustody_.get();
    }
}

std::vector<std::string> RecordCommands::SelectedPaths() const {
    std::vector<std::string> paths;
    for (const int row : CommandRows(list_.CurrentRow(), list_.SelectedRows())) {
        if (row < list_.RowCount()) paths.push_back(list_.Text(row, kColumnPlacement));
    }
    return paths;
}

void RecordCommands::ShowNotice(const std::string& notice) { services_.showStatus(Q(notice), true); }

void RecordCommands::SetBookmark() {
    const int row = list_.CurrentRow();
    if (row < 0) return;
    const std::string path = list_.Text(row, kColumnPlacement);
    BookmarkDialog dialog(Q(list_.Text(row, kColumnBookmark)), window_);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string text = dialog.Text().toStdString();
    if (services_.storeBookmark(path, text) != TagWriteResult::kWritten) {
        // The column keeps the old text: it must never show a bookmark the file does not hold.
        services_.notifier.Stop(window_, text::kBookmarkFailed);
        return;
    }
    // As pell-catalogue notes it: whether there is one, never its text.
    ShowNotice(AuditRecordings(*custody_, AuditAction::kBookmark, {path}, text.empty() ? "cleared" : "set"));
    // Something queued while the dialog was open may have changed the list: find the file's row.
    for (int at = 0; at < list_.RowCount(); ++at) {
        const int candidate = (row + at) % list_.RowCount();
        if (list_.Text(candidate, kColumnPlacement) == path) {
            list_.SetBookmark(candidate, BookmarkAsStored(text));
            return;
        }
    }
}

void RecordCommands::OpenSearch() {
    if (searchWindow_) {
        searchWindow_->showNormal();
        searchWindow_->raise();
        searchWindow_->activateWindow();
        return;
    }
    searchWindow_ = new SearchDialog(window_);
    connect(searchWindow_, &SearchDialog::findRequested, this, &RecordCommands::SearchRecords);
    searchWindow_->show();
}

void RecordCommands::SearchRecords(const QString& text) {
    const std::optional<int> match =
        FindNextRecord(list_.RowCount(), list_.CurrentRow(), text.toStdString(), [this](int row) {
            return SearchableRow{list_.Text(row, kColumnNumber), list_.Text(row, kColumnBookmark)};
        });
    if (match) {
        list_.SelectRow(*match);
        return;
    }
    QWidget* owner = searchWindow_ ? static_cast<QWidget*>(searchWindow_) : window_;
    services_.notifier.Inform(owner, text::kNotFound);
}

void RecordCommands::DeleteRecord() {
    const std::vector<std::string> paths = SelectedPaths();
    if (paths.empty()) return;
    const DeletePlan plan = PlanDelete(*custody_, paths);
    if (plan.deletable.empty()) {
        services_.notifier.Stop(window_, Q(DeleteRefusal(plan)));
        return;
    }
    if (!services_.notifier.Ask(window_, Q(DeleteQuestion(plan)))) return;
    const DeleteOutcome outcome =
        DeleteRecordings(*custody_, plan, [](const std::string& path) { return MoveToTrash(Q(path)); });
    // Rows are found by their paths, each removal moving the rows below it up; a root listed
    // twice shows a file twice, and neither row may stay behind.
    for (const std::string& path : outcome.trashed) {
        for (int row = list_.RowCount() - 1; row >= 0; --row) {
            if (list_.Text(row, kColumnPlacement) == path) list_.RemoveRow(row);
        }
    }
    ShowNotice(outcome.auditNotice);
    if (const std::string report = DeleteReport(outcome); !report.empty()) {
        services_.notifier.Stop(window_, Q(report));
    }
}

void RecordCommands::CopyRecordTo() {
    const int row = list_.CurrentRow();
    if (row < 0) return;
    const std::string source = list_.Text(row, kColumnPlacement);
    const std::optional<QString> picked =
        services_.picker.PickFolder(window_, text::kPickCopyFolder, Q(ReadSendToFolder(programFolder_)));
    if (!picked || picked->isEmpty()) return;
    const std::string folder = picked->toStdString();
    // Remembered even if the copy then fails; a program folder that cannot be written only
    // loses the preselection.
    WriteSendToFolder(programFolder_, folder);

    const std::string target = CopyTargetPath(folder, source);
    switch (CheckCopyTarget(source, target)) {
        case CopyCheck::kSameFile:
            services_.notifier.Stop(window_, text::kCopyOntoItself);
            return;
        case CopyCheck::kTargetIsFolder:
            services_.notifier.Stop(window_, WithReason(text::kCopyFailed, text::kFolderInTheWay));
            return;
        case CopyCheck::kAskReplace:
            if (!services_.notifier.Ask(window_, QString(text::kReplaceQuestion).arg(FileNameOf(source), *picked))) {
                return;
            }
            break;
        case CopyCheck::kCopy:
            break;
    }

    QProgressDialog progress(text::kCopyProgress, text::kCancel, 0, 1000, window_);
    progress.setWindowTitle(text::kCopyProgress);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const CopyResult result = CopyRecordFile(source, target, [&progress](int64_t done, int64_t total) {
        progress.setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 1000);
        return !progress.wasCanceled();
    });
    const bool cancelled = progress.wasCanceled();
    progress.reset();
    if (result.copied) {
        ShowNotice(AuditRecordings(*custody_, AuditAction::kCopy, {source}, "into " + folder));
    } else if (!cancelled) {
        services_.notifier.Stop(window_, WithReason(text::kCopyFailed, result.reason));
    }
}

void RecordCommands::ChangeHolds(bool held) {
    const std::vector<std::string> paths = SelectedPaths();
    if (paths.empty()) return;
    const HoldOutcome outcome = player::ChangeHolds(*custody_, paths, held);
    services_.showStatus(Q(outcome.status), false);
    if (!outcome.auditNotice.empty()) ShowNotice(outcome.auditNotice);
    if (!outcome.failure.empty()) services_.notifier.Stop(window_, Q(outcome.failure));
}

bool RecordCommands::EditProperties(std::vector<std::string>& recordRoots, bool showRecording) {
    PropertiesDialog dialog(programFolder_, recordRoots, services_.picker, services_.notifier, window_,
                            services_.listBackground);
    const int row = list_.CurrentRow();
    if (row >= 0 && row < list_.RowCount()) {
        // The proof reads the whole recording.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const RecordingProperties recording = DescribeRecording(*custody_, list_.Text(row, kColumnPlacement));
        QApplication::restoreOverrideCursor();
        dialog.ShowRecording(recording, showRecording);
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    recordRoots = dialog.RecordRoots();
    return true;
}

}  // namespace pell::player
