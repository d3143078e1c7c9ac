#include "player/ui/record_commands.h"

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
      services_(std::move(services)) {}

void RecordCommands::SetBookmark() {
    const int row = list_.CurrentRow();
    if (row < 0) return;
    const std::string path = list_.Text(row, kColumnPlacement);
    BookmarkDialog dialog(Q(list_.Text(row, kColumnBookmark)), window_);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string text = dialog.Text().toStdString();
    if (services_.storeBookmark(path, text) != TagWriteResult::Written) {
        // The column keeps the old text: it must never show a bookmark the file does not hold.
        services_.notifier.Stop(window_, text::kBookmarkFailed);
        return;
    }
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
    const int row = list_.CurrentRow();
    if (row < 0) return;
    const std::string path = list_.Text(row, kColumnPlacement);
    if (!services_.notifier.Ask(window_, QString(text::kDeleteQuestion).arg(FileNameOf(path)))) return;
    if (!MoveToTrash(Q(path))) {
        services_.notifier.Stop(window_, text::kDeleteFailed);
        return;
    }
    list_.RemoveRow(row);
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
        case CopyCheck::SameFile:
            services_.notifier.Stop(window_, text::kCopyOntoItself);
            return;
        case CopyCheck::TargetIsFolder:
            services_.notifier.Stop(window_, WithReason(text::kCopyFailed, text::kFolderInTheWay));
            return;
        case CopyCheck::AskReplace:
            if (!services_.notifier.Ask(window_, QString(text::kReplaceQuestion).arg(FileNameOf(source), *picked))) {
                return;
            }
            break;
        case CopyCheck::Copy:
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
    if (!result.copied && !cancelled) {
        services_.notifier.Stop(window_, WithReason(text::kCopyFailed, result.reason));
    }
}

bool RecordCommands::EditProperties(std::vector<std::string>& recordRoots) {
    PropertiesDialog dialog(programFolder_, recordRoots, services_.picker, services_.notifier, window_,
                            services_.listBackground);
    if (dialog.exec() != QDialog::Accepted) return false;
    recordRoots = dialog.RecordRoots();
    return true;
}

}  // namespace pell::player
