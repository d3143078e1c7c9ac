// The commands a person uses on a listed recording and on the list's folders: Set bookmark,
// Search, Delete, Copy to, Protect and Unprotect, and Properties. Each one moves values between the list, a dialog and
// the catalogue's and the custody records' rules; the rules themselves (what matches, where a
// copy goes, how paths.ini is ordered, what may be deleted, what is audited) live in the
// catalogue and in player/ui/core/record_custody.h. GUI thread only.
#pragma once

#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "player/catalogue/tag_writer.h"
#include "player/ui/core/record_custody.h"
#include "player/ui/dialog_services.h"
#include "player/ui/record_list_port.h"
#include "player/ui/search_dialog.h"

class QWidget;

namespace pell::player {

struct RecordCommandServices {
    Notifier& notifier;
    FolderPicker& picker;
    // Writes a bookmark into a recording's tag; the catalogue's StoreBookmark outside tests.
    std::function<TagWriteResult(const std::string& path, std::string_view text)> storeBookmark =
        [](const std::string& path, std::string_view text) { return StoreBookmark(path, text); };
    // Tiled behind the Properties dialog's folders, as behind the record list; none when null.
    QPixmap listBackground = {};
    // Legal holds, the audit trail and the proof of the recordings; the real files when null.
    CustodyPort* custody = nullptr;
    // The status line: what a command did on the side, or (`problem`) what it could not record
    // in the audit trail. An empty text with `problem` says the trail took the last entries.
    std::function<void(const QString& text, bool problem)> showStatus = [](const QString&, bool) {};
};

class RecordCommands : public QObject {
    Q_OBJECT
public:
    // `window` owns the dialogs and message boxes; `list` and `services` outlive this object.
    RecordCommands(QWidget* window, RecordListPort& list, std::string programFolder, RecordCommandServices services);

    // Opens the bookmark dialog on the current row and stores what is confirmed.
    void SetBookmark();
    // Shows the search window, bringing back the open one rather than opening a second.
    void OpenSearch();
    // Selects the next row whose number or bookmark contains `text`, or says there is none.
    void SearchRecords(const QString& text);
    // The open search window, or null.
    SearchDialog* SearchWindow() const { return searchWindow_; }
    // Moves the selected recordings to the trash after asking, and removes their rows; a
    // recording under legal hold stays, and the user is told which and how to release it.
    void DeleteRecord();
    // Copies the current row's file into a folder picked by the user.
    void CopyRecordTo();
    // Protects (`held`) or releases the selected recordings.
    void ChangeHolds(bool held);
    // Runs the Properties dialog, with a tab on the current row's recording when there is one
    // (shown first when `showRecording`); on OK replaces `recordRoots` (and paths.ini) and
    // returns true.
    bool EditProperties(std::vector<std::string>& recordRoots, bool showRecording = false);
    CustodyPort& Custody() { return *custody_; }

private:
    std::vector<std::string> SelectedPaths() const;
    // Shows a notice of the audit trail, or clears the last one when `notice` is empty.
    void ShowNotice(const std::string& notice);

    QWidget* window_;
    RecordListPort& list_;
    std::string programFolder_;
    RecordCommandServices services_;
    std::unique_ptr<CustodyPort> ownCustody_;
    CustodyPort* custody_;
    QPointer<SearchDialog> searchWindow_;
};

}  // namespace pell::player
